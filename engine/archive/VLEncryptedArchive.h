#pragma once

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"
#include "engine/archive/VLEncryptedArchiveItem.h"
#include "platform/core/VLError.h"
#include "platform/crypto/HmacSha256.h"
#include "platform/crypto/SecureBytes.h"
#include "platform/files/ConfinedFolder.h"
#include "platform/files/PosixFile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::crypto {
class AesCbcCipher;
}
struct VLSectionKeys;
class VLSectionEncoder;
class VLSectionDecoder;
namespace platform {
class WorkerPool;
}

// One container file being written (save) or read (openArchive, extractAllItems, closeArchive).
// An object serves one purpose; operations run synchronously on the caller's thread and report
// only through the delegate, on that thread. Properties may be read from any thread.
// Saving and extracting spread the items over a pool of workers (one per core unless set) and
// take their results in the directory's order.
class VLEncryptedArchive final
{
public:
    static constexpr std::size_t bufferSize = 16384;

    VLEncryptedArchive();
    ~VLEncryptedArchive();
    Q_DISABLE_COPY_MOVE(VLEncryptedArchive)

    static std::unique_ptr<VLEncryptedArchive> newArchive();

    // --- Tables of item records
    QList<VLEncryptedArchiveItemPtr> fileRecords() const;
    void addToDirectory(const VLEncryptedArchiveItemPtr &record);
    // Children of a folder path (empty or "/" for the top level), compared without regard to case.
    QList<VLEncryptedArchiveItemPtr> childRecordsAtPath(const QString &path = {}) const;
    // Children of a record, or of the top level for a null record.
    QList<VLEncryptedArchiveItemPtr> childRecords(const VLEncryptedArchiveItemPtr &record) const;
    // The record with this path: the exact spelling first, then any case.
    VLEncryptedArchiveItemPtr recordAtPath(const QString &path) const;

    // --- Writing
    // Adds the item at an absolute path; root (its parent when empty, "/" or the path itself)
    // is cut from the front of the record's path. Null when nothing was added.
    VLEncryptedArchiveItemPtr addItemFromRoot(const QString &path, const QString &root = {});
    QList<VLEncryptedArchiveItemPtr> addItemsFromRoot(const QStringList &paths, const QString &root = {});
    void save(const QString &path);

    // --- Reading
    void openArchive(const QString &path);
    void closeArchive();
    void extractAllItems(const QString &path);
    // Declared for completeness; they do nothing.
    void extractItemToPath(const VLEncryptedArchiveItemPtr &record, const QString &path);
    void extractItemsToPath(const QList<VLEncryptedArchiveItemPtr> &records, const QString &path);
    bool isOpened() const;

    // --- Properties
    bool encryptFiles() const;
    void setEncryptFiles(bool on);
    bool encryptDirectory() const;
    void setEncryptDirectory(bool on);
    bool calculateFilesHmac() const;
    void setCalculateFilesHmac(bool on);
    bool calculateDirectoryHmac() const;
    void setCalculateDirectoryHmac(bool on);
    bool compressFiles() const;
    void setCompressFiles(bool on);
    quint64 compressionLevel() const;
    void setCompressionLevel(quint64 level);
    QString password() const;
    void setPassword(const QString &password); // the previous password is wiped
    QString passwordHint() const;
    void setPasswordHint(const QString &hint);
    std::optional<QString> comment() const;
    void setComment(const std::optional<QString> &comment);
    std::optional<QByteArray> preview() const;
    void setPreview(const std::optional<QByteArray> &preview);
    bool includeApplications() const;
    quint64 AESKeyBits() const;
    void setAESKeyBits(quint64 bits);
    // Workers of save and extractAllItems; 0 (the default) for one per processor core.
    int workerCount() const;
    void setWorkerCount(int count);
    // For tests: called on the saving thread after each piece of a large uncompressed file is
    // read (the record and the bytes read so far), so that a test can change the file meanwhile.
    using ReadPieceHook = std::function<void(const VLEncryptedArchiveItemPtr &, quint64)>;
    void setReadPieceHook(ReadPieceHook hook) { m_readPieceHook = std::move(hook); }
    // Held as a plain observer: the owner clears it before the delegate goes away.
    VLEncryptedArchiveDelegate *delegate() const;
    void setDelegate(VLEncryptedArchiveDelegate *delegate);

