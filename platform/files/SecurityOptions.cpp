#include "platform/files/SecurityOptions.h"

#include "platform/core/Log.h"

#include <QFile>
#include <QMap>
#include <QtEndian>

#include <acl/libacl.h>
#include <cerrno>
#include <cstring>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform::SecurityOptions {
namespace {

// kauth file-security block and entry layout.
constexpr quint32 fileSecurityMagic = 0x012cc16d;
constexpr quint32 noACLEntryCount = 0xffffffffu;
constexpr qsizetype fileSecurityHeaderSize = 44; // magic, owner, group, count, flags
constexpr qsizetype entrySize = 24;
constexpr qsizetype maximumEntries = (bufferSize - variableDataOffset - fileSecurityHeaderSize) / entrySize;

// Entry flags.
constexpr quint32 aceKindMask = 0xf;
constexpr quint32 acePermit = 1;
constexpr quint32 aceDeny = 2;
constexpr quint32 aceFileInherit = 1u << 5;
constexpr quint32 aceDirectoryInherit = 1u << 6;
constexpr quint32 aceOnlyInherit = 1u << 8;

// Entry rights.
constexpr quint32 rightReadData = 1u << 1;   // also list folder
constexpr quint32 rightWriteData = 1u << 2;  // also add file
constexpr quint32 rightExecute = 1u << 3;    // also search folder
constexpr quint32 rightAppendData = 1u << 5; // also add subfolder
constexpr quint32 rightDeleteChild = 1u << 6;
constexpr quint32 rightReadAttributes = 1u << 7;
constexpr quint32 rightWriteAttributes = 1u << 8;
constexpr quint32 rightReadExtendedAttributes = 1u << 9;
constexpr quint32 rightWriteExtendedAttributes = 1u << 10;
constexpr quint32 rightReadSecurity = 1u << 11;
constexpr quint32 rightGenericAll = 1u << 21;
constexpr quint32 rightGenericExecute = 1u << 22;
constexpr quint32 rightGenericWrite = 1u << 23;
constexpr quint32 rightGenericRead = 1u << 24;

constexpr unsigned char userUUIDPrefix[12] = {0xff, 0xff, 0xee, 0xee, 0xdd, 0xdd, 0xcc, 0xcc, 0xbb, 0xbb, 0xaa, 0xaa};
constexpr unsigned char groupUUIDPrefix[12] = {0xab, 0xcd, 0xef, 0xab, 0xcd, 0xef, 0xab, 0xcd, 0xef, 0xab, 0xcd, 0xef};

enum Permission : unsigned { Read = 4, Write = 2, Execute = 1 };

struct NamedEntries
{
    QMap<quint32, unsigned> users; // uid to rwx bits
    QMap<quint32, unsigned> groups;
    // With named entries the mode's group bits show the mask, not the owning group's own entry;
    // the rights the mask has beyond that entry are kept as a deny entry for the owning group.
    unsigned ownerGroupDenied = 0;
    bool isEmpty() const { return users.isEmpty() && groups.isEmpty(); }
};

QByteArray uuidWithPrefix(const unsigned char (&prefix)[12], quint32 id)
{
    QByteArray uuid(reinterpret_cast<const char *>(prefix), 12);
    uuid.resize(16);
    qToBigEndian(id, uuid.data() + 12);
    return uuid;
}

std::optional<quint32> idOfUUID(const unsigned char (&prefix)[12], const QByteArray &uuid)
{
    if (uuid.size() != 16 || std::memcmp(uuid.constData(), prefix, 12) != 0)
        return std::nullopt;
    return qFromBigEndian<quint32>(uuid.constData() + 12);
}

QString uuidText(const QByteArray &uuid)
{
    const QByteArray hex = uuid.toHex().toUpper();
    return QString::fromLatin1(hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-'
                               + hex.mid(20));
}

// A deny entry takes only the data rights, so that members keep reading the item's attributes.
quint32 deniedRightsOfPermissions(unsigned permissions)
{
    return ((permissions & Read) ? rightReadData : 0u) | ((permissions & Write) ? rightWriteData | rightAppendData : 0u)
           | ((permissions & Execute) ? rightExecute : 0u);
}

quint32 rightsOfPermissions(unsigned permissions, bool folder)
{
    quint32 rights = 0;
    if (permissions & Read)
        rights |= rightReadData | rightReadAttributes | rightReadExtendedAttributes | rightReadSecurity;
    if (permissions & Write) {
        rights |= rightWriteData | rightAppendData | rightWriteAttributes | rightWriteExtendedAttributes;
        if (folder)
            rights |= rightDeleteChild;
    }
    if (permissions & Execute)
        rights |= rightExecute;
    return rights;
}

unsigned permissionsOfRights(quint32 rights)
{
    unsigned permissions = 0;
    if (rights & (rightReadData | rightGenericRead | rightGenericAll))
        permissions |= Read;
    if (rights & (rightWriteData | rightGenericWrite | rightGenericAll))
        permissions |= Write;
    if (rights & (rightExecute | rightGenericExecute | rightGenericAll))
        permissions |= Execute;
    return permissions;
}

// An item whose lists are read: by its path, or by an open descriptor (its access list only).
struct ListedItem
{
    const QByteArray &native;
    int fd = -1;

