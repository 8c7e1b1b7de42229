#include "engine/archive/VLHeaderRecords.h"

#include "engine/archive/VLArchiveBytes.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"
#include "platform/files/ConfinedFolder.h"
#include "platform/files/KeyedArchive.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace VLArchiveBytes;

namespace {

// Random filler for the padding fields. It guards nothing, so it is drawn from the generator in
// large pieces per thread instead of one call for each record.
bool fillerBytes(char *out, std::size_t size)
{
    thread_local std::array<char, 4096> pool;
    thread_local std::size_t left = 0;
    while (size > 0) {
        if (left == 0) {
            if (!platform::crypto::randomBytes(pool.data(), pool.size()))
                return false;
            left = pool.size();
        }
        const std::size_t take = std::min(left, size);
        std::memcpy(out, pool.data() + pool.size() - left, take);
        left -= take;
        out += take;
        size -= take;
    }
    return true;
}

constexpr quint32 itemFlagCompressed = 16;
// Later than any date a file system keeps; larger values are not dates.
constexpr quint64 latestDateMilliseconds = 253402300799999ULL;

std::optional<quint8> typeCode(const std::optional<platform::FileType> &type)
{
    if (!type)
        return std::nullopt;
    switch (*type) {
    case platform::FileType::Directory:
        return 1;
    case platform::FileType::SymbolicLink:
        return 2;
    default:
        return 0;
    }
}

void putText16(QByteArray &out, quint32 fieldTag, const QString &text)
{
    const QByteArray utf8 = utf8Cut(text, 65535);
    putTag(out, fieldTag);
    putU16(out, quint16(utf8.size()));
    out += utf8;
}

void putDate(QByteArray &out, quint32 fieldTag, const std::optional<QDateTime> &date)
{
    // Dates before 1970 have no encoding in the format; such a date is left out.
    if (!date || !date->isValid() || date->toMSecsSinceEpoch() < 0)
        return;
    putTag(out, fieldTag);
    putU64(out, quint64(date->toMSecsSinceEpoch()));
}

} // namespace

std::optional<QByteArray> VLHeaderRecords::commonFields(const VLEncryptedArchiveItemPtr &record)
{
    const QString path = record->path();
    if (path.isEmpty())
        return std::nullopt;
    const platform::FileAttributes attributes = record->attributes();
    QByteArray out;
    if (const std::optional<quint8> type = typeCode(attributes.type)) {
        putTag(out, tag("FTYP"));
        putU8(out, *type);
    }
    putTag(out, tag("FFLG"));
    putU32(out, record->compressed() ? itemFlagCompressed : 0);
    putTag(out, tag("FSIZ"));
    putU64(out, record->size());
    putTag(out, tag("FPRM"));
    putU16(out, attributes.posixPermissions.value_or(0));
    if (attributes.ownerAccountID) {
        putTag(out, tag("FOWN"));
        putU16(out, quint16(*attributes.ownerAccountID & 0xffff));
    }
    if (attributes.groupAccountID) {
        putTag(out, tag("FGRP"));
        putU16(out, quint16(*attributes.groupAccountID & 0xffff));
    }
    putDate(out, tag("FMCT"), attributes.creationDate);
    putDate(out, tag("FMDT"), attributes.modificationDate);
    const QString uti = record->UTI();
    if (!uti.isEmpty())
        putText16(out, tag("FUTI"), uti);
    putText16(out, tag("FPAT"), path);
    return out;
}

QByteArray VLHeaderRecords::paddingField(quint64 size)
{
    QByteArray out;
    if (size % 16 == 0)
        return out;
    const quint16 n = quint16(16 - (size + 6) % 16);
    putTag(out, tag("FPDN"));
    putU16(out, n);
    QByteArray filler(n, Qt::Uninitialized);
    if (!fillerBytes(filler.data(), std::size_t(filler.size())))
        filler.fill('\0');
    out += filler;
    return out;
}

