// Opening a container and restoring its items.
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"

#include "engine/archive/VLDeflate.h"
#include "engine/archive/VLProgressSchedule.h"
#include "engine/archive/VLScratchBuffers.h"
#include "engine/archive/VLSectionCipher.h"
#include "platform/core/Log.h"

#include "platform/crypto/CryptoFunctions.h"
#include "platform/dispatch/WorkerPool.h"

#include <QSet>

#include <zlib.h>

#include <cerrno>
#include <deque>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL;
// Compressed files up to this size are inflated in one call; larger ones are streamed.
constexpr quint64 wholeRestoreLimit = 1024 * 1024;
constexpr std::size_t pieceSize = 64 * 1024;

QString parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 ? path.left(slash) : QString();
}

VLError itemError(int code)
{
    return VLError(errorDomain, code);
}

// A file that could not be created or written at the destination, with the system's reason:
// a full or read-only disk is not a damaged container.
VLError writeError(int systemError)
{
    VLError error = itemError(VLArchiveErrorCreateItem);
    if (systemError)
        error.setUserInfo({{keyUnderlyingError, QVariant::fromValue(VLError::posix(systemError))}});
    return error;
}

QByteArray withoutTrailingZeros(const QByteArray &bytes)
{
    qsizetype size = bytes.size();
    while (size > 0 && bytes.at(size - 1) == '\0')
        --size;
    return bytes.left(size);
}

QString describe(const platform::FileAttributes &a)
{
    QStringList parts;
    if (a.posixPermissions)
        parts << QStringLiteral("NSFilePosixPermissions = %1").arg(*a.posixPermissions);
    if (a.ownerAccountID)
        parts << QStringLiteral("NSFileOwnerAccountID = %1").arg(*a.ownerAccountID);
    if (a.groupAccountID)
        parts << QStringLiteral("NSFileGroupOwnerAccountID = %1").arg(*a.groupAccountID);
    if (a.modificationDate)
        parts << QStringLiteral("NSFileModificationDate = %1").arg(a.modificationDate->toString(Qt::ISODateWithMs));
    if (a.creationDate)
        parts << QStringLiteral("NSFileCreationDate = %1").arg(a.creationDate->toString(Qt::ISODateWithMs));
    return u'{' + parts.join(QStringLiteral("; ")) + u'}';
}

std::mutex &restoreWriteHookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<VLEncryptedArchive::RestoreWriteHook> &restoreWriteHookSlot()
{
    static std::shared_ptr<VLEncryptedArchive::RestoreWriteHook> hook;
    return hook;
}

std::shared_ptr<VLEncryptedArchive::RestoreWriteHook> restoreWriteHook()
{
    const std::lock_guard lock(restoreWriteHookMutex());
    return restoreWriteHookSlot();
}

} // namespace

