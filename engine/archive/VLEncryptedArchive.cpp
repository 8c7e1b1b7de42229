#include "engine/archive/VLEncryptedArchive.h"

#include "engine/archive/VLSectionCipher.h"

#include "platform/core/Log.h"
#include "platform/crypto/AesCbcCipher.h"

#include <QFileInfo>

using namespace VLEncryptedArchiveConstants;

namespace {

QString parentKey(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString parent = slash > 0 ? path.left(slash) : QString();
    return parent.isEmpty() ? QStringLiteral("/") : parent.toLower();
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

VLEncryptedArchive::VLEncryptedArchive() = default;

VLEncryptedArchive::~VLEncryptedArchive()
{
    releaseInputStream();
    std::lock_guard lock(m_mutex);
    platform::crypto::wipe(m_password);
}

std::unique_ptr<VLEncryptedArchive> VLEncryptedArchive::newArchive()
{
    return std::make_unique<VLEncryptedArchive>();
}

// ---------------------------------------------------------------------------------------------
// Tables

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::fileRecords() const
{
    std::lock_guard lock(m_mutex);
    return m_records;
}

void VLEncryptedArchive::addToDirectory(const VLEncryptedArchiveItemPtr &record)
{
    if (!record)
        return;
    const QString path = record->path();
    std::lock_guard lock(m_mutex);
    // The same path entered twice replaces the first record. Paths that differ only in case are
    // different items on a case-sensitive file system: both are kept.
    const auto existing = m_recordIndex.constFind(path);
    if (existing != m_recordIndex.constEnd()) {
        m_records[existing.value()] = record;
    } else {
        m_recordIndex.insert(path, m_records.size());
        // Most paths are their own lower case: the exact index finds them under that spelling,
        // and only the others get an entry of their own.
        const QString folded = path.toLower();
        if (folded != path && !m_foldedIndex.contains(folded) && !m_recordIndex.contains(folded))
            m_foldedIndex.insert(folded, m_records.size());
        m_records.append(record);
    }
    // Items come folder by folder: the last folder's key serves its next items without a copy.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView parent = QStringView(path).left(std::max<qsizetype>(slash, 0));
    if (m_lastParentKey.isNull() || parent != m_lastParent) {
        m_lastParent = parent.toString();
        m_lastParentKey = parentKey(path);
    }
    m_children[m_lastParentKey].append(record);
    if (!m_includeApplications && path.endsWith(u".app"))
        m_includeApplications = true;
}

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::childRecordsAtPath(const QString &path) const
{
    const QString key = path.isEmpty() || path == u"/" ? QStringLiteral("/") : withoutTrailingSlashes(path).toLower();
    std::lock_guard lock(m_mutex);
    return m_children.value(key);
}

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::childRecords(const VLEncryptedArchiveItemPtr &record) const
{
    return childRecordsAtPath(record ? record->path() : QString());
}

VLEncryptedArchiveItemPtr VLEncryptedArchive::recordAtPath(const QString &path) const
{
    std::lock_guard lock(m_mutex);
    const auto exact = m_recordIndex.constFind(path);
    if (exact != m_recordIndex.constEnd())
        return m_records.at(exact.value());
    const QString lower = path.toLower();
    const auto folded = m_foldedIndex.constFind(lower);
    if (folded != m_foldedIndex.constEnd())
        return m_records.at(folded.value());
    const auto own = m_recordIndex.constFind(lower);
    return own != m_recordIndex.constEnd() ? m_records.at(own.value()) : nullptr;
}

bool VLEncryptedArchive::isValidItemPath(const QString &path)
{
    return path.startsWith(u'/') && platform::ConfinedFolder::isValidRelativePath(path.mid(1));
}

// ---------------------------------------------------------------------------------------------
// Adding items

VLEncryptedArchiveItemPtr VLEncryptedArchive::addItemFromRoot(const QString &path, const QString &root)
{
    QString base = withoutTrailingSlashes(root);
    if (base.isEmpty() || base == u"/" || base == path) {
        const qsizetype slash = path.lastIndexOf(u'/');
        base = slash > 0 ? path.left(slash) : QStringLiteral("/");
    }
    if (!path.startsWith(base, Qt::CaseInsensitive))
        return nullptr;
    // The root must end at a component boundary, so that /a/bc is not taken as "c" inside /a/b.
    if (base != u"/" && (path.size() <= base.size() || path.at(base.size()) != u'/'))
        return nullptr;
    VLEncryptedArchiveItemPtr item = VLEncryptedArchiveItem::itemFromPathError(path);
    if (!item)
        return nullptr;
    item->setPath(base == u"/" ? path : path.mid(base.size()));
    item->setRealPathBelowFolder(base == u"/" ? QString() : base);
    item->setCompressed(compressFiles() && item->fileType() == platform::FileType::Regular);
    addToDirectory(item);
    return item;
}

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::addItemsFromRoot(const QStringList &paths, const QString &root)
{
    QList<VLEncryptedArchiveItemPtr> added;
    for (const QString &path : paths) {
        if (VLEncryptedArchiveItemPtr item = addItemFromRoot(path, root))
            added.append(item);
    }
    return added;
}

void VLEncryptedArchive::extractItemToPath(const VLEncryptedArchiveItemPtr &, const QString &)
{
}

void VLEncryptedArchive::extractItemsToPath(const QList<VLEncryptedArchiveItemPtr> &, const QString &)
{
}

// ---------------------------------------------------------------------------------------------
// Properties

#define VL_PROPERTY(Type, getter, Setter, member)                                                                      \
    Type VLEncryptedArchive::getter() const                                                                            \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        return member;                                                                                                 \
    }                                                                                                                  \
    void VLEncryptedArchive::Setter(Type value)                                                                        \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        member = value;                                                                                                \
    }

