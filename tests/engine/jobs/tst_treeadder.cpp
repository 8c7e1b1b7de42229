#include "engine/archive/VLEncryptedArchive.h"
#include "engine/files/KXAdditions.h"
#include "engine/jobs/VLTreeAdder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

class TestTreeAdder : public QObject
{
    Q_OBJECT

private:
    // Folders of uneven size, so that batches end inside folders and between them.
    static void writeTree(const QString &root)
    {
        for (int folder = 0; folder < 7; ++folder) {
            const QString path = root + QStringLiteral("/f%1").arg(folder);
            QVERIFY(QDir().mkpath(path + u"/inner"));
            for (int file = 0; file < 60 + folder * 120; ++file) {
                QFile out(path + (file % 5 == 0 ? u"/inner" : u"") + QStringLiteral("/n%1.txt").arg(file));
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(QByteArray::number(file));
            }
        }
        QVERIFY(QFile::link(root + u"/f1/n1.txt", root + u"/f2/link"));
    }

    // Many folders over three levels, each a part of a larger folder's listing or several parts of
    // its own, so that the folders listed ahead of the walk outnumber what the workers keep in
    // flight.
    static void writeWideTree(const QString &root)
    {
        for (int top = 0; top < 6; ++top) {
            for (int middle = 0; middle < 6; ++middle) {
                const QString path = root + QStringLiteral("/t%1/m%2").arg(top).arg(middle);
                QVERIFY(QDir().mkpath(path + u"/empty"));
                for (int file = 0; file < 3 + middle * 7; ++file) {
                    QFile out(path + QStringLiteral("/n%1.txt").arg(file));
                    QVERIFY(out.open(QIODevice::WriteOnly));
                }
            }
        }
        QVERIFY(QDir().mkpath(root + u"/flat"));
        for (int file = 0; file < 1300; ++file) {
            QFile out(root + QStringLiteral("/flat/e%1").arg(file));
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
        // A crowd of small folders in one, more than one worker lists within its own part: the
        // workers hand the rest to each other.
        for (int folder = 0; folder < 600; ++folder) {
            const QString path = root + QStringLiteral("/crowd/c%1").arg(folder);
            QVERIFY(QDir().mkpath(path + u"/inner"));
            for (const QString &name : QStringList{path + u"/a", path + u"/b", path + u"/inner/c"}) {
                QFile out(name);
                QVERIFY(out.open(QIODevice::WriteOnly));
            }
        }
        QVERIFY(QFile::link(root + u"/t1", root + u"/t2/m0/toT1"));
    }

    // The files this process holds open (the listing's own not counted).
    static rlim_t openFiles()
    {
        const QDir fds(QStringLiteral("/proc/self/fd"), {}, QDir::NoSort,
                       QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        return rlim_t(fds.count()) - 1;
    }

    static QStringList pathsOf(const VLEncryptedArchive &archive)
    {
        QStringList paths;
        for (const VLEncryptedArchiveItemPtr &record : archive.fileRecords())
            paths << record->path();
        return paths;
    }

    // Each record as the container would store it: its fields, the whole status among them.
    static QStringList describe(const VLEncryptedArchive &archive)
    {
        QStringList lines;
        for (const VLEncryptedArchiveItemPtr &record : archive.fileRecords()) {
            const VLEncryptedArchiveItem::Fields f = record->fields();
            const platform::FileAttributes &a = f.attributes;
            const auto date = [](const std::optional<QDateTime> &d) {
                return d ? d->toString(Qt::ISODateWithMs) : QString();
            };
            const QString attributes = QStringList{date(a.modificationDate),
                                                   date(a.creationDate),
                                                   QString::number(a.posixPermissions.value_or(0)),
                                                   QString::number(a.systemFileNumber.value_or(0)),
                                                   QString::number(a.referenceCount.value_or(0)),
                                                   a.ownerAccountName.value_or(QString())}
                                           .join(u',');
            lines << QStringList{f.path,
                                 f.realPath,
                                 QString::number(f.size),
                                 f.compressed ? QStringLiteral("z") : QStringLiteral("-"),
                                 f.linkDestination.value_or(QString()),
                                 f.uti,
                                 attributes}
                         .join(u'|');
        }
        return lines;
    }

    // The records of adding every entry in turn, stopping at the first that cannot be added.
    static QStringList oneByOne(const QString &source, const QString &root)
    {
        VLEncryptedArchive archive;
        KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            source,
            [&](const QString &path, bool, qint64, bool &stop) { stop = !archive.addItemFromRoot(path, root); });
        return describe(archive);
    }

private slots:
    void recordsKeepTheWalksOrderOnAnyNumberOfWorkers_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("8") << 8;
    }
    void recordsKeepTheWalksOrderOnAnyNumberOfWorkers()
    {
        QFETCH(int, workers);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeTree(source);
        const QStringList expected = oneByOne(source, dir.path());
        QVERIFY(expected.size() > 2500); // more batches than two workers keep in flight

        VLEncryptedArchive archive;
        archive.setWorkerCount(workers);
        VLTreeAdder adder(archive);
        QCOMPARE(adder.addTree(source, dir.path()), VLTreeAdder::Outcome::Added);
        QCOMPARE(describe(archive), expected);
        QVERIFY(archive.recordAtPath(QStringLiteral("/src/f6/inner/n5.txt")));
        QCOMPARE(archive.childRecordsAtPath(QStringLiteral("/src")).size(), 7);
    }

