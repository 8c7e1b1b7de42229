// Opening a container: the locator, the password check and the directory.
#include "engine/archive/VLArchiveReader.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLHeaderRecords.h"
#include "engine/archive/VLOrderedWindow.h"
#include "engine/archive/VLSectionCipher.h"

#include "platform/crypto/CryptoFunctions.h"
#include "platform/dispatch/WorkerPool.h"

#include <optional>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL;

} // namespace

VLArchiveReader::VLArchiveReader(VLEncryptedArchive &archive) : m_archive(archive), m_reporter(archive)
{
}

VLArchiveReader::~VLArchiveReader()
{
    releaseInputStream();
}

VLArchiveReader::Switches VLArchiveReader::switches() const
{
    return {m_archive.encryptFiles(), m_archive.encryptDirectory(), m_archive.calculateFilesHmac(),
            m_archive.calculateDirectoryHmac()};
}

VLSectionKeys VLArchiveReader::sectionKeys(bool withHmac) const
{
    return m_key.sectionKeys(m_keySize, m_switches.encryptFiles, withHmac);
}

void VLArchiveReader::reportOpenError(int code, const VLError &lowError)
{
    m_opened = false;
    releaseInputStream();
    m_in.close();
    m_reporter.error(operationOpening, code, nullptr, lowError);
}

void VLArchiveReader::open(const QString &path)
{
    m_in = platform::PosixFile::openForReading(path);
    m_reporter.started(operationOpening);
    if (!m_in.isOpen()) {
        reportOpenError(VLArchiveErrorOpenArchive, VLError::posix(m_in.lastError()));
        return;
    }
    m_opened = true;
    const std::optional<quint64> fileSize = m_in.size();
    if (!fileSize) {
        reportOpenError(VLArchiveErrorNotAnArchive, VLError::posix(m_in.lastError()));
        return;
    }
    m_archiveSize = *fileSize;
    char head[8];
    if (!m_in.readFully(head, 4) || getU32(head) != tag("NBV1")) {
        reportOpenError(VLArchiveErrorNotAnArchive);
        return;
    }
    if (m_archiveSize < 8 || !m_in.seek(m_archiveSize - 8) || !m_in.readFully(head, 8) || getU32(head) != tag("DLSZ")
        || quint64(getU32(head + 4)) + 4 > m_archiveSize) {
        reportOpenError(VLArchiveErrorLocatorLength);
        return;
    }
    const quint32 locatorLength = getU32(head + 4);
    QByteArray locatorBytes(qsizetype(locatorLength), Qt::Uninitialized);
    VLEncryptedArchiveDirectoryLocator locator;
    if (locatorLength > m_archiveSize || !m_in.seek(m_archiveSize - locatorLength)
        || !m_in.readFully(locatorBytes.data(), locatorLength) || !locator.load(locatorBytes)) {
        reportOpenError(VLArchiveErrorLocator);
        return;
    }
    if (locator.version() > VLEncryptedArchiveDirectoryLocator::currentVersion) {
        reportOpenError(VLArchiveErrorNewerVersion);
        return;
    }

    m_archive.setPasswordHint(locator.passwordHint());
    m_key.setSalt(locator.salt());
    const quint32 flags = locator.flags();
    m_archive.setEncryptFiles(flags & 1);
    m_archive.setEncryptDirectory(flags & 2);
    m_archive.setCalculateFilesHmac(flags & 4);
    m_archive.setCalculateDirectoryHmac(flags & 8);
    m_archive.setCompressFiles(flags & 16);
    const quint32 keyCode = (flags >> 8) & 0xff;
    if (keyCode < 1 || keyCode > 3) {
        reportOpenError(VLArchiveErrorKeySettings);
        return;
    }
    m_archive.setAESKeyBits(128 + 64 * (keyCode - 1));
    m_keySize = VLMasterKey::sizeForBits(m_archive.AESKeyBits());
    m_switches = switches();
    const Switches &s = m_switches;
    const bool encrypted = s.encryptFiles || s.encryptDirectory;

    if (encrypted) {
        if (m_key.salt().size() != 16) {
            reportOpenError(VLArchiveErrorKeySettings);
            return;
        }
        if (m_archive.password().isEmpty() && !m_reporter.passwordGiven()) {
            reportOpenError(VLArchiveErrorPasswordNeeded);
            return;
        }
        (void)m_key.derive(m_archive.password(), m_keySize, false);
        // The delegate ends this loop: it gives passwords until one fits, or cancels.
        while (!checkPasswordBlock(locator)) {
            if (!m_reporter.passwordGiven()) {
                reportOpenError(VLArchiveErrorWrongPassword);
                return;
            }
            (void)m_key.derive(m_archive.password(), m_keySize, false);
        }
        if (m_passwordCheckFailed) {
            reportOpenError(VLArchiveErrorDecipher);
            return;
        }
    }

    QByteArray stored = locator.preview();
    if (stored.isEmpty()) {
        m_archive.setPreview(std::nullopt);
    } else if (!encrypted) {
        m_archive.setPreview(stored);
    } else {
        if (!m_key.crypt(stored, true)) {
            reportOpenError(VLArchiveErrorDecipher);
            return;
        }
        const quint8 padding = quint8(stored.back());
        if (padding > 16) {
            reportOpenError(VLArchiveErrorDecipher);
            return;
        }
        stored.chop(padding);
        m_archive.setPreview(stored);
    }

    const quint64 directoryPosition = locator.directoryPosition();
    const quint64 directorySize = locator.directorySize();
    if (directorySize > m_archiveSize || directoryPosition > m_archiveSize - directorySize) {
        reportOpenError(VLArchiveErrorLocator);
        return;
    }
    if (!m_in.seek(directoryPosition)) {
        reportOpenError(VLArchiveErrorDirectoryRecord, VLError::posix(m_in.lastError()));
        return;
    }
    if (s.encryptDirectory && !beginInputDecryption(s.directoryHmac)) {
        reportOpenError(VLArchiveErrorDecipher);
        return;
    }
    if (m_inSection)
        m_inSection->expect(directorySize);

    if (!readDirectory(directorySize))
        return;

    if (s.encryptDirectory) {
        if (!endInputDecryption()) {
            reportOpenError(VLArchiveErrorDecipher);
            return;
        }
        if (s.directoryHmac && !platform::crypto::constantTimeEquals(m_lastHmac, locator.hmac())) {
            if (!m_reporter.acceptsHmacMismatch(nullptr)) {
                reportOpenError(VLArchiveErrorDirectoryHmac);
                return;
            }
        }
    }
    m_reporter.progress(operationOpening, std::nullopt, nullptr, 100.0, nullptr);
    m_reporter.finished(operationOpening);
}