#define VL_PROPERTY_REF(Type, getter, Setter, member)                                                                  \
    Type VLEncryptedArchive::getter() const                                                                            \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        return member;                                                                                                 \
    }                                                                                                                  \
    void VLEncryptedArchive::Setter(const Type &value)                                                                 \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        member = value;                                                                                                \
    }

VL_PROPERTY(bool, encryptFiles, setEncryptFiles, m_encryptFiles)
VL_PROPERTY(bool, encryptDirectory, setEncryptDirectory, m_encryptDirectory)
VL_PROPERTY(bool, calculateFilesHmac, setCalculateFilesHmac, m_calculateFilesHmac)
VL_PROPERTY(bool, calculateDirectoryHmac, setCalculateDirectoryHmac, m_calculateDirectoryHmac)
VL_PROPERTY(bool, compressFiles, setCompressFiles, m_compressFiles)
VL_PROPERTY(quint64, compressionLevel, setCompressionLevel, m_compressionLevel)
VL_PROPERTY(quint64, AESKeyBits, setAESKeyBits, m_aesKeyBits)
VL_PROPERTY(VLEncryptedArchiveDelegate *, delegate, setDelegate, m_delegate)
VL_PROPERTY(int, workerCount, setWorkerCount, m_workerCount)
VL_PROPERTY_REF(QString, passwordHint, setPasswordHint, m_passwordHint)
VL_PROPERTY_REF(std::optional<QString>, comment, setComment, m_comment)
VL_PROPERTY_REF(std::optional<QByteArray>, preview, setPreview, m_preview)

#undef VL_PROPERTY
#undef VL_PROPERTY_REF

QString VLEncryptedArchive::password() const
{
    std::lock_guard lock(m_mutex);
    return m_password;
}

void VLEncryptedArchive::setPassword(const QString &password)
{
    std::lock_guard lock(m_mutex);
    platform::crypto::wipe(m_password);
    m_password = password;
}

bool VLEncryptedArchive::includeApplications() const
{
    std::lock_guard lock(m_mutex);
    return m_includeApplications;
}

bool VLEncryptedArchive::isOpened() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}

VLEncryptedArchive::Switches VLEncryptedArchive::switches() const
{
    std::lock_guard lock(m_mutex);
    return {m_encryptFiles, m_encryptDirectory, m_calculateFilesHmac, m_calculateDirectoryHmac, m_compressFiles};
}

