#pragma once

#include "engine/archive/VLArchiveReporter.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"
#include "engine/archive/VLEncryptedArchiveItem.h"
#include "engine/archive/VLMasterKey.h"
#include "platform/core/VLError.h"
#include "platform/files/ConfinedFolder.h"
#include "platform/files/PosixFile.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class VLEncryptedArchive;
class VLSectionDecoder;

// Reads a container into its archive: opening checks the locator and the password and enters
// the directory's records; extraction restores every item below a folder. Workers restore the
// items ahead of their turn; results are taken in the directory's order. Runs on the caller's
// thread and reports through the archive's delegate.
class VLArchiveReader final
{
public:
    // Test hook: runs on the worker that restores a file before each piece it writes there (with
    // the item's path and the bytes written so far), so that tests can hold a worker. Empty clears it.
    using RestoreWriteHook = std::function<void(const QString &path, quint64 written)>;
    static void setRestoreWriteHook(RestoreWriteHook hook);

    explicit VLArchiveReader(VLEncryptedArchive &archive);
    ~VLArchiveReader();
    Q_DISABLE_COPY_MOVE(VLArchiveReader)

    void open(const QString &path);
    // Closes the file; the caller empties the record table.
    void close();
    bool isOpen() const { return m_opened; }
    void extractAll(const QString &path);

private:
    // The container's switches, as the locator gave them.
    struct Switches
    {
        bool encryptFiles = true;
        bool encryptDirectory = true;
        bool filesHmac = true;
        bool directoryHmac = true;
    };
    // One item restored by a worker: its section deciphered and authenticated, the file written
    // and given its metadata.
    struct ExtractJob
    {
        VLEncryptedArchiveItemPtr record;
        QString path;
        VLError error;
        bool hmacMismatch = false;
        std::atomic<quint64> written = 0;
    };

    Switches switches() const;
    VLSectionKeys sectionKeys(bool withHmac) const;
    void reportOpenError(int code, const VLError &lowError = {});
    void reportExtractError(int code, const VLEncryptedArchiveItemPtr &record, const VLError &lowError = {});
    void reportExtractProgress(double progress, const VLEncryptedArchiveItemPtr &record, double totalProgress,
                               bool *cancel);
    bool checkPasswordBlock(VLEncryptedArchiveDirectoryLocator &locator);
    // Enters the directory's records, read here in order and parsed on workers. False when it
    // failed (reported).
    bool readDirectory(quint64 directorySize);
    // The directory section's stream.
    [[nodiscard]] bool beginInputDecryption(bool withHmac);
    [[nodiscard]] bool inputDataOfSize(void *buffer, std::size_t size);
    [[nodiscard]] bool endInputDecryption();
    void releaseInputStream();

    void restoreItem(ExtractJob &job);
    VLError restoreFileData(ExtractJob &job, VLSectionDecoder &decoder, const QString &relativePath);
    // Positions in records: a million shared pointers more would cost a million reference counts.
    std::vector<quint32> restoringOrder(const std::vector<VLEncryptedArchiveItemPtr> &records) const;
    QString relativeDestination(const QString &path) const;
    void applyAttributes(const VLEncryptedArchiveItemPtr &record, const QString &path);
    void setFolderAttributes(const VLEncryptedArchiveItemPtr &record);

    VLEncryptedArchive &m_archive;
    VLArchiveReporter m_reporter;
    std::atomic<bool> m_opened = false;
    platform::PosixFile m_in;
    quint64 m_archiveSize = 0;
    VLMasterKey m_key;
    std::size_t m_keySize = 16;
    bool m_passwordCheckFailed = false;
    std::unique_ptr<VLSectionDecoder> m_inSection; // the directory section being read
    QByteArray m_lastHmac;

    // State of a running extraction.
    Switches m_switches;
    quint64 m_operationTotal = 0;
    quint64 m_processed = 0;
    bool m_extractCancel = false;
    platform::ConfinedFolder m_destination;
    QString m_destinationPath;
    // Makes workers give up the items still queued or running.
    std::atomic<bool> m_workersStop = false;
};
