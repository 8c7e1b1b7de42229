#include "platform/files/ConfinedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConfinedFolder : public QObject
{
    Q_OBJECT

private slots:
    void relativePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << QStringLiteral("a/b/c.txt") << true;
        QTest::newRow("dots in names") << QStringLiteral("a/..b/c..") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("absolute") << QStringLiteral("/a") << false;
        QTest::newRow("parent") << QStringLiteral("a/../b") << false;
        QTest::newRow("dot") << QStringLiteral("./a") << false;
        QTest::newRow("double slash") << QStringLiteral("a//b") << false;
        QTest::newRow("trailing slash") << QStringLiteral("a/") << false;
    }

    void relativePaths()
    {
        QFETCH(QString, path);
        QFETCH(bool, valid);
        QCOMPARE(platform::ConfinedFolder::isValidRelativePath(path), valid);
        QTemporaryDir dir;
        platform::ConfinedFolder folder;
        QCOMPARE(folder.open(dir.path()), 0);
        if (!valid)
            QCOMPARE(folder.createFolder(path), EINVAL);
    }

    void createsInsideAndNeverThroughLinks_data()
    {
        QTest::addColumn<bool>("kernelResolution");
        QTest::newRow("resolved by the kernel") << true;
        QTest::newRow("one component at a time") << false;
    }

    void createsInsideAndNeverThroughLinks()
    {
        QFETCH(bool, kernelResolution);
        platform::ConfinedFolder::setKernelResolution(kernelResolution);
        const auto restore = qScopeGuard([] { platform::ConfinedFolder::setKernelResolution(true); });
        QTemporaryDir dir;
        QTemporaryDir outside;
        platform::ConfinedFolder folder;
        QCOMPARE(folder.open(dir.path()), 0);
        QCOMPARE(folder.createFolder(QStringLiteral("d")), 0);
        QCOMPARE(folder.createFolder(QStringLiteral("d")), EEXIST);
        QCOMPARE(folder.createSymbolicLink(QStringLiteral("d/link"), QStringLiteral("../elsewhere")), 0);
        QCOMPARE(QFile::symLinkTarget(dir.filePath(QStringLiteral("d/link"))),
                 dir.filePath(QStringLiteral("elsewhere")));
        int error = -1;
        platform::PosixFile file = folder.createFile(QStringLiteral("d/f.txt"), 0600, &error);
        QVERIFY(file.isOpen());
        QCOMPARE(error, 0);
        QVERIFY(file.writeAll("data", 4));
        file.close();
        QCOMPARE(contents(dir.filePath(QStringLiteral("d/f.txt"))), QByteArray("data"));
        QCOMPARE(folder.createFile(QStringLiteral("missing/f.txt"), 0600, &error).isOpen(), false);
        QCOMPARE(error, ENOENT);

        // A link on the way is not a folder to descend into.
        QVERIFY(QFile::link(outside.path(), dir.filePath(QStringLiteral("out"))));
        QCOMPARE(folder.createFolder(QStringLiteral("out/x")), ENOTDIR);
        QVERIFY(!folder.createFile(QStringLiteral("out/y"), 0600, &error).isOpen());
        QCOMPARE(error, ENOTDIR);
        QCOMPARE(folder.createSymbolicLink(QStringLiteral("out/z"), QStringLiteral("/")), ENOTDIR);
        QVERIFY(QFile::link(outside.path(), dir.filePath(QStringLiteral("d/deeper-out"))));
        QVERIFY(!folder.createFile(QStringLiteral("d/deeper-out/y"), 0600, &error).isOpen());
        QCOMPARE(error, ENOTDIR);
        QCOMPARE(folder.createFolder(QStringLiteral("d/deeper-out/x/y")), ENOTDIR);
        QVERIFY(QDir(outside.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // A link in the file's own place is replaced, its target left alone.
        const QString target = outside.filePath(QStringLiteral("target.txt"));
        QFile targetFile(target);
        QVERIFY(targetFile.open(QIODevice::WriteOnly));
        targetFile.write("keep");
        targetFile.close();
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("replaced"))));
        platform::PosixFile replaced = folder.createFile(QStringLiteral("replaced"), 0600, &error);
        QVERIFY(replaced.isOpen());
        QVERIFY(replaced.writeAll("new", 3));
        replaced.close();
        QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("replaced"))).isSymLink());
        QCOMPARE(contents(dir.filePath(QStringLiteral("replaced"))), QByteArray("new"));
        QCOMPARE(contents(target), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestConfinedFolder)
#include "tst_confinedfolder.moc"