    void manyFoldersKeepTheWalksOrderOnAnyNumberOfWorkers_data()
    {
        recordsKeepTheWalksOrderOnAnyNumberOfWorkers_data();
    }
    void manyFoldersKeepTheWalksOrderOnAnyNumberOfWorkers()
    {
        QFETCH(int, workers);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeWideTree(source);
        const QStringList expected = oneByOne(source, dir.path());
        QCOMPARE(expected.size(), 1 + 6 + 36 * 2 + 6 * (3 * 6 + 7 * 15) + 1 + 1300 + 1 + 1 + 600 * 5);

        VLEncryptedArchive archive;
        archive.setWorkerCount(workers);
        VLTreeAdder adder(archive);
        QCOMPARE(adder.addTree(source, dir.path()), VLTreeAdder::Outcome::Added);
        QCOMPARE(describe(archive), expected);
        QVERIFY(archive.childRecordsAtPath(QStringLiteral("/src/t2/m0/toT1")).isEmpty());
    }

    // A walk lists hundreds of folders ahead but holds a folder open only while its entries'
    // statuses are read: under a low limit on open files every folder is still entered, none
    // given as one that could not be opened. A folder the system has no room to open at all
    // leaves the walk incomplete.
    void theWalkHoldsFewFoldersOpen()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        for (int top = 0; top < 30; ++top) {
            for (int inner = 0; inner < 20; ++inner) {
                const QString path = source + QStringLiteral("/t%1/i%2").arg(top).arg(inner);
                QVERIFY(QDir().mkpath(path));
                for (int file = 0; file < 2; ++file) {
                    QFile out(path + QStringLiteral("/n%1").arg(file));
                    QVERIFY(out.open(QIODevice::WriteOnly));
                }
            }
        }
        const QStringList expected = oneByOne(source, dir.path());
        QCOMPARE(expected.size(), 1 + 30 + 600 + 1200);

        VLEncryptedArchive archive;
        archive.setWorkerCount(8);
        rlimit saved = {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = openFiles() + 32;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        VLTreeAdder adder(archive);
        const VLTreeAdder::Outcome outcome = adder.addTree(source, dir.path());
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        QCOMPARE(outcome, VLTreeAdder::Outcome::Added);
        QCOMPARE(describe(archive), expected);

        // With no room left at all, the walk is incomplete rather than short of folders.
        VLEncryptedArchive starved;
        starved.setWorkerCount(8);
        low.rlim_cur = openFiles();
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        VLTreeAdder starvedAdder(starved);
        const VLTreeAdder::Outcome starvedOutcome = starvedAdder.addTree(source, dir.path());
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        QCOMPARE(starvedOutcome, VLTreeAdder::Outcome::WalkIncomplete);
    }