namespace {

// The record's tag and length before its content, which is padded first when the directory is
// enciphered. None when the content is too long for its length field.
std::optional<QByteArray> wholeRecord(quint32 recordTag, QByteArray &content, bool padded)
{
    if (padded)
        content += VLHeaderRecords::paddingField(quint64(content.size()) + 8);
    if (quint64(content.size()) > 0xffffffffULL)
        return std::nullopt;
    QByteArray header;
    putTag(header, recordTag);
    putU32(header, quint32(content.size()));
    header += content;
    return header;
}

} // namespace

std::optional<QByteArray> VLHeaderRecords::localHeader(const VLEncryptedArchiveItemPtr &record, bool padded,
                                                       int sourceFd)
{
    std::optional<QByteArray> content = commonFields(record);
    if (!content)
        return std::nullopt;
    // A file's extended attributes and access-control buffer are read now, while its section is
    // made, and not kept in the record: the directory does not need them. Through the open file
    // where there is one, which spares a tree of small files a path lookup for each.
    VLExtendedAttributes extended = record->extendedAttributes();
    QByteArray security = record->extendedSecurityOptions();
    const QString source = record->realPath();
    if (sourceFd >= 0) {
        if (extended.isEmpty())
            extended = VLFileMetaData::extendedAttributesOfOpenFile(sourceFd).value_or(VLExtendedAttributes());
        if (security.isEmpty())
            security = VLFileMetaData::extendedSecurityOptionsOfOpenFile(sourceFd, source).value_or(QByteArray());
    } else if (!source.isEmpty() && record->fileType() != platform::FileType::SymbolicLink) {
        if (extended.isEmpty())
            extended = VLFileMetaData::extendedAttributesOfFile(source).value_or(VLExtendedAttributes());
        if (security.isEmpty())
            security = VLFileMetaData::extendedSecurityOptionsOfFile(source).value_or(QByteArray());
    }
    if (!extended.isEmpty()) {
        const QByteArray archive = platform::KeyedArchive::archivedDataWithRootObject(extended);
        putTag(*content, tag("FEXA"));
        putU32(*content, quint32(archive.size()));
        *content += archive;
    }
    // A buffer without an access-control list restores nothing in any reader: leaving it out
    // saves its 4 KB in every such record.
    if (VLFileMetaData::carriesAccessControlList(security)) {
        putTag(*content, tag("FEXS"));
        putU32(*content, quint32(security.size()));
        *content += security;
    }
    if (const std::optional<QString> link = record->linkDestination())
        putText16(*content, tag("FLNK"), *link);
    return wholeRecord(tag("HDLC"), *content, padded);
}

std::optional<QByteArray> VLHeaderRecords::centralHeader(const VLEncryptedArchiveItemPtr &record, bool withHmac,
                                                         bool padded)
{
    std::optional<QByteArray> content = commonFields(record);
    if (!content)
        return std::nullopt;
    putTag(*content, tag("FLCT"));
    putU64(*content, record->localHeaderPosition());
    if (withHmac) {
        const std::optional<QByteArray> hmac = record->hmac();
        if (!hmac || hmac->size() != 32) {
            platform::log(QStringLiteral("Warning! Invalid HMAC calculated."));
            return std::nullopt;
        }
        putTag(*content, tag("FHMC"));
        *content += *hmac;
    }
    if (record->compressed()) {
        putTag(*content, tag("FCSZ"));
        putU64(*content, record->compressedSize());
    }
    return wholeRecord(tag("HDDR"), *content, padded);
}

