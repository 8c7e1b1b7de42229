// Writing a whole container: item sections, the directory section and the locator.
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"

#include <zlib.h>

#include <cerrno>
#include <climits>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL; // "RESERVE1" read as a little-endian u64

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
            const int level = int(std::min<quint64>(compressionLevel(), quint64(INT_MAX)));
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
    m_outWriteError = 0;
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
    // A container missing some of its bytes is no container: a failed write, though logged and
    // passed over where it happened, fails the saving here.
    if (!m_out.close() && !m_outWriteError)
        m_outWriteError = m_out.lastError();
    if (m_outWriteError) {
        reportSaveErrorForItemLowError(VLArchiveErrorCreateArchive, nullptr, VLError::posix(m_outWriteError));
        platform::removeFileAtPath(m_outPath);
        m_outPath.clear();
        return;
    }
    sendFinished(operationSaving);
}