    const char *attributeOf(acl_type_t type) const
    {
        return type == ACL_TYPE_ACCESS ? "system.posix_acl_access" : "system.posix_acl_default";
    }
    bool mayCarry(acl_type_t type) const
    {
        // Most items carry no ACL at all: one look for its attribute spares the library's status
        // call and the list it would make up from the permission bits, which names no one.
        const ssize_t size = fd >= 0 ? ::fgetxattr(fd, attributeOf(type), nullptr, 0)
                                     : ::getxattr(native.constData(), attributeOf(type), nullptr, 0);
        return size >= 0 || errno != ENODATA;
    }
    acl_t list(acl_type_t type) const { return fd >= 0 ? ::acl_get_fd(fd) : ::acl_get_file(native.constData(), type); }
};

// The named entries of one POSIX ACL, masked by its mask entry as the kernel applies them.
// A file system without ACL support reads as no entries.
int namedEntriesOf(const ListedItem &item, acl_type_t type, NamedEntries &entries)
{
    if (!item.mayCarry(type))
        return 0;
    acl_t acl = item.list(type);
    if (!acl)
        return (errno == ENOTSUP || errno == ENOSYS) ? 0 : errno;
    unsigned mask = Read | Write | Execute;
    unsigned ownerGroup = 0;
    acl_entry_t entry;
    for (int found = ::acl_get_entry(acl, ACL_FIRST_ENTRY, &entry); found == 1;
         found = ::acl_get_entry(acl, ACL_NEXT_ENTRY, &entry)) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        acl_permset_t permset = nullptr;
        if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &permset) != 0)
            continue;
        const unsigned permissions = (::acl_get_perm(permset, ACL_READ) == 1 ? Read : 0u)
                                     | (::acl_get_perm(permset, ACL_WRITE) == 1 ? Write : 0u)
                                     | (::acl_get_perm(permset, ACL_EXECUTE) == 1 ? Execute : 0u);
        if (tag == ACL_MASK) {
            mask = permissions;
        } else if (tag == ACL_GROUP_OBJ) {
            ownerGroup = permissions;
        } else if (tag == ACL_USER || tag == ACL_GROUP) {
            void *qualifier = ::acl_get_qualifier(entry);
            if (!qualifier)
                continue;
            const quint32 id = tag == ACL_USER ? quint32(*static_cast<uid_t *>(qualifier))
                                               : quint32(*static_cast<gid_t *>(qualifier));
            ::acl_free(qualifier);
            (tag == ACL_USER ? entries.users : entries.groups)[id] = permissions;
        }
    }
    ::acl_free(acl);
    for (auto &permissions : entries.users)
        permissions &= mask;
    for (auto &permissions : entries.groups)
        permissions &= mask;
    if (!entries.isEmpty())
        entries.ownerGroupDenied = mask & ~ownerGroup;
    return 0;
}

void putU32(QByteArray &buffer, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, buffer.data() + offset);
}

quint32 getU32(const QByteArray &buffer, qsizetype offset)
{
    if (offset < 0 || buffer.size() - offset < qsizetype(sizeof(quint32)))
        return 0;
    return qFromLittleEndian<quint32>(buffer.constData() + offset);
}