bool VLHeaderRecords::load(const VLEncryptedArchiveItemPtr &record, const QByteArray &content)
{
    platform::FileAttributes attributes = record->attributes();
    VLExtendedAttributes extended = record->extendedAttributes();
    std::optional<QByteArray> security;
    std::optional<QString> uti, path, link;
    std::optional<quint64> size, localHeaderPosition, compressedSize;
    std::optional<bool> compressed;
    std::optional<QByteArray> hmac;

    Reader reader(content);
    auto text16 = [&reader](std::optional<QString> &out) {
        quint16 n = 0;
        QByteArray bytes;
        if (!reader.u16(&n) || !reader.bytes(n, &bytes))
            return false;
        out = decodeUtf8(bytes.constData(), bytes.size());
        return out.has_value();
    };
    auto data32 = [&reader](QByteArray &out) {
        quint32 n = 0;
        return reader.u32(&n) && quint64(n) <= quint64(reader.remaining()) && reader.bytes(qsizetype(n), &out);
    };
    while (!reader.atEnd()) {
        quint32 fieldTag = 0;
        if (!reader.u32(&fieldTag))
            return false;
        switch (fieldTag) {
        case tag("FTYP"): {
            quint8 type = 0;
            if (!reader.u8(&type) || type > 2)
                return false;
            attributes.type = type == 0   ? platform::FileType::Regular
                              : type == 1 ? platform::FileType::Directory
                                          : platform::FileType::SymbolicLink;
            break;
        }
        case tag("FFLG"): {
            quint32 flags = 0;
            if (!reader.u32(&flags))
                return false;
            compressed = (flags & 16) != 0;
            break;
        }
        case tag("FSIZ"): {
            quint64 value = 0;
            if (!reader.u64(&value))
                return false;
            size = value;
            attributes.size = value;
            break;
        }
        case tag("FPRM"): {
            quint16 value = 0;
            if (!reader.u16(&value))
                return false;
            attributes.posixPermissions = value;
            break;
        }
        case tag("FOWN"):
        case tag("FGRP"):
            if (!reader.skip(2))
                return false;
            break;
        case tag("FMCT"):
        case tag("FMDT"): {
            quint64 value = 0;
            if (!reader.u64(&value))
                return false;
            if (value <= latestDateMilliseconds) {
                const QDateTime date = QDateTime::fromMSecsSinceEpoch(qint64(value), Qt::UTC);
                (fieldTag == tag("FMCT") ? attributes.creationDate : attributes.modificationDate) = date;
            }
            break;
        }
        case tag("FUTI"):
            if (!text16(uti))
                return false;
            break;
        case tag("FPAT"):
            if (!text16(path))
                return false;
            break;
        case tag("FLNK"):
            if (!text16(link))
                return false;
            break;
        case tag("FEXA"): {
            QByteArray archive;
            if (!data32(archive))
                return false;
            const std::optional<platform::KeyedArchive::StringDataDictionary> entries =
                platform::KeyedArchive::unarchiveDictionary(archive);
            if (!entries)
                return false;
            for (auto it = entries->constBegin(); it != entries->constEnd(); ++it)
                extended.insert(it.key(), it.value());
            break;
        }
        case tag("FEXS"): {
            QByteArray value;
            if (!data32(value))
                return false;
            security = value;
            break;
        }
        case tag("FHMC"): {
            QByteArray value;
            if (!reader.bytes(32, &value))
                return false;
            hmac = value;
            break;
        }
        case tag("FLCT"):
        case tag("FCSZ"): {
            quint64 value = 0;
            if (!reader.u64(&value))
                return false;
            (fieldTag == tag("FLCT") ? localHeaderPosition : compressedSize) = value;
            break;
        }
        case tag("FPDN"): {
            quint16 n = 0;
            if (!reader.u16(&n) || !reader.skip(n))
                return false;
            break;
        }
        default:
            return false;
        }
    }

    // The size first: the attributes carry the same one, which the record then keeps once.
    if (size)
        record->setSize(*size);
    record->setAttributes(attributes);
    record->setExtendedAttributes(extended);
    if (security)
        record->setExtendedSecurityOptions(*security);
    if (uti)
        record->setUTI(*uti);
    // The local header repeats the directory's path: the record keeps the text it has, which the
    // container's tables share, instead of holding a second copy.
    if (path && *path != record->path())
        record->setPath(*path);
    if (link)
        record->setLinkDestination(link);
    if (localHeaderPosition)
        record->setLocalHeaderPosition(*localHeaderPosition);
    if (compressedSize)
        record->setCompressedSize(*compressedSize);
    if (compressed)
        record->setCompressed(*compressed);
    if (hmac)
        record->setHmac(hmac);
    return true;
}

bool VLHeaderRecords::isValidPath(const QString &path)
{
    return path.startsWith(u'/') && platform::ConfinedFolder::isValidRelativePath(path.mid(1));
}
