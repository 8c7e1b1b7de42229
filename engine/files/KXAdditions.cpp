#include "engine/files/KXAdditions.h"
#include "engine/files/VLTempCleaner.h"
#include "engine/metadata/VLFileMetaData.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StatusWalk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

using platform::FileKind;

namespace {

constexpr qint64 copyChunkSize = 1024 * 1024;
constexpr double reportLateness = 0.25;
constexpr quint64 lastFreeNameCandidate = 10000;

using CopyChunkHook = std::function<void(const QString &source, quint64 copied)>;

std::mutex &copyChunkHookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<CopyChunkHook> &copyChunkHookSlot()
{
    static std::shared_ptr<CopyChunkHook> hook;
    return hook;
}

std::shared_ptr<CopyChunkHook> copyChunkHook()
{
    const std::lock_guard lock(copyChunkHookMutex());
    return copyChunkHookSlot();
}

QString cleanedPath(const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

// The path with its folder's links resolved; the last component is kept as it is.
QString pathThroughRealFolder(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    if (folder.isEmpty() || info.fileName().isEmpty())
        return path;
    return folder == u"/" ? QString(u'/' + info.fileName()) : QString(folder + u'/' + info.fileName());
}

QVariantMap errorInformation(const VLError &error)
{
    return {{KXAdditions::errorKey, QVariant::fromValue(error)}};
}

QVariantMap destinationInformation(const QString &destination)
{
    return {{KXAdditions::destinationURLKey, QUrl::fromLocalFile(destination)}};
}

// Creates the destination exclusively, in the kind the transfer will fill, so that nothing
// already there (or made there meanwhile) is ever written over.
int reserveDestination(const QString &path, FileKind sourceKind, const QString &source, bool recreateLinks)
{
    if (sourceKind == FileKind::Folder)
        return platform::createFolderExclusively(path, 0700);
    if (sourceKind == FileKind::SymbolicLink && recreateLinks) {
        int error = 0;
        const std::optional<QString> target = platform::destinationOfSymbolicLinkAtPath(source, &error);
        if (!target)
            return error ? error : EIO;
        return platform::createSymbolicLink(path, *target);
    }
    return platform::createFileExclusively(path, 0600);
}

// Reserves the destination, or with a free name the first candidate that is not taken. Returns
// the path used, or empty with the error.
QString reserve(const QString &destination, bool freeName, FileKind sourceKind, const QString &source,
                bool recreateLinks, int *error)
{
    if (sourceKind == FileKind::Folder) {
        const QString parent = QFileInfo(destination).path();
        QDir().mkpath(parent);
    }
    for (quint64 n = 1; n <= lastFreeNameCandidate; ++n) {
        const QString candidate = n == 1 ? destination : KXAdditions::freeNameCandidate(destination, n);
        *error = reserveDestination(candidate, sourceKind, source, recreateLinks);
        if (*error == 0)
            return candidate;
        if (*error != EEXIST || !freeName)
            return {};
    }
    return {};
}

// An existing destination that a replacing transfer has moved aside, beside itself under a
// hidden name. Exactly one of restore() and discard() takes effect; the first call settles it.
class ReplacedItem final
{
public:
    static std::shared_ptr<ReplacedItem> setAside(const QString &path, int *error)
    {
        // A name of its own, not derived from the item's, so a long name cannot grow past the
        // file system's limit.
        const QString aside = QFileInfo(path).path() + u"/.vaultine-replaced-"_qs
                              + QUuid::createUuid().toString(QUuid::Id128).left(12);
        *error = platform::renameItem(path, aside, false);
        if (*error)
            return nullptr;
        return std::shared_ptr<ReplacedItem>(new ReplacedItem(path, aside));
    }

    ~ReplacedItem() { restore(); }
    Q_DISABLE_COPY_MOVE(ReplacedItem)

    // The transfer has removed what it wrote; the old item goes back under its name.
    void restore()
    {
        if (std::exchange(m_settled, true))
            return;
        if (const int error = platform::renameItem(m_aside, m_path, false))
            platform::log(u"[Transfer]: cannot put the replaced item back from "_qs + m_aside + u": "_qs
                          + platform::errorDescription(error));
    }

    // The new item is in place. The old one goes whole: a restored tree carries its own
    // read-only folders, which are the user's to open up. What cannot go all the same (folders
    // of another owner) is not left behind under the hidden name, but beside the new item.
    void discard()
    {
        if (std::exchange(m_settled, true))
            return;
        const int error = platform::removeItemAtPath(m_aside, platform::RemovalAccess::GrantOwner);
        if (!error)
            return;
        platform::log(u"[Transfer]: cannot remove the replaced item "_qs + m_aside + u": "_qs
                      + platform::errorDescription(error));
        for (quint64 n = 2; n <= lastFreeNameCandidate; ++n) {
            const int renamed = platform::renameItem(m_aside, KXAdditions::freeNameCandidate(m_path, n), false);
            if (renamed != EEXIST && renamed != ENOTEMPTY)
                return;
        }
    }

private:
    ReplacedItem(QString path, QString aside) : m_path(std::move(path)), m_aside(std::move(aside)) {}

    const QString m_path;
    const QString m_aside;
    bool m_settled = false;
};

// One transfer of a tree into a reserved destination, entry by entry, on the calling thread.
class TreeTransfer final
{
public:
    enum class Entries { Move, Copy };

    TreeTransfer(QString source, QString destination, Entries entries, bool recreateLinks, bool removeSource,
                 double lateness, bool reports, KXAdditions::TransferHandler handler)
        : m_source(std::move(source))
        , m_destination(std::move(destination))
        , m_entries(entries)
        , m_recreateLinks(recreateLinks)
        , m_removeSource(removeSource)
        , m_lateness(lateness)
        , m_reports(reports)
        , m_handler(std::move(handler))
    {
        m_clock.start();
    }

    void run()
    {
        walk();
        if (!m_error && !m_cancelled) {
            finish();
        } else {
            undo();
        }
        if (m_cancelled || !m_handler)
            return;
        if (m_error)
            m_handler(KXAdditions::TransferFailed, nullptr, errorInformation(m_error));
        else
            m_handler(KXAdditions::TransferFinished, nullptr, destinationInformation(m_destination));
    }

private:
    bool late() const { return m_reports && m_handler && double(m_clock.nsecsElapsed()) > m_lateness * 1e9; }

    void sendStarted()
    {
        if (m_startedSent || !late())
            return;
        m_startedSent = true;
        m_handler(KXAdditions::TransferStarted, nullptr, destinationInformation(m_destination));
    }

    void sendProgress(quint64 bytes)
    {
        sendStarted();
        m_handler(KXAdditions::TransferProgress, &m_cancelled, {{KXAdditions::bytesMovedKey, bytes}});
    }

    void walk()
    {
        platform::StatusWalk::Options options;
        options.sameVolume = true;
        options.reportUnreadable = true;
        const int error = platform::StatusWalk::walk(m_source, options,
                                                     [this](const platform::StatusWalk::Entry &entry) {
                                                         if (m_cancelled)
                                                             return false;
                                                         visit(entry);
                                                         return !m_error && !m_cancelled;
                                                     });
        if (error && !m_error)
            m_error = VLError::posix(error);
    }

    void visit(const platform::StatusWalk::Entry &walked)
    {
        using Kind = platform::StatusWalk::Kind;
        sendStarted();
        const QString entry = walked.path;
        const QString target = m_destination + entry.mid(m_source.size());
        const bool root = walked.level == 0;
        quint64 fileBytes = 0;
        const Kind kind = walked.kind;
        if (kind == Kind::Directory) {
            // The root was reserved; everything below is made inside it.
            const int error = root ? 0 : platform::createFolderExclusively(target, 0700);
            if (error) {
                m_error = VLError::posix(error);
                return;
            }
            m_folders.emplace_back(target, VLFileMetaData::metadataOfFile(entry));
            m_sourceFolders << entry;
            return;
        }
        if (kind == Kind::UnreadableDirectory) {
            // Its content cannot be listed, so it cannot be carried over whole.
            m_error = VLError::posix(walked.error ? walked.error : EACCES);
            return;
        }
        if (kind == Kind::SymbolicLink && m_recreateLinks) {
            copyLink(entry, target, root);
            return;
        }
        if (m_entries == Entries::Move) {
            // A root file replaces its own placeholder; entries below go into folders made here.
            const int error = platform::renameItem(entry, target, root);
            if (error) {
                m_error = VLError::posix(error);
                return;
            }
            m_moved.emplace_back(entry, target);
            fileBytes = quint64(qMax<qint64>(0, walked.size));
            if (late())
                sendProgress(m_bytesMoved + fileBytes);
        } else {
            if (kind == Kind::Other) {
                // Pipes, sockets and devices have no content to copy (reading a pipe would block).
                platform::log(u"Warning! Not copying special file "_qs + entry);
                return;
            }
            VLError error;
            const bool copied = KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(
                entry, target, &error, [this, &fileBytes](qint64 written, bool &stop) {
                    fileBytes += quint64(written);
                    if (late())
                        sendProgress(m_bytesMoved + fileBytes);
                    stop = m_cancelled;
                });
            if (!copied) {
                m_error = error;
                return;
            }
        }
        m_bytesMoved += fileBytes;
    }

    void copyLink(const QString &entry, const QString &target, bool root)
    {
        if (!root) {
            int error = 0;
            const std::optional<QString> destination = platform::destinationOfSymbolicLinkAtPath(entry, &error);
            if (!destination) {
                m_error = VLError::posix(error ? error : EIO);
                return;
            }
            if (const int created = platform::createSymbolicLink(target, *destination)) {
                m_error = VLError::posix(created);
                return;
            }
        }
        if (const auto metadata = VLFileMetaData::metadataOfFile(entry))
            metadata->applyToFileAtPath(target);
    }

    void finish()
    {
        // Folders get their attributes only now, deepest first, so a read-only folder still
        // received its content.
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
            if (it->second)
                it->second->applyToFileAtPath(it->first);
        }
        if (m_entries == Entries::Move) {
            // The files went one by one; the folders they left are empty now.
            for (auto it = m_sourceFolders.crbegin(); it != m_sourceFolders.crend(); ++it)
                platform::removeEmptyFolder(*it);
        }
        if (m_removeSource && platform::fileKindAtPath(m_source) != FileKind::Missing) {
            if (const int error = platform::removeItemAtPath(m_source))
                platform::log(u"[Transfer]: cannot remove the moved source "_qs + m_source + u": "_qs
                              + platform::errorDescription(error));
        }
    }

    void undo()
    {
        // Moved entries go back where they were before anything of the destination is removed,
        // so a failed or cancelled move never loses the user's files.
        bool allBack = true;
        for (auto it = m_moved.rbegin(); it != m_moved.rend(); ++it) {
            if (const int error = platform::renameItem(it->second, it->first, false)) {
                allBack = false;
                platform::log(u"[Transfer]: cannot move "_qs + it->second + u" back to "_qs + it->first + u": "_qs
                              + platform::errorDescription(error));
            }
        }
        if (!allBack)
            return;
        if (platform::fileKindAtPath(m_destination) != FileKind::Missing)
            platform::removeItemAtPath(m_destination);
    }

    const QString m_source;
    const QString m_destination;
    const Entries m_entries;
    const bool m_recreateLinks;
    const bool m_removeSource;
    const double m_lateness;
    const bool m_reports;
    const KXAdditions::TransferHandler m_handler;

    QElapsedTimer m_clock;
    quint64 m_bytesMoved = 0;
    bool m_cancelled = false;
    bool m_startedSent = false;
    VLError m_error;
    std::vector<std::pair<QString, std::unique_ptr<VLFileMetaData>>> m_folders;
    QStringList m_sourceFolders;
    std::vector<std::pair<QString, QString>> m_moved;
};

// Types 2 to 4 into a reserved destination.
void runProgressTransfer(const QString &source, const QString &destination, quint64 type, double lateness,
                         const KXAdditions::TransferHandler &handler)
{
    const auto entries = type == KXAdditions::TransferMoveWithProgress ? TreeTransfer::Entries::Move
                                                                       : TreeTransfer::Entries::Copy;
    TreeTransfer(source, destination, entries, type != KXAdditions::TransferMoveWithProgress,
                 type == KXAdditions::TransferMoveAcrossVolumes, lateness, true, handler)
        .run();
}

} // namespace

