#include "engine/files/SWFileMonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Collects what an observer block is told, from whichever thread it runs on. The blocks share
// the recorder's state, so one delivered after a test's recorder is gone writes nowhere harmful.
class Recorder
{
public:
    struct Event
    {
        unsigned long flags;
        QString path;
    };

    SWFileMonitorBlock block()
    {
        return [state = m_state](unsigned long flags, const QString &path) {
            std::lock_guard lock(state->mutex);
            state->events.append({flags, path});
            state->onMainThread = state->onMainThread
                                  || QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }

    QList<Event> events() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->events;
    }

    // The path given with the first event that carries the bit, or null.
    QString pathFor(unsigned long bit) const
    {
        const auto all = events();
        for (const Event &event : all) {
            if (event.flags & bit)
                return event.path;
        }
        return {};
    }

    bool has(unsigned long bit) const { return !pathFor(bit).isNull(); }

    void clear()
    {
        std::lock_guard lock(m_state->mutex);
        m_state->events.clear();
    }

    // Whether any block ran on the main thread; they belong on work threads.
    bool ranOnMainThread() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->onMainThread;
    }

private:
    struct State
    {
        std::mutex mutex;
        QList<Event> events;
        bool onMainThread = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

bool writeFile(const QString &path, const QByteArray &content, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(content) == content.size();
}

// The descriptors the process holds open on items below a folder (work threads come and go
// with descriptors of their own, so only these are counted).
int descriptorsBelow(const QString &folder)
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        char target[4096] = {};
        const ssize_t length = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
        if (length > 0 && QFile::decodeName(QByteArray(target, length)).startsWith(folder + u'/'))
            ++count;
    }
    return count;
}

// The kernel watches of the process's inotify instances.
int inotifyWatches()
{
    int watches = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        char target[64] = {};
        const ssize_t length = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
        if (length <= 0 || QByteArray(target, length) != "anon_inode:inotify")
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n'))
            watches += line.startsWith("inotify wd:") ? 1 : 0;
    }
    return watches;
}

// Long enough for inotify and the work queue to deliver anything that was going to come.
void settle()
{
    QTest::qWait(300);
}

} // namespace

class tst_SWFileMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void watchingTwiceKeepsTheFirstBlock();
    void renameFollowsTheItem_data();
    void renameFollowsTheItem();
    void writesAreReported();
    void deletionReportsTheLastPath_data();
    void deletionReportsTheLastPath();
    void moveThenDeleteAtOnce_data();
    void moveThenDeleteAtOnce();
    void replacedItemIsWatchedAgain();
    void pausedEventsAreLost();
    void missingItemYieldsNothing();
    void deletedItemStillNamedIsNotWatched_data();
    void deletedItemStillNamedIsNotWatched();
    void stoppedWatchIsSilent();
    void maskFiltersEvents();
    void stopWaitsForARunningBlock();
    void blockMayStopItsOwnWatch();
    void descriptorsAndWatchesAreReleased();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void tst_SWFileMonitor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("a/inner")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("b")));
    QVERIFY(writeFile(path(QStringLiteral("a/file.txt")), "hello"));
    QVERIFY(writeFile(path(QStringLiteral("a/inner/deep.txt")), "deep"));
}

void tst_SWFileMonitor::watchingTwiceKeepsTheFirstBlock()
{
    SWFileMonitor monitor;
    Recorder first;
    Recorder second;
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("a/file.txt")));
    QVERIFY(monitor.startObservationOfURLWithBlock(url, first.block()));
    QVERIFY(!monitor.startObservationOfURLFlagsWithBlock(url, SWFileMonitorEventRename, second.block()));
    QCOMPARE(monitor.observationInfoByURL().size(), 1);
    QCOMPARE(monitor.observationInfoByURL().value(url)->flags(), SWFileMonitorAllEvents);

    QVERIFY(writeFile(url.toLocalFile(), " more", QIODevice::Append));
    QTRY_VERIFY(first.has(SWFileMonitorEventWrite));
    settle();
    QVERIFY(second.events().isEmpty());
}

