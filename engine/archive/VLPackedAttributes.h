#pragma once

#include "platform/files/FileAttributes.h"

#include <QtGlobal>

#include <optional>

// The file attributes an item record keeps, packed into a quarter of the size: the fields the
// container stores and the counts read with them, but the size, which a record keeps beside its
// own. Account names are never stored and are not kept; a date that is not valid is kept as no
// date. A large tree's records hold one each, so the value aligns to 4 bytes: a record's own small
// fields fill the space a 64-bit alignment would pad.
class VLPackedAttributes final
{
public:
    VLPackedAttributes() = default;
    explicit VLPackedAttributes(const platform::FileAttributes &attributes); // size aside

    platform::FileAttributes unpacked() const; // without a size
    std::optional<platform::FileType> type() const;
    void setType(platform::FileType type);

private:
    // A 64-bit value kept as two halves.
    struct Halves
    {
        quint32 low = 0;
        quint32 high = 0;
        Halves() = default;
        explicit Halves(quint64 value) : low(quint32(value)), high(quint32(value >> 32)) {}
        explicit operator quint64() const { return quint64(high) << 32 | low; }
    };

    // Which fields hold a value, in the low bits of m_presentAndType; the type sits above them.
    enum Field : quint16 {
        Type = 1 << 0,
        Permissions = 1 << 1,
        Owner = 1 << 2,
        Group = 1 << 3,
        Created = 1 << 4,
        Modified = 1 << 5,
        References = 1 << 6,
        SystemNumber = 1 << 7,
        SystemFileNumber = 1 << 8,
    };
    static constexpr int typeShift = 13; // three bits: every platform::FileType

    quint16 present() const { return m_presentAndType & ((1 << typeShift) - 1); }

    Halves m_referenceCount;
    Halves m_systemNumber;
    Halves m_systemFileNumber;
    Halves m_created; // milliseconds since the epoch, UTC
    Halves m_modified;
    quint32 m_owner = 0;
    quint32 m_group = 0;
    quint16 m_permissions = 0;
    quint16 m_presentAndType = 0;
};
