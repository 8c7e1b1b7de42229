#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"

#include "engine/archive/VLArchiveBytes.h"

using namespace VLArchiveBytes;

namespace {

constexpr quint32 flagEncryptFiles = 1;
constexpr quint32 flagEncryptDirectory = 2;
constexpr quint32 flagDirectoryHmac = 8;

} // namespace

QByteArray VLEncryptedArchiveDirectoryLocator::save() const
{
    std::lock_guard lock(m_mutex);
    QByteArray out;
    putTag(out, tag("HLCT"));
    putTag(out, tag("DLVR"));
    putU32(out, m_version);
    putTag(out, tag("DLCT"));
    putU64(out, m_directoryPosition);
    putU64(out, m_directorySize);
    putU64(out, m_reserved1);
    putU64(out, m_reserved2);
    putTag(out, tag("DFLG"));
    putU32(out, m_flags);
    if (m_hmac.size() == 32) {
        putTag(out, tag("DHMC"));
        out += m_hmac;
    }
    if (m_salt.size() == 16) {
        putTag(out, tag("MSLT"));
        out += m_salt;
    }
    if (!m_preview.isEmpty()) {
        putTag(out, tag("PRWV"));
        putU32(out, quint32(m_preview.size()));
        out += m_preview;
    }
    const QByteArray hint = utf8Cut(m_passwordHint, 65535);
    putTag(out, tag("PSHN"));
    putU16(out, quint16(hint.size()));
    out += hint;
    putTag(out, tag("DLSZ"));
    putU32(out, quint32(out.size() + 4));
    return out;
}

bool VLEncryptedArchiveDirectoryLocator::load(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype length = bytes.size();
    if (length < 12 || getU32(data) != tag("HLCT") || getU32(data + 4) != tag("DLVR"))
        return false;
    const quint32 version = getU32(data + 8);
    if (length < 48 || getU32(data + 12) != tag("DLCT"))
        return false;
    const quint64 position = getU64(data + 16);
    const quint64 size = getU64(data + 24);
    const quint64 reserved1 = getU64(data + 32);
    const quint64 reserved2 = getU64(data + 40);
    if (length < 56 || getU32(data + 48) != tag("DFLG"))
        return false;
    const quint32 flags = getU32(data + 52);
    qsizetype p = 56;
    qsizetype remaining = length - 56;

    QByteArray hmac;
    if (flags & flagDirectoryHmac) {
        if (remaining < 36 || getU32(data + p) != tag("DHMC"))
            return false;
        hmac = QByteArray(data + p + 4, 32);
        p += 36;
        remaining -= 36;
    }
    QByteArray salt;
    if (flags & (flagEncryptFiles | flagEncryptDirectory)) {
        if (remaining < 20 || getU32(data + p) != tag("MSLT"))
            return false;
        salt = QByteArray(data + p + 4, 16);
        p += 20;
        remaining -= 20;
    }
    QByteArray preview;
    if (remaining >= 8 && getU32(data + p) == tag("PRWV")) {
        const quint32 n = getU32(data + p + 4);
        if (quint64(remaining) < quint64(n) + 8)
            return false;
        preview = QByteArray(data + p + 8, qsizetype(n));
        p += qsizetype(n) + 8;
        remaining -= qsizetype(n) + 8;
    }
    if (remaining < 6 || getU32(data + p) != tag("PSHN"))
        return false;
    const quint16 n = getU16(data + p + 4);
    if (remaining < qsizetype(n) + 6)
        return false;
    QString hint;
    if (n > 0) {
        std::optional<QString> decoded = decodeUtf8(data + p + 6, n);
        if (!decoded)
            return false;
        hint = *decoded;
    }

    std::lock_guard lock(m_mutex);
    m_version = version;
    m_directoryPosition = position;
    m_directorySize = size;
    m_reserved1 = reserved1;
    m_reserved2 = reserved2;
    m_flags = flags;
    m_hmac = hmac;
    m_salt = salt;
    m_preview = preview;
    m_passwordHint = hint;
    return true;
}

quint32 VLEncryptedArchiveDirectoryLocator::version() const
{
    std::lock_guard lock(m_mutex);
    return m_version;
}

void VLEncryptedArchiveDirectoryLocator::setVersion(quint32 value)
{
    std::lock_guard lock(m_mutex);
    m_version = value;
}

quint32 VLEncryptedArchiveDirectoryLocator::flags() const
{
    std::lock_guard lock(m_mutex);
    return m_flags;
}

void VLEncryptedArchiveDirectoryLocator::setFlags(quint32 value)
{
    std::lock_guard lock(m_mutex);
    m_flags = value;
}

quint64 VLEncryptedArchiveDirectoryLocator::directoryPosition() const
{
    std::lock_guard lock(m_mutex);
    return m_directoryPosition;
}

void VLEncryptedArchiveDirectoryLocator::setDirectoryPosition(quint64 value)
{
    std::lock_guard lock(m_mutex);
    m_directoryPosition = value;
}

quint64 VLEncryptedArchiveDirectoryLocator::directorySize() const
{
    std::lock_guard lock(m_mutex);
    return m_directorySize;
}

void VLEncryptedArchiveDirectoryLocator::setDirectorySize(quint64 value)
{
    std::lock_guard lock(m_mutex);
    m_directorySize = value;
}

quint64 VLEncryptedArchiveDirectoryLocator::reserved1() const
{
    std::lock_guard lock(m_mutex);
    return m_reserved1;
}

void VLEncryptedArchiveDirectoryLocator::setReserved1(quint64 value)
{
    std::lock_guard lock(m_mutex);
    m_reserved1 = value;
}

quint64 VLEncryptedArchiveDirectoryLocator::reserved2() const
{
    std::lock_guard lock(m_mutex);
    return m_reserved2;
}

void VLEncryptedArchiveDirectoryLocator::setReserved2(quint64 value)
{
    std::lock_guard lock(m_mutex);
    m_reserved2 = value;
}

QString VLEncryptedArchiveDirectoryLocator::passwordHint() const
{
    std::lock_guard lock(m_mutex);
    return m_passwordHint;
}

void VLEncryptedArchiveDirectoryLocator::setPasswordHint(const QString &value)
{
    std::lock_guard lock(m_mutex);
    m_passwordHint = value;
}

QByteArray VLEncryptedArchiveDirectoryLocator::salt() const
{
    std::lock_guard lock(m_mutex);
    return m_salt;
}

void VLEncryptedArchiveDirectoryLocator::setSalt(const QByteArray &value)
{
    std::lock_guard lock(m_mutex);
    m_salt = value;
}

QByteArray VLEncryptedArchiveDirectoryLocator::hmac() const
{
    std::lock_guard lock(m_mutex);
    return m_hmac;
}

void VLEncryptedArchiveDirectoryLocator::setHmac(const QByteArray &value)
{
    std::lock_guard lock(m_mutex);
    m_hmac = value;
}

QByteArray VLEncryptedArchiveDirectoryLocator::preview() const
{
    std::lock_guard lock(m_mutex);
    return m_preview;
}

void VLEncryptedArchiveDirectoryLocator::setPreview(const QByteArray &value)
{
    std::lock_guard lock(m_mutex);
    m_preview = value;
}