void tst_SWFileMonitor::renameFollowsTheItem_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("file renamed in place") << "a/file.txt"
                                           << "a/renamed.txt";
    QTest::newRow("file moved to another folder") << "a/file.txt"
                                                  << "b/file.txt";
    QTest::newRow("folder renamed") << "a/inner"
                                    << "a/outer";
    QTest::newRow("folder moved to another folder") << "a/inner"
                                                    << "b/inner";
}

void tst_SWFileMonitor::renameFollowsTheItem()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    SWFileMonitor monitor;
    Recorder recorder;
    QVERIFY(monitor.startObservationOfURLWithBlock(QUrl::fromLocalFile(path(from)), recorder.block()));

    QVERIFY(QDir().rename(path(from), path(to)));
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventRename), path(to));

    // The watch stays with the item at its new name, and a move after a move is followed too.
    recorder.clear();
    QVERIFY(QDir().rename(path(to), path(QStringLiteral("moved-again"))));
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventRename), path(QStringLiteral("moved-again")));

    // A deletion after the move is still seen, for a folder through its new parent.
    recorder.clear();
    const QString current = path(QStringLiteral("moved-again"));
    QVERIFY(QFileInfo(current).isDir() ? QDir(current).removeRecursively() : QFile::remove(current));
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventDelete), current);
}

void tst_SWFileMonitor::writesAreReported()
{
    SWFileMonitor monitor;
    Recorder file;
    Recorder folder;
    QVERIFY(
        monitor.startObservationOfURLWithBlock(QUrl::fromLocalFile(path(QStringLiteral("a/file.txt"))), file.block()));
    QVERIFY(monitor.startObservationOfURLWithBlock(QUrl::fromLocalFile(path(QStringLiteral("b"))), folder.block()));

    QVERIFY(writeFile(path(QStringLiteral("a/file.txt")), " grown", QIODevice::Append));
    QTRY_VERIFY(file.has(SWFileMonitorEventExtend));
    QCOMPARE(file.pathFor(SWFileMonitorEventWrite), path(QStringLiteral("a/file.txt")));

    QVERIFY(QFile::setPermissions(path(QStringLiteral("a/file.txt")), QFileDevice::ReadOwner));
    QTRY_VERIFY(file.has(SWFileMonitorEventAttributes));

    // A folder's write is a change of its entries; a new sub-folder changes its link count.
    QVERIFY(writeFile(path(QStringLiteral("b/new.txt")), "x"));
    QTRY_COMPARE(folder.pathFor(SWFileMonitorEventWrite), path(QStringLiteral("b")));
    QVERIFY(!folder.has(SWFileMonitorEventDelete));
    QVERIFY(!file.ranOnMainThread());
    QVERIFY(!folder.ranOnMainThread());
}

void tst_SWFileMonitor::deletionReportsTheLastPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << "a/file.txt";
    QTest::newRow("file deep in a removed tree") << "a/inner/deep.txt";
    QTest::newRow("folder") << "a/inner";
    QTest::newRow("folder with content removed as a tree") << "a";
}

void tst_SWFileMonitor::deletionReportsTheLastPath()
{
    QFETCH(QString, name);
    SWFileMonitor monitor;
    Recorder recorder;
    const QUrl url = QUrl::fromLocalFile(path(name));
    QVERIFY(monitor.startObservationOfURLWithBlock(url, recorder.block()));
    QVERIFY(monitor.observationInfoByURL().value(url)->isValid());

    QVERIFY(QDir(path(QStringLiteral("a"))).removeRecursively());
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventDelete), path(name));
    // Nothing stands at the URL any more, so there is nothing left to watch.
    QTRY_VERIFY(!monitor.observationInfoByURL().value(url)->isValid());
    settle();
    int deletes = 0;
    for (const auto &event : recorder.events())
        deletes += (event.flags & SWFileMonitorEventDelete) ? 1 : 0;
    QCOMPARE(deletes, 1);
}

