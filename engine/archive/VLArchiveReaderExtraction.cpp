// Restoring a container's items below a folder.
#include "engine/archive/VLArchiveReader.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLArchiveRecordTable.h"
#include "engine/archive/VLDeflate.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLHeaderRecords.h"
#include "engine/archive/VLOrderedWindow.h"
#include "engine/archive/VLProgressSchedule.h"
#include "engine/archive/VLScratchBuffers.h"
#include "engine/archive/VLSectionCipher.h"
#include "platform/core/Log.h"

#include "platform/crypto/CryptoFunctions.h"
#include "platform/dispatch/WorkerPool.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

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

std::shared_ptr<VLArchiveReader::RestoreWriteHook> &restoreWriteHookSlot()
{
    static std::shared_ptr<VLArchiveReader::RestoreWriteHook> hook;
    return hook;
}

std::shared_ptr<VLArchiveReader::RestoreWriteHook> restoreWriteHook()
{
    const std::lock_guard lock(restoreWriteHookMutex());
    return restoreWriteHookSlot();
}

} // namespace

void VLArchiveReader::setRestoreWriteHook(RestoreWriteHook hook)
{
    const std::lock_guard lock(restoreWriteHookMutex());
    restoreWriteHookSlot() = hook ? std::make_shared<RestoreWriteHook>(std::move(hook)) : nullptr;
}

void VLArchiveReader::reportExtractError(int code, const VLEncryptedArchiveItemPtr &record, const VLError &lowError)
{
    releaseInputStream();
    m_reporter.error(operationExtraction, code, record, lowError);
}

void VLArchiveReader::reportExtractProgress(double progress, const VLEncryptedArchiveItemPtr &record,
                                            double totalProgress, bool *cancel)
{
    m_reporter.progress(operationExtraction, progress, record, totalProgress, cancel);
}

QString VLArchiveReader::relativeDestination(const QString &path) const
{
    if (m_destinationPath.isEmpty() || !path.startsWith(m_destinationPath + u'/'))
        return {};
    return path.mid(m_destinationPath.size() + 1);
}

void VLArchiveReader::applyAttributes(const VLEncryptedArchiveItemPtr &record, const QString &path)
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

void VLArchiveReader::setFolderAttributes(const VLEncryptedArchiveItemPtr &record)
{
    applyAttributes(record, record->realPath());
    record->setExtendedAttributes({});
    record->setExtendedSecurityOptions({});
}

// Items with their parent folders first, each once; on a case-sensitive file system "/A" and
// "/a" are two items. records are the table's, in its order.
std::vector<quint32> VLArchiveReader::restoringOrder(const std::vector<VLEncryptedArchiveItemPtr> &records) const
{
    const VLArchiveRecordTable &table = m_archive.recordTable();
    std::vector<quint32> order;
    order.reserve(records.size());
    std::vector<bool> planned(records.size(), false);
    std::vector<quint32> chain;
    for (std::size_t position = 0; position < records.size(); ++position) {
        if (planned[position])
            continue;
        chain.assign(1, quint32(position));
        const QString recordPath = records[position]->path();
        for (QString parent = parentPath(recordPath); parent.size() >= 2; parent = parentPath(parent)) {
            const qsizetype parentPosition = table.positionAtPath(parent);
            if (parentPosition < 0 || std::size_t(parentPosition) >= records.size()) {
                platform::log(QStringLiteral("Warning! Archive error : invalid tree structure, no parent folder for %1")
                                  .arg(recordPath));
                break;
            }
            if (planned[std::size_t(parentPosition)]
                || std::find(chain.cbegin(), chain.cend(), quint32(parentPosition)) != chain.cend())
                break;
            chain.push_back(quint32(parentPosition));
        }
        for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
            order.push_back(*it);
            planned[*it] = true;
        }
    }
    return order;
}

VLError VLArchiveReader::restoreFileData(ExtractJob &job, VLSectionDecoder &decoder, const QString &relativePath)
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

