#include "platform/files/StatusWalk.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using Kind = platform::StatusWalk::Kind;
using Entry = platform::StatusWalk::Entry;

class tst_StatusWalk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void foldersComeAgainAfterTheirContent_data();
    void foldersComeAgainAfterTheirContent();
    void entriesCarryTheirNumbers();
    void linksAreEntriesNotFollowed();
    void unreadableFolderIsGivenAgainWithItsError_data();
    void unreadableFolderIsGivenAgainWithItsError();
    void stoppingAtAPostOrderVisitEndsTheWalk();
    void missingRootIsTheWalksError();

private:
    QString path(const QString &relative) const { return m_dir->path() + u'/' + relative; }
    QList<Entry> walk(const QString &root, platform::StatusWalk::Options options, int *error = nullptr) const
    {
        QList<Entry> entries;
        const int result = platform::StatusWalk::walk(root, options, [&entries](const Entry &entry) {
            entries << entry;
            return true;
        });
        if (error)
            *error = result;
        return entries;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_StatusWalk::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(path(u"tree/sub/deeper"_qs)));
    QVERIFY(QDir().mkpath(path(u"tree/empty"_qs)));
    for (const QString &file : {u"tree/a.txt"_qs, u"tree/sub/b.txt"_qs, u"tree/sub/deeper/c.txt"_qs}) {
        QFile out(path(file));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(5000, 'x'));
    }
}

void tst_StatusWalk::cleanup()
{
    QFile::setPermissions(path(u"tree/sub"_qs),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_dir.reset();
}

void tst_StatusWalk::foldersComeAgainAfterTheirContent_data()
{
    QTest::addColumn<bool>("postOrder");
    QTest::newRow("pre-order only") << false;
    QTest::newRow("post-order too") << true;
}

void tst_StatusWalk::foldersComeAgainAfterTheirContent()
{
    QFETCH(bool, postOrder);
    platform::StatusWalk::Options options;
    options.postOrder = postOrder;
    int error = -1;
    const QList<Entry> entries = walk(path(u"tree"_qs), options, &error);
    QCOMPARE(error, 0);
    QStringList folders;
    QStringList again;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries[i];
        if (entry.kind == Kind::Directory)
            folders << entry.path;
        if (entry.kind != Kind::DirectoryPostOrder)
            continue;
        again << entry.path;
        // After every entry below it, and never before its own first visit.
        QVERIFY(folders.contains(entry.path));
        for (qsizetype j = i + 1; j < entries.size(); ++j)
            QVERIFY2(!entries[j].path.startsWith(entry.path + u'/'), qPrintable(entries[j].path));
        const qsizetype first = std::find_if(entries.begin(), entries.end(),
                                             [&entry](const Entry &e) { return e.path == entry.path; })
                                - entries.begin();
        QCOMPARE(entries[first].level, entry.level);
    }
    QCOMPARE(folders.size(), 4);
    QCOMPARE(entries.size(), 7 + (postOrder ? 4 : 0));
    if (postOrder) {
        QCOMPARE(again.size(), folders.size());
        QCOMPARE(entries.last().path, path(u"tree"_qs));
        QCOMPARE(entries.last().level, 0);
    } else {
        QVERIFY(again.isEmpty());
    }
}

void tst_StatusWalk::entriesCarryTheirNumbers()
{
    const QString file = path(u"tree/a.txt"_qs);
    QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(path(u"tree/a-link"_qs)).constData()) == 0);
    struct stat status = {};
    QCOMPARE(::lstat(QFile::encodeName(file).constData(), &status), 0);
    const QList<Entry> entries = walk(path(u"tree"_qs), {});
    const auto it = std::find_if(entries.begin(), entries.end(), [&file](const Entry &e) { return e.path == file; });
    QVERIFY(it != entries.end());
    QCOMPARE(it->kind, Kind::File);
    QCOMPARE(it->level, 1);
    QCOMPARE(it->size, qint64(5000));
    QCOMPARE(it->linkCount, qint64(2));
    QCOMPARE(it->allocatedBlocks, qint64(status.st_blocks));
    QCOMPARE(it->blockSize, qint64(status.st_blksize));
    QCOMPARE(it->error, 0);
}