void VLEncryptedArchive::setRestoreWriteHook(RestoreWriteHook hook)
{
    const std::lock_guard lock(restoreWriteHookMutex());
    restoreWriteHookSlot() = hook ? std::make_shared<RestoreWriteHook>(std::move(hook)) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Opening

void VLEncryptedArchive::openArchive(const QString &path)
{
    m_in = platform::PosixFile::openForReading(path);
    sendStarted(operationOpening);
    if (!m_in.isOpen()) {
        reportOpenErrorLowError(VLArchiveErrorOpenArchive, VLError::posix(m_in.lastError()));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_opened = true;
    }
    const std::optional<quint64> fileSize = m_in.size();
    if (!fileSize) {
        reportOpenErrorLowError(VLArchiveErrorNotAnArchive, VLError::posix(m_in.lastError()));
        return;
    }
    m_archiveSize = *fileSize;
    char head[8];
    if (!m_in.readFully(head, 4) || getU32(head) != tag("NBV1")) {
        reportOpenErrorLowError(VLArchiveErrorNotAnArchive);
        return;
    }
    if (m_archiveSize < 8 || !m_in.seek(m_archiveSize - 8) || !m_in.readFully(head, 8) || getU32(head) != tag("DLSZ")
        || quint64(getU32(head + 4)) + 4 > m_archiveSize) {
        reportOpenErrorLowError(VLArchiveErrorLocatorLength);
        return;
    }
    const quint32 locatorLength = getU32(head + 4);
    QByteArray locatorBytes(qsizetype(locatorLength), Qt::Uninitialized);
    VLEncryptedArchiveDirectoryLocator locator;
    if (locatorLength > m_archiveSize || !m_in.seek(m_archiveSize - locatorLength)
        || !m_in.readFully(locatorBytes.data(), locatorLength) || !locator.load(locatorBytes)) {
        reportOpenErrorLowError(VLArchiveErrorLocator);
        return;
    }
    if (locator.version() > VLEncryptedArchiveDirectoryLocator::currentVersion) {
        reportOpenErrorLowError(VLArchiveErrorNewerVersion);
        return;
    }

    setPasswordHint(locator.passwordHint());
    m_masterSalt = locator.salt();
    const quint32 flags = locator.flags();
    {
        std::lock_guard lock(m_mutex);
        m_encryptFiles = flags & 1;
        m_encryptDirectory = flags & 2;
        m_calculateFilesHmac = flags & 4;
        m_calculateDirectoryHmac = flags & 8;
        m_compressFiles = flags & 16;
    }
    const quint32 keyCode = (flags >> 8) & 0xff;
    if (keyCode < 1 || keyCode > 3) {
        reportOpenErrorLowError(VLArchiveErrorKeySettings);
        return;
    }
    setAESKeyBits(128 + 64 * (keyCode - 1));
    const Switches s = switches();
    const bool encrypted = s.encryptFiles || s.encryptDirectory;

    if (encrypted) {
        if (m_masterSalt.size() != 16) {
            reportOpenErrorLowError(VLArchiveErrorKeySettings);
            return;
        }
        if (password().isEmpty()) {
            bool cancel = false;
            if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::PasswordNeeded)) {
                reportOpenErrorLowError(VLArchiveErrorPasswordNeeded);
                return;
            }
            delegate()->encryptedArchivePasswordNeeded(this, cancel);
            if (cancel) {
                reportOpenErrorLowError(VLArchiveErrorPasswordNeeded);
                return;
            }
        }
        (void)deriveMasterKey(false);
        // The delegate ends this loop: it gives passwords until one fits, or cancels.
        while (!checkPasswordBlock(locator)) {
            bool cancel = false;
            if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::PasswordNeeded)) {
                reportOpenErrorLowError(VLArchiveErrorWrongPassword);
                return;
            }
            delegate()->encryptedArchivePasswordNeeded(this, cancel);
            if (cancel) {
                reportOpenErrorLowError(VLArchiveErrorWrongPassword);
                return;
            }
            (void)deriveMasterKey(false);
        }
        if (m_passwordCheckFailed) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
    }

    QByteArray stored = locator.preview();
    if (stored.isEmpty()) {
        setPreview(std::nullopt);
    } else if (!encrypted) {
        setPreview(stored);
    } else {
        if (!cryptWithMasterIvDecrypt(stored, std::nullopt, true)) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        const quint8 padding = quint8(stored.back());
        if (padding > 16) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        stored.chop(padding);
        setPreview(stored);
    }

    const quint64 directoryPosition = locator.directoryPosition();
    const quint64 directorySize = locator.directorySize();
    if (directorySize > m_archiveSize || directoryPosition > m_archiveSize - directorySize) {
        reportOpenErrorLowError(VLArchiveErrorLocator);
        return;
    }
    if (!m_in.seek(directoryPosition)) {
        reportOpenErrorLowError(VLArchiveErrorDirectoryRecord, VLError::posix(m_in.lastError()));
        return;
    }
    if (s.encryptDirectory && !beginInputDecryption(s.directoryHmac)) {
        reportOpenErrorLowError(VLArchiveErrorDecipher);
        return;
    }
    if (m_inSection)
        m_inSection->expect(directorySize);

    // The directory is read and deciphered here, in order; its records are parsed on workers, a
    // run at a time and a few runs ahead, and entered in order as before.
    struct DirectoryRun
    {
        std::vector<QByteArray> contents;
        std::vector<quint64> offsets;                   // directory bytes before each record
        std::vector<VLEncryptedArchiveItemPtr> records; // null where a record does not parse
        int readError = -1;                             // a failed read after the records above: its system error, or 0
        bool ready = false;
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
    const bool answersProgress = delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    std::deque<std::shared_ptr<DirectoryRun>> pending;
    // A small directory is parsed here: starting workers would cost more than they save.
    constexpr quint64 parallelDirectorySize = 256 * 1024;
    std::optional<platform::WorkerPool> pool;
    if (directorySize >= parallelDirectorySize)
        pool.emplace(effectiveWorkerCount());
    const std::size_t ahead = pool ? std::size_t(2 * pool->size()) : 1;
    quint64 remaining = directorySize;
    bool readFailed = false;
    while ((remaining > 0 && !readFailed) || !pending.empty()) {
        while (remaining > 0 && !readFailed && pending.size() < ahead) {
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
            pending.push_back(run);
            auto parse = [this, run] {
                run->records.reserve(run->contents.size());
                for (const QByteArray &content : run->contents) {
                    auto record = std::make_shared<VLEncryptedArchiveItem>();
                    const bool loaded = loadArchiveItemFromData(record, content) && !record->path().isEmpty()
                                        && record->localHeaderPosition() != 0;
                    run->records.push_back(loaded ? record : nullptr);
                }
                run->contents = {};
                finishJob(run->ready);
            };
            if (pool)
                pool->post(std::move(parse));
            else
                parse();
        }
        const std::shared_ptr<DirectoryRun> run = pending.front();
        pending.pop_front();
        waitForJob(run->ready);
        for (std::size_t i = 0; i < run->records.size(); ++i) {
            const VLEncryptedArchiveItemPtr &record = run->records[i];
            if (!record) {
                reportOpenErrorLowError(VLArchiveErrorDirectoryRecord);
                return;
            }
            // A path that could leave the destination marks a damaged directory.
            if (!isValidItemPath(record->path())) {
                reportOpenErrorLowError(VLArchiveErrorDirectoryRecord);
                return;
            }
            addToDirectory(record);
            if (answersProgress) {
                bool stop = false;
                sendProgress(operationOpening, std::nullopt, nullptr,
                             double(run->offsets[i]) * 100.0 / double(directorySize), &stop);
                if (stop) {
                    reportOpenErrorLowError(VLArchiveErrorStopped);
                    return;
                }
            }
        }
        if (run->readError >= 0) {
            reportOpenErrorLowError(VLArchiveErrorDirectoryRecord,
                                    run->readError ? VLError::posix(run->readError) : VLError());
            return;
        }
    }

    if (s.encryptDirectory) {
        if (!endInputDecryption()) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        if (s.directoryHmac && !platform::crypto::constantTimeEquals(m_lastHmac, locator.hmac())) {
            quint64 action = 1;
            if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::HMACMismatch))
                delegate()->encryptedArchiveHMACMismatch(this, nullptr, action);
            if (action == 1) {
                reportOpenErrorLowError(VLArchiveErrorDirectoryHmac);
                return;
            }
        }
    }
    sendProgress(operationOpening, std::nullopt, nullptr, 100.0, nullptr);
    sendFinished(operationOpening);
}

