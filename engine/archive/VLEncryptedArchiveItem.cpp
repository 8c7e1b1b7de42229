#include "engine/archive/VLEncryptedArchiveItem.h"

#include "engine/archive/VLTypeIdentifier.h"
#include "platform/files/PosixFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <map>

namespace {

// Equal texts, and both null or neither: a record gives back what was set.
bool sameText(const QString &a, const QString &b)
{
    return a == b && a.isNull() == b.isNull();
}

} // namespace

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
    Stored &s = item->m_stored;
    s.path = VLPackedPath(path);
    s.folder = folderNamed(QString(u""_qs)); // the real path is the path itself
    if (s.folder == noFolder)
        s.storeAside(&Aside::realPath, path, true);
    // The type is looked up from the name when first asked for: on a large tree the look-up
    // then runs on the workers that write the sections, not in the walk that adds the items.
    if (type == platform::FileType::Directory)
        s.storeUTI(VLTypeIdentifierForPath(path, true));
    else
        s.set(UtiFromName, true);
    if (type == platform::FileType::SymbolicLink) {
        const std::optional<QString> destination = platform::destinationOfSymbolicLinkAtPath(path);
        if (!destination)
            return nullptr;
        s.storeAside(&Aside::linkDestination, destination, true);
        s.storeWide(Size, 0);
        s.attributes.setType(platform::FileType::SymbolicLink);
        return item;
    }
    // Extended attributes and the access-control buffer are read when the item's section is
    // written, so that a large tree's records stay small.
    // Account names are not stored in the container, nor kept.
    s.storeWide(Size, attributes->size.value_or(0));
    s.storeAttributes(*attributes);
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
    return Fields{path.unpacked(),
                  currentRealPath(),
                  currentAttributes(),
                  readAside(&Aside::extendedAttributes),
                  readAside(&Aside::extendedSecurityOptions),
                  currentUTI(),
                  readAside(&Aside::linkDestination),
                  currentWide(Size),
                  currentWide(LocalHeaderPosition),
                  readAside(&Aside::fileDataPosition),
                  has(Compressed),
                  currentWide(CompressedSize),
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
    // Only what changed is stored again: an untouched real path keeps the folder it shares, an
    // untouched type its place in the shared table.
    if (after.path != before.path)
        s.storePath(after.path);
    if (after.realPath != before.realPath)
        s.storeRealPath(after.realPath);
    s.storeSize(after.size);
    if (after.attributes != before.attributes)
        s.storeAttributes(after.attributes);
    s.storeAside(&Aside::extendedAttributes, after.extendedAttributes, !after.extendedAttributes.isEmpty());
    s.storeAside(&Aside::extendedSecurityOptions, after.extendedSecurityOptions,
                 !after.extendedSecurityOptions.isNull());
    if (!sameText(after.uti, before.uti))
        s.storeUTI(after.uti);
    s.storeAside(&Aside::linkDestination, after.linkDestination, after.linkDestination.has_value());
    s.storeWide(LocalHeaderPosition, after.localHeaderPosition);
    s.storeAside(&Aside::fileDataPosition, after.fileDataPosition, after.fileDataPosition != 0);
    s.set(Compressed, after.compressed);
    s.storeWide(CompressedSize, after.compressedSize);
    if (after.hmac != before.hmac)
        s.storeHmac(after.hmac);
}

QString VLEncryptedArchiveItem::path() const
{
    std::lock_guard lock(mutex());
    return m_stored.path.unpacked();
}

void VLEncryptedArchiveItem::setPath(const QString &value)
{
    std::lock_guard lock(mutex());
    m_stored.storePath(value);
}

void VLEncryptedArchiveItem::Stored::storePath(const QString &value)
{
    // A real path made of the folder and the path stays where it is.
    if (folder != noFolder) {
        storeAside(&Aside::realPath, currentRealPath(), true);
        folder = noFolder;
    }
    path = VLPackedPath(value);
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
    folder = noFolder;
    storeAside(&Aside::realPath, value, !value.isNull());
}

void VLEncryptedArchiveItem::setRealPathBelowFolder(const QString &folder)
{
    const quint16 shared = folderNamed(folder);
    std::lock_guard lock(mutex());
    m_stored.storeBelowFolder(m_stored.path.unpacked(), folder, shared);
}