void tst_SWFileMonitor::moveThenDeleteAtOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << "a/file.txt";
    QTest::newRow("folder") << "a/inner";
}

void tst_SWFileMonitor::moveThenDeleteAtOnce()
{
    // The deletion may happen in the new folder before anything has been told of the move.
    QFETCH(QString, name);
    SWFileMonitor monitor;
    Recorder recorder;
    QVERIFY(monitor.startObservationOfURLWithBlock(QUrl::fromLocalFile(path(name)), recorder.block()));
    const QString moved = path(QStringLiteral("b/moved"));
    QVERIFY(QDir().rename(path(name), moved));
    QVERIFY(QFileInfo(moved).isDir() ? QDir(moved).removeRecursively() : QFile::remove(moved));
    QTRY_VERIFY(recorder.has(SWFileMonitorEventDelete));
}

void tst_SWFileMonitor::replacedItemIsWatchedAgain()
{
    // A safe save writes a new file and renames it over the old one.
    SWFileMonitor monitor;
    Recorder recorder;
    const QString target = path(QStringLiteral("a/file.txt"));
    const QUrl url = QUrl::fromLocalFile(target);
    QVERIFY(monitor.startObservationOfURLWithBlock(url, recorder.block()));
    QVERIFY(writeFile(path(QStringLiteral("a/.file.txt.new")), "replacement"));
    QVERIFY(::rename(QFile::encodeName(path(QStringLiteral("a/.file.txt.new"))).constData(),
                     QFile::encodeName(target).constData())
            == 0);
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventDelete), target);
    QTRY_VERIFY(monitor.observationInfoByURL().value(url)->isValid());

    // The replacement is the item watched now.
    recorder.clear();
    QVERIFY(writeFile(target, " appended", QIODevice::Append));
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventWrite), target);
}

void tst_SWFileMonitor::pausedEventsAreLost()
{
    SWFileMonitor monitor;
    Recorder recorder;
    const QString file = path(QStringLiteral("a/file.txt"));
    QVERIFY(monitor.startObservationOfURLWithBlock(QUrl::fromLocalFile(file), recorder.block()));

    monitor.setPause(true);
    QVERIFY(!monitor.pause());
    QVERIFY(writeFile(file, " paused", QIODevice::Append));
    QVERIFY(QFile::rename(file, path(QStringLiteral("a/paused.txt"))));
    settle();
    monitor.setPause(false);
    settle();
    QVERIFY(recorder.events().isEmpty());

    QVERIFY(QFile::rename(path(QStringLiteral("a/paused.txt")), path(QStringLiteral("a/resumed.txt"))));
    QTRY_COMPARE(recorder.pathFor(SWFileMonitorEventRename), path(QStringLiteral("a/resumed.txt")));
}

void tst_SWFileMonitor::missingItemYieldsNothing()
{
    SWFileMonitor monitor;
    Recorder recorder;
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("missing.txt")));
    QVERIFY(monitor.startObservationOfURLWithBlock(url, recorder.block()));
    QVERIFY(!monitor.observationInfoByURL().value(url)->isValid());
    QVERIFY(!monitor.startObservationOfURLWithBlock(url, recorder.block()));

    // An item made later at that URL is not picked up: the watch was never built.
    QVERIFY(writeFile(url.toLocalFile(), "late"));
    QVERIFY(writeFile(url.toLocalFile(), " later", QIODevice::Append));
    settle();
    QVERIFY(recorder.events().isEmpty());
}

void tst_SWFileMonitor::deletedItemStillNamedIsNotWatched_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << "a/file.txt";
    QTest::newRow("folder") << "b";
}

