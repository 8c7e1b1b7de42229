#pragma once

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"
#include "engine/archive/VLEncryptedArchiveItem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class VLArchiveReader;
class VLArchiveRecordTable;
class VLArchiveWriter;

// One container file being written (save) or read (openArchive, extractAllItems, closeArchive).
// An object serves one purpose; operations run synchronously on the caller's thread and report
// only through the delegate, on that thread. Properties may be read from any thread.
// The archive holds the settings and the record table; its writer and reader do the work.
class VLEncryptedArchive final
{
public:
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
    // The record addItemFromRoot would add, left for the caller to add; safe on any thread, so
    // that a large tree's records can be built on several.
    VLEncryptedArchiveItemPtr recordForItemFromRoot(const QString &path, const QString &root = {}) const;
    QList<VLEncryptedArchiveItemPtr> addItemsFromRoot(const QStringList &paths, const QString &root = {});
    void save(const QString &path);

    // --- Reading
    void openArchive(const QString &path);
    void closeArchive();
    void extractAllItems(const QString &path);
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
    std::optional<QByteArray> preview() const;
    void setPreview(const std::optional<QByteArray> &preview);
    bool includeApplications() const;
    quint64 AESKeyBits() const;
    void setAESKeyBits(quint64 bits);
    // Workers of save and extractAllItems; 0 (the default) for one per processor core.
    int workerCount() const;
    void setWorkerCount(int count);
    // Held as a plain observer: the owner clears it before the delegate goes away.
    VLEncryptedArchiveDelegate *delegate() const;
    void setDelegate(VLEncryptedArchiveDelegate *delegate);
    // For tests: called on the saving thread after each piece of a large uncompressed file is
    // read (the record and the bytes read so far), so that a test can change the file meanwhile.
    using ReadPieceHook = std::function<void(const VLEncryptedArchiveItemPtr &, quint64)>;
    void setReadPieceHook(ReadPieceHook hook);

private:
    // The writer and the reader work on the table itself.
    friend class VLArchiveReader;
    friend class VLArchiveWriter;
    const VLArchiveRecordTable &recordTable() const { return *m_records; }

    // Properties, guarded by m_mutex.
    mutable std::mutex m_mutex;
    bool m_encryptFiles = true;
    bool m_encryptDirectory = true;
    bool m_calculateFilesHmac = true;
    bool m_calculateDirectoryHmac = true;
    bool m_compressFiles = true;
    quint64 m_compressionLevel = 6;
    QString m_password;
    QString m_passwordHint;
    std::optional<QByteArray> m_preview;
    bool m_includeApplications = false;
    quint64 m_aesKeyBits = 128;
    int m_workerCount = 0;
    VLEncryptedArchiveDelegate *m_delegate = nullptr;

    const std::unique_ptr<VLArchiveRecordTable> m_records;
    const std::unique_ptr<VLArchiveWriter> m_writer;
    const std::unique_ptr<VLArchiveReader> m_reader;
};
