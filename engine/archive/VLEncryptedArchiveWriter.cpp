// Writing a whole container: item sections, the directory section and the locator.
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"
#include "platform/files/KeyedArchive.h"

#include <zlib.h>

#include <cerrno>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL; // "RESERVE1" read as a little-endian u64
constexpr quint32 itemFlagCompressed = 16;

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

quint32 VLEncryptedArchive::flagsForSwitches() const
{
    const Switches s = switches();
    const quint64 bits = AESKeyBits();
    const quint32 keyCode = bits <= 128 ? 1 : bits <= 192 ? 2 : 3;
    quint32 flags = (s.encryptFiles ? 1u : 0u) | (s.encryptDirectory ? 2u : 0u) | (s.filesHmac ? 4u : 0u)
        | (s.compress ? 16u : 0u) | keyCode << 8;
    // A directory HMAC exists only inside an enciphered directory section (its key travels in the
    // section's key block); the flag claims one only when it is there.
    if (s.directoryHmac && s.encryptDirectory)
        flags |= 8u;
    return flags;
}

std::optional<QByteArray> VLEncryptedArchive::writeCommonHeaderFields(const VLEncryptedArchiveItemPtr &record) const
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

QByteArray VLEncryptedArchive::writePaddingFieldForSize(quint64 size) const
{
    QByteArray out;
    if (size % 16 == 0)
        return out;
    const quint16 n = quint16(16 - (size + 6) % 16);
    putTag(out, tag("FPDN"));
    putU16(out, n);
    QByteArray filler(n, Qt::Uninitialized);
    if (!platform::crypto::randomBytes(filler.data(), std::size_t(filler.size())))
        filler.fill('\0');
    out += filler;
    return out;
}

bool VLEncryptedArchive::saveLocalHeader(const VLEncryptedArchiveItemPtr &record)
{
    std::optional<QByteArray> content = writeCommonHeaderFields(record);
    if (!content)
        return false;
    const VLExtendedAttributes extended = record->extendedAttributes();
    if (!extended.isEmpty()) {
        const QByteArray archive = platform::KeyedArchive::archivedDataWithRootObject(extended);
        putTag(*content, tag("FEXA"));
        putU32(*content, quint32(archive.size()));
        *content += archive;
    }
    const QByteArray security = record->extendedSecurityOptions();
    if (!security.isEmpty()) {
        putTag(*content, tag("FEXS"));
        putU32(*content, quint32(security.size()));
        *content += security;
    }
    if (const std::optional<QString> link = record->linkDestination())
        putText16(*content, tag("FLNK"), *link);
    if (encryptDirectory())
        *content += writePaddingFieldForSize(quint64(content->size()) + 8);
    if (quint64(content->size()) > 0xffffffffULL)
        return false;
    QByteArray header;
    putTag(header, tag("HDLC"));
    putU32(header, quint32(content->size()));
    header += *content;
    outputDataOfSize(header.constData(), std::size_t(header.size()));
    return true;
}

bool VLEncryptedArchive::saveCentralHeader(const VLEncryptedArchiveItemPtr &record)
{
    std::optional<QByteArray> content = writeCommonHeaderFields(record);
    if (!content)
        return false;
    putTag(*content, tag("FLCT"));
    putU64(*content, record->localHeaderPosition());
    if (calculateFilesHmac()) {
        const std::optional<QByteArray> hmac = record->hmac();
        if (!hmac || hmac->size() != 32) {
            platform::log(QStringLiteral("Warning! Invalid HMAC calculated."));
            return false;
        }
        putTag(*content, tag("FHMC"));
        *content += *hmac;
    }
    if (record->compressed()) {
        putTag(*content, tag("FCSZ"));
        putU64(*content, record->compressedSize());
    }
    if (encryptDirectory())
        *content += writePaddingFieldForSize(quint64(content->size()) + 8);
    if (quint64(content->size()) > 0xffffffffULL)
        return false;
    QByteArray header;
    putTag(header, tag("HDDR"));
    putU32(header, quint32(content->size()));
    header += *content;
    outputDataOfSize(header.constData(), std::size_t(header.size()));
    m_directorySize += quint64(header.size());
    return true;
}

void VLEncryptedArchive::cleanupOutput()
{
    if (m_out.isOpen()) {
        m_out.close();
        platform::removeFileAtPath(m_outPath);
        m_outPath.clear();
    }
    if (m_deflateRunning) {
        deflateEnd(m_deflate.get());
        m_deflateRunning = false;
    }
    releaseOutputStream();
    m_calculatingHmac = false;
}

