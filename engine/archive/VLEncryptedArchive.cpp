#include "engine/archive/VLEncryptedArchive.h"

#include "engine/archive/VLArchiveReader.h"
#include "engine/archive/VLArchiveRecordTable.h"
#include "engine/archive/VLArchiveWriter.h"

#include "platform/crypto/SecureBytes.h"

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

VLEncryptedArchive::VLEncryptedArchive()
    : m_records(std::make_unique<VLArchiveRecordTable>())
    , m_writer(std::make_unique<VLArchiveWriter>(*this))
    , m_reader(std::make_unique<VLArchiveReader>(*this))
{
}

VLEncryptedArchive::~VLEncryptedArchive()
{
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
    return m_records->records();
}

void VLEncryptedArchive::addToDirectory(const VLEncryptedArchiveItemPtr &record)
{
    if (!record)
        return;
    const QString path = record->path();
    m_records->add(record, path);
    if (path.endsWith(u".app")) {
        std::lock_guard lock(m_mutex);
        m_includeApplications = true;
    }
}

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::childRecordsAtPath(const QString &path) const
{
    return m_records->childrenAtPath(path);
}

QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::childRecords(const VLEncryptedArchiveItemPtr &record) const
{
    return childRecordsAtPath(record ? record->path() : QString());
}

VLEncryptedArchiveItemPtr VLEncryptedArchive::recordAtPath(const QString &path) const
{
    return m_records->recordAtPath(path);
}

// ---------------------------------------------------------------------------------------------
// Adding items

VLEncryptedArchiveItemPtr VLEncryptedArchive::addItemFromRoot(const QString &path, const QString &root)
{
    VLEncryptedArchiveItemPtr item = recordForItemFromRoot(path, root);
    addToDirectory(item);
    return item;
}

VLEncryptedArchiveItemPtr VLEncryptedArchive::recordForItemFromRoot(const QString &path, const QString &root) const
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
    item->setPathBelowFolder(base == u"/" ? path : path.mid(base.size()), base == u"/" ? QString() : base);
    item->setCompressed(compressFiles() && item->fileType() == platform::FileType::Regular);
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

// ---------------------------------------------------------------------------------------------
// Operations

void VLEncryptedArchive::save(const QString &path)
{
    m_writer->save(path);
}

void VLEncryptedArchive::openArchive(const QString &path)
{
    m_reader->open(path);
}

void VLEncryptedArchive::closeArchive()
{
    m_reader->close();
    m_records->clear();
}

void VLEncryptedArchive::extractAllItems(const QString &path)
{
    m_reader->extractAll(path);
}

bool VLEncryptedArchive::isOpened() const
{
    return m_reader->isOpen();
}

void VLEncryptedArchive::setReadPieceHook(ReadPieceHook hook)
{
    m_writer->setReadPieceHook(std::move(hook));
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
