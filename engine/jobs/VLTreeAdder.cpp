#include "engine/jobs/VLTreeAdder.h"

#include "engine/archive/VLEncryptedArchive.h"

#include "platform/dispatch/WorkerPool.h"
#include "platform/files/FolderListing.h"
#include "platform/files/RecentStatus.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using platform::FolderListing;

// Enough entries that a part outweighs its hand-over, few enough that every worker gets some of
// a small folder and a folder of a million entries is examined on every core.
constexpr std::size_t partEntries = 256;
constexpr std::size_t partsPerWorker = 4;
// Folders found by a worker beyond its budget that it hands to the other workers at once, at most
// this many a worker at a time: the walking thread would only post them once the part is given.
constexpr std::size_t aheadPartsPerWorker = 4;

struct Part;

// A folder to walk, listed by its first part's job.
struct Folder
{
    QByteArray native;
    std::unique_ptr<FolderListing> listing; // null when it could not be opened
    int openError = 0;
    std::atomic<std::size_t> entriesMade = 0; // by the parts; all made, the listing is closed
};

// One entry as a worker made it ready for the walking thread.
struct Made
{
    VLEncryptedArchiveItemPtr record; // null where it cannot be added
    bool folder = false;              // its own status, as walked, says folder
    FolderListing::Identity identity;
    QByteArray native;           // of a folder, to list it, or of an entry that cannot be added
    std::shared_ptr<Part> first; // a folder's first part, once listed ahead
};

// Up to partEntries of a folder's entries from `first` on, each with its status read and its
// record built on a worker; the first part lists the folder too.
struct Part
{
    std::shared_ptr<Folder> folder;
    std::size_t first = 0;
    std::vector<Made> made;
    std::atomic<bool> ready = false;
    // For a folder's first part listed ahead of the walk: how far its entries' folders were
    // listed ahead in turn, on the walking thread.
    std::size_t scanned = 0;
    bool settled = false; // every folder under it that the walk enters is listed ahead
    // False for a small folder's first part that a worker listed within another folder's job:
    // the walking thread counts only the parts it posted.
    bool counted = true;
};

// A folder being given, its entries in the order it lists them.
struct Frame
{
    std::shared_ptr<Folder> folder;
    FolderListing::Identity identity;
    std::deque<std::shared_ptr<Part>> parts; // posted and not given yet, in order
    std::size_t posted = 0;                  // parts posted, the given ones included
    std::size_t partCount = 1;               // known once listed
    bool listed = false;                     // the first part was checked
    std::size_t position = 0;                // the next entry of the front part
    std::size_t scanPart = 0;                // how far its folders were listed ahead (a part, an entry)
    std::size_t scanEntry = 0;
};

// Wakes the walking thread when the part it waits for is ready.
struct Signal
{
    std::mutex mutex;
    std::condition_variable done;
    const Part *awaited = nullptr;

    void finish(Part &part)
    {
        bool wake = false;
        {
            std::lock_guard lock(mutex);
            part.ready.store(true, std::memory_order_release);
            wake = awaited == &part;
        }
        if (wake)
            done.notify_all();
    }
    void wait(const Part &part)
    {
        std::unique_lock lock(mutex);
        awaited = &part;
        done.wait(lock, [&part] { return part.ready.load(std::memory_order_acquire); });
        awaited = nullptr;
    }
};

// The walk of StatusWalk (folders before their contents, each folder's entries in the order it
// lists them, links not followed, folders on another file system or met again given and not
// entered), with the folders listed, the statuses read and the records built on the workers a
// bounded number of parts ahead of the walking thread, which only gives them in order.
class AheadWalk final
{
public:
    AheadWalk(const VLEncryptedArchive &archive, const QString &root, int workers)
        : m_archive(archive)
        , m_root(root)
        , m_maxInFlight(std::size_t(workers) * partsPerWorker)
        , m_maxPostedAhead(std::size_t(workers) * aheadPartsPerWorker)
    {
        // One worker gains nothing over building the records on the walking thread.
        if (workers > 1)
            m_pool.emplace(workers);
    }
    Q_DISABLE_COPY_MOVE(AheadWalk)

