#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Little-endian building and reading of the container's records and fields.
namespace VLArchiveBytes {

constexpr quint32 tag(const char (&text)[5])
{
    return quint32(quint8(text[0])) | quint32(quint8(text[1])) << 8 | quint32(quint8(text[2])) << 16
           | quint32(quint8(text[3])) << 24;
}

void putU8(QByteArray &out, quint8 value);
void putU16(QByteArray &out, quint16 value);
void putU32(QByteArray &out, quint32 value);
void putU64(QByteArray &out, quint64 value);
void putTag(QByteArray &out, quint32 tag);
// UTF-8 of the text, cut to maxBytes at a character boundary.
QByteArray utf8Cut(const QString &text, qsizetype maxBytes);

quint16 getU16(const char *data);
quint32 getU32(const char *data);
quint64 getU64(const char *data);

// Strict UTF-8: nothing for bytes that do not decode.
std::optional<QString> decodeUtf8(const char *data, qsizetype size);

// A cursor over bytes; every read checks the bounds and fails instead of running past them.
class Reader final
{
public:
    explicit Reader(const QByteArray &bytes) : m_data(bytes.constData()), m_size(bytes.size()) {}
    qsizetype remaining() const { return m_size - m_at; }
    bool atEnd() const { return m_at == m_size; }
    bool u8(quint8 *value);
    bool u16(quint16 *value);
    bool u32(quint32 *value);
    bool u64(quint64 *value);
    bool bytes(qsizetype size, QByteArray *value);
    bool skip(qsizetype size);

private:
    const char *m_data;
    qsizetype m_size;
    qsizetype m_at = 0;
};

} // namespace VLArchiveBytes