    // --- Building blocks of the operations above (one operation at a time, on its thread)
    [[nodiscard]] bool deriveMasterKey(bool newSalt);
    [[nodiscard]] bool cryptWithMasterIvDecrypt(QByteArray &data, const std::optional<QByteArray> &iv, bool decrypt);
    std::size_t keySizeInBytes() const;
    [[nodiscard]] bool beginOutputEncryption(bool withHmac);
    void outputDataOfSize(const void *data, std::size_t size);
    [[nodiscard]] bool endOutputEncryption(bool unused = true);
    [[nodiscard]] bool beginInputDecryption(bool withHmac);
    [[nodiscard]] bool inputDataOfSize(void *buffer, std::size_t size);
    [[nodiscard]] bool endInputDecryption();
    void initHmac(const QByteArray &key);
    QByteArray finishHmac();
    static QByteArray createHmacKey();
    void cleanupOutput();

    [[nodiscard]] bool loadArchiveItemFromData(const VLEncryptedArchiveItemPtr &record, const QByteArray &content);
    std::optional<QByteArray> writeCommonHeaderFields(const VLEncryptedArchiveItemPtr &record) const;
    QByteArray writePaddingFieldForSize(quint64 size) const;
    [[nodiscard]] bool saveLocalHeader(const VLEncryptedArchiveItemPtr &record);
    [[nodiscard]] bool saveCentralHeader(const VLEncryptedArchiveItemPtr &record);

    void internalSetDirectoryAttributes(const VLEncryptedArchiveItemPtr &record);

    void reportOpenErrorLowError(int code, const VLError &lowError = {});
    void reportExtractErrorForItemLowError(int code, const VLEncryptedArchiveItemPtr &record,
                                           const VLError &lowError = {});
    void reportExtractProgressForItemTotalProgressCancel(double progress, const VLEncryptedArchiveItemPtr &record,
                                                         double totalProgress, bool *cancel);
    void reportSaveErrorForItemLowError(int code, const VLEncryptedArchiveItemPtr &record,
                                        const VLError &lowError = {});
    void reportSaveProgressForItemTotalProgressCancel(double progress, const VLEncryptedArchiveItemPtr &record,
                                                      quint64 processed, bool *cancel);

    // True for a path inside a container: "/" followed by non-empty components other than "." and "..".
    static bool isValidItemPath(const QString &path);

    // Test hook: runs on the worker that restores a file before each piece it writes there (with
    // the item's path and the bytes written so far), so that tests can hold a worker. Empty clears it.
    using RestoreWriteHook = std::function<void(const QString &path, quint64 written)>;
    static void setRestoreWriteHook(RestoreWriteHook hook);

private:
    struct Switches
    {
        bool encryptFiles = true;
        bool encryptDirectory = true;
        bool filesHmac = true;
        bool directoryHmac = true;
        bool compress = true;
    };
    Switches switches() const;
    quint32 flagsForSwitches() const;
    void sendStarted(const QString &operation);
    void sendFinished(const QString &operation);
    void sendError(const QString &operation, int code, const VLEncryptedArchiveItemPtr &record,
                   const VLError &lowError);
    void sendProgress(const QString &operation, std::optional<double> progress, const VLEncryptedArchiveItemPtr &record,
                      double totalProgress, bool *cancel);
    bool delegateAnswers(VLEncryptedArchiveDelegate::Callback callback) const;
    void releaseInputStream();
    void releaseOutputStream();

    // Writing
    // One item's section, made whole by a worker while it waits for its place in the file, or
    // (a large file) made at its turn by the saving thread with blocks compressed by the workers.
    struct SectionJob
    {
        VLEncryptedArchiveItemPtr record;
        bool streamed = false;
        std::size_t cost = 0; // bytes it may hold in the window
        std::vector<std::uint8_t> bytes;
        QByteArray hmac;
        quint64 compressedSize = 0;
        quint64 dataSize = 0; // bytes of the file it holds
        int error = 0;
        VLError lowError;
        bool ready = false; // guarded by m_jobMutex
    };
    enum class SectionResult { Done, Stopped, Failed };
    VLSectionKeys sectionKeys(bool withHmac) const;
    std::optional<QByteArray> localHeader(const VLEncryptedArchiveItemPtr &record) const;
    std::optional<QByteArray> centralHeader(const VLEncryptedArchiveItemPtr &record) const;
    // The directory's records, built on the workers a run at a time and written in order.
    // False with the record whose header could not be made.
    bool writeDirectory(const QList<VLEncryptedArchiveItemPtr> &records, platform::WorkerPool &pool,
                        VLEncryptedArchiveItemPtr *failedRecord);
    // The steps every item's section starts with: its key block goes to the encoder; a file's
    // deflate level is checked and its source opened. 0, or the error to report (with the
    // system's reason in lowError where there is one).
    int beginSection(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder, platform::PosixFile &source,
                     VLError &lowError) const;
    // The local header, with the record's size as the section will hold it. 0 or the error.
    int writeLocalHeader(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder) const;
    void makeSection(SectionJob &job);
    SectionResult writeStreamedSection(const VLEncryptedArchiveItemPtr &record, platform::WorkerPool &pool,
                                       bool answersProgress, bool &stop);
    void finishJob(bool &ready);
    void waitForJob(const bool &ready);
    // False when the timeout passed first.
    bool waitForJob(const bool &ready, std::chrono::milliseconds timeout);
    int effectiveWorkerCount() const;
    bool writeLocator(quint64 directoryPosition, quint64 directorySize, const QByteArray &directoryHmac);
    // Appends to the container; small pieces are gathered, flushOutput writes what waits.
    void writeRaw(const void *data, std::size_t size);
    void flushOutput();
    void writeNow(const void *data, std::size_t size);

