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
    item->m_stored.realPath = path;
    item->m_stored.path = path;
    // The type is looked up from the name when first asked for: on a large tree the look-up
    // then runs on the workers that write the sections, not in the walk that adds the items.
    if (type == platform::FileType::Directory)
        item->m_stored.uti = VLTypeIdentifierForPath(path, true);
    else
        item->m_stored.utiFromRealPath = true;
    if (type == platform::FileType::SymbolicLink) {
        const std::optional<QString> destination = platform::destinationOfSymbolicLinkAtPath(path);
        if (!destination)
            return nullptr;
        item->m_stored.linkDestination = destination;
        item->m_stored.size = 0;
        item->m_stored.attributes.setType(platform::FileType::SymbolicLink);
        return item;
    }
    // Extended attributes and the access-control buffer are read when the item's section is
    // written, so that a large tree's records stay small.
    // Account names are not stored in the container, nor kept.
    item->m_stored.attributes = VLPackedAttributes(*attributes);
    item->m_stored.size = attributes->size.value_or(0);
    return item;
}

std::optional<platform::FileType> VLEncryptedArchiveItem::fileType() const
{
    std::lock_guard lock(mutex());
    return m_stored.attributes.type();
}

VLEncryptedArchiveItem::Fields VLEncryptedArchiveItem::Stored::snapshot()
{
    resolveUTI();
    return Fields{path,
                  currentRealPath(),
                  attributes.unpacked(),
                  extendedAttributes,
                  extendedSecurityOptions,
                  uti,
                  linkDestination,
                  size,
                  localHeaderPosition,
                  fileDataPosition,
                  compressed,
                  compressedSize,
                  currentHmac()};
}

VLEncryptedArchiveItem::Fields VLEncryptedArchiveItem::fields() const
{
    std::lock_guard lock(mutex());
    return m_stored.snapshot();
}

void VLEncryptedArchiveItem::update(const std::function<void(Fields &)> &change)
{
    std::lock_guard lock(mutex());
    Stored &s = m_stored;
    const Fields before = s.snapshot();
    Fields after = before;
    change(after);
    // Only what changed is stored again: an untouched real path keeps the folder it shares.
    if (after.path != before.path)
        s.storePath(after.path);
    if (after.realPath != before.realPath)
        s.storeRealPath(after.realPath);
    if (after.attributes != before.attributes)
        s.attributes = VLPackedAttributes(after.attributes);
    s.extendedAttributes = after.extendedAttributes;
    s.extendedSecurityOptions = after.extendedSecurityOptions;
    s.uti = after.uti;
    s.linkDestination = after.linkDestination;
    s.size = after.size;
    s.localHeaderPosition = after.localHeaderPosition;
    s.fileDataPosition = after.fileDataPosition;
    s.compressed = after.compressed;
    s.compressedSize = after.compressedSize;
    if (after.hmac != before.hmac)
        s.storeHmac(after.hmac);
}

QString VLEncryptedArchiveItem::path() const
{
    return read(&Stored::path);
}

void VLEncryptedArchiveItem::setPath(const QString &value)
{
    std::lock_guard lock(mutex());
    m_stored.storePath(value);
}

void VLEncryptedArchiveItem::Stored::storePath(const QString &value)
{
    // A real path made of the folder and the path stays where it is.
    realPath = currentRealPath();
    realPathBelowFolder = false;
    path = value;
}

QString VLEncryptedArchiveItem::realPath() const
{
    std::lock_guard lock(mutex());
    return m_stored.currentRealPath();
}

void VLEncryptedArchiveItem::setRealPath(const QString &value)
{
    std::lock_guard lock(mutex());
    m_stored.storeRealPath(value);
}

void VLEncryptedArchiveItem::Stored::storeRealPath(const QString &value)
{
    resolveUTI();
    realPath = value;
    realPathBelowFolder = false;
}

void VLEncryptedArchiveItem::setRealPathBelowFolder(const QString &folder)
{
    std::lock_guard lock(mutex());
    Stored &s = m_stored;
    // Adding an item only splits its path this way: the type stays to be looked up.
    const QString current = s.currentRealPath();
    if (current.size() != folder.size() + s.path.size() || !current.startsWith(folder) || !current.endsWith(s.path))
        s.resolveUTI();
    s.realPath = folder;
    s.realPathBelowFolder = true;
}

QString VLEncryptedArchiveItem::Stored::currentRealPath() const
{
    return realPathBelowFolder ? realPath + path : realPath;
}

platform::FileAttributes VLEncryptedArchiveItem::attributes() const
{
    std::lock_guard lock(mutex());
    return m_stored.attributes.unpacked();
}

void VLEncryptedArchiveItem::setAttributes(const platform::FileAttributes &value)
{
    const VLPackedAttributes packed(value);
    std::lock_guard lock(mutex());
    m_stored.attributes = packed;
}

QString VLEncryptedArchiveItem::UTI() const
{
    std::lock_guard lock(mutex());
    m_stored.resolveUTI();
    return m_stored.uti;
}

void VLEncryptedArchiveItem::setUTI(const QString &value)
{
    std::lock_guard lock(mutex());
    m_stored.utiFromRealPath = false;
    m_stored.uti = value;
}

void VLEncryptedArchiveItem::Stored::resolveUTI()
{
    if (!utiFromRealPath)
        return;
    uti = VLTypeIdentifierForPath(currentRealPath(), false);
    utiFromRealPath = false;
}

std::optional<QByteArray> VLEncryptedArchiveItem::hmac() const
{
    std::lock_guard lock(mutex());
    return m_stored.currentHmac();
}

void VLEncryptedArchiveItem::setHmac(const std::optional<QByteArray> &value)
{
    std::lock_guard lock(mutex());
    m_stored.storeHmac(value);
}

std::optional<QByteArray> VLEncryptedArchiveItem::Stored::currentHmac() const
{
    switch (hmacState) {
    case HmacState::Inline:
        return QByteArray(hmacBytes.data(), qsizetype(hmacBytes.size()));
    case HmacState::Aside:
        return *hmacAside;
    case HmacState::None:
        break;
    }
    return std::nullopt;
}

void VLEncryptedArchiveItem::Stored::storeHmac(const std::optional<QByteArray> &value)
{
    hmacAside.reset();
    if (!value) {
        hmacState = HmacState::None;
    } else if (std::size_t(value->size()) == hmacSize) {
        std::copy(value->cbegin(), value->cend(), hmacBytes.begin());
        hmacState = HmacState::Inline;
    } else {
        hmacAside = std::make_unique<QByteArray>(*value);
        hmacState = HmacState::Aside;
    }
}