void tst_StatusWalk::linksAreEntriesNotFollowed()
{
    QVERIFY(QFile::link(path(u"tree/sub"_qs), path(u"tree/to-sub"_qs)));
    platform::StatusWalk::Options options;
    options.postOrder = true;
    const QList<Entry> entries = walk(path(u"tree"_qs), options);
    int links = 0;
    for (const Entry &entry : entries) {
        QVERIFY2(!entry.path.startsWith(path(u"tree/to-sub/"_qs)), qPrintable(entry.path));
        if (entry.path == path(u"tree/to-sub"_qs)) {
            QCOMPARE(entry.kind, Kind::SymbolicLink);
            ++links;
        }
    }
    QCOMPARE(links, 1);
}

void tst_StatusWalk::unreadableFolderIsGivenAgainWithItsError_data()
{
    QTest::addColumn<bool>("reportUnreadable");
    QTest::newRow("silent") << false;
    QTest::newRow("reported") << true;
}

void tst_StatusWalk::unreadableFolderIsGivenAgainWithItsError()
{
    QFETCH(bool, reportUnreadable);
    const QString locked = path(u"tree/sub"_qs);
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    platform::StatusWalk::Options options;
    options.postOrder = true;
    options.reportUnreadable = reportUnreadable;
    QList<Entry> entries;
    int error = -1;
    {
        UnprivilegedScope scope({m_dir->path()});
        if (!scope.isEffective())
            QSKIP("cannot step down from the superuser");
        entries = walk(path(u"tree"_qs), options, &error);
    }
    QCOMPARE(error, 0);
    QList<Kind> kinds;
    for (const Entry &entry : entries) {
        QVERIFY2(!entry.path.startsWith(locked + u'/'), qPrintable(entry.path));
        if (entry.path == locked) {
            kinds << entry.kind;
            QCOMPARE(entry.level, 1);
            QCOMPARE(entry.error, entry.kind == Kind::UnreadableDirectory ? EACCES : 0);
        }
    }
    // Not listed, so there is no post-order visit of it.
    const QList<Kind> expected = reportUnreadable ? QList<Kind>{Kind::Directory, Kind::UnreadableDirectory}
                                                  : QList<Kind>{Kind::Directory};
    QCOMPARE(kinds, expected);
    QCOMPARE(entries.last().kind, Kind::DirectoryPostOrder);
    QCOMPARE(entries.last().path, path(u"tree"_qs));
}

void tst_StatusWalk::stoppingAtAPostOrderVisitEndsTheWalk()
{
    platform::StatusWalk::Options options;
    options.postOrder = true;
    QList<Entry> entries;
    const int error = platform::StatusWalk::walk(path(u"tree"_qs), options, [&entries](const Entry &entry) {
        entries << entry;
        return entry.kind != Kind::DirectoryPostOrder;
    });
    QCOMPARE(error, 0);
    QVERIFY(!entries.isEmpty());
    QCOMPARE(entries.last().kind, Kind::DirectoryPostOrder);
    QCOMPARE(std::count_if(entries.begin(), entries.end(),
                           [](const Entry &e) { return e.kind == Kind::DirectoryPostOrder; }),
             1);
    QVERIFY(entries.last().path != path(u"tree"_qs));
}

void tst_StatusWalk::missingRootIsTheWalksError()
{
    int error = 0;
    QVERIFY(walk(path(u"missing"_qs), {}, &error).isEmpty());
    QCOMPARE(error, ENOENT);
    QVERIFY(walk(QString(), {}, &error).isEmpty());
    QCOMPARE(error, ENOENT);
}

QTEST_GUILESS_MAIN(tst_StatusWalk)
#include "tst_statuswalk.moc"