bool VLArchiveReader::checkPasswordBlock(VLEncryptedArchiveDirectoryLocator &locator)
{
    m_passwordCheckFailed = false;
    const bool whole = m_switches.encryptDirectory;
    QByteArray block;
    if (whole) {
        putU64(block, locator.directoryPosition());
        putU64(block, locator.directorySize());
    }
    putU64(block, locator.reserved1());
    putU64(block, locator.reserved2());
    if (!m_key.crypt(block, true)) {
        m_passwordCheckFailed = true;
        return true; // leaves the loop; the caller reports the failure
    }
    const char *at = block.constData();
    quint64 fields[4] = {locator.directoryPosition(), locator.directorySize(), 0, 0};
    const int first = whole ? 0 : 2;
    for (int i = first; i < 4; ++i)
        fields[i] = getU64(at + 8 * (i - first));
    if ((fields[2] ^ fields[3]) != checkConstant)
        return false;
    locator.setDirectoryPosition(fields[0]);
    locator.setDirectorySize(fields[1]);
    locator.setReserved1(fields[2]);
    locator.setReserved2(fields[3]);
    return true;
}

void VLArchiveReader::close()
{
    releaseInputStream();
    m_in.close();
    m_opened = false;
}

bool VLArchiveReader::readDirectory(quint64 directorySize)
{
    // The directory is read and deciphered here, in order; its records are parsed on workers, a
    // run at a time and a few runs ahead, and entered in order as before.
    struct DirectoryRun
    {
        std::vector<QByteArray> contents;
        std::vector<quint64> offsets;                   // directory bytes before each record
        std::vector<VLEncryptedArchiveItemPtr> records; // null where a record does not parse
        int readError = -1;                             // a failed read after the records above: its system error, or 0
    };
    constexpr std::size_t runLength = 256;
    // One record's content, after its header.
    auto readDirectoryRecord = [this](quint64 remaining, QByteArray &content) {
        char header[8];
        if (!inputDataOfSize(header, 8) || getU32(header) != tag("HDDR") || quint64(getU32(header + 4)) + 8 > remaining)
            return false;
        content = QByteArray(qsizetype(getU32(header + 4)), Qt::Uninitialized);
        return inputDataOfSize(content.data(), std::size_t(content.size()));
    };
    auto parse = [](DirectoryRun &run) {
        run.records.reserve(run.contents.size());
        for (const QByteArray &content : run.contents) {
            auto record = std::make_shared<VLEncryptedArchiveItem>();
            const bool loaded = VLHeaderRecords::load(record, content) && !record->path().isEmpty()
                                && record->localHeaderPosition() != 0;
            run.records.push_back(loaded ? record : nullptr);
        }
        run.contents = {};
    };
    const bool answersProgress = m_reporter.answers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    // A small directory is parsed here: starting workers would cost more than they save.
    constexpr quint64 parallelDirectorySize = 256 * 1024;
    std::optional<platform::WorkerPool> pool;
    if (directorySize >= parallelDirectorySize)
        pool.emplace(VLOrderedWindow<DirectoryRun>::poolSize(m_archive.workerCount()));
    VLOrderedWindow<DirectoryRun> window(pool ? &*pool : nullptr, pool ? std::size_t(2 * pool->size()) : 1);
    quint64 remaining = directorySize;
    bool readFailed = false;
    while ((remaining > 0 && !readFailed) || !window.empty()) {
        while (remaining > 0 && !readFailed && window.hasRoom()) {
            auto run = std::make_shared<DirectoryRun>();
            while (remaining > 0 && run->contents.size() < runLength) {
                QByteArray content;
                if (!readDirectoryRecord(remaining, content)) {
                    run->readError = m_in.lastError();
                    readFailed = true;
                    break;
                }
                run->offsets.push_back(directorySize - remaining);
                remaining -= quint64(content.size()) + 8;
                run->contents.push_back(std::move(content));
            }
            window.add(run, 0, parse);
        }
        window.waitFront();
        const std::shared_ptr<DirectoryRun> run = window.front();
        window.popFront();
        for (std::size_t i = 0; i < run->records.size(); ++i) {
            const VLEncryptedArchiveItemPtr &record = run->records[i];
            // A path that could leave the destination marks a damaged directory.
            if (!record || !VLHeaderRecords::isValidPath(record->path())) {
                reportOpenError(VLArchiveErrorDirectoryRecord);
                return false;
            }
            m_archive.addToDirectory(record);
            if (answersProgress) {
                bool stop = false;
                m_reporter.progress(operationOpening, std::nullopt, nullptr,
                                    double(run->offsets[i]) * 100.0 / double(directorySize), &stop);
                if (stop) {
                    reportOpenError(VLArchiveErrorStopped);
                    return false;
                }
            }
        }
        if (run->readError >= 0) {
            reportOpenError(VLArchiveErrorDirectoryRecord, run->readError ? VLError::posix(run->readError) : VLError());
            return false;
        }
    }
    return true;
}

bool VLArchiveReader::beginInputDecryption(bool withHmac)
{
    releaseInputStream();
    const std::optional<std::uint64_t> position = m_in.position();
    VLSectionKeys keys = sectionKeys(withHmac);
    keys.encipher = true; // also the directory section of a container whose files are not enciphered
    m_inSection = std::make_unique<VLSectionDecoder>();
    if (!position || !m_inSection->begin(m_in, *position, m_archiveSize, keys)) {
        m_inSection.reset();
        return false;
    }
    return true;
}

bool VLArchiveReader::inputDataOfSize(void *buffer, std::size_t size)
{
    if (!m_in.isOpen())
        return false;
    return m_inSection ? m_inSection->read(buffer, size) : m_in.readFully(buffer, size);
}

bool VLArchiveReader::endInputDecryption()
{
    if (!m_inSection)
        return true;
    const bool finished = m_inSection->finish(&m_lastHmac);
    releaseInputStream();
    return finished;
}

void VLArchiveReader::releaseInputStream()
{
    m_inSection.reset();
}