void VLEncryptedArchiveItem::setPathBelowFolder(const QString &path, const QString &folder)
{
    const quint16 shared = folderNamed(folder);
    std::lock_guard lock(mutex());
    m_stored.storeBelowFolder(path, folder, shared);
}

void VLEncryptedArchiveItem::Stored::storeBelowFolder(const QString &value, const QString &folderPath, quint16 number)
{
    // Adding an item only splits its path this way: the type stays to be looked up.
    const QString current = currentRealPath();
    if (current.size() != folderPath.size() + value.size() || !current.startsWith(folderPath)
        || !current.endsWith(value))
        resolveUTI();
    path = VLPackedPath(value);
    folder = number;
    storeAside(&Aside::realPath, number == noFolder ? QString(folderPath + value) : QString(), number == noFolder);
}

QString VLEncryptedArchiveItem::Stored::currentRealPath() const
{
    return folder != noFolder ? folderNumbered(folder) + path.unpacked() : readAside(&Aside::realPath);
}

quint64 VLEncryptedArchiveItem::Stored::currentWide(Wide field) const
{
    return wide[field] == wideAside ? aside->wide[field].value_or(wideAside) : wide[field];
}

void VLEncryptedArchiveItem::Stored::storeWide(Wide field, quint64 value)
{
    const bool fits = value < wideAside;
    wide[field] = fits ? quint32(value) : wideAside;
    if (fits && !(aside && aside->wide[field]))
        return;
    if (!aside)
        aside = std::make_unique<Aside>();
    aside->wide[field] = fits ? std::nullopt : std::optional<quint64>(value);
    releaseEmptyAside();
}

namespace {

// Folders by number, each set once and never changed: read without a lock.
constexpr std::size_t folderNumbers = 0x10000;
std::array<std::atomic<const QString *>, folderNumbers> numberedFolders{};

} // namespace

quint16 VLEncryptedArchiveItem::folderNamed(const QString &path)
{
    // A tree's records continue one folder: each thread keeps the last one it asked for.
    thread_local quint16 last = noFolder;
    if (last != noFolder && folderNumbered(last) == path)
        return last;
    static std::mutex mutex;
    static std::map<QString, quint16> numbers; // its nodes stay put
    std::lock_guard lock(mutex);
    const auto found = numbers.find(path);
    if (found != numbers.end())
        return last = found->second;
    const std::size_t number = numbers.size() + 1; // 0 is noFolder
    if (number >= folderNumbers)
        return noFolder;
    const auto entered = numbers.emplace(path, quint16(number)).first;
    numberedFolders[number].store(&entered->first, std::memory_order_release);
    return last = quint16(number);
}

const QString &VLEncryptedArchiveItem::folderNumbered(quint16 number)
{
    return *numberedFolders[number].load(std::memory_order_acquire);
}

platform::FileAttributes VLEncryptedArchiveItem::attributes() const
{
    std::lock_guard lock(mutex());
    return m_stored.currentAttributes();
}

void VLEncryptedArchiveItem::setAttributes(const platform::FileAttributes &value)
{
    const VLPackedAttributes packed(value);
    std::lock_guard lock(mutex());
    m_stored.attributes = packed;
    m_stored.storeAttributeSize(value.size);
}

platform::FileAttributes VLEncryptedArchiveItem::Stored::currentAttributes() const
{
    platform::FileAttributes a = attributes.unpacked();
    a.size = currentAttributeSize();
    return a;
}

void VLEncryptedArchiveItem::Stored::storeAttributes(const platform::FileAttributes &value)
{
    attributes = VLPackedAttributes(value);
    storeAttributeSize(value.size);
}

// The attributes' size is almost always the record's own, read from the same place: the record
// then keeps it once.
std::optional<quint64> VLEncryptedArchiveItem::Stored::currentAttributeSize() const
{
    return has(AttributeSizeIsSize) ? std::optional<quint64>(currentWide(Size)) : readAside(&Aside::attributeSize);
}

void VLEncryptedArchiveItem::Stored::storeAttributeSize(const std::optional<quint64> &value)
{
    const bool isSize = value == currentWide(Size);
    set(AttributeSizeIsSize, isSize);
    storeAside(&Aside::attributeSize, value, value && !isSize);
}

void VLEncryptedArchiveItem::setSize(quint64 value)
{
    std::lock_guard lock(mutex());
    m_stored.storeSize(value);
}

