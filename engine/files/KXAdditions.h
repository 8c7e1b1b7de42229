#pragma once

#include "platform/core/VLError.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

// The file-tree services of the file manager: a physical tree walk, the work folders inside the
// Library's "Temp/", the common root of a set of sources, a readability check, transfers (move
// or copy, with or without progress) that carry file metadata along, and the user's Library and
// real home folder.
class KXAdditions final
{
public:
    // path, isRoot (the first entry only), the entry's byte size, stop (set to end the walk).
    using WalkHandler = std::function<void(const QString &path, bool isRoot, qint64 size, bool &stop)>;

    enum TransferState : quint64 {
        TransferStarted = 1,
        TransferProgress = 2,
        TransferFailed = 3,
        TransferFinished = 4
    };
    enum TransferMode : quint64 { TransferReplace = 1, TransferFreeName = 2 };
    enum TransferType : quint64 {
        TransferMove = 0,
        TransferCopy = 1,
        TransferMoveWithProgress = 2,
        TransferMoveAcrossVolumes = 3,
        TransferCopyWithProgress = 4,
    };
    // state; cancel (given with progress reports only, else null); information.
    using TransferHandler = std::function<void(quint64 state, bool *cancel, const QVariantMap &information)>;
    // Bytes written this time; stop (set to end the copy, which still counts as success).
    using CopyProgressHandler = std::function<void(qint64 written, bool &stop)>;

    static inline const QString destinationURLKey = QStringLiteral("VLTransferingDestinationURL");
    static inline const QString bytesMovedKey = QStringLiteral("kVLTransferingBytesMoved");
    static inline const QString errorKey = QStringLiteral("VLTransferingError");

    // Every entry under path in pre-order, the path itself first: links are entries and never
    // followed, other volumes are not entered, each folder is seen once. False when the walk met
    // an error entry, or when the path is empty or missing; true otherwise, also when the
    // handler stopped it. The handler may be empty.
    static bool com_nimbrel_vaultine_FTSWalkAtPathHandler(const QString &path, const WalkHandler &handler);

    // A new, empty work folder (0700) inside the Library's "Temp/", named by a new upper-case
    // UUID; empty when it cannot be made.
    static QString com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();

    // The deepest folder that holds every URL's path, never deeper than the first one's parent;
    // "" for none, "/" when they share nothing else.
    static QString com_nimbrel_vaultine_rootPathForURLs(const QList<QUrl> &urls);

    // Moves or copies an item (mode and type above). The destination is always created
    // exclusively: nothing is replaced unless mode 1 asks for it, and a free name (mode 2) is
    // taken without a race. Mode 1 first moves an existing destination aside (a failure to do
    // so is the transfer's failure) and removes it only once the new item is complete; a failed
    // or cancelled transfer puts it back. Results come through the handler, on a thread of the background
    // queue (a failure before the transfer starts comes on the calling thread).
    static void vl_transferItemFromURLToURLModeTypeHandler(const QUrl &source, const QUrl &destination, quint64 mode,
                                                           quint64 type, TransferHandler handler);

    // Types 2 to 4 into a destination that is not there yet, entry by entry, with started and
    // progress reports held back for `lateness` seconds. A failed or cancelled transfer leaves
    // nothing of its own behind and the source as it was; a cancelled one sends no final report.
    static void vl_ftsTransferItemFromURLToURLTransferTypeHandlerLatenessHandler(const QUrl &source,
                                                                                 const QUrl &destination, quint64 type,
                                                                                 double lateness,
                                                                                 TransferHandler handler);

    // Copies a file's content in 1 MiB chunks and then its metadata; the destination is created
    // (0600) when missing and cut to the copied length.
    [[nodiscard]] static bool vl_atomicFileCopyAtPathToPathErrorProgressHandler(const QString &source,
                                                                                const QString &destination,
                                                                                VLError *error,
                                                                                const CopyProgressHandler &progress);

    // The user's Library folder of the application; empty when there is none.
    static QUrl com_nimbrel_vaultine_userLibraryURL();
    // The Library URL with "/Temp/" appended.
    static QUrl vl_tempDirectory();
    // The user's real home folder from the user database, read once for the process.
    static QString com_nimbrel_vaultine_homeDir();

    // True when every entry of the tree can be read (folders also searched); otherwise false
    // with the first one that cannot. Links are stored as links, so only their own entry counts.
    // shouldStop, asked before each entry, ends the walk early so that a large tree does not
    // hold up a caller that has given up; a check stopped that way counts as passed.
    static bool vl_checkSourceReadabilityFailedFile(const QUrl &source, QString *failedFile,
                                                    const std::function<bool()> &shouldStop = {});

    // Test hook: runs on the copying thread after every chunk a file copy writes (with the
    // bytes of that file copied so far), so that tests can make a transfer last. Empty clears it.
    static void setCopyChunkHook(std::function<void(const QString &source, quint64 copied)> hook);

    // The name rule of mode 2: "report.vault" -> "report 2.vault", "Photos" -> "Photos 2".
    static QString freeNameCandidate(const QString &path, quint64 n);

    KXAdditions() = delete;
};