    // Reading
    bool checkPasswordBlock(VLEncryptedArchiveDirectoryLocator &locator);
    // One item restored by a worker: its section deciphered and authenticated, the file written
    // and given its metadata. The extracting thread takes the results in order.
    struct ExtractJob
    {
        VLEncryptedArchiveItemPtr record;
        QString path;
        VLError error;
        bool hmacMismatch = false;
        std::atomic<quint64> written = 0;
        bool ready = false; // guarded by m_jobMutex
    };
    void restoreItem(ExtractJob &job);
    VLError restoreFileData(ExtractJob &job, class VLSectionDecoder &decoder, const QString &relativePath);
    QList<VLEncryptedArchiveItemPtr> restoringOrder(const QList<VLEncryptedArchiveItemPtr> &records) const;
    QString relativeDestination(const QString &path) const;
    void applyAttributes(const VLEncryptedArchiveItemPtr &record, const QString &path);

    // Properties and tables, guarded by m_mutex.
    mutable std::mutex m_mutex;
    QList<VLEncryptedArchiveItemPtr> m_records;                  // path table in entry order
    QHash<QString, qsizetype> m_recordIndex;                     // exact path -> index in m_records
    QHash<QString, qsizetype> m_foldedIndex;                     // lower-cased path -> first such record
    QHash<QString, QList<VLEncryptedArchiveItemPtr>> m_children; // lower-cased parent path -> records
    QString m_lastParent; // the parent path of the last record entered, and its key
    QString m_lastParentKey;
    bool m_encryptFiles = true;
    bool m_encryptDirectory = true;
    bool m_calculateFilesHmac = true;
    bool m_calculateDirectoryHmac = true;
    bool m_compressFiles = true;
    quint64 m_compressionLevel = 6;
    QString m_password;
    QString m_passwordHint;
    std::optional<QString> m_comment;
    std::optional<QByteArray> m_preview;
    bool m_includeApplications = false;
    quint64 m_aesKeyBits = 128;
    int m_workerCount = 0;
    VLEncryptedArchiveDelegate *m_delegate = nullptr;
    bool m_opened = false;

    // State of the running operation (its thread only).
    platform::PosixFile m_out;
    QString m_outPath;
    quint64 m_outOffset = 0;
    int m_outWriteError = 0; // the first failed write of the running save
    static constexpr std::size_t outputPieceSize = 512 * 1024;
    std::vector<std::uint8_t> m_outPending; // written bytes not yet handed to the file
    quint64 m_directorySize = 0;
    platform::PosixFile m_in;
    quint64 m_archiveSize = 0;
    quint64 m_operationTotal = 0;
    quint64 m_processed = 0;
    bool m_extractCancel = false;
    bool m_passwordCheckFailed = false;
    platform::ConfinedFolder m_destination;
    QString m_destinationPath;
    ReadPieceHook m_readPieceHook;

    platform::crypto::SecureBytes m_masterKey;
    QByteArray m_masterSalt;
    std::unique_ptr<VLSectionEncoder> m_outSection; // the directory section being written
    std::unique_ptr<VLSectionDecoder> m_inSection;  // the directory section being read
    platform::crypto::HmacSha256 m_hmac;
    QByteArray m_lastHmac;

    // The workers' hand-over: a job's `ready` flag is set under m_jobMutex, m_jobDone wakes the
    // operation's thread. m_workersStop makes workers give up the jobs still queued or running.
    std::mutex m_jobMutex;
    std::condition_variable m_jobDone;
    const bool *m_awaited = nullptr; // the job the operation's thread waits for
    std::atomic<bool> m_workersStop = false;
};
