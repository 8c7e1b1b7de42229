// Writing a whole container: item sections, the directory section and the locator.
#include "engine/archive/VLArchiveWriter.h"

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLArchiveRecordTable.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveDirectoryLocator.h"
#include "engine/archive/VLHeaderRecords.h"
#include "engine/archive/VLOrderedWindow.h"
#include "engine/archive/VLProgressSchedule.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"
#include "platform/dispatch/WorkerPool.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <climits>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL; // "RESERVE1" read as a little-endian u64
// Files up to this size are read, compressed and enciphered whole on a worker; larger ones are
// streamed in blocks.
constexpr quint64 wholeSectionLimit = 1024 * 1024;
// Files up to this size are streamed by one worker each, several at once beside the small ones;
// larger ones at their turn, each on every worker.
constexpr quint64 workerSectionLimit = 32 * 1024 * 1024;
// Small files are made a run at a time on one worker: up to this many items and bytes of files.
constexpr std::size_t runItemLimit = 64;
constexpr quint64 runByteLimit = 256 * 1024;
// The most bytes of made sections of small files that wait for their turn.
constexpr std::size_t windowBudget = 6 * 1024 * 1024;
// The most bytes of files streamed on workers at once: their sections wait on disk, or in memory
// where no file can be made beside the container.
constexpr quint64 workerStreamBudget = 128 * 1024 * 1024;
constexpr quint64 workerStreamMemoryBudget = 48 * 1024 * 1024;

// The order in which the records' sections are made: every file too large to be made whole
// first, each right after the folders it is in that are not placed yet (a folder still comes
// before its contents), then the rest in the records' own order. A large file met late would be
// the last work left, on one worker while the others wait; made first, the small files fill the
// other workers meanwhile and the work ends in small pieces. With one worker nothing runs beside
// a large file: the records' own order then.
std::vector<quint32> sectionOrder(const VLRecordList &records, int workers)
{
    std::vector<quint32> order;
    order.reserve(records.size());
    std::vector<bool> placed(records.size(), false);
    QHash<QString, quint32> folders;
    std::vector<quint32> chain;
    for (std::size_t i = 0; i < records.size() && workers > 1; ++i) {
        const VLEncryptedArchiveItemPtr &record = records[i];
        const std::optional<platform::FileType> type = record->fileType();
        if (type == platform::FileType::Directory) {
            folders.insert(record->path(), quint32(i));
        } else if (type == platform::FileType::Regular && record->size() > wholeSectionLimit) {
            chain.clear();
            QString path = record->path();
            for (;;) {
                path.truncate(std::max<qsizetype>(path.lastIndexOf(u'/'), 0));
                const auto folder = folders.constFind(path);
                if (folder == folders.cend() || placed[*folder])
                    break; // a placed folder's own folders are placed too
                chain.push_back(*folder);
            }
            for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
                placed[*it] = true;
                order.push_back(*it);
            }
            placed[i] = true;
            order.push_back(quint32(i));
        }
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!placed[i])
            order.push_back(quint32(i));
    }
    return order;
}

} // namespace

VLArchiveWriter::VLArchiveWriter(VLEncryptedArchive &archive) : m_archive(archive), m_reporter(archive)
{
}

VLArchiveWriter::~VLArchiveWriter() = default;

quint32 VLArchiveWriter::flags() const
{
    const Settings &s = m_settings;
    const quint32 keyCode = s.keyBits <= 128 ? 1 : s.keyBits <= 192 ? 2 : 3;
    quint32 flags = (s.encryptFiles ? 1u : 0u) | (s.encryptDirectory ? 2u : 0u) | (s.filesHmac ? 4u : 0u)
                    | (s.compress ? 16u : 0u) | keyCode << 8;
    // A directory HMAC exists only inside an enciphered directory section (its key travels in the
    // section's key block); the flag claims one only when it is there.
    if (s.directoryHmac && s.encryptDirectory)
        flags |= 8u;
    return flags;
}

VLSectionKeys VLArchiveWriter::sectionKeys(bool withHmac) const
{
    return m_key.sectionKeys(m_settings.keySize, m_settings.encryptFiles, withHmac);
}

