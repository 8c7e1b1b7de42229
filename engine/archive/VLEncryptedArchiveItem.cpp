#include "engine/archive/VLEncryptedArchiveItem.h"

#include "engine/archive/VLTypeIdentifier.h"
#include "platform/files/PosixFile.h"

#include <algorithm>
#include <array>
#include <functional>

std::mutex &VLEncryptedArchiveItem::mutex() const
{
    // Records are many and their locks are held for a field's copy: a fixed set of locks shared
    // by address keeps a large tree's records small, and no record method takes two locks.
    static std::array<std::mutex, 64> locks;
    return locks[std::hash<const void *>()(this) / alignof(std::max_align_t) % locks.size()];
}

std::shared_ptr<VLEncryptedArchiveItem> VLEncryptedArchiveItem::itemFromPathError(const QString &path, VLError *error)
{
    const std::optional<platform::FileAttributes> attributes = platform::attributesOfItemAtPath(path, error);
    if (!attributes || !attributes->type)
        return nullptr;
    const platform::FileType type = *attributes->type;
    if (type != platform::FileType::Regular && type != platform::FileType::Directory
        && type != platform::FileType::SymbolicLink)
        return nullptr;

    auto item = std::make_shared<VLEncryptedArchiveItem>();
    item->m_realPath = path;
    item->m_path = path;
    // The type is looked up from the name when first asked for: on a large tree the look-up
    // then runs on the workers that write the sections, not in the walk that adds the items.
    if (type == platform::FileType::Directory)
        item->m_uti = VLTypeIdentifierForPath(path, true);
    else
        item->m_utiFromRealPath = true;
    if (type == platform::FileType::SymbolicLink) {
        const std::optional<QString> destination = platform::destinationOfSymbolicLinkAtPath(path);
        if (!destination)
            return nullptr;
        item->m_linkDestination = destination;
        item->m_size = 0;
        item->m_attributes.setType(platform::FileType::SymbolicLink);
        return item;
    }
    // Extended attributes and the access-control buffer are read when the item's section is
    // written, so that a large tree's records stay small.
    // Account names are not stored in the container, nor kept.
    item->m_attributes = VLPackedAttributes(*attributes);
    item->m_size = attributes->size.value_or(0);
    return item;
}

std::optional<platform::FileType> VLEncryptedArchiveItem::fileType() const
{
    std::lock_guard lock(mutex());
    return m_attributes.type();
}

QString VLEncryptedArchiveItem::path() const
{
    std::lock_guard lock(mutex());
    return m_path;
}

void VLEncryptedArchiveItem::setPath(const QString &value)
{
    std::lock_guard lock(mutex());
    // A real path made of the folder and the path stays where it is.
    m_realPath = currentRealPath();
    m_realPathBelowFolder = false;
    m_path = value;
}

QString VLEncryptedArchiveItem::realPath() const
{
    std::lock_guard lock(mutex());
    return currentRealPath();
}

void VLEncryptedArchiveItem::setRealPath(const QString &value)
{
    std::lock_guard lock(mutex());
    resolveUTI();
    m_realPath = value;
    m_realPathBelowFolder = false;
}

void VLEncryptedArchiveItem::setRealPathBelowFolder(const QString &folder)
{
    std::lock_guard lock(mutex());
    // Adding an item only splits its path this way: the type stays to be looked up.
    const QString current = currentRealPath();
    if (current.size() != folder.size() + m_path.size() || !current.startsWith(folder) || !current.endsWith(m_path))
        resolveUTI();
    m_realPath = folder;
    m_realPathBelowFolder = true;
}

QString VLEncryptedArchiveItem::currentRealPath() const
{
    return m_realPathBelowFolder ? m_realPath + m_path : m_realPath;
}

platform::FileAttributes VLEncryptedArchiveItem::attributes() const
{
    std::lock_guard lock(mutex());
    return m_attributes.unpacked();
}

void VLEncryptedArchiveItem::setAttributes(const platform::FileAttributes &value)
{
    std::lock_guard lock(mutex());
    m_attributes = VLPackedAttributes(value);
}