void VLArchiveReader::restoreItem(ExtractJob &job)
{
    const VLEncryptedArchiveItemPtr &record = job.record;
    if (m_workersStop) {
        job.error = itemError(VLArchiveErrorStopped);
        return;
    }
    const Switches &s = m_switches;
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
    if (!VLHeaderRecords::load(record, content)) {
        job.error = itemError(VLArchiveErrorLocalRecord);
        return;
    }
    content = QByteArray();
    if (!VLHeaderRecords::isValidPath(record->path())) {
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

void VLArchiveReader::extractAll(const QString &path)
{
    m_reporter.started(operationExtraction);
    if (!m_opened) {
        reportExtractError(VLArchiveErrorNotOpen, nullptr);
        return;
    }
    QString destination = path;
    while (destination.size() > 1 && destination.endsWith(u'/'))
        destination.chop(1);
    if (!platform::isExistingFolder(destination) || m_destination.open(destination) != 0) {
        reportExtractError(VLArchiveErrorDestination, nullptr);
        return;
    }
    m_destinationPath = destination;
    struct Reset
    {
        VLArchiveReader *reader;
        ~Reset()
        {
            reader->m_destination = platform::ConfinedFolder();
            reader->m_destinationPath.clear();
        }
    } reset{this};
    m_switches = switches();
    m_keySize = VLMasterKey::sizeForBits(m_archive.AESKeyBits());

    // Held until extraction ends: the records stay as they were when it started.
    const std::shared_ptr<const VLRecordList> recordsView = m_archive.recordTable().recordsView();
    const VLRecordList &records = *recordsView;
    m_operationTotal = 0;
    for (const VLEncryptedArchiveItemPtr &record : records)
        m_operationTotal += record->size();
    m_processed = 0;
    m_extractCancel = false;
    reportExtractProgress(0, nullptr, 0, &m_extractCancel);
    if (m_extractCancel) {
        reportExtractError(VLArchiveErrorStopped, nullptr);
        return;
    }

    // Workers restore the items ahead of their turn; the window bounds how many are in flight.
    // Folders are made here, before anything inside them is scheduled.
    const std::vector<quint32> order = restoringOrder(records);
    const bool answersProgress = m_reporter.answers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    const int workers = VLOrderedWindow<ExtractJob>::poolSize(m_archive.workerCount());
    m_workersStop = false;
    QList<VLEncryptedArchiveItemPtr> folders;
    platform::WorkerPool pool(workers);
    VLOrderedWindow<ExtractJob> window(&pool, std::size_t(64 * workers));
    const auto restore = [this](ExtractJob &job) { restoreItem(job); };
    std::size_t next = 0;
    auto schedule = [&] {
        while (next < order.size() && window.hasRoom()) {
            auto job = std::make_shared<ExtractJob>();
            job->record = records[order[next++]];
            job->path = destination + job->record->path();
            if (job->record->fileType() == platform::FileType::Directory) {
                if (const int result = m_destination.createFolder(relativeDestination(job->path))) {
                    job->error = VLError::posix(result);
                    window.add(job, 0, {});
                    continue;
                }
            }
            window.add(job, 0, restore);
        }
    };
    // The delegate hears of the end only once no worker writes any more: it may empty the
    // destination as soon as it knows.
    auto fail = [&](int code, const VLEncryptedArchiveItemPtr &record, const VLError &error = {}) {
        m_workersStop = true;
        pool.stop();
        reportExtractError(code, record, error);
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
                    reportExtractProgress(double(at) * 100.0 / double(size), record, total, &m_extractCancel);
                    return !m_extractCancel;
                });
            };
            const bool regular = answersProgress && record->fileType() == platform::FileType::Regular;
            while (!window.waitFront(std::chrono::milliseconds(100))) {
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
            if (!m_reporter.acceptsHmacMismatch(record))
                return fail(VLArchiveErrorExtractItem, record, itemError(VLArchiveErrorItemHmac));
        }
        window.popFront();
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
        reportExtractProgress(100.0, record, total, &m_extractCancel);
    }
    if (m_extractCancel)
        return fail(VLArchiveErrorStopped, nullptr);
    // Folders get their metadata after all their contents, the innermost first, so that neither
    // their dates nor their permissions change under what is restored inside them.
    for (auto it = folders.crbegin(); it != folders.crend(); ++it)
        setFolderAttributes(*it);
    reportExtractProgress(100, nullptr, 100, nullptr);
    m_reporter.finished(operationExtraction);
}
