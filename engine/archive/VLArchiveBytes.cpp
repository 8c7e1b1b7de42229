#include "engine/archive/VLArchiveBytes.h"

#include <QUtf8StringView>

#include <cstring>

namespace VLArchiveBytes {

void putU8(QByteArray &out, quint8 value)
{
    out.append(char(value));
}

void putU16(QByteArray &out, quint16 value)
{
    const char bytes[2] = {char(value & 0xff), char(value >> 8)};
    out.append(bytes, 2);
}

void putU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xff);
    out.append(bytes, 4);
}

void putU64(QByteArray &out, quint64 value)
{
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xff);
    out.append(bytes, 8);
}

void putTag(QByteArray &out, quint32 tag)
{
    putU32(out, tag);
}

QByteArray utf8Cut(const QString &text, qsizetype maxBytes)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return utf8;
    qsizetype end = maxBytes;
    // Step back over continuation bytes so the cut text still decodes.
    while (end > 0 && (quint8(utf8[end]) & 0xc0) == 0x80)
        --end;
    utf8.truncate(end);
    return utf8;
}

quint16 getU16(const char *data)
{
    return quint16(quint8(data[0]) | quint8(data[1]) << 8);
}

quint32 getU32(const char *data)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(data[i]);
    return value;
}

quint64 getU64(const char *data)
{
    quint64 value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | quint8(data[i]);
    return value;
}

std::optional<QString> decodeUtf8(const char *data, qsizetype size)
{
    const QUtf8StringView view(data, size);
    if (!view.isValidUtf8())
        return std::nullopt;
    return view.toString();
}

bool Reader::u8(quint8 *value)
{
    if (remaining() < 1)
        return false;
    *value = quint8(m_data[m_at]);
    m_at += 1;
    return true;
}

bool Reader::u16(quint16 *value)
{
    if (remaining() < 2)
        return false;
    *value = getU16(m_data + m_at);
    m_at += 2;
    return true;
}

bool Reader::u32(quint32 *value)
{
    if (remaining() < 4)
        return false;
    *value = getU32(m_data + m_at);
    m_at += 4;
    return true;
}

bool Reader::u64(quint64 *value)
{
    if (remaining() < 8)
        return false;
    *value = getU64(m_data + m_at);
    m_at += 8;
    return true;
}

bool Reader::bytes(qsizetype size, QByteArray *value)
{
    if (size < 0 || remaining() < size)
        return false;
    *value = QByteArray(m_data + m_at, size);
    m_at += size;
    return true;
}

bool Reader::skip(qsizetype size)
{
    if (size < 0 || remaining() < size)
        return false;
    m_at += size;
    return true;
}

} // namespace VLArchiveBytes