    // A folder bound inside itself is met again: given, not entered, though the workers list
    // small folders ahead within one another's jobs.
    void aFolderMetAgainIsGivenAndNotEntered_data() { recordsKeepTheWalksOrderOnAnyNumberOfWorkers_data(); }
    void aFolderMetAgainIsGivenAndNotEntered()
    {
        QFETCH(int, workers);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        const QString folder = source + u"/a";
        for (const QString &name : {u"f1"_qs, u"f2"_qs, u"deeper/x"_qs}) {
            QVERIFY(QDir().mkpath(QFileInfo(folder + u'/' + name).path()));
            QFile out(folder + u'/' + name);
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
        const QString loop = folder + u"/loop";
        QVERIFY(QDir().mkpath(loop));
        if (::mount(QFile::encodeName(folder).constData(), QFile::encodeName(loop).constData(), nullptr, MS_BIND,
                    nullptr)
            != 0)
            QSKIP(qPrintable(u"a folder cannot be bound here: "_qs + QString::fromLocal8Bit(std::strerror(errno))));
        struct Unbind
        {
            QByteArray path;
            ~Unbind() { ::umount2(path.constData(), MNT_DETACH); }
        } unbind{QFile::encodeName(loop)};

        const QStringList expected = oneByOne(source, dir.path());
        VLEncryptedArchive archive;
        archive.setWorkerCount(workers);
        VLTreeAdder adder(archive);
        QCOMPARE(adder.addTree(source, dir.path()), VLTreeAdder::Outcome::Added);
        QCOMPARE(describe(archive), expected);
        QVERIFY(archive.recordAtPath(QStringLiteral("/src/a/loop")));
        QVERIFY(archive.childRecordsAtPath(QStringLiteral("/src/a/loop")).isEmpty());
        QVERIFY(archive.recordAtPath(QStringLiteral("/src/a/deeper/x")));
    }

    // A stop keeps exactly the entries given before it, however far ahead the folders were listed.
    void aStopKeepsTheEntriesGivenBeforeIt_data()
    {
        QTest::addColumn<int>("workers");
        QTest::addColumn<int>("given");
        QTest::newRow("1 worker, after the root") << 1 << 1;
        QTest::newRow("8 workers, after the root") << 8 << 1;
        QTest::newRow("8 workers, inside a folder") << 8 << 100;
        QTest::newRow("8 workers, inside the flat folder") << 8 << 1000;
    }
    void aStopKeepsTheEntriesGivenBeforeIt()
    {
        QFETCH(int, workers);
        QFETCH(int, given);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeWideTree(source);
        const QStringList expected = oneByOne(source, dir.path());

        VLEncryptedArchive archive;
        archive.setWorkerCount(workers);
        VLTreeAdder adder(archive);
        int asked = 0;
        QCOMPARE(adder.addTree(source, dir.path(), [&] { return ++asked > given; }), VLTreeAdder::Outcome::Stopped);
        QCOMPARE(asked, given + 1);
        QCOMPARE(describe(archive), expected.mid(0, given));
    }

    // A folder removed, or replaced by a file, while folders are listed ahead of the walk: the
    // tree ends as adding entry by entry could have met it, before or after the change (the
    // records before the change's place intact, each record of an entry as walked), never with
    // a record of one entry under another's path.
    void aFolderChangedBeforeItsTurnEndsSoundly_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("removed") << false;
        QTest::newRow("replaced by a file") << true;
    }
    void aFolderChangedBeforeItsTurnEndsSoundly()
    {
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeWideTree(source);
        const QStringList expected = oneByOne(source, dir.path());
        const QStringList expectedPaths = [&] {
            VLEncryptedArchive archive;
            KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
                source, [&](const QString &path, bool, qint64, bool &) { archive.addItemFromRoot(path, dir.path()); });
            return pathsOf(archive);
        }();
        // The last top folder in walk order changes once the first one's content is being given.
        QString first, last;
        for (const QString &path : expectedPaths) {
            if (path.count(u'/') == 2 && path.startsWith(u"/src/t")) {
                if (first.isEmpty())
                    first = path;
                last = path;
            }
        }
        const QString changed = dir.path() + last;
        const qsizetype changedAt = expectedPaths.indexOf(last);
        const qsizetype firstAt = expectedPaths.indexOf(first);
        QVERIFY(firstAt < changedAt);