    // Gives each entry to `give` in walk order; false from it ends the walk. The walking thread
    // is the caller's. False when the walk could not list all of the tree.
    template <typename Give>
    bool walk(const QString &source, Give give);

    // What was made past the end of the walk is not wanted.
    void stop()
    {
        if (m_pool)
            m_pool->stop();
    }

private:
    Made makeEntry(const QByteArray &native, const struct statx *status) const
    {
        Made made;
        if (status) {
            // The record is of what was walked: its builder takes this status.
            platform::RecentStatus::remember(native, *status);
            made.folder = FolderListing::isFolder(*status);
            if (made.folder)
                made.identity = FolderListing::identityOf(*status);
        }
        made.record = m_archive.recordForItemFromRoot(QFile::decodeName(native), m_root);
        platform::RecentStatus::forget();
        if (made.folder || !made.record)
            made.native = native;
        return made;
    }

    void make(Part &part)
    {
        std::size_t budget = partEntries;
        make(part, budget);
    }

    // Makes a part and, while `budget` entries are left, the first parts of the folders in it:
    // a tree of many small folders then costs a hand-over for a few hundred entries, not one
    // for each folder. The folders beyond the budget go to the other workers at once, a few at a
    // time, rather than wait for the walking thread to find them. Such a part may be of a folder
    // the walk will not enter (one met again), which only costs its listing.
    void make(Part &part, std::size_t &budget)
    {
        makeEntries(part);
        budget -= std::min(budget, part.made.size());
        for (Made &made : part.made) {
            if (!made.folder || made.identity.device != m_device)
                continue;
            const bool here = budget > 0;
            if (!here && !takeAheadRoom())
                continue;
            auto inner = std::make_shared<Part>();
            inner->folder = std::make_shared<Folder>();
            inner->folder->native = made.native;
            inner->counted = false;
            if (here) {
                make(*inner, budget);
                inner->ready.store(true, std::memory_order_relaxed); // published with the outer part
            } else {
                m_pool->post([this, inner] {
                    make(*inner);
                    m_postedAhead.fetch_sub(1, std::memory_order_relaxed);
                    m_signal.finish(*inner);
                });
            }
            made.first = std::move(inner);
        }
    }

    bool takeAheadRoom()
    {
        if (!m_pool)
            return false;
        std::size_t posted = m_postedAhead.load(std::memory_order_relaxed);
        while (posted < m_maxPostedAhead) {
            if (m_postedAhead.compare_exchange_weak(posted, posted + 1, std::memory_order_relaxed))
                return true;
        }
        return false;
    }

    void makeEntries(Part &part) const
    {
        Folder &folder = *part.folder;
        if (part.first == 0) {
            folder.listing = FolderListing::list(folder.native, &folder.openError);
            if (!folder.listing || folder.listing->readError() != 0)
                return;
        }
        const FolderListing &listing = *folder.listing;
        const std::size_t end = std::min(listing.size(), part.first + partEntries);
        const QByteArray prefix = folder.native.endsWith('/') ? folder.native : folder.native + '/';
        part.made.reserve(end - part.first);
        for (std::size_t i = part.first; i < end; ++i) {
            const QByteArrayView name = listing.name(i);
            QByteArray native;
            native.reserve(prefix.size() + name.size());
            native.append(prefix).append(name);
            struct statx status = {};
            const bool known = listing.status(i, &status) == 0;
            part.made.push_back(makeEntry(native, known ? &status : nullptr));
        }
        const std::size_t made = end - part.first;
        if (folder.entriesMade.fetch_add(made, std::memory_order_acq_rel) + made == listing.size())
            folder.listing->close();
    }

    std::shared_ptr<Part> post(std::shared_ptr<Folder> folder, std::size_t first)
    {
        auto part = std::make_shared<Part>();
        part->folder = std::move(folder);
        part->first = first;
        ++m_inFlight;
        if (!m_pool) {
            make(*part);
            part->ready = true;
        } else {
            m_pool->post([this, part] {
                make(*part);
                m_signal.finish(*part);
            });
        }
        return part;
    }
    std::shared_ptr<Part> postFirst(const Made &made)
    {
        auto folder = std::make_shared<Folder>();
        folder->native = made.native;
        return post(std::move(folder), 0);
    }
    void postNext(Frame &frame)
    {
        frame.parts.push_back(post(frame.folder, frame.posted * partEntries));
        ++frame.posted;
    }

