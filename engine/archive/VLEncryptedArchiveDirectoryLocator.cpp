#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"

#include "engine/archive/VLArchiveBytes.h"

#include <utility>

using namespace VLArchiveBytes;

namespace {

constexpr quint32 flagEncryptFiles = 1;
constexpr quint32 flagEncryptDirectory = 2;
constexpr quint32 flagDirectoryHmac = 8;

} // namespace

QByteArray VLEncryptedArchiveDirectoryLocator::save() const
{
    const Fields f = fields();
    QByteArray out;
    putTag(out, tag("HLCT"));
    putTag(out, tag("DLVR"));
    putU32(out, f.version);
    putTag(out, tag("DLCT"));
    putU64(out, f.directoryPosition);
    putU64(out, f.directorySize);
    putU64(out, f.reserved1);
    putU64(out, f.reserved2);
    putTag(out, tag("DFLG"));
    putU32(out, f.flags);
    if (f.hmac.size() == 32) {
        putTag(out, tag("DHMC"));
        out += f.hmac;
    }
    if (f.salt.size() == 16) {
        putTag(out, tag("MSLT"));
        out += f.salt;
    }
    if (!f.preview.isEmpty()) {
        putTag(out, tag("PRWV"));
        putU32(out, quint32(f.preview.size()));
        out += f.preview;
    }
    const QByteArray hint = utf8Cut(f.passwordHint, 65535);
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

    Fields loaded;
    loaded.version = version;
    loaded.directoryPosition = position;
    loaded.directorySize = size;
    loaded.reserved1 = reserved1;
    loaded.reserved2 = reserved2;
    loaded.flags = flags;
    loaded.hmac = hmac;
    loaded.salt = salt;
    loaded.preview = preview;
    loaded.passwordHint = hint;
    std::lock_guard lock(m_mutex);
    m_fields = std::move(loaded);
    return true;
}

VLEncryptedArchiveDirectoryLocator::Fields VLEncryptedArchiveDirectoryLocator::fields() const
{
    std::lock_guard lock(m_mutex);
    return m_fields;
}

void VLEncryptedArchiveDirectoryLocator::update(const std::function<void(Fields &)> &change)
{
    std::lock_guard lock(m_mutex);
    change(m_fields);
}