void tst_SWFileMonitor::deletedItemStillNamedIsNotWatched()
{
    // Between an item's unlink and its name going away, the name still opens the dead item; a
    // watch re-armed after the deletion in that moment must not report the deletion again. The
    // process's own descriptor of a deleted item is a name that holds that moment for good.
    QFETCH(QString, name);
    const QString item = path(name);
    const int held = ::open(QFile::encodeName(item).constData(), O_PATH | O_CLOEXEC);
    QVERIFY(held >= 0);
    QVERIFY(QFileInfo(item).isDir() ? QDir().rmdir(item) : QFile::remove(item));

    SWFileMonitor monitor;
    Recorder recorder;
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/proc/self/fd/%1").arg(held));
    QVERIFY(monitor.startObservationOfURLWithBlock(url, recorder.block()));
    QVERIFY(!monitor.observationInfoByURL().value(url)->isValid());
    // What happens next to the deleted item's old parent wakes nothing either.
    QVERIFY(writeFile(path(QStringLiteral("new.txt")), "x"));
    settle();
    ::close(held);
    settle();
    QVERIFY(recorder.events().isEmpty());
}

void tst_SWFileMonitor::stoppedWatchIsSilent()
{
    SWFileMonitor monitor;
    Recorder one;
    Recorder two;
    const QUrl first = QUrl::fromLocalFile(path(QStringLiteral("a/file.txt")));
    const QUrl second = QUrl::fromLocalFile(path(QStringLiteral("a/inner/deep.txt")));
    QVERIFY(monitor.startObservationOfURLWithBlock(first, one.block()));
    QVERIFY(monitor.startObservationOfURLWithBlock(second, two.block()));

    monitor.stopObservationOfURL(first);
    QCOMPARE(monitor.observationInfoByURL().size(), 1);
    QVERIFY(writeFile(first.toLocalFile(), " x", QIODevice::Append));
    QVERIFY(writeFile(second.toLocalFile(), " x", QIODevice::Append));
    QTRY_VERIFY(two.has(SWFileMonitorEventWrite));
    settle();
    QVERIFY(one.events().isEmpty());

    monitor.removeAllPaths();
    QVERIFY(monitor.observationInfoByURL().isEmpty());
    two.clear();
    QVERIFY(QFile::remove(second.toLocalFile()));
    settle();
    QVERIFY(two.events().isEmpty());

    // A stopped URL can be watched again.
    QVERIFY(monitor.startObservationOfURLWithBlock(first, one.block()));
}

void tst_SWFileMonitor::maskFiltersEvents()
{
    SWFileMonitor monitor;
    Recorder recorder;
    const QString file = path(QStringLiteral("a/file.txt"));
    QVERIFY(monitor.startObservationOfURLFlagsWithBlock(QUrl::fromLocalFile(file), SWFileMonitorEventRename,
                                                        recorder.block()));
    QVERIFY(writeFile(file, " write", QIODevice::Append));
    QVERIFY(QFile::rename(file, path(QStringLiteral("b/file.txt"))));
    QTRY_VERIFY(recorder.has(SWFileMonitorEventRename));
    settle();
    for (const auto &event : recorder.events())
        QCOMPARE(event.flags & ~static_cast<unsigned long>(SWFileMonitorEventRename), 0ul);
}

void tst_SWFileMonitor::stopWaitsForARunningBlock()
{
    // Whoever stops a watch may release what its block uses as soon as the stop returns.
    SWFileMonitor monitor;
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("a/file.txt")));
    std::atomic<bool> running = false;
    std::atomic<bool> finished = false;
    std::atomic<int> calls = 0;
    QVERIFY(monitor.startObservationOfURLWithBlock(url, [&](unsigned long, const QString &) {
        ++calls;
        running = true;
        QThread::msleep(300);
        finished = true;
    }));
    QVERIFY(writeFile(url.toLocalFile(), " more", QIODevice::Append));
    QTRY_VERIFY(running.load());
    QVERIFY(writeFile(url.toLocalFile(), " and more", QIODevice::Append));
    monitor.stopObservationOfURL(url);
    QVERIFY(finished.load());
    const int seen = calls.load();
    settle();
    QCOMPARE(calls.load(), seen);
}