void VLArchiveWriter::reportError(int code, const VLEncryptedArchiveItemPtr &record, const VLError &lowError)
{
    // A write that failed earlier (a full disk) is the cause of whatever step noticed it: the
    // container could not be written, for the system's reason.
    if (m_output.writeError() && code != VLArchiveErrorStopped) {
        m_reporter.error(operationSaving, VLArchiveErrorCreateArchive, nullptr, VLError::posix(m_output.writeError()));
        return;
    }
    m_reporter.error(operationSaving, code, record, lowError);
}

void VLArchiveWriter::reportProgress(double progress, const VLEncryptedArchiveItemPtr &record, quint64 processed,
                                     bool *cancel)
{
    if (cancel)
        *cancel = false;
    const double total = m_operationTotal == 0 ? 100.0 : double(processed) * 100.0 / double(m_operationTotal);
    m_reporter.progress(operationSaving, progress, record, total, cancel);
}

bool VLArchiveWriter::writeLocator(quint64 directoryPosition, quint64 directorySize, const QByteArray &directoryHmac)
{
    const Settings &s = m_settings;
    VLEncryptedArchiveDirectoryLocator locator;
    locator.setVersion(VLEncryptedArchiveDirectoryLocator::currentVersion);
    locator.setFlags(flags());
    locator.setPasswordHint(m_archive.passwordHint());
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
        if (!m_key.crypt(block, false))
            return false;
        for (int i = first; i < 4; ++i)
            fields[i] = getU64(block.constData() + 8 * (i - first));
        locator.setSalt(m_key.salt());
    }
    locator.setDirectoryPosition(fields[0]);
    locator.setDirectorySize(fields[1]);
    locator.setReserved1(fields[2]);
    locator.setReserved2(fields[3]);
    if (s.directoryHmac && s.encryptDirectory)
        locator.setHmac(directoryHmac);
    if (const std::optional<QByteArray> image = m_archive.preview(); image && !image->isEmpty()) {
        QByteArray stored = *image;
        if (encrypted) {
            const int n = 16 - int(stored.size() % 16);
            for (int i = 0; i < n; ++i)
                stored.append(char(i));
            if (!m_key.crypt(stored, false))
                return false;
        }
        locator.setPreview(stored);
    }
    const QByteArray bytes = locator.save();
    m_output.writeData(bytes.constData(), std::size_t(bytes.size()));
    return true;
}

bool VLArchiveWriter::writeDirectory(const VLRecordList &records, const std::vector<quint32> &order,
                                     platform::WorkerPool &pool, VLEncryptedArchiveItemPtr *failedRecord)
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
    };
    const bool withHmac = m_settings.filesHmac;
    const bool padded = m_settings.encryptDirectory;
    const qsizetype total = qsizetype(order.size());
    auto build = [&records, &order, withHmac, padded](Run &run) {
        run.headers.reserve(std::size_t(run.count));
        for (qsizetype i = run.first; i < run.first + run.count; ++i) {
            const VLEncryptedArchiveItemPtr &record = records[order[std::size_t(i)]];
            std::optional<QByteArray> header = VLHeaderRecords::centralHeader(record, withHmac, padded);
            if (!header) {
                run.failed = i;
                break;
            }
            run.headers.push_back(std::move(*header));
        }
    };
    // The runs still in flight read the records: the window ends them before the caller goes on.
    VLOrderedWindow<Run> window(&pool, std::size_t(2 * pool.size()));
    qsizetype next = 0;
    m_directorySize = 0;
    while (next < total || !window.empty()) {
        while (next < total && window.hasRoom()) {
            auto run = std::make_shared<Run>();
            run->first = next;
            run->count = std::min(runLength, total - next);
            next += run->count;
            window.add(run, 0, build);
        }
        window.waitFront();
        const std::shared_ptr<Run> run = window.front();
        window.popFront();
        for (const QByteArray &header : run->headers) {
            m_output.writeData(header.constData(), std::size_t(header.size()));
            m_directorySize += quint64(header.size());
        }
        if (run->failed >= 0) {
            *failedRecord = records[order[std::size_t(run->failed)]];
            return false;
        }
    }
    return true;
}