qsizetype appendEntries(QByteArray &buffer, qsizetype offset, const NamedEntries &entries, quint32 flags, bool folder,
                        qsizetype &count, const QString &path)
{
    auto append = [&](const QByteArray &uuid, unsigned permissions) {
        if (count == maximumEntries) {
            log(QStringLiteral("[File Metadata]: too many access-control entries on %1, the rest are not kept")
                    .arg(path));
            return;
        }
        std::memcpy(buffer.data() + offset, uuid.constData(), 16);
        putU32(buffer, offset + 16, flags);
        putU32(buffer, offset + 20, rightsOfPermissions(permissions, folder));
        offset += entrySize;
        ++count;
    };
    for (auto it = entries.users.cbegin(); it != entries.users.cend(); ++it)
        append(compatibilityUUIDOfUser(it.key()), it.value());
    for (auto it = entries.groups.cbegin(); it != entries.groups.cend(); ++it)
        append(compatibilityUUIDOfGroup(it.key()), it.value());
    return offset;
}

// A full ACL of the item's base permissions plus the named entries, with a recomputed mask.
int setACL(const QByteArray &native, acl_type_t type, mode_t mode, const NamedEntries &entries)
{
    acl_t acl = ::acl_from_mode(mode);
    if (!acl)
        return errno;
    errno = 0;
    auto add = [&acl](acl_tag_t tag, quint32 id, unsigned permissions) {
        acl_entry_t entry;
        acl_permset_t permset;
        if (::acl_create_entry(&acl, &entry) != 0 || ::acl_set_tag_type(entry, tag) != 0)
            return false;
        const uid_t uid = uid_t(id);
        const gid_t gid = gid_t(id);
        if (::acl_set_qualifier(entry, tag == ACL_USER ? static_cast<const void *>(&uid) : &gid) != 0
            || ::acl_get_permset(entry, &permset) != 0 || ::acl_clear_perms(permset) != 0)
            return false;
        if (((permissions & Read) && ::acl_add_perm(permset, ACL_READ) != 0)
            || ((permissions & Write) && ::acl_add_perm(permset, ACL_WRITE) != 0)
            || ((permissions & Execute) && ::acl_add_perm(permset, ACL_EXECUTE) != 0))
            return false;
        return ::acl_set_permset(entry, permset) == 0;
    };
    bool ok = true;
    if (entries.ownerGroupDenied && !entries.isEmpty()) {
        acl_entry_t entry;
        for (int found = ::acl_get_entry(acl, ACL_FIRST_ENTRY, &entry); ok && found == 1;
             found = ::acl_get_entry(acl, ACL_NEXT_ENTRY, &entry)) {
            acl_tag_t tag = ACL_UNDEFINED_TAG;
            acl_permset_t permset = nullptr;
            if (::acl_get_tag_type(entry, &tag) != 0 || tag != ACL_GROUP_OBJ)
                continue;
            ok = ::acl_get_permset(entry, &permset) == 0;
            for (const auto &[bit, perm] : {std::pair{Read, ACL_READ}, {Write, ACL_WRITE}, {Execute, ACL_EXECUTE}}) {
                if (ok && (entries.ownerGroupDenied & bit))
                    ok = ::acl_delete_perm(permset, perm) == 0;
            }
            ok = ok && ::acl_set_permset(entry, permset) == 0;
        }
    }
    for (auto it = entries.users.cbegin(); ok && it != entries.users.cend(); ++it)
        ok = add(ACL_USER, it.key(), it.value());
    for (auto it = entries.groups.cbegin(); ok && it != entries.groups.cend(); ++it)
        ok = add(ACL_GROUP, it.key(), it.value());
    if (ok && !entries.isEmpty())
        ok = ::acl_calc_mask(&acl) == 0 && ::acl_valid(acl) == 0;
    const int result = !ok ? (errno ? errno : EINVAL) : ::acl_set_file(native.constData(), type, acl) == 0 ? 0 : errno;
    ::acl_free(acl);
    return result;
}