// One item's section: its key block, local header and data. Its bytes depend only on the item
// and the master key, never on where the section lands in the file; the caller records the
// position afterwards.
VLEncryptedArchive::SectionResult VLEncryptedArchive::writeItemSection(const VLEncryptedArchiveItemPtr &record,
                                                                       bool answersProgress, bool &stop)
{
    const Switches s = switches();
    auto fail = [&](int code, const VLError &lowError = {}) {
        reportSaveErrorForItemLowError(code, record, lowError);
        return SectionResult::Failed;
    };
    if (s.encryptFiles && !beginOutputEncryption(s.filesHmac))
        return fail(VLArchiveErrorSectionCipher);
    if (!saveLocalHeader(record))
        return fail(VLArchiveErrorLocalHeader);

    if (record->fileType() == platform::FileType::Regular) {
        platform::PosixFile source = platform::PosixFile::openForReading(record->realPath());
        if (!source.isOpen())
            return fail(VLArchiveErrorOpenSource, VLError::posix(source.lastError()));
        const quint64 expected = record->attributes().size.value_or(0);
        const bool compressed = record->compressed();
        if (compressed) {
            if (!m_deflate)
                m_deflate = std::make_unique<z_stream>();
            *m_deflate = z_stream{};
            const int level = int(std::min<quint64>(compressionLevel(), 9));
            const int result = deflateInit(m_deflate.get(), level);
            if (result != Z_OK) {
                platform::log(QStringLiteral("Warning! deflateInit failed. Error %1").arg(result));
                return fail(VLArchiveErrorCompression);
            }
            m_deflateRunning = true;
        }
        std::vector<std::uint8_t> readBuffer(bufferSize);
        std::vector<std::uint8_t> deflated(compressed ? bufferSize : 0);
        quint64 done = 0;
        quint64 produced = 0;
        quint64 sinceReport = 0;
        bool streamEnded = false;
        auto deflatePiece = [&](const std::uint8_t *data, std::size_t size, int flush) {
            m_deflate->next_in = const_cast<Bytef *>(data);
            m_deflate->avail_in = uInt(size);
            do {
                m_deflate->next_out = deflated.data();
                m_deflate->avail_out = uInt(deflated.size());
                const int result = deflate(m_deflate.get(), flush);
                if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                    platform::log(QStringLiteral("Warning! deflate failed. Error %1").arg(result));
                    return false;
                }
                const std::size_t out = deflated.size() - m_deflate->avail_out;
                outputDataOfSize(deflated.data(), out);
                produced += out;
                if (result == Z_STREAM_END)
                    streamEnded = true;
            } while (m_deflate->avail_out == 0);
            return true;
        };
        while (done < expected) {
            const std::size_t want = std::size_t(std::min<quint64>(bufferSize, expected - done));
            const std::int64_t got = source.read(readBuffer.data(), want);
            if (got < 0)
                return fail(VLArchiveErrorReadSource, VLError::posix(source.lastError()));
            if (got == 0)
                break; // the file got shorter since it was added
            const bool last = done + quint64(got) == expected;
            if (compressed) {
                if (!deflatePiece(readBuffer.data(), std::size_t(got), last ? Z_FINISH : Z_NO_FLUSH))
                    return fail(VLArchiveErrorCompression);
            } else {
                outputDataOfSize(readBuffer.data(), std::size_t(got));
                produced += quint64(got);
            }
            done += quint64(got);
            sinceReport += quint64(got);
            if (answersProgress && sinceReport >= expected / 100) {
                sinceReport = 0;
                reportSaveProgressForItemTotalProgressCancel(double(done) * 100.0 / double(expected), record,
                                                             m_processed + done, &stop);
                if (stop)
                    return fail(VLArchiveErrorStopped);
            }
        }
        // A file that shrank since it was added still gets a complete stream, so readers can end it.
        if (compressed && done > 0 && !streamEnded && !deflatePiece(nullptr, 0, Z_FINISH))
            return fail(VLArchiveErrorCompression);
        source.close();
        if (compressed) {
            deflateEnd(m_deflate.get());
            m_deflateRunning = false;
            record->setCompressedSize(produced);
        }
    }

    if (s.encryptFiles) {
        if (!endOutputEncryption(true))
            return fail(VLArchiveErrorSectionCipher);
        if (s.filesHmac)
            record->setHmac(m_lastHmac);
    }
    return SectionResult::Done;
}