VLArchiveWriter::SectionResult VLArchiveWriter::writeMadeSection(Section &section, bool answersProgress, bool &stop)
{
    const VLEncryptedArchiveItemPtr &record = section.record;
    if (section.error) {
        // A section that could not wait in its own file failed for the container's disk.
        reportError(section.error, section.error == VLArchiveErrorCreateArchive ? nullptr : record,
                    section.made.lowError);
        return SectionResult::Failed;
    }
    if (answersProgress && section.made.dataSize > 0) {
        const quint64 expected = record->attributes().size.value_or(0);
        VLProgressSchedule itemProgress(expected, expected / 100);
        itemProgress.advance(section.made.dataSize, [&](quint64 at) {
            reportProgress(double(at) * 100.0 / double(expected), record, m_processed + at, &stop);
            return !stop;
        });
        if (stop) {
            reportError(VLArchiveErrorStopped, record);
            return SectionResult::Stopped;
        }
    }
    if (section.spill.isOpen()) {
        m_output.writeFile(section.spill, section.spilledSize);
        section.spill.close();
    } else {
        m_output.write(section.bytes.data(), section.bytes.size());
        section.bytes = {}; // the rest of its run may wait a while longer
    }
    keepSectionMade(record, section.made);
    return SectionResult::Done;
}