int writeExtendedSecurity(const QString &path, const QByteArray &native, const QByteArray &buffer)
{
    const qint32 relative = qint32(getU32(buffer, listReferenceOffset));
    const quint32 size = getU32(buffer, listReferenceOffset + 4);
    const qint64 start = qint64(listReferenceOffset) + relative;
    if (relative < 0 || size < fileSecurityHeaderSize || start + qint64(size) > buffer.size())
        return EINVAL;
    if (getU32(buffer, start) != fileSecurityMagic)
        return EINVAL;
    const quint32 count = getU32(buffer, start + 36);
    if (count != noACLEntryCount && qint64(count) > (qint64(size) - fileSecurityHeaderSize) / entrySize)
        return EINVAL;

    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0)
        return errno;
    if (S_ISLNK(st.st_mode)) {
        log(QStringLiteral("[File Metadata]: access-control list not applied to the symbolic link %1").arg(path));
        return 0;
    }
    const bool folder = S_ISDIR(st.st_mode);

    NamedEntries access;
    NamedEntries inherited;
    for (quint32 i = 0; count != noACLEntryCount && i < count; ++i) {
        const qsizetype offset = qsizetype(start + fileSecurityHeaderSize + qint64(i) * entrySize);
        const QByteArray uuid = buffer.mid(offset, 16);
        const quint32 flags = getU32(buffer, offset + 16);
        const quint32 rights = getU32(buffer, offset + 20);
        const std::optional<quint32> uid = userOfCompatibilityUUID(uuid);
        const std::optional<quint32> gid = groupOfCompatibilityUUID(uuid);
        const bool inherits = flags & (aceFileInherit | aceDirectoryInherit);
        const bool onlyInherits = (flags & aceOnlyInherit) && inherits;
        QString problem;
        if ((flags & aceKindMask) == aceDeny && !inherits && uuid == buffer.mid(groupUUIDOffset, 16) && gid) {
            access.ownerGroupDenied |= permissionsOfRights(rights);
            continue;
        }
        if ((flags & aceKindMask) != acePermit)
            problem = QStringLiteral("it is not an allow entry");
        else if (!uid && !gid)
            problem = QStringLiteral("its UUID names no local user or group");
        else if (onlyInherits && !folder)
            problem = QStringLiteral("it is inherit-only on a file");
        if (!problem.isEmpty()) {
            log(QStringLiteral(
                    "[File Metadata]: access-control entry %1 (%2, flags 0x%3, rights 0x%4) of %5 skipped: %6")
                    .arg(i)
                    .arg(uuidText(uuid))
                    .arg(flags, 0, 16)
                    .arg(rights, 0, 16)
                    .arg(path, problem));
            continue;
        }
        const unsigned permissions = permissionsOfRights(rights);
        if (!onlyInherits)
            (uid ? access.users[*uid] : access.groups[*gid]) |= permissions;
        if (inherits && folder)
            (uid ? inherited.users[*uid] : inherited.groups[*gid]) |= permissions;
    }

    if (access.isEmpty() && access.ownerGroupDenied) {
        log(QStringLiteral("[File Metadata]: deny entry for the owning group of %1 skipped: no named entries")
                .arg(path));
        access.ownerGroupDenied = 0;
    }
    // Nothing that maps leaves the item as it is (also on file systems without ACLs).
    if (!access.isEmpty()) {
        if (int rc = setACL(native, ACL_TYPE_ACCESS, st.st_mode, access); rc != 0)
            return rc;
    }
    if (folder && !inherited.isEmpty()) {
        if (int rc = setACL(native, ACL_TYPE_DEFAULT, st.st_mode, inherited); rc != 0)
            return rc;
    }
    return 0;
}

int writeOwnerOrGroup(const QString &path, const QByteArray &native, const QByteArray &buffer, bool owner)
{
    const QByteArray uuid = buffer.mid(owner ? ownerUUIDOffset : groupUUIDOffset, 16);
    const std::optional<quint32> id = owner ? userOfCompatibilityUUID(uuid) : groupOfCompatibilityUUID(uuid);
    if (!id) {
        log(QStringLiteral("[File Metadata]: %1 UUID %2 of %3 names no local %4, skipped")
                .arg(owner ? QStringLiteral("owner") : QStringLiteral("group"), uuidText(uuid), path,
                     owner ? QStringLiteral("user") : QStringLiteral("group")));
        return 0;
    }
    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0)
        return errno;
    if (owner ? st.st_uid == uid_t(*id) : st.st_gid == gid_t(*id))
        return 0;
    if (::lchown(native.constData(), owner ? uid_t(*id) : uid_t(-1), owner ? gid_t(-1) : gid_t(*id)) != 0)
        return errno;
    return 0;
}

} // namespace