void tst_SWFileMonitor::blockMayStopItsOwnWatch()
{
    SWFileMonitor monitor;
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("a/file.txt")));
    std::atomic<int> calls = 0;
    QVERIFY(monitor.startObservationOfURLWithBlock(url, [&](unsigned long, const QString &) {
        ++calls;
        monitor.stopObservationOfURL(url);
    }));
    QVERIFY(writeFile(url.toLocalFile(), " more", QIODevice::Append));
    QTRY_COMPARE(calls.load(), 1);
    QTRY_VERIFY(monitor.observationInfoByURL().isEmpty());
    QVERIFY(writeFile(url.toLocalFile(), " again", QIODevice::Append));
    settle();
    QCOMPARE(calls.load(), 1);
}

void tst_SWFileMonitor::descriptorsAndWatchesAreReleased()
{
    // The first watch brings up the process's inotify instance, which stays.
    {
        SWFileMonitor warmUp;
        QVERIFY(warmUp.startObservationOfURLWithBlock(QUrl::fromLocalFile(path(QStringLiteral("b"))), {}));
    }
    settle();
    QCOMPARE(descriptorsBelow(m_dir->path()), 0);
    const int watches = inotifyWatches();

    Recorder recorder;
    {
        SWFileMonitor monitor;
        QList<QUrl> files;
        for (int i = 0; i < 30; ++i) {
            const QString name = path(QStringLiteral("b/%1.txt").arg(i));
            QVERIFY(writeFile(name, "x"));
            files << QUrl::fromLocalFile(name);
            QVERIFY(monitor.startObservationOfURLWithBlock(files.last(), recorder.block()));
        }
        for (int i = 0; i < 5; ++i) {
            QVERIFY(QDir().mkpath(path(QStringLiteral("b/folder%1/sub").arg(i))));
            QVERIFY(monitor.startObservationOfURLWithBlock(
                QUrl::fromLocalFile(path(QStringLiteral("b/folder%1").arg(i))), recorder.block()));
        }
        QCOMPARE(descriptorsBelow(m_dir->path()), 35);

        // Deleted, renamed, replaced, moved and deleted folders, stopped watches: each path
        // gives its descriptor and its watches back.
        for (int i = 0; i < 10; ++i)
            QVERIFY(QFile::remove(files.at(i).toLocalFile()));
        for (int i = 10; i < 15; ++i)
            QVERIFY(QFile::rename(files.at(i).toLocalFile(), path(QStringLiteral("a/%1.txt").arg(i))));
        for (int i = 15; i < 20; ++i) {
            QVERIFY(writeFile(path(QStringLiteral("b/new")), "new"));
            QVERIFY(::rename(QFile::encodeName(path(QStringLiteral("b/new"))).constData(),
                             QFile::encodeName(files.at(i).toLocalFile()).constData())
                    == 0);
        }
        QVERIFY(QDir().rename(path(QStringLiteral("b/folder0")), path(QStringLiteral("a/folder0"))));
        QVERIFY(QDir(path(QStringLiteral("b/folder1"))).removeRecursively());
        for (int i = 20; i < 25; ++i)
            monitor.stopObservationOfURL(files.at(i));
        QTRY_VERIFY(recorder.events().size() >= 22);
        // Deleted items and stopped watches hold nothing while the monitor lives on.
        QTRY_COMPARE(descriptorsBelow(m_dir->path()), 35 - 10 - 1 - 5);
        // What is left goes with the monitor.
    }
    QTRY_COMPARE(descriptorsBelow(m_dir->path()), 0);
    QTRY_COMPARE(inotifyWatches(), watches);
}

QTEST_GUILESS_MAIN(tst_SWFileMonitor)
#include "tst_SWFileMonitor.moc"