void VLArchiveWriter::save(const QString &path)
{
    const bool answersProgress = m_reporter.answers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    m_spillFolder = QFileInfo(path).absolutePath();
    if (!m_output.create(path)) {
        reportError(VLArchiveErrorCreateArchive, nullptr, VLError::posix(m_output.fileError()));
        return;
    }
    m_reporter.started(operationSaving);
    auto failed = [this](int code, const VLEncryptedArchiveItemPtr &record) {
        reportError(code, record);
        m_output.discard();
    };

    static const char magic[4] = {'N', 'B', 'V', '1'};
    m_output.write(magic, sizeof magic);
    m_settings = Settings{m_archive.encryptFiles(),       m_archive.encryptDirectory(),
                          m_archive.calculateFilesHmac(), m_archive.calculateDirectoryHmac(),
                          m_archive.compressFiles(),      m_archive.compressionLevel(),
                          m_archive.AESKeyBits(),         VLMasterKey::sizeForBits(m_archive.AESKeyBits())};
    const Settings &s = m_settings;
    if (s.encryptFiles || s.encryptDirectory) {
        if (m_archive.password().isNull())
            m_archive.setPassword(QStringLiteral(""));
        // A failed derivation keeps the previous (here: no) master key; the first cipher call
        // then fails and reports the error of its step.
        (void)m_key.derive(m_archive.password(), s.keySize, true);
    }

    // Held until saving ends: the records stay as they were when it started.
    const std::shared_ptr<const VLRecordList> recordsView = m_archive.recordTable().recordsView();
    const VLRecordList &records = *recordsView;
    const qsizetype recordCount = qsizetype(records.size());
    m_operationTotal = 0;
    for (const VLEncryptedArchiveItemPtr &record : records)
        m_operationTotal += record->size();
    m_processed = 0;

    // Sections are made ahead on the workers and written in the order they are done: a large
    // file does not hold back the small ones behind it. The window bounds how many jobs, and how
    // many of their bytes, wait made but unwritten. A folder's section goes before anything after
    // it in the records (its contents), and a section made at its turn waits for it.
    const int workers = VLOrderedWindow<SectionJob>::poolSize(m_archive.workerCount());
    m_workersStop = false;
    platform::WorkerPool pool(workers);
    auto stopWorkers = [this] { m_workersStop = true; };
    // The sections' order, which the directory follows, as indexes of the records: a million
    // shared pointers more would cost a million reference counts and 16 MB.
    std::vector<quint32> written;
    written.reserve(records.size());
    {
        VLOrderedWindow<SectionJob> window(&pool, std::size_t(16 * workers), windowBudget);
        const auto make = [this](SectionJob &job) { makeSections(job); };
        const auto stream = [this](SectionJob &job) { streamSectionOnWorker(job.sections.front()); };
        quint64 streaming = 0; // bytes of files streamed on workers, in the window
        const quint64 streamBudget = platform::PosixFile::createAnonymousIn(m_spillFolder).isOpen()
                                         ? workerStreamBudget
                                         : workerStreamMemoryBudget;
        const std::vector<quint32> order = sectionOrder(records, workers);
        qsizetype next = 0;
        // The next job, made up but not added while the window had no room for it.
        std::shared_ptr<SectionJob> waiting;
        std::size_t waitingCost = 0;
        auto nextJob = [&](std::size_t &cost) {
            auto job = std::make_shared<SectionJob>();
            cost = 0;
            quint64 runBytes = 0;
            while (next < recordCount) {
                const VLEncryptedArchiveItemPtr &record = records[order[std::size_t(next)]];
                const platform::FileType type = record->fileType().value_or(platform::FileType::Unknown);
                const quint64 size = type == platform::FileType::Regular ? record->size() : 0;
                const Making making = size <= wholeSectionLimit    ? Making::Whole
                                      : size <= workerSectionLimit ? Making::OnWorker
                                                                   : Making::AtTurn;
                if (!job->sections.empty()
                    && (making != Making::Whole || job->sections.size() >= runItemLimit
                        || runBytes + size > runByteLimit))
                    break;
                ++next;
                job->making = making;
                job->folder = job->folder || type == platform::FileType::Directory;
                Section &section = job->sections.emplace_back();
                section.record = record;
                section.index = order[std::size_t(next - 1)];
                if (making == Making::OnWorker)
                    job->streamedSize = size;
                if (making != Making::Whole)
                    break;
                cost += std::size_t(size) + 4096;
                runBytes += size;
            }
            return job;
        };
        auto schedule = [&] {
            for (;;) {
                if (!waiting) {
                    if (next >= recordCount)
                        return;
                    waiting = nextJob(waitingCost);
                }
                if (!window.hasRoom(waitingCost))
                    return;
                if (waiting->making == Making::OnWorker && streaming > 0
                    && streaming + waiting->streamedSize > streamBudget)
                    return;
                streaming += waiting->streamedSize;
                const Making making = waiting->making;
                window.add(std::move(waiting), waitingCost,
                           making == Making::Whole      ? make
                           : making == Making::OnWorker ? stream
                                                        : VLOrderedWindow<SectionJob>::Work());
                waiting.reset();
            }
        };
        const auto mayTake = [](const SectionJob &job, std::size_t index) {
            return job.making != Making::AtTurn || index == 0;
        };
        const auto blocks = [](const SectionJob &job) { return job.folder; };

        bool stop = false;
        while (schedule(), !window.empty()) {
            const std::shared_ptr<SectionJob> job = window.waitToTake(mayTake, blocks);
            streaming -= job->streamedSize;
            for (Section &section : job->sections) {
                const VLEncryptedArchiveItemPtr &record = section.record;
                const quint64 position = m_output.offset();
                if (!stop && answersProgress)
                    reportProgress(0, record, m_processed, &stop);
                if (stop) {
                    stopWorkers();
                    failed(VLArchiveErrorStopped, record);
                    return;
                }
                const SectionResult result = job->making == Making::AtTurn
                                                 ? writeStreamedSection(record, pool, answersProgress, stop)
                                                 : writeMadeSection(section, answersProgress, stop);
                if (result != SectionResult::Done) {
                    stopWorkers();
                    m_output.discard();
                    return;
                }
                record->setLocalHeaderPosition(position);
                written.push_back(section.index);
                m_processed += record->size();
                reportProgress(100, record, m_processed, &stop);
            }
        }
    }

    const quint64 directoryPosition = m_output.offset();
    VLSectionKeys directoryKeys = sectionKeys(s.directoryHmac);
    directoryKeys.encipher = true; // also the directory section of a container whose files are not enciphered
    if (s.encryptDirectory && !m_output.beginSection(directoryKeys)) {
        failed(VLArchiveErrorSectionCipher, nullptr);
        return;
    }
    if (VLEncryptedArchiveItemPtr failedRecord; !writeDirectory(records, written, pool, &failedRecord)) {
        failed(VLArchiveErrorCentralHeader, failedRecord);
        return;
    }
    QByteArray directoryHmac;
    if (s.encryptDirectory && !m_output.endSection(&directoryHmac)) {
        failed(VLArchiveErrorSectionCipher, nullptr);
        return;
    }
    if (!writeLocator(directoryPosition, m_directorySize, s.directoryHmac ? directoryHmac : QByteArray())) {
        failed(VLArchiveErrorEncipherLocator, nullptr);
        return;
    }
    // A container missing some of its bytes is no container: a failed write, though logged and
    // passed over where it happened, fails the saving here.
    if (const int error = m_output.finish()) {
        m_reporter.error(operationSaving, VLArchiveErrorCreateArchive, nullptr, VLError::posix(error));
        return;
    }
    m_reporter.finished(operationSaving);
}