QByteArray compatibilityUUIDOfUser(quint32 uid)
{
    return uuidWithPrefix(userUUIDPrefix, uid);
}

QByteArray compatibilityUUIDOfGroup(quint32 gid)
{
    return uuidWithPrefix(groupUUIDPrefix, gid);
}

std::optional<quint32> userOfCompatibilityUUID(const QByteArray &uuid)
{
    return idOfUUID(userUUIDPrefix, uuid);
}

std::optional<quint32> groupOfCompatibilityUUID(const QByteArray &uuid)
{
    return idOfUUID(groupUUIDPrefix, uuid);
}

namespace {

// The buffer of an item with the given status and lists.
void fillBuffer(const QString &path, const struct stat &st, const NamedEntries &access, const NamedEntries &inherited,
                QByteArray &buffer)
{
    buffer = QByteArray(bufferSize, '\0');
    putU32(buffer, returnedCommonOffset, requestedCommonAttributes);
    const QByteArray owner = compatibilityUUIDOfUser(st.st_uid);
    const QByteArray group = compatibilityUUIDOfGroup(st.st_gid);
    std::memcpy(buffer.data() + ownerUUIDOffset, owner.constData(), 16);
    std::memcpy(buffer.data() + groupUUIDOffset, group.constData(), 16);
    putU32(buffer, listReferenceOffset, quint32(variableDataOffset - listReferenceOffset));

    const bool folder = S_ISDIR(st.st_mode);
    qsizetype end = variableDataOffset;
    if (!access.isEmpty() || !inherited.isEmpty()) {
        const qsizetype list = variableDataOffset;
        putU32(buffer, list, fileSecurityMagic); // owner and group GUIDs and the flags stay zero
        qsizetype count = 0;
        end = appendEntries(buffer, list + fileSecurityHeaderSize, access, acePermit, folder, count, path);
        if (access.ownerGroupDenied && count < maximumEntries) {
            // After the allow entries, as named entries come before the owning group's own.
            std::memcpy(buffer.data() + end, group.constData(), 16);
            putU32(buffer, end + 16, aceDeny);
            putU32(buffer, end + 20, deniedRightsOfPermissions(access.ownerGroupDenied));
            end += entrySize;
            ++count;
        }
        end = appendEntries(buffer, end, inherited, acePermit | aceFileInherit | aceDirectoryInherit | aceOnlyInherit,
                            true, count, path);
        putU32(buffer, list + 36, quint32(count));
        putU32(buffer, listReferenceOffset + 4, quint32(end - list));
    }
    putU32(buffer, lengthOffset, quint32(end));
}

} // namespace

int read(const QString &path, QByteArray &buffer)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(native.constData(), &st) != 0)
        return errno;
    const ListedItem item{native};
    NamedEntries access;
    NamedEntries inherited;
    if (int rc = namedEntriesOf(item, ACL_TYPE_ACCESS, access); rc != 0)
        return rc;
    if (S_ISDIR(st.st_mode)) {
        if (int rc = namedEntriesOf(item, ACL_TYPE_DEFAULT, inherited); rc != 0)
            return rc;
    }
    fillBuffer(path, st, access, inherited, buffer);
    return 0;
}

int readOpenFile(int fd, const QString &path, QByteArray &buffer)
{
    buffer.clear();
    const QByteArray native = QFile::encodeName(path);
    const ListedItem item{native, fd};
    if (!item.mayCarry(ACL_TYPE_ACCESS))
        return 0;
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return errno;
    NamedEntries access;
    if (int rc = namedEntriesOf(item, ACL_TYPE_ACCESS, access); rc != 0)
        return rc;
    if (access.isEmpty())
        return 0;
    fillBuffer(path, st, access, NamedEntries(), buffer);
    return 0;
}

int write(const QString &path, quint32 attribute, const QByteArray &buffer)
{
    if (buffer.size() != bufferSize)
        return EINVAL;
    const QByteArray native = QFile::encodeName(path);
    switch (attribute) {
    case extendedSecurityBit:
        return writeExtendedSecurity(path, native, buffer);
    case ownerUUIDBit:
        return writeOwnerOrGroup(path, native, buffer, true);
    case groupUUIDBit:
        return writeOwnerOrGroup(path, native, buffer, false);
    default:
        return EINVAL;
    }
}

} // namespace platform::SecurityOptions