VLExtendedAttributes VLEncryptedArchiveItem::extendedAttributes() const
{
    std::lock_guard lock(mutex());
    return m_extendedAttributes;
}

void VLEncryptedArchiveItem::setExtendedAttributes(const VLExtendedAttributes &value)
{
    std::lock_guard lock(mutex());
    m_extendedAttributes = value;
}

QByteArray VLEncryptedArchiveItem::extendedSecurityOptions() const
{
    std::lock_guard lock(mutex());
    return m_extendedSecurityOptions;
}

void VLEncryptedArchiveItem::setExtendedSecurityOptions(const QByteArray &value)
{
    std::lock_guard lock(mutex());
    m_extendedSecurityOptions = value;
}

QString VLEncryptedArchiveItem::UTI() const
{
    std::lock_guard lock(mutex());
    resolveUTI();
    return m_uti;
}

void VLEncryptedArchiveItem::setUTI(const QString &value)
{
    std::lock_guard lock(mutex());
    m_utiFromRealPath = false;
    m_uti = value;
}

void VLEncryptedArchiveItem::resolveUTI() const
{
    if (!m_utiFromRealPath)
        return;
    m_uti = VLTypeIdentifierForPath(currentRealPath(), false);
    m_utiFromRealPath = false;
}

std::optional<QString> VLEncryptedArchiveItem::linkDestination() const
{
    std::lock_guard lock(mutex());
    return m_linkDestination;
}

void VLEncryptedArchiveItem::setLinkDestination(const std::optional<QString> &value)
{
    std::lock_guard lock(mutex());
    m_linkDestination = value;
}

quint64 VLEncryptedArchiveItem::size() const
{
    std::lock_guard lock(mutex());
    return m_size;
}

void VLEncryptedArchiveItem::setSize(quint64 value)
{
    std::lock_guard lock(mutex());
    m_size = value;
}

quint64 VLEncryptedArchiveItem::localHeaderPosition() const
{
    std::lock_guard lock(mutex());
    return m_localHeaderPosition;
}

void VLEncryptedArchiveItem::setLocalHeaderPosition(quint64 value)
{
    std::lock_guard lock(mutex());
    m_localHeaderPosition = value;
}

quint64 VLEncryptedArchiveItem::fileDataPosition() const
{
    std::lock_guard lock(mutex());
    return m_fileDataPosition;
}

void VLEncryptedArchiveItem::setFileDataPosition(quint64 value)
{
    std::lock_guard lock(mutex());
    m_fileDataPosition = value;
}

bool VLEncryptedArchiveItem::compressed() const
{
    std::lock_guard lock(mutex());
    return m_compressed;
}

void VLEncryptedArchiveItem::setCompressed(bool value)
{
    std::lock_guard lock(mutex());
    m_compressed = value;
}

quint64 VLEncryptedArchiveItem::compressedSize() const
{
    std::lock_guard lock(mutex());
    return m_compressedSize;
}

void VLEncryptedArchiveItem::setCompressedSize(quint64 value)
{
    std::lock_guard lock(mutex());
    m_compressedSize = value;
}

std::optional<QByteArray> VLEncryptedArchiveItem::hmac() const
{
    std::lock_guard lock(mutex());
    switch (m_hmacState) {
    case HmacState::Inline:
        return QByteArray(m_hmacBytes.data(), qsizetype(m_hmacBytes.size()));
    case HmacState::Aside:
        return *m_hmacAside;
    case HmacState::None:
        break;
    }
    return std::nullopt;
}

void VLEncryptedArchiveItem::setHmac(const std::optional<QByteArray> &value)
{
    std::lock_guard lock(mutex());
    m_hmacAside.reset();
    if (!value) {
        m_hmacState = HmacState::None;
    } else if (std::size_t(value->size()) == hmacSize) {
        std::copy(value->cbegin(), value->cend(), m_hmacBytes.begin());
        m_hmacState = HmacState::Inline;
    } else {
        m_hmacAside = std::make_unique<QByteArray>(*value);
        m_hmacState = HmacState::Aside;
    }
}
