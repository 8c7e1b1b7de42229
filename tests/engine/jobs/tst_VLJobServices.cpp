#include "engine/jobs/VLJobServices.h"
#include "platform/core/Library.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_VLJobServices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rootPaths_data();
    void rootPaths();
    void workFoldersAreFreshAndPrivate();
    void walkVisitsEachEntryOnceInPreOrder();
    void walkStopsWhenAsked();
    void readabilityFindsTheFirstUnreadableEntry();
};

void tst_VLJobServices::initTestCase()
{
    platform::setApplicationIdentity();
}

void tst_VLJobServices::rootPaths_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("root");
    QTest::newRow("two folders below one")
        << QStringList{QStringLiteral("/A/B/x.txt"), QStringLiteral("/A/C/y.txt")} << "/A";
    QTest::newRow("one source") << QStringList{QStringLiteral("/A/B/x.txt")} << "/A/B";
    QTest::newRow("a name that starts like another")
        << QStringList{QStringLiteral("/A/b/c.txt"), QStringLiteral("/A/bc/d.txt")} << "/A";
    QTest::newRow("nothing shared") << QStringList{QStringLiteral("/x/1"), QStringLiteral("/y/2")} << "/";
    QTest::newRow("never deeper than the first's parent")
        << QStringList{QStringLiteral("/A/B"), QStringLiteral("/A/B/C/d")} << "/A";
    QTest::newRow("none") << QStringList{} << "";
}

void tst_VLJobServices::rootPaths()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, root);
    QList<QUrl> urls;
    for (const QString &path : std::as_const(paths))
        urls << QUrl::fromLocalFile(path);
    QCOMPARE(VLJobServices::rootPathForURLs(urls), root);
}

void tst_VLJobServices::workFoldersAreFreshAndPrivate()
{
    const QString first = VLJobServices::createUniqueDirectoryAtTempPath();
    const QString second = VLJobServices::createUniqueDirectoryAtTempPath();
    QVERIFY(!first.isEmpty());
    QVERIFY(first != second);
    QCOMPARE(QFileInfo(first).path(), platform::libraryFolder(QStringLiteral("Temp")));
    const QString name = QFileInfo(first).fileName();
    QCOMPARE(name, name.toUpper());
    QCOMPARE(name.size(), 36);
    QVERIFY(QDir(first).isEmpty());
    QCOMPARE(QFileInfo(first).permissions() & 0x0077, QFileDevice::Permissions());
}

void tst_VLJobServices::walkVisitsEachEntryOnceInPreOrder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tree/sub")));
    QFile file(dir.filePath(QStringLiteral("tree/sub/f.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("12345");
    file.close();
    QVERIFY(QFile::link(QStringLiteral("/nowhere"), dir.filePath(QStringLiteral("tree/dangling"))));

    QStringList seen;
    QList<bool> roots;
    qint64 fileSize = -1;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    QVERIFY(VLJobServices::walkAtPath(tree, [&](const QString &path, bool isRoot, qint64 size, bool &) {
        seen << path.mid(tree.size());
        roots << isRoot;
        if (path.endsWith(QStringLiteral("f.txt")))
            fileSize = size;
    }));
    QCOMPARE(seen.first(), QString());
    QCOMPARE(roots.count(true), 1);
    QVERIFY(roots.first());
    seen.sort();
    QCOMPARE(seen,
        (QStringList{QString(), QStringLiteral("/dangling"), QStringLiteral("/sub"), QStringLiteral("/sub/f.txt")}));
    QVERIFY(seen.indexOf(QStringLiteral("/sub")) < seen.indexOf(QStringLiteral("/sub/f.txt")));
    QCOMPARE(fileSize, 5);
    // A walk that cannot be made at all counts as failed.
    QVERIFY(!VLJobServices::walkAtPath(QString(), {}));
}

void tst_VLJobServices::walkStopsWhenAsked()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a/b/c")));
    int visits = 0;
    QVERIFY(VLJobServices::walkAtPath(dir.path(), [&](const QString &, bool, qint64, bool &stop) {
        ++visits;
        stop = true;
    }));
    QCOMPARE(visits, 1);
}

void tst_VLJobServices::readabilityFindsTheFirstUnreadableEntry()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tree/deep")));
    const QString locked = dir.filePath(QStringLiteral("tree/deep/locked.txt"));
    QFile file(locked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // A dangling link is stored as a link and never read through.
    QVERIFY(QFile::link(QStringLiteral("/nowhere"), dir.filePath(QStringLiteral("tree/dangling"))));
    const QUrl tree = QUrl::fromLocalFile(dir.filePath(QStringLiteral("tree")));
    QString failed = QStringLiteral("untouched");
    QVERIFY(VLJobServices::checkSourceReadability(tree, &failed));
    QVERIFY(failed.isEmpty());

    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    UnprivilegedScope scope({dir.path()});
    if (!scope.isEffective())
        QSKIP("cannot step down from the superuser");
    QVERIFY(!VLJobServices::checkSourceReadability(tree, &failed));
    QCOMPARE(failed, locked);
    QVERIFY(
        !VLJobServices::checkSourceReadability(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing"))), &failed));
    QCOMPARE(failed, dir.filePath(QStringLiteral("missing")));
}

QTEST_GUILESS_MAIN(tst_VLJobServices)
#include "tst_VLJobServices.moc"
