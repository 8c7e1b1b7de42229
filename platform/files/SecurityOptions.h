#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The access-control data of one item in the original platform's bulk-attribute layout, so that
// containers carry it in the form their readers expect. The buffer (little-endian, 4160 bytes):
//
//   offset  size  content
//        0     4  u32 length of the returned data (64 + the access-control list's size)
//        4    20  returned attribute groups: common, volume, folder, file, fork (u32 each);
//                 common = returned set | extended security | owner UUID | group UUID, others 0
//       24     8  access-control list reference: i32 offset from this field (40), u32 size
//       32    16  owner UUID
//       48    16  group UUID
//       64     -  the list the reference points to (absent when its size is 0), then zeros
//
// The list is a kauth file-security block: u32 magic 0x012cc16d, owner and group GUIDs (zero),
// u32 entry count, u32 flags (0), then per entry 24 bytes: applicable GUID, u32 flags, u32 rights.
// Owner and group UUIDs are the compatibility UUIDs of the numeric IDs
// (FFFFEEEE-DDDD-CCCC-BBBB-AAAA<uid> and ABCDEFAB-CDEF-ABCD-EFAB-CDEF<gid>, IDs as 8 hex digits).
// An item without named POSIX ACL entries has a list reference of size 0, which readers apply
// as "nothing". Named user and group entries (masked as the kernel applies them) become allow
// entries: r = read data, attributes, extended attributes and security; w = write data, append,
// write attributes and extended attributes (and delete child on folders); x = execute/search.
// Rights the mask gives beyond the owning group's own entry become a deny entry (data rights only)
// for the owning group after the allow entries, and named entries of a folder's default ACL become
// inherit-only entries for files and folders. On restore, allow entries with compatibility UUIDs
// and that deny entry map back; anything else is logged and skipped.
namespace platform::SecurityOptions {

inline constexpr qsizetype bufferSize = 4160;
inline constexpr qsizetype headerSize = 32; // length, returned set and the list reference

inline constexpr quint32 returnedAttributesBit = 0x80000000u;
inline constexpr quint32 extendedSecurityBit = 0x00400000u;
inline constexpr quint32 ownerUUIDBit = 0x00800000u;
inline constexpr quint32 groupUUIDBit = 0x01000000u;
inline constexpr quint32 requestedCommonAttributes = returnedAttributesBit | extendedSecurityBit | ownerUUIDBit
                                                     | groupUUIDBit; // 0x81C00000

inline constexpr qsizetype lengthOffset = 0;
inline constexpr qsizetype returnedCommonOffset = 4;
inline constexpr qsizetype listReferenceOffset = 24;
inline constexpr qsizetype ownerUUIDOffset = 32;
inline constexpr qsizetype groupUUIDOffset = 48;
inline constexpr qsizetype variableDataOffset = 64;

// The bulk read of the requested attributes into a bufferSize buffer, following a final
// symbolic link. 0, or the system error number.
int read(const QString &path, QByteArray &buffer);
// The same for a regular file open at fd (path names it in logs), reading through the descriptor
// (no path lookups); the buffer stays empty when the file carries no access-control list.
int readOpenFile(int fd, const QString &path, QByteArray &buffer);

// The bulk write of one attribute (extendedSecurityBit, ownerUUIDBit or groupUUIDBit) taken
// from a buffer in the layout above. Never writes through a final symbolic link. What this
// platform cannot represent (deny entries, UUIDs that name no local ID) is logged and skipped.
// 0, or the system error number.
int write(const QString &path, quint32 attribute, const QByteArray &buffer);

QByteArray compatibilityUUIDOfUser(quint32 uid);
QByteArray compatibilityUUIDOfGroup(quint32 gid);
std::optional<quint32> userOfCompatibilityUUID(const QByteArray &uuid);
std::optional<quint32> groupOfCompatibilityUUID(const QByteArray &uuid);

} // namespace platform::SecurityOptions