bool VLEncryptedArchive::checkPasswordBlock(VLEncryptedArchiveDirectoryLocator &locator)
{
    m_passwordCheckFailed = false;
    const bool whole = encryptDirectory();
    QByteArray block;
    if (whole) {
        putU64(block, locator.directoryPosition());
        putU64(block, locator.directorySize());
    }
    putU64(block, locator.reserved1());
    putU64(block, locator.reserved2());
    if (!cryptWithMasterIvDecrypt(block, std::nullopt, true)) {
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

void VLEncryptedArchive::closeArchive()
{
    releaseInputStream();
    m_in.close();
    std::lock_guard lock(m_mutex);
    m_opened = false;
    m_records.clear();
    m_recordIndex.clear();
    m_foldedIndex.clear();
    m_children.clear();
    m_lastParent.clear();
    m_lastParentKey = QString();
}

// ---------------------------------------------------------------------------------------------
// Extraction

QString VLEncryptedArchive::relativeDestination(const QString &path) const
{
    if (m_destinationPath.isEmpty() || !path.startsWith(m_destinationPath + u'/'))
        return {};
    return path.mid(m_destinationPath.size() + 1);
}

void VLEncryptedArchive::applyAttributes(const VLEncryptedArchiveItemPtr &record, const QString &path)
{
    // Extended attributes before the permissions, which may forbid writing them, and the access
    // list after them, as it is built on the item's mode.
    (void)VLFileMetaData::applyExtendedAttributesToFile(record->extendedAttributes(), path);
    const platform::FileAttributes attributes = record->attributes();
    if (const VLError error = platform::setAttributesOfItemAtPath(attributes, path)) {
        if (attributes.ownerAccountID.value_or(0) != 0 && attributes.groupAccountID.value_or(0) != 0)
            platform::log(QStringLiteral("Warning! setAttributes failed for item %1. Attributes %2.")
                              .arg(path, describe(attributes)));
        else
            platform::log(QStringLiteral("Warning! set root owner/group failed for item %1.").arg(path));
    }
    const QByteArray security = record->extendedSecurityOptions();
    if (!security.isEmpty())
        (void)VLFileMetaData::applyExtendedSecurityOptionsToFile(security, path);
}

void VLEncryptedArchive::internalSetDirectoryAttributes(const VLEncryptedArchiveItemPtr &record)
{
    applyAttributes(record, record->realPath());
    record->setExtendedAttributes({});
    record->setExtendedSecurityOptions({});
}

// Items with their parent folders first, each path once; on a case-sensitive file system "/A"
// and "/a" are two items.
QList<VLEncryptedArchiveItemPtr> VLEncryptedArchive::restoringOrder(
    const QList<VLEncryptedArchiveItemPtr> &records) const
{
    QList<VLEncryptedArchiveItemPtr> order;
    QSet<QString> planned;
    for (const VLEncryptedArchiveItemPtr &record : records) {
        const QString recordPath = record->path();
        if (planned.contains(recordPath))
            continue;
        QList<VLEncryptedArchiveItemPtr> chain{record};
        for (QString parent = parentPath(recordPath); parent.size() >= 2; parent = parentPath(parent)) {
            if (planned.contains(parent))
                break;
            const VLEncryptedArchiveItemPtr parentRecord = recordAtPath(parent);
            if (!parentRecord) {
                platform::log(QStringLiteral("Warning! Archive error : invalid tree structure, no parent folder for %1")
                                  .arg(recordPath));
                break;
            }
            if (planned.contains(parentRecord->path()) || chain.contains(parentRecord))
                break;
            chain.append(parentRecord);
        }
        for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
            order.append(*it);
            planned.insert((*it)->path());
        }
    }
    return order;
}

VLError VLEncryptedArchive::restoreFileData(ExtractJob &job, VLSectionDecoder &decoder, const QString &relativePath)
{
    const VLEncryptedArchiveItemPtr &record = job.record;
    const quint64 size = record->size();
    const bool compressed = record->compressed();
    const quint64 stored = std::min(compressed ? record->compressedSize() : size, m_archiveSize);
    int createError = 0;
    platform::PosixFile out = m_destination.createFile(relativePath, 0600, &createError);
    if (!out.isOpen())
        return writeError(createError);
    int writeFailure = 0;
    const std::shared_ptr<RestoreWriteHook> hook = restoreWriteHook();
    auto deliver = [&](const std::uint8_t *data, std::size_t count) {
        if (hook)
            (*hook)(record->path(), job.written.load());
        if (!writeFailure && count > 0 && !out.writeAll(data, count))
            writeFailure = out.lastError() ? out.lastError() : EIO;
        job.written += count;
    };
    auto logShort = [&] {
        platform::log(
            QStringLiteral("Warning! Processed size differs from item size for file %1.").arg(record->path()));
    };

    if (compressed && size <= wholeRestoreLimit && stored <= wholeRestoreLimit) {
        // Small enough to inflate in one call.
        thread_local std::vector<std::uint8_t> input;
        thread_local std::vector<std::uint8_t> output;
        const VLScratchTrim trim(input, output);
        input.resize(std::size_t(stored));
        output.resize(std::size_t(size));
        if (!decoder.read(input.data(), input.size()))
            return itemError(VLArchiveErrorExtractItem);
        std::size_t produced = 0;
        switch (stored == 0 ? VLDeflate::InflateResult::Short
                            : VLDeflate::inflateWhole(input.data(), input.size(), output, &produced)) {
        case VLDeflate::InflateResult::Done:
            break;
        case VLDeflate::InflateResult::Short:
            if (size != 0)
                logShort();
            break;
        case VLDeflate::InflateResult::TooLong:
        case VLDeflate::InflateResult::Damaged:
            platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(Z_DATA_ERROR));
            return itemError(VLArchiveErrorInflate);
        }
        deliver(output.data(), produced);
    } else {
        z_stream inflater{};
        if (compressed) {
            const int result = inflateInit(&inflater);
            if (result != Z_OK) {
                platform::log(QStringLiteral("Warning! inflateInit failed. Error %1").arg(result));
                return itemError(VLArchiveErrorInflate);
            }
        }
        struct InflateEnd
        {
            z_stream *stream;
            bool running;
            ~InflateEnd()
            {
                if (running)
                    inflateEnd(stream);
            }
        } inflateGuard{&inflater, compressed};
        std::vector<std::uint8_t> piece(pieceSize);
        std::vector<std::uint8_t> inflated(compressed ? pieceSize : 0);
        quint64 read = 0;
        quint64 written = 0;
        bool ended = false;
        // Writes what the item produced, never past its recorded size.
        auto give = [&](const std::uint8_t *data, std::size_t count) {
            if (quint64(count) > size - written) {
                platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(Z_DATA_ERROR));
                deliver(data, std::size_t(size - written));
                written = size;
                return false;
            }
            deliver(data, count);
            written += count;
            return true;
        };
        while (read < stored) {
            if (m_workersStop)
                return itemError(VLArchiveErrorStopped);
            const std::size_t count = std::size_t(std::min<quint64>(piece.size(), stored - read));
            if (!decoder.read(piece.data(), count))
                return itemError(VLArchiveErrorExtractItem);
            read += count;
            const bool last = read == stored;
            if (!compressed) {
                if (!give(piece.data(), count))
                    return itemError(VLArchiveErrorInflate);
                continue;
            }
            if (ended)
                continue;
            inflater.next_in = piece.data();
            inflater.avail_in = uInt(count);
            for (;;) {
                inflater.next_out = inflated.data();
                inflater.avail_out = uInt(inflated.size());
                const int result = inflate(&inflater, Z_NO_FLUSH);
                if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                    platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(result));
                    return itemError(VLArchiveErrorInflate);
                }
                const std::size_t produced = inflated.size() - inflater.avail_out;
                if (!give(inflated.data(), produced))
                    return itemError(VLArchiveErrorInflate);
                if (result == Z_STREAM_END) {
                    ended = true;
                    break;
                }
                if (last && produced == 0) {
                    // The stream stops before its end mark.
                    platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(result));
                    return itemError(VLArchiveErrorInflate);
                }
                if (!last && inflater.avail_out != 0)
                    break;
            }
        }
        if (written != size)
            logShort();
    }
    if (!out.close() && !writeFailure)
        writeFailure = out.lastError() ? out.lastError() : EIO;
    if (writeFailure)
        return writeError(writeFailure);
    applyAttributes(record, job.path);
    record->setExtendedAttributes({});
    record->setExtendedSecurityOptions({});
    return {};
}