        VLEncryptedArchive archive;
        archive.setWorkerCount(8);
        VLTreeAdder adder(archive);
        int asked = 0;
        const VLTreeAdder::Outcome outcome = adder.addTree(source, dir.path(), [&] {
            if (asked++ == firstAt + 2) {
                QDir(changed).removeRecursively();
                if (replaced) {
                    QFile file(changed);
                    file.open(QIODevice::WriteOnly);
                }
            }
            return false;
        });
        const QStringList paths = pathsOf(archive);
        const QStringList lines = describe(archive);
        const auto isChanged = [&last](const QString &path) { return path == last || path.startsWith(last + u'/'); };
        // Order kept, every entry besides the changed folder's as expected, none twice.
        qsizetype at = 0;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const qsizetype found = expectedPaths.indexOf(paths.at(i), at);
            QVERIFY2(found >= 0, qPrintable(paths.at(i)));
            if (!isChanged(paths.at(i)))
                QCOMPARE(lines.at(i), expected.at(found));
            at = found + 1;
        }
        QCOMPARE(paths.mid(0, changedAt), expectedPaths.mid(0, changedAt));
        if (outcome == VLTreeAdder::Outcome::EntryFailed) {
            QVERIFY2(isChanged(adder.failedEntry().mid(dir.path().size())), qPrintable(adder.failedEntry()));
        } else {
            QCOMPARE(outcome, VLTreeAdder::Outcome::Added);
            for (qsizetype i = changedAt; i < expectedPaths.size(); ++i) {
                if (!isChanged(expectedPaths.at(i)))
                    QVERIFY2(paths.contains(expectedPaths.at(i)), qPrintable(expectedPaths.at(i)));
            }
        }
        // A record of the changed folder's path is of the folder as listed or of what replaced it.
        if (const VLEncryptedArchiveItemPtr record = archive.recordAtPath(last)) {
            const std::optional<platform::FileType> type = record->fileType();
            QVERIFY(type == platform::FileType::Directory || (replaced && type == platform::FileType::Regular));
            if (type == platform::FileType::Regular)
                QVERIFY(archive.childRecordsAtPath(last).isEmpty());
        }
    }

    // An entry that cannot be added (a pipe) deep in the tree ends it there, as adding entry by
    // entry did: the entries before it are in, none after it.
    void anEntryThatCannotBeAddedEndsTheTreeThere_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("1") << 1;
        QTest::newRow("8") << 8;
    }
    void anEntryThatCannotBeAddedEndsTheTreeThere()
    {
        QFETCH(int, workers);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeTree(source);
        const QString pipe = source + u"/f4/n77.fifo";
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QStringList expected = oneByOne(source, dir.path());
        QVERIFY(expected.size() > 300);

        VLEncryptedArchive archive;
        archive.setWorkerCount(workers);
        VLTreeAdder adder(archive);
        QCOMPARE(adder.addTree(source, dir.path()), VLTreeAdder::Outcome::EntryFailed);
        QCOMPARE(adder.failedEntry(), pipe);
        QCOMPARE(describe(archive), expected);
    }

    void aStopEndsTheTreeAndAMissingSourceIsIncomplete()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        writeTree(source);
        VLEncryptedArchive archive;
        archive.setWorkerCount(8);
        VLTreeAdder adder(archive);
        int asked = 0;
        QCOMPARE(adder.addTree(source, dir.path(), [&asked] { return ++asked > 600; }), VLTreeAdder::Outcome::Stopped);
        QVERIFY(archive.fileRecords().size() <= 600);
        QCOMPARE(adder.addTree(dir.filePath(QStringLiteral("missing")), dir.path()),
                 VLTreeAdder::Outcome::WalkIncomplete);
    }
};

QTEST_GUILESS_MAIN(TestTreeAdder)
#include "tst_treeadder.moc"
