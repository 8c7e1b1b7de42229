#include "engine/archive/VLPackedAttributes.h"

#include <QDateTime>

static_assert(int(platform::FileType::Unknown) < 8, "a type fits in three bits");

namespace {

template <typename T, typename Stored>
void pack(const std::optional<T> &value, Stored &stored, quint16 &present, quint16 field)
{
    if (value) {
        stored = Stored(*value);
        present |= field;
    }
}

template <typename T, typename Stored>
std::optional<T> unpack(Stored stored, quint16 present, quint16 field)
{
    return (present & field) ? std::optional<T>(T(stored)) : std::nullopt;
}

// Milliseconds since the epoch, or nothing for a date that is not valid.
std::optional<quint64> milliseconds(const std::optional<QDateTime> &date)
{
    return date && date->isValid() ? std::optional<quint64>(quint64(date->toMSecsSinceEpoch())) : std::nullopt;
}

} // namespace

VLPackedAttributes::VLPackedAttributes(const platform::FileAttributes &a)
{
    if (a.type)
        setType(*a.type);
    quint16 fields = present();
    pack(a.posixPermissions, m_permissions, fields, Permissions);
    pack(a.ownerAccountID, m_owner, fields, Owner);
    pack(a.groupAccountID, m_group, fields, Group);
    pack(milliseconds(a.creationDate), m_created, fields, Created);
    pack(milliseconds(a.modificationDate), m_modified, fields, Modified);
    pack(a.referenceCount, m_referenceCount, fields, References);
    pack(a.systemNumber, m_systemNumber, fields, SystemNumber);
    pack(a.systemFileNumber, m_systemFileNumber, fields, SystemFileNumber);
    m_presentAndType = quint16((m_presentAndType & ~((1 << typeShift) - 1)) | fields);
}

platform::FileAttributes VLPackedAttributes::unpacked() const
{
    const quint16 fields = present();
    const auto date = [fields](Halves stored, quint16 field) {
        const std::optional<quint64> ms = unpack<quint64>(stored, fields, field);
        return ms ? std::optional<QDateTime>(QDateTime::fromMSecsSinceEpoch(qint64(*ms), Qt::UTC)) : std::nullopt;
    };
    platform::FileAttributes a;
    a.type = type();
    a.posixPermissions = unpack<quint16>(m_permissions, fields, Permissions);
    a.ownerAccountID = unpack<quint32>(m_owner, fields, Owner);
    a.groupAccountID = unpack<quint32>(m_group, fields, Group);
    a.creationDate = date(m_created, Created);
    a.modificationDate = date(m_modified, Modified);
    a.referenceCount = unpack<quint64>(m_referenceCount, fields, References);
    a.systemNumber = unpack<quint64>(m_systemNumber, fields, SystemNumber);
    a.systemFileNumber = unpack<quint64>(m_systemFileNumber, fields, SystemFileNumber);
    return a;
}

std::optional<platform::FileType> VLPackedAttributes::type() const
{
    return (present() & Type) ? std::optional<platform::FileType>(platform::FileType(m_presentAndType >> typeShift))
                              : std::nullopt;
}

void VLPackedAttributes::setType(platform::FileType type)
{
    m_presentAndType = quint16((present() | Type) | (quint16(type) << typeShift));
}