void VLEncryptedArchiveItem::Stored::storeSize(quint64 value)
{
    const std::optional<quint64> attributeSize = currentAttributeSize();
    storeWide(Size, value);
    storeAttributeSize(attributeSize);
}

VLExtendedAttributes VLEncryptedArchiveItem::extendedAttributes() const
{
    std::lock_guard lock(mutex());
    return m_stored.readAside(&Aside::extendedAttributes);
}

void VLEncryptedArchiveItem::setExtendedAttributes(const VLExtendedAttributes &value)
{
    std::lock_guard lock(mutex());
    m_stored.storeAside(&Aside::extendedAttributes, value, !value.isEmpty());
}

QByteArray VLEncryptedArchiveItem::extendedSecurityOptions() const
{
    std::lock_guard lock(mutex());
    return m_stored.readAside(&Aside::extendedSecurityOptions);
}

void VLEncryptedArchiveItem::setExtendedSecurityOptions(const QByteArray &value)
{
    std::lock_guard lock(mutex());
    m_stored.storeAside(&Aside::extendedSecurityOptions, value, !value.isNull());
}

std::optional<QString> VLEncryptedArchiveItem::linkDestination() const
{
    std::lock_guard lock(mutex());
    return m_stored.readAside(&Aside::linkDestination);
}

void VLEncryptedArchiveItem::setLinkDestination(const std::optional<QString> &value)
{
    std::lock_guard lock(mutex());
    m_stored.storeAside(&Aside::linkDestination, value, value.has_value());
}

quint64 VLEncryptedArchiveItem::fileDataPosition() const
{
    std::lock_guard lock(mutex());
    return m_stored.readAside(&Aside::fileDataPosition);
}

void VLEncryptedArchiveItem::setFileDataPosition(quint64 value)
{
    std::lock_guard lock(mutex());
    m_stored.storeAside(&Aside::fileDataPosition, value, value != 0);
}

bool VLEncryptedArchiveItem::compressed() const
{
    std::lock_guard lock(mutex());
    return m_stored.has(Compressed);
}

void VLEncryptedArchiveItem::setCompressed(bool value)
{
    std::lock_guard lock(mutex());
    m_stored.set(Compressed, value);
}

QString VLEncryptedArchiveItem::UTI() const
{
    std::lock_guard lock(mutex());
    m_stored.resolveUTI();
    return m_stored.currentUTI();
}

void VLEncryptedArchiveItem::setUTI(const QString &value)
{
    std::lock_guard lock(mutex());
    m_stored.set(UtiFromName, false);
    m_stored.storeUTI(value);
}

void VLEncryptedArchiveItem::Stored::resolveUTI()
{
    if (!has(UtiFromName))
        return;
    set(UtiFromName, false);
    storeUTI(VLTypeIdentifierForPath(currentRealPath(), false));
}

QString VLEncryptedArchiveItem::Stored::currentUTI() const
{
    if (aside && aside->uti)
        return *aside->uti;
    return VLTypeIdentifierTable::at(uti);
}

void VLEncryptedArchiveItem::Stored::storeUTI(const QString &value)
{
    const std::optional<VLTypeIdentifierTable::Index> shared = VLTypeIdentifierTable::indexOf(value);
    uti = shared.value_or(VLTypeIdentifierTable::noIdentifier);
    storeAside(&Aside::uti, std::optional<QString>(value), !shared);
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
    if (has(HmacInline))
        return QByteArray(hmacBytes.data(), qsizetype(hmacBytes.size()));
    return readAside(&Aside::hmac);
}

void VLEncryptedArchiveItem::Stored::storeHmac(const std::optional<QByteArray> &value)
{
    const bool fits = value && std::size_t(value->size()) == hmacSize;
    if (fits)
        std::copy(value->cbegin(), value->cend(), hmacBytes.begin());
    set(HmacInline, fits);
    storeAside(&Aside::hmac, value, value && !fits);
}

bool VLEncryptedArchiveItem::Aside::holdsNothing() const
{
    return extendedAttributes.isEmpty() && extendedSecurityOptions.isNull() && !linkDestination && !hmac && !uti
           && fileDataPosition == 0 && !attributeSize && realPath.isNull()
           && std::none_of(wide.cbegin(), wide.cend(), [](const std::optional<quint64> &value) { return value; });
}

void VLEncryptedArchiveItem::Stored::releaseEmptyAside()
{
    if (aside && aside->holdsNothing())
        aside.reset();
}
