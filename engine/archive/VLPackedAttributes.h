#pragma once

#include "platform/files/FileAttributes.h"

#include <QtGlobal>

#include <optional>

// The file attributes an item record keeps, packed into a third of the size: the fields the
// container stores and the counts read with them. Account names are never stored and are not
// kept; a date that is not valid is kept as no date. A large tree's records hold one each.
class VLPackedAttributes final
{
public:
    VLPackedAttributes() = default;
    explicit VLPackedAttributes(const platform::FileAttributes &attributes);

    platform::FileAttributes unpacked() const;
    std::optional<platform::FileType> type() const;
    void setType(platform::FileType type);

private:
    enum Field : quint16 {
        Type = 1 << 0,
        Size = 1 << 1,
        Permissions = 1 << 2,
        Owner = 1 << 3,
        Group = 1 << 4,
        Created = 1 << 5,
        Modified = 1 << 6,
        References = 1 << 7,
        SystemNumber = 1 << 8,
        SystemFileNumber = 1 << 9,
    };

    quint64 m_size = 0;
    quint64 m_referenceCount = 0;
    quint64 m_systemNumber = 0;
    quint64 m_systemFileNumber = 0;
    qint64 m_created = 0; // milliseconds since the epoch, UTC
    qint64 m_modified = 0;
    quint32 m_owner = 0;
    quint32 m_group = 0;
    quint16 m_permissions = 0;
    quint16 m_present = 0; // the Fields that hold a value
    quint8 m_type = 0;
};