std::size_t VLEncryptedArchive::keySizeInBytes() const
{
    const quint64 bits = AESKeyBits();
    return bits <= 128 ? 16 : bits <= 192 ? 24 : 32;
}

// ---------------------------------------------------------------------------------------------
// Delegate reports

bool VLEncryptedArchive::delegateAnswers(VLEncryptedArchiveDelegate::Callback callback) const
{
    VLEncryptedArchiveDelegate *target = delegate();
    return target && target->answers(callback);
}

void VLEncryptedArchive::sendStarted(const QString &operation)
{
    if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::StartedOperation))
        delegate()->encryptedArchiveStartedOperation(this, {{keyOperation, operation}});
}

void VLEncryptedArchive::sendFinished(const QString &operation)
{
    if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::FinishedOperation))
        delegate()->encryptedArchiveFinishedOperation(this, {{keyOperation, operation}});
}

void VLEncryptedArchive::sendError(const QString &operation, int code, const VLEncryptedArchiveItemPtr &record,
                                   const VLError &lowError)
{
    if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationError))
        return;
    QVariantMap info{{keyOperation, operation}, {keyError, QVariant::fromValue(VLError(errorDomain, code))}};
    if (record)
        info.insert(keyItem, QVariant::fromValue(record));
    if (lowError)
        info.insert(keyUnderlyingError, QVariant::fromValue(lowError));
    delegate()->encryptedArchiveOperationError(this, info);
}

void VLEncryptedArchive::sendProgress(const QString &operation, std::optional<double> progress,
                                      const VLEncryptedArchiveItemPtr &record, double totalProgress, bool *cancel)
{
    if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress))
        return;
    QVariantMap info{{keyOperation, operation}, {keyTotalProgress, totalProgress}};
    if (progress)
        info.insert(keyProgress, *progress);
    if (record)
        info.insert(keyItem, QVariant::fromValue(record));
    bool stop = cancel ? *cancel : false;
    delegate()->encryptedArchiveOperationProgress(this, info, stop);
    if (cancel)
        *cancel = stop;
}

void VLEncryptedArchive::reportOpenErrorLowError(int code, const VLError &lowError)
{
    {
        std::lock_guard lock(m_mutex);
        m_opened = false;
    }
    releaseInputStream();
    m_in.close();
    sendError(operationOpening, code, nullptr, lowError);
}

void VLEncryptedArchive::reportExtractErrorForItemLowError(int code, const VLEncryptedArchiveItemPtr &record,
                                                           const VLError &lowError)
{
    releaseInputStream();
    sendError(operationExtraction, code, record, lowError);
}

void VLEncryptedArchive::reportExtractProgressForItemTotalProgressCancel(double progress,
                                                                         const VLEncryptedArchiveItemPtr &record,
                                                                         double totalProgress, bool *cancel)
{
    sendProgress(operationExtraction, progress, record, totalProgress, cancel);
}

void VLEncryptedArchive::reportSaveErrorForItemLowError(int code, const VLEncryptedArchiveItemPtr &record,
                                                        const VLError &lowError)
{
    // A write that failed earlier (a full disk) is the cause of whatever step noticed it: the
    // container could not be written, for the system's reason.
    if (m_outWriteError && code != VLArchiveErrorStopped) {
        sendError(operationSaving, VLArchiveErrorCreateArchive, nullptr, VLError::posix(m_outWriteError));
        return;
    }
    sendError(operationSaving, code, record, lowError);
}

void VLEncryptedArchive::reportSaveProgressForItemTotalProgressCancel(double progress,
                                                                      const VLEncryptedArchiveItemPtr &record,
                                                                      quint64 processed, bool *cancel)
{
    if (cancel)
        *cancel = false;
    const double total = m_operationTotal == 0 ? 100.0 : double(processed) * 100.0 / double(m_operationTotal);
    sendProgress(operationSaving, progress, record, total, cancel);
}
