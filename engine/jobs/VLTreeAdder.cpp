#include "engine/jobs/VLTreeAdder.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLOrderedWindow.h"
#include "engine/files/KXAdditions.h"

#include "platform/files/RecentStatus.h"

#include <QFile>

#include <optional>
#include <vector>

namespace {

// Enough entries that a batch outweighs its hand-over, few enough that every worker gets some
// of a small folder.
constexpr std::size_t batchEntries = 256;
constexpr std::size_t batchesPerWorker = 4;

struct Entry
{
    QString path;
    QByteArray native;                  // the path as the walk read it, with status
    std::optional<struct statx> status; // the walk's own, so that the record is of what was walked
};

struct Batch
{
    std::vector<Entry> entries;
    std::vector<VLEncryptedArchiveItemPtr> records; // one per entry, null where it cannot be added
};

} // namespace

VLTreeAdder::VLTreeAdder(VLEncryptedArchive &archive) : m_archive(archive)
{
}

VLTreeAdder::Outcome VLTreeAdder::addTree(const QString &source, const QString &root,
                                          const std::function<bool()> &shouldStop)
{
    m_failedEntry.clear();
    const int workers = VLOrderedWindow<Batch>::poolSize(m_archive.workerCount());
    // One worker gains nothing over building the records on the walking thread.
    std::optional<platform::WorkerPool> pool;
    if (workers > 1)
        pool.emplace(workers);
    VLOrderedWindow<Batch> window(pool ? &*pool : nullptr, std::size_t(workers) * batchesPerWorker);

    const VLEncryptedArchive &archive = m_archive;
    const auto build = [&archive, root](Batch &batch) {
        batch.records.reserve(batch.entries.size());
        for (const Entry &entry : batch.entries) {
            if (entry.status)
                platform::RecentStatus::remember(entry.native, *entry.status);
            batch.records.push_back(archive.recordForItemFromRoot(entry.path, root));
            platform::RecentStatus::forget();
        }
    };
    // Adds the oldest batch once built; false at an entry that cannot be added, which ends the
    // tree there as adding entry by entry would.
    const auto addFront = [&] {
        window.waitFront();
        const std::shared_ptr<Batch> batch = window.front();
        window.popFront();
        for (std::size_t i = 0; i < batch->records.size(); ++i) {
            if (!batch->records[i]) {
                m_failedEntry = batch->entries[i].path;
                return false;
            }
            m_archive.addToDirectory(batch->records[i]);
        }
        return true;
    };
    const auto addReady = [&] {
        while (!window.empty() && window.waitFront(std::chrono::milliseconds(0))) {
            if (!addFront())
                return false;
        }
        return true;
    };

    auto batch = std::make_shared<Batch>();
    bool failed = false;
    bool stopped = false;
    const auto post = [&] {
        while (!window.hasRoom() && !failed)
            failed = !addFront();
        if (failed)
            return;
        window.add(std::move(batch), 0, build);
        batch = std::make_shared<Batch>();
        failed = !addReady();
    };
    const bool complete = KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
        source, [&](const QString &path, bool, qint64, bool &stop) {
            if (shouldStop && shouldStop()) {
                stopped = stop = true;
                return;
            }
            Entry entry{path, QFile::encodeName(path), std::nullopt};
            struct statx status = {};
            if (platform::RecentStatus::take(entry.native, &status))
                entry.status = status;
            batch->entries.push_back(std::move(entry));
            if (batch->entries.size() >= batchEntries)
                post();
            stop = failed;
        });
    if (!failed && !stopped && !batch->entries.empty())
        post();
    while (!failed && !stopped && !window.empty()) {
        if (shouldStop && shouldStop())
            stopped = true;
        else
            failed = !addFront();
    }
    if (pool)
        pool->stop(); // what was built past a failure or a stop is not wanted
    if (failed)
        return Outcome::EntryFailed;
    if (stopped)
        return Outcome::Stopped;
    return complete ? Outcome::Added : Outcome::WalkIncomplete;
}