void VLEncryptedArchive::restoreItem(ExtractJob &job)
{
    const VLEncryptedArchiveItemPtr &record = job.record;
    if (m_workersStop) {
        job.error = itemError(VLArchiveErrorStopped);
        return;
    }
    const Switches s = switches();
    const quint64 position = record->localHeaderPosition();
    const quint64 stored = std::min(record->compressed() ? record->compressedSize() : record->size(), m_archiveSize);
    VLSectionDecoder decoder;
    if (position > m_archiveSize) {
        job.error = itemError(VLArchiveErrorSeekItem);
        return;
    }
    // A local header is a few hundred bytes unless it carries an access-control list (4 KB); a
    // larger one costs a second read.
    if (!decoder.begin(m_in, position, m_archiveSize, sectionKeys(s.filesHmac), 8 + 512 + stored)) {
        job.error = itemError(s.encryptFiles ? VLArchiveErrorDecipher : VLArchiveErrorSeekItem);
        return;
    }
    char header[8];
    if (!decoder.read(header, 8) || getU32(header) != tag("HDLC")) {
        job.error = itemError(VLArchiveErrorLocalRecord);
        return;
    }
    const quint32 n = getU32(header + 4);
    if (quint64(n) > m_archiveSize - position) {
        job.error = itemError(VLArchiveErrorLocalRecord);
        return;
    }
    decoder.expect(n + stored);
    QByteArray content(qsizetype(n), Qt::Uninitialized);
    if (!decoder.read(content.data(), n)) {
        job.error = itemError(VLArchiveErrorSeekItem);
        return;
    }
    const QString directoryPath = record->path();
    if (!loadArchiveItemFromData(record, content)) {
        job.error = itemError(VLArchiveErrorLocalRecord);
        return;
    }
    content = QByteArray();
    if (!isValidItemPath(record->path())) {
        // The damaged path is not kept: reports name the item as the directory knows it.
        record->setPath(directoryPath);
        job.error = itemError(VLArchiveErrorLocalRecord);
        return;
    }

    const QString relative = relativeDestination(job.path);
    const std::optional<platform::FileType> type = record->fileType();
    if (type == platform::FileType::Directory) {
        // Made by the extracting thread before any of its contents; its metadata comes last, so
        // it is kept until then: the access-control buffer without its trailing zeros, which
        // its application pads back.
        record->setExtendedSecurityOptions(withoutTrailingZeros(record->extendedSecurityOptions()));
    } else if (type == platform::FileType::SymbolicLink) {
        if (const int result = m_destination.createSymbolicLink(relative,
                                                                record->linkDestination().value_or(QString()))) {
            job.error = VLError::posix(result);
            return;
        }
    } else if (type == platform::FileType::Regular) {
        if (const VLError error = restoreFileData(job, decoder, relative)) {
            job.error = error;
            return;
        }
    } else {
        job.error = itemError(VLArchiveErrorItemType);
        return;
    }

    QByteArray hmac;
    if (!decoder.finish(&hmac)) {
        job.error = itemError(VLArchiveErrorDecipher);
        return;
    }
    if (s.filesHmac) {
        const std::optional<QByteArray> expected = record->hmac();
        job.hmacMismatch = !expected || !platform::crypto::constantTimeEquals(hmac, *expected);
    }
}