bool KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(const QString &path, const WalkHandler &handler)
{
    const QString root = cleanedPath(path);
    if (root.isEmpty() || platform::fileKindAtPath(root) == FileKind::Missing)
        return false;
    // The walk reads each entry's status once and leaves it to whoever examines the entry next,
    // which halves the status reads of adding a large tree to a container.
    const int error = platform::StatusWalk::walk(root, true, [&handler](const platform::StatusWalk::Entry &entry) {
        if (!handler)
            return true;
        bool stop = false;
        handler(entry.path, entry.level == 0, entry.size, stop);
        return !stop;
    });
    return error == 0;
}

QString KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath()
{
    if (vl_tempDirectory().isEmpty())
        return {};
    const QString temp = platform::libraryFolder(QStringLiteral("Temp"));
    if (temp.isEmpty())
        return {};
    // Held from the start, so that no other instance's clean takes it; one taken in the moment
    // before it was held is made again under a new name.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QString path = temp + u'/' + uuid;
        if (platform::createFolderExclusively(path, 0700) != 0)
            return {};
        if (VLTempCleaner::sharedInstance().holdWorkFolder(path))
            return path;
    }
    return {};
}

QString KXAdditions::com_nimbrel_vaultine_rootPathForURLs(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return QString(u""_qs);
    QStringList paths;
    for (const QUrl &url : urls)
        paths << cleanedPath(url.toLocalFile());
    const auto under = [](const QString &path, const QString &candidate) {
        return candidate == u"/" || path == candidate || path.startsWith(candidate + u'/');
    };
    const QString &first = paths.first();
    const auto parentOf = [](const QString &path) {
        const qsizetype slash = path.lastIndexOf(u'/');
        return slash <= 0 ? QStringLiteral("/") : path.left(slash);
    };
    QString candidate = QStringLiteral("/");
    for (const QString &component : first.split(u'/', Qt::SkipEmptyParts)) {
        candidate = candidate == u"/" ? QString(candidate + component) : QString(candidate + u'/' + component);
        for (const QString &path : std::as_const(paths)) {
            if (!under(path, candidate))
                return parentOf(candidate);
        }
    }
    return parentOf(first);
}

void KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(const QUrl &source, const QUrl &destination, quint64 mode,
                                                             quint64 type, TransferHandler handler)
{
    const QString sourcePath = cleanedPath(source.toLocalFile());
    const QString destinationPath = cleanedPath(destination.toLocalFile());
    const auto fail = [&handler](const VLError &error) {
        if (handler)
            handler(TransferFailed, nullptr, errorInformation(error));
    };

    if (type > TransferCopyWithProgress) {
        // Nothing to transfer, so nothing is removed either.
        if (handler)
            handler(TransferFinished, nullptr, destinationInformation(destinationPath));
        return;
    }

    // Everything is checked before a replaced destination goes: a missing source, or a
    // destination that is the source, inside it or around it, must not cost the user an item.
    int kindError = 0;
    const FileKind kind = platform::fileKindAtPath(sourcePath, &kindError);
    if (kind == FileKind::Missing || sourcePath.isEmpty() || destinationPath.isEmpty()) {
        fail(VLError::posix(kindError ? kindError : ENOENT));
        return;
    }
    // Compared through their folders' real paths, so a linked folder cannot hide that the two
    // meet; the items themselves are not followed (a link is moved or removed as a link).
    const QString realSource = pathThroughRealFolder(sourcePath);
    const QString realDestination = pathThroughRealFolder(destinationPath);
    const bool intoItself = realSource == u"/" || realDestination.startsWith(realSource + u'/');
    const bool replacesSource = mode == TransferReplace
                                && (realSource == realDestination || realSource.startsWith(realDestination + u'/')
                                    || realDestination == u"/");
    if (intoItself || replacesSource) {
        fail(VLError::posix(EINVAL));
        return;
    }
    // A replaced item is only set aside here; it goes once the new one is complete, and comes
    // back when the transfer fails or is cancelled.
    std::shared_ptr<ReplacedItem> replaced;
    if (mode == TransferReplace && platform::fileKindAtPath(destinationPath) != FileKind::Missing) {
        int setAsideError = 0;
        replaced = ReplacedItem::setAside(destinationPath, &setAsideError);
        if (!replaced) {
            fail(VLError::posix(setAsideError));
            return;
        }
        handler = [replaced, handler = std::move(handler)](quint64 state, bool *cancel,
                                                           const QVariantMap &information) {
            if (state == TransferFailed)
                replaced->restore();
            else if (state == TransferFinished)
                replaced->discard();
            if (handler)
                handler(state, cancel, information);
        };
    }
    const bool recreateLinks = type != TransferMoveWithProgress;
    int error = 0;
    const QString reserved = reserve(destinationPath, mode == TransferFreeName, kind, sourcePath, recreateLinks,
                                     &error);
    if (reserved.isEmpty()) {
        fail(VLError::posix(error));
        return;
    }

    if (type >= TransferMoveWithProgress) {
        platform::dispatchAsync(platform::QueuePriority::Background,
                                [sourcePath, reserved, type, replaced, handler = std::move(handler)] {
                                    runProgressTransfer(sourcePath, reserved, type, reportLateness, handler);
                                    // A cancelled transfer sends no final report.
                                    if (replaced)
                                        replaced->restore();
                                });
        return;
    }
    platform::dispatchAsync(platform::QueuePriority::Background, [sourcePath, reserved, type,
                                                                  handler = std::move(handler)] {
        if (type == TransferMove) {
            // The item replaces its own placeholder; another volume falls back to copy and delete.
            const int moved = platform::renameItem(sourcePath, reserved, true);
            if (moved == 0) {
                if (handler)
                    handler(TransferFinished, nullptr, destinationInformation(reserved));
                return;
            }
            if (moved != EXDEV) {
                // Only the placeholder goes: an empty folder or the file made for it.
                if (platform::fileKindAtPath(reserved) == FileKind::Folder)
                    platform::removeEmptyFolder(reserved);
                else
                    platform::removeItemAtPath(reserved);
                if (handler)
                    handler(TransferFailed, nullptr, errorInformation(VLError::posix(moved)));
                return;
            }
        }
        TreeTransfer(sourcePath, reserved, TreeTransfer::Entries::Copy, true, type == TransferMove, 0, false, handler)
            .run();
    });
}

