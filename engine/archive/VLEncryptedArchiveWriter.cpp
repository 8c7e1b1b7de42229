// Writing a whole container: item sections, the directory section and the locator.
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLProgressSchedule.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"
#include "platform/dispatch/WorkerPool.h"

#include <cerrno>
#include <climits>
#include <deque>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL; // "RESERVE1" read as a little-endian u64
// Files up to this size are read, compressed and enciphered whole on a worker; larger ones are
// streamed in blocks.
constexpr quint64 wholeSectionLimit = 1024 * 1024;
// The most bytes of made sections that wait for their turn.
constexpr std::size_t windowBudget = 6 * 1024 * 1024;

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
    m_outPending.clear();
    if (m_out.isOpen()) {
        m_out.close();
        platform::removeFileAtPath(m_outPath);
        m_outPath.clear();
    }
    releaseOutputStream();
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

bool VLEncryptedArchive::writeDirectory(const QList<VLEncryptedArchiveItemPtr> &records, platform::WorkerPool &pool,
                                        VLEncryptedArchiveItemPtr *failedRecord)
{
    // Building a record costs more than enciphering it: runs of records are built on the
    // workers, a bounded number of runs ahead, and written here in the directory's order.
    constexpr qsizetype runLength = 256;
    struct Run
    {
        qsizetype first = 0;
        qsizetype count = 0;
        std::vector<QByteArray> headers;
        qsizetype failed = -1; // index of the record whose header could not be made
        bool ready = false;
    };
    std::deque<std::shared_ptr<Run>> pending;
    const std::size_t ahead = std::size_t(2 * pool.size());
    qsizetype next = 0;
    m_directorySize = 0;
    while (next < records.size() || !pending.empty()) {
        while (next < records.size() && pending.size() < ahead) {
            auto run = std::make_shared<Run>();
            run->first = next;
            run->count = std::min(runLength, records.size() - next);
            next += run->count;
            pending.push_back(run);
            pool.post([this, run, &records] {
                run->headers.reserve(std::size_t(run->count));
                for (qsizetype i = run->first; i < run->first + run->count; ++i) {
                    std::optional<QByteArray> header = centralHeader(records.at(i));
                    if (!header) {
                        run->failed = i;
                        break;
                    }
                    run->headers.push_back(std::move(*header));
                }
                finishJob(run->ready);
            });
        }
        const std::shared_ptr<Run> run = pending.front();
        pending.pop_front();
        waitForJob(run->ready);
        for (const QByteArray &header : run->headers) {
            outputDataOfSize(header.constData(), std::size_t(header.size()));
            m_directorySize += quint64(header.size());
        }
        if (run->failed >= 0) {
            // The runs still in flight read the records: they end before the caller goes on.
            for (const std::shared_ptr<Run> &later : pending)
                waitForJob(later->ready);
            *failedRecord = records.at(run->failed);
            return false;
        }
    }
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
    m_outPending.reserve(outputPieceSize);
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

    // Sections are made ahead on the workers and written in the directory's order. The window
    // bounds how many items, and how many of their bytes, wait made but unwritten; a large file
    // is made when its turn comes, with its blocks compressed on the same workers.
    const int workers = effectiveWorkerCount();
    const std::size_t windowItems = std::size_t(64 * workers);
    m_workersStop = false;
    platform::WorkerPool pool(workers);
    std::deque<std::shared_ptr<SectionJob>> window;
    std::size_t windowBytes = 0;
    qsizetype next = 0;
    auto stopWorkers = [this] { m_workersStop = true; };
    auto schedule = [&] {
        while (next < records.size() && window.size() < windowItems) {
            auto job = std::make_shared<SectionJob>();
            job->record = records.at(next);
            const quint64 size = job->record->fileType() == platform::FileType::Regular ? job->record->size() : 0;
            job->streamed = size > wholeSectionLimit;
            job->cost = job->streamed ? 0 : std::size_t(size) + 4096;
            if (!window.empty() && windowBytes + job->cost > windowBudget)
                return;
            ++next;
            windowBytes += job->cost;
            window.push_back(job);
            if (!job->streamed) {
                pool.post([this, job] {
                    makeSection(*job);
                    finishJob(job->ready);
                });
            }
        }
    };

    bool stop = false;
    while (schedule(), !window.empty()) {
        const std::shared_ptr<SectionJob> job = window.front();
        const VLEncryptedArchiveItemPtr &record = job->record;
        const quint64 position = m_outOffset;
        if (!stop && answersProgress)
            reportSaveProgressForItemTotalProgressCancel(0, record, m_processed, &stop);
        if (stop) {
            stopWorkers();
            failed(VLArchiveErrorStopped, record);
            return;
        }
        if (job->streamed) {
            if (writeStreamedSection(record, pool, answersProgress, stop) != SectionResult::Done) {
                stopWorkers();
                cleanupOutput();
                return;
            }
        } else {
            waitForJob(job->ready);
            if (job->error) {
                stopWorkers();
                reportSaveErrorForItemLowError(job->error, record, job->lowError);
                cleanupOutput();
                return;
            }
            if (answersProgress && job->dataSize > 0) {
                const quint64 expected = record->attributes().size.value_or(0);
                VLProgressSchedule itemProgress(expected, expected / 100);
                itemProgress.advance(job->dataSize, [&](quint64 at) {
                    reportSaveProgressForItemTotalProgressCancel(double(at) * 100.0 / double(expected), record,
                                                                 m_processed + at, &stop);
                    return !stop;
                });
                if (stop) {
                    stopWorkers();
                    failed(VLArchiveErrorStopped, record);
                    return;
                }
            }
            writeRaw(job->bytes.data(), job->bytes.size());
            if (record->compressed())
                record->setCompressedSize(job->compressedSize);
            if (s.encryptFiles && s.filesHmac)
                record->setHmac(job->hmac);
        }
        window.pop_front();
        windowBytes -= job->cost;
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
    if (VLEncryptedArchiveItemPtr failedRecord; !writeDirectory(records, pool, &failedRecord)) {
        failed(VLArchiveErrorCentralHeader, failedRecord);
        return;
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
    flushOutput();
    std::vector<std::uint8_t>().swap(m_outPending);
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