    bool hasRoom() const { return m_inFlight < m_maxInFlight; }

    // Whether a folder entry of the frame at depth - 1 is entered: as StatusWalk decides.
    bool entered(const Made &made, std::size_t depth) const
    {
        if (!made.folder || made.identity.device != m_device)
            return false;
        for (std::size_t i = 0; i < depth; ++i) {
            if (m_frames[i].identity == made.identity)
                return false;
        }
        return true;
    }

    // Posts what the walk is to give next as far as known, the nearest first, while there is room.
    void listAhead()
    {
        for (std::size_t depth = m_frames.size(); depth-- > 0 && hasRoom();) {
            Frame &frame = m_frames[depth];
            if (!frame.listed)
                continue;
            const std::size_t given = frame.posted - frame.parts.size();
            if (frame.scanPart < given) {
                frame.scanPart = given;
                frame.scanEntry = 0;
            }
            if (frame.scanPart == given)
                frame.scanEntry = std::max(frame.scanEntry, frame.position);
            // The folders among the entries made so far, then the folder's next parts.
            for (; frame.scanPart < frame.posted; ++frame.scanPart, frame.scanEntry = 0) {
                Part &part = *frame.parts[frame.scanPart - given];
                if (!part.ready.load(std::memory_order_acquire))
                    break;
                for (; frame.scanEntry < part.made.size(); ++frame.scanEntry) {
                    Made &made = part.made[frame.scanEntry];
                    if (made.first || !entered(made, depth + 1))
                        continue;
                    if (!hasRoom())
                        return;
                    made.first = postFirst(made);
                }
            }
            // Deeper: the folders inside the ones listed ahead, so that a tree of many small
            // folders is listed as far ahead as the room allows, not a level at a time.
            for (std::size_t p = 0; p < frame.parts.size(); ++p) {
                Part &part = *frame.parts[p];
                if (!part.ready.load(std::memory_order_acquire))
                    break;
                for (std::size_t i = p == 0 ? frame.position : 0; i < part.made.size(); ++i) {
                    Made &made = part.made[i];
                    m_chain.clear();
                    if (made.first && !listAheadInside(made, depth + 1))
                        return;
                }
            }
            while (frame.posted < frame.partCount) {
                if (!hasRoom())
                    return;
                postNext(frame);
            }
        }
    }

    // Whether a folder entry is entered when the walk is `depth` frames deep and then inside
    // the folders of m_chain: as entered() will decide then.
    bool enteredAhead(const Made &made, std::size_t depth) const
    {
        if (!entered(made, depth))
            return false;
        return std::find(m_chain.cbegin(), m_chain.cend(), made.identity) == m_chain.cend();
    }

    // Lists ahead the folders inside a folder that was listed ahead (made.first), nearest first;
    // false when the room ran out.
    bool listAheadInside(Made &folderMade, std::size_t depth)
    {
        Part &part = *folderMade.first;
        if (part.settled)
            return true;
        if (!part.ready.load(std::memory_order_acquire))
            return true;
        m_chain.push_back(folderMade.identity);
        bool settled = true;
        for (std::size_t i = 0; i < part.made.size(); ++i) {
            Made &made = part.made[i];
            if (i >= part.scanned) {
                if (enteredAhead(made, depth)) {
                    if (!hasRoom()) {
                        m_chain.pop_back();
                        return false;
                    }
                    made.first = postFirst(made);
                }
                part.scanned = i + 1;
            }
            if (made.first) {
                if (!listAheadInside(made, depth)) {
                    m_chain.pop_back();
                    return false;
                }
                settled = settled && made.first->settled;
            }
        }
        m_chain.pop_back();
        part.settled = settled;
        return true;
    }