void KXAdditions::vl_ftsTransferItemFromURLToURLTransferTypeHandlerLatenessHandler(const QUrl &source,
                                                                                   const QUrl &destination,
                                                                                   quint64 type, double lateness,
                                                                                   TransferHandler handler)
{
    const QString sourcePath = cleanedPath(source.toLocalFile());
    const QString destinationPath = cleanedPath(destination.toLocalFile());
    platform::dispatchAsync(platform::QueuePriority::Background, [=, handler = std::move(handler)] {
        int kindError = 0;
        const FileKind kind = platform::fileKindAtPath(sourcePath, &kindError);
        int error = kind == FileKind::Missing ? (kindError ? kindError : ENOENT) : 0;
        QString reserved;
        if (!error && type >= TransferMoveWithProgress && type <= TransferCopyWithProgress)
            reserved = reserve(destinationPath, false, kind, sourcePath, type != TransferMoveWithProgress, &error);
        else if (!error)
            error = EINVAL;
        if (reserved.isEmpty()) {
            if (handler)
                handler(TransferFailed, nullptr, errorInformation(VLError::posix(error)));
            return;
        }
        runProgressTransfer(sourcePath, reserved, type, lateness, handler);
    });
}

bool KXAdditions::vl_atomicFileCopyAtPathToPathErrorProgressHandler(const QString &source, const QString &destination,
                                                                    VLError *error, const CopyProgressHandler &progress)
{
    const auto failWith = [error](int number) {
        if (error)
            *error = VLError::posix(number);
        return false;
    };
    platform::PosixFile input = platform::PosixFile::openForReading(source);
    if (!input.isOpen())
        return failWith(input.lastError());
    int openError = 0;
    platform::PosixFile output = platform::openForUpdate(destination, 0600, &openError);
    if (!output.isOpen())
        return failWith(openError);

    const std::unique_ptr<VLFileMetaData> metadata = VLFileMetaData::metadataOfFile(source);
    std::vector<char> buffer(copyChunkSize);
    quint64 total = 0;
    for (;;) {
        const std::int64_t read = input.read(buffer.data(), buffer.size());
        if (read < 0)
            return failWith(input.lastError());
        if (read == 0)
            break;
        if (!output.writeAll(buffer.data(), size_t(read)))
            return failWith(output.lastError() ? output.lastError() : ENOSPC);
        total += quint64(read);
        bool stop = false;
        if (progress)
            progress(read, stop);
        if (const auto hook = copyChunkHook())
            (*hook)(source, total);
        if (stop)
            break;
    }
    // A destination that held more (an existing file) keeps none of its old tail.
    if (const int truncated = platform::truncateFile(output, total))
        return failWith(truncated);
    if (metadata)
        metadata->applyToFileAtPath(destination);
    if (!output.close())
        return failWith(output.lastError());
    return true;
}