bool VLEncryptedArchive::writeLocator(quint64 directoryPosition, quint64 directorySize, const QByteArray &directoryHmac)
{
    const Switches s = switches();
    VLEncryptedArchiveDirectoryLocator locator;
    locator.setVersion(VLEncryptedArchiveDirectoryLocator::currentVersion);
    locator.setFlags(flagsForSwitches());
    locator.setPasswordHint(passwordHint());
    quint64 fields[4] = {directoryPosition, directorySize, 0, 0};
    const bool encrypted = s.encryptFiles || s.encryptDirectory;
    if (encrypted) {
        quint64 r = 0;
        if (!platform::crypto::randomBytes(&r, sizeof r))
            return false;
        fields[3] = r;
        fields[2] = r ^ checkConstant;
        // With an enciphered directory its position and size are sealed with the check value.
        const int first = s.encryptDirectory ? 0 : 2;
        QByteArray block;
        for (int i = first; i < 4; ++i)
            putU64(block, fields[i]);
        if (!cryptWithMasterIvDecrypt(block, std::nullopt, false))
            return false;
        for (int i = first; i < 4; ++i)
            fields[i] = getU64(block.constData() + 8 * (i - first));
        locator.setSalt(m_masterSalt);
    }
    locator.setDirectoryPosition(fields[0]);
    locator.setDirectorySize(fields[1]);
    locator.setReserved1(fields[2]);
    locator.setReserved2(fields[3]);
    if (s.directoryHmac && s.encryptDirectory)
        locator.setHmac(directoryHmac);
    if (const std::optional<QByteArray> image = preview(); image && !image->isEmpty()) {
        QByteArray stored = *image;
        if (encrypted) {
            const int n = 16 - int(stored.size() % 16);
            for (int i = 0; i < n; ++i)
                stored.append(char(i));
            if (!cryptWithMasterIvDecrypt(stored, std::nullopt, false))
                return false;
        }
        locator.setPreview(stored);
    }
    const QByteArray bytes = locator.save();
    outputDataOfSize(bytes.constData(), std::size_t(bytes.size()));
    return true;
}

void VLEncryptedArchive::save(const QString &path)
{
    const bool answersProgress = delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    m_outPath = path;
    m_out = platform::PosixFile::createForWriting(path, 0600);
    if (!m_out.isOpen()) {
        reportSaveErrorForItemLowError(VLArchiveErrorCreateArchive, nullptr, VLError::posix(m_out.lastError()));
        return;
    }
    m_outOffset = 0;
    sendStarted(operationSaving);
    auto failed = [this](int code, const VLEncryptedArchiveItemPtr &record) {
        reportSaveErrorForItemLowError(code, record);
        cleanupOutput();
    };

    static const char magic[4] = {'N', 'B', 'V', '1'};
    writeRaw(magic, sizeof magic);
    const Switches s = switches();
    if (s.encryptFiles || s.encryptDirectory) {
        if (password().isNull())
            setPassword(QStringLiteral(""));
        // A failed derivation keeps the previous (here: no) master key; the first cipher call
        // then fails and reports the error of its step.
        (void)deriveMasterKey(true);
    }

    const QList<VLEncryptedArchiveItemPtr> records = fileRecords();
    m_operationTotal = 0;
    for (const VLEncryptedArchiveItemPtr &record : records)
        m_operationTotal += record->size();
    m_processed = 0;

    bool stop = false;
    for (const VLEncryptedArchiveItemPtr &record : records) {
        const quint64 position = m_outOffset;
        if (!stop && answersProgress)
            reportSaveProgressForItemTotalProgressCancel(0, record, m_processed, &stop);
        if (stop) {
            failed(VLArchiveErrorStopped, record);
            return;
        }
        if (writeItemSection(record, answersProgress, stop) != SectionResult::Done) {
            cleanupOutput();
            return;
        }
        record->setLocalHeaderPosition(position);
        m_processed += record->size();
        reportSaveProgressForItemTotalProgressCancel(100, record, m_processed, &stop);
    }

    const quint64 directoryPosition = m_outOffset;
    quint64 directorySize = 0;
    if (s.encryptDirectory && !beginOutputEncryption(s.directoryHmac)) {
        failed(VLArchiveErrorSectionCipher, nullptr);
        return;
    }
    m_directorySize = 0;
    for (const VLEncryptedArchiveItemPtr &record : records) {
        if (!saveCentralHeader(record)) {
            failed(VLArchiveErrorCentralHeader, record);
            return;
        }
    }
    directorySize = m_directorySize;
    if (s.encryptDirectory && !endOutputEncryption(true)) {
        failed(VLArchiveErrorSectionCipher, nullptr);
        return;
    }
    if (!writeLocator(directoryPosition, directorySize, s.directoryHmac ? m_lastHmac : QByteArray())) {
        failed(VLArchiveErrorEncipherLocator, nullptr);
        return;
    }
    m_out.close();
    sendFinished(operationSaving);
}