    void enter(std::shared_ptr<Part> first, FolderListing::Identity identity)
    {
        Frame frame;
        frame.folder = first->folder;
        frame.identity = identity;
        frame.parts.push_back(std::move(first));
        frame.posted = 1;
        m_frames.push_back(std::move(frame));
    }

    const VLEncryptedArchive &m_archive;
    const QString m_root;
    const std::size_t m_maxInFlight;
    const std::size_t m_maxPostedAhead;
    std::size_t m_inFlight = 0;                 // parts posted and not given yet
    std::atomic<std::size_t> m_postedAhead = 0; // parts the workers posted and did not make yet
    dev_t m_device = 0;
    std::vector<Frame> m_frames;                  // the folders being given, the root's first
    std::vector<FolderListing::Identity> m_chain; // the folders listed ahead being looked into
    Signal m_signal;
    std::optional<platform::WorkerPool> m_pool; // last, so that it stops before the rest goes
};

template <typename Give>
bool AheadWalk::walk(const QString &source, Give give)
{
    if (source.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(QDir::cleanPath(source));
    struct statx status = {};
    if (FolderListing::statusAtPath(native, &status) != 0)
        return false;
    Made root = makeEntry(native, &status);
    if (!give(root))
        return true;
    if (!root.folder)
        return true;
    m_device = root.identity.device;
    auto rootFolder = std::make_shared<Folder>();
    rootFolder->native = native;
    enter(post(std::move(rootFolder), 0), root.identity);
    while (!m_frames.empty()) {
        Frame &top = m_frames.back();
        if (top.parts.empty()) {
            if (top.posted < top.partCount) {
                postNext(top);
            } else {
                m_frames.pop_back();
                listAhead();
            }
            continue;
        }
        Part &part = *top.parts.front();
        if (!part.ready.load(std::memory_order_acquire)) {
            listAhead();
            m_signal.wait(part);
        }
        if (!top.listed) {
            top.listed = true;
            const FolderListing *listing = top.folder->listing.get();
            if (!listing) {
                // A folder that cannot be listed is given and not entered; one the system had no
                // room to open leaves the walk incomplete, not the folder silently empty.
                const int error = top.folder->openError;
                if (error == EMFILE || error == ENFILE || error == ENOMEM)
                    return false;
                if (top.parts.front()->counted)
                    --m_inFlight;
                m_frames.pop_back();
                continue;
            }
            if (listing->readError() != 0)
                return false;
            top.partCount = std::max<std::size_t>(1, (listing->size() + partEntries - 1) / partEntries);
            listAhead();
        }
        if (top.position == part.made.size()) {
            if (part.counted)
                --m_inFlight;
            top.parts.pop_front();
            top.position = 0;
            listAhead();
            continue;
        }
        Made &made = part.made[top.position++];
        if (!give(made))
            return true;
        if (entered(made, m_frames.size())) {
            std::shared_ptr<Part> first = made.first ? std::move(made.first) : postFirst(made);
            enter(std::move(first), made.identity);
        }
    }
    return true;
}

} // namespace

VLTreeAdder::VLTreeAdder(VLEncryptedArchive &archive) : m_archive(archive)
{
}

VLTreeAdder::Outcome VLTreeAdder::addTree(const QString &source, const QString &root,
                                          const std::function<bool()> &shouldStop)
{
    m_failedEntry.clear();
    const int workers = m_archive.workerCount();
    AheadWalk walk(m_archive, root, workers > 0 ? workers : platform::WorkerPool::defaultThreadCount());
    bool failed = false;
    bool stopped = false;
    const bool complete = walk.walk(source, [&](const Made &made) {
        if (shouldStop && shouldStop()) {
            stopped = true;
            return false;
        }
        if (!made.record) {
            m_failedEntry = QFile::decodeName(made.native);
            failed = true;
            return false;
        }
        m_archive.addToDirectory(made.record);
        return true;
    });
    walk.stop();
    if (failed)
        return Outcome::EntryFailed;
    if (stopped)
        return Outcome::Stopped;
    return complete ? Outcome::Added : Outcome::WalkIncomplete;
}