QUrl KXAdditions::com_nimbrel_vaultine_userLibraryURL()
{
    const QString library = platform::libraryPath();
    if (library.isEmpty()) {
        platform::log(u"Error: returned more than one user library path: ()"_qs);
        return {};
    }
    return QUrl::fromLocalFile(library);
}

QUrl KXAdditions::vl_tempDirectory()
{
    const QUrl library = com_nimbrel_vaultine_userLibraryURL();
    if (library.isEmpty())
        return {};
    return QUrl::fromLocalFile(library.toLocalFile() + u"/Temp/");
}

QString KXAdditions::com_nimbrel_vaultine_homeDir()
{
    static const QString home = platform::homeFolderFromUserDatabase();
    return home;
}

bool KXAdditions::vl_checkSourceReadabilityFailedFile(const QUrl &source, QString *failedFile,
                                                      const std::function<bool()> &shouldStop)
{
    const QString path = cleanedPath(source.toLocalFile());
    QString failed;
    if (path.isEmpty() || platform::fileKindAtPath(path) == FileKind::Missing) {
        failed = path;
    } else {
        // The walk's own status tells each entry's kind: one system call less for each entry.
        using Walk = platform::StatusWalk;
        Walk::walk(path, false, [&](const Walk::Entry &entry) {
            if (shouldStop && shouldStop())
                return false;
            if (entry.kind == Walk::Kind::SymbolicLink)
                return true;
            if (!platform::isReadableItemAtPath(entry.path, entry.kind == Walk::Kind::Directory)) {
                failed = entry.path;
                return false;
            }
            return true;
        });
    }
    if (failedFile)
        *failedFile = failed;
    return failed.isEmpty() && !path.isEmpty();
}

void KXAdditions::setCopyChunkHook(std::function<void(const QString &source, quint64 copied)> hook)
{
    const std::lock_guard lock(copyChunkHookMutex());
    copyChunkHookSlot() = hook ? std::make_shared<CopyChunkHook>(std::move(hook)) : nullptr;
}

QString KXAdditions::freeNameCandidate(const QString &path, quint64 n)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasExtension = dot > 0 && dot < name.size() - 1;
    const QString base = hasExtension ? name.left(dot) : name;
    const QString suffix = u' ' + QString::number(n);
    return folder + base + suffix + (hasExtension ? name.mid(dot) : QString());
}
