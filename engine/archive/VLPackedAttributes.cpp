#include "engine/archive/VLPackedAttributes.h"

#include <QDateTime>

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

void packDate(const std::optional<QDateTime> &date, qint64 &stored, quint16 &present, quint16 field)
{
    if (date && date->isValid()) {
        stored = date->toMSecsSinceEpoch();
        present |= field;
    }
}

std::optional<QDateTime> unpackDate(qint64 stored, quint16 present, quint16 field)
{
    return (present & field) ? std::optional<QDateTime>(QDateTime::fromMSecsSinceEpoch(stored, Qt::UTC)) : std::nullopt;
}

} // namespace

VLPackedAttributes::VLPackedAttributes(const platform::FileAttributes &a)
{
    if (a.type)
        setType(*a.type);
    pack(a.size, m_size, m_present, Size);
    pack(a.posixPermissions, m_permissions, m_present, Permissions);
    pack(a.ownerAccountID, m_owner, m_present, Owner);
    pack(a.groupAccountID, m_group, m_present, Group);
    packDate(a.creationDate, m_created, m_present, Created);
    packDate(a.modificationDate, m_modified, m_present, Modified);
    pack(a.referenceCount, m_referenceCount, m_present, References);
    pack(a.systemNumber, m_systemNumber, m_present, SystemNumber);
    pack(a.systemFileNumber, m_systemFileNumber, m_present, SystemFileNumber);
}

platform::FileAttributes VLPackedAttributes::unpacked() const
{
    platform::FileAttributes a;
    a.type = type();
    a.size = unpack<quint64>(m_size, m_present, Size);
    a.posixPermissions = unpack<quint16>(m_permissions, m_present, Permissions);
    a.ownerAccountID = unpack<quint32>(m_owner, m_present, Owner);
    a.groupAccountID = unpack<quint32>(m_group, m_present, Group);
    a.creationDate = unpackDate(m_created, m_present, Created);
    a.modificationDate = unpackDate(m_modified, m_present, Modified);
    a.referenceCount = unpack<quint64>(m_referenceCount, m_present, References);
    a.systemNumber = unpack<quint64>(m_systemNumber, m_present, SystemNumber);
    a.systemFileNumber = unpack<quint64>(m_systemFileNumber, m_present, SystemFileNumber);
    return a;
}

std::optional<platform::FileType> VLPackedAttributes::type() const
{
    return (m_present & Type) ? std::optional<platform::FileType>(platform::FileType(m_type)) : std::nullopt;
}

void VLPackedAttributes::setType(platform::FileType type)
{
    m_type = quint8(type);
    m_present |= Type;
}