void VLEncryptedArchive::extractAllItems(const QString &path)
{
    sendStarted(operationExtraction);
    if (!isOpened()) {
        reportExtractErrorForItemLowError(VLArchiveErrorNotOpen, nullptr);
        return;
    }
    QString destination = path;
    while (destination.size() > 1 && destination.endsWith(u'/'))
        destination.chop(1);
    if (!platform::isExistingFolder(destination) || m_destination.open(destination) != 0) {
        reportExtractErrorForItemLowError(VLArchiveErrorDestination, nullptr);
        return;
    }
    m_destinationPath = destination;
    struct Reset
    {
        VLEncryptedArchive *archive;
        ~Reset()
        {
            archive->m_destination = platform::ConfinedFolder();
            archive->m_destinationPath.clear();
        }
    } reset{this};

    const QList<VLEncryptedArchiveItemPtr> records = fileRecords();
    m_operationTotal = 0;
    for (const VLEncryptedArchiveItemPtr &record : records)
        m_operationTotal += record->size();
    m_processed = 0;
    m_extractCancel = false;
    reportExtractProgressForItemTotalProgressCancel(0, nullptr, 0, &m_extractCancel);
    if (m_extractCancel) {
        reportExtractErrorForItemLowError(VLArchiveErrorStopped, nullptr);
        return;
    }

    // Workers restore the items ahead of their turn; the window bounds how many are in flight.
    // Folders are made here, before anything inside them is scheduled.
    const QList<VLEncryptedArchiveItemPtr> order = restoringOrder(records);
    const bool answersProgress = delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    const int workers = effectiveWorkerCount();
    const std::size_t windowItems = std::size_t(64 * workers);
    m_workersStop = false;
    QList<VLEncryptedArchiveItemPtr> folders;
    platform::WorkerPool pool(workers);
    std::deque<std::shared_ptr<ExtractJob>> window;
    qsizetype next = 0;
    auto schedule = [&] {
        while (next < order.size() && window.size() < windowItems) {
            auto job = std::make_shared<ExtractJob>();
            job->record = order.at(next++);
            job->path = destination + job->record->path();
            window.push_back(job);
            if (job->record->fileType() == platform::FileType::Directory) {
                if (const int result = m_destination.createFolder(relativeDestination(job->path))) {
                    job->error = VLError::posix(result);
                    job->ready = true;
                    continue;
                }
            }
            pool.post([this, job] {
                restoreItem(*job);
                finishJob(job->ready);
            });
        }
    };
    // The delegate hears of the end only once no worker writes any more: it may empty the
    // destination as soon as it knows.
    auto fail = [&](int code, const VLEncryptedArchiveItemPtr &record, const VLError &error = {}) {
        m_workersStop = true;
        pool.stop();
        reportExtractErrorForItemLowError(code, record, error);
    };

    while (schedule(), !window.empty()) {
        const std::shared_ptr<ExtractJob> job = window.front();
        const VLEncryptedArchiveItemPtr &record = job->record;
        if (m_extractCancel)
            return fail(VLArchiveErrorStopped, record);
        {
            // The item's progress is reported at the points of its bytes, as far as the worker
            // has come, while it is restored; that is also where a cancel comes in.
            const quint64 size = record->size();
            VLProgressSchedule itemProgress(size, size / 200);
            auto catchUp = [&](quint64 written) {
                return itemProgress.advance(written, [&](quint64 at) {
                    const double total = m_operationTotal == 0
                                             ? 100.0
                                             : double(m_processed + at) * 100.0 / double(m_operationTotal);
                    reportExtractProgressForItemTotalProgressCancel(double(at) * 100.0 / double(size), record, total,
                                                                    &m_extractCancel);
                    return !m_extractCancel;
                });
            };
            const bool regular = answersProgress && record->fileType() == platform::FileType::Regular;
            while (!waitForJob(job->ready, std::chrono::milliseconds(100))) {
                if (regular && !catchUp(job->written.load()))
                    return fail(VLArchiveErrorStopped, record);
            }
            if (regular && !job->error && !catchUp(job->written.load()))
                return fail(VLArchiveErrorStopped, record);
        }
        if (job->error) {
            if (job->error.code() == VLArchiveErrorStopped && job->error.domain() == errorDomain)
                return fail(VLArchiveErrorStopped, record);
            return fail(VLArchiveErrorExtractItem, record, job->error);
        }
        if (job->hmacMismatch) {
            quint64 action = 1;
            if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::HMACMismatch))
                delegate()->encryptedArchiveHMACMismatch(this, record, action);
            if (action == 1)
                return fail(VLArchiveErrorExtractItem, record, itemError(VLArchiveErrorItemHmac));
        }
        window.pop_front();
        const std::optional<platform::FileType> type = record->fileType();
        if (type == platform::FileType::Directory)
            folders.append(record);
        if (type == platform::FileType::Directory || type == platform::FileType::Regular)
            m_processed += record->size();
        if (job->path == destination + record->path())
            record->setRealPathBelowFolder(destination);
        else
            record->setRealPath(job->path);
        const double total = m_operationTotal == 0 ? 100.0 : double(m_processed) * 100.0 / double(m_operationTotal);
        reportExtractProgressForItemTotalProgressCancel(100.0, record, total, &m_extractCancel);
    }
    if (m_extractCancel)
        return fail(VLArchiveErrorStopped, nullptr);
    // Folders get their metadata after all their contents, the innermost first, so that neither
    // their dates nor their permissions change under what is restored inside them.
    for (auto it = folders.crbegin(); it != folders.crend(); ++it)
        internalSetDirectoryAttributes(*it);
    reportExtractProgressForItemTotalProgressCancel(100, nullptr, 100, nullptr);
    sendFinished(operationExtraction);
}
