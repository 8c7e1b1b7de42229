#include "screens/decrypt/VLRadar.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct Reports final : VLRadarDelegate
{
    mutable std::mutex mutex;
    QStringList lines;

    void radarDidChangedItemLocation(VLRadar *, const QUrl &url) override
    {
        std::lock_guard lock(mutex);
        lines << u"moved "_s + url.toLocalFile();
    }
    void radarDidLostItemAtLocation(VLRadar *, const QUrl &folderURL) override
    {
        std::lock_guard lock(mutex);
        lines << u"lost "_s + folderURL.toLocalFile();
    }
    QStringList snapshot() const
    {
        std::lock_guard lock(mutex);
        return lines;
    }
};

bool writeFile(const QString &path, const QByteArray &content = "plain")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A folder on another file system than the temporary folder (a drop on another volume).
QString otherFileSystemRoot()
{
    const QStorageInfo temp(QDir::tempPath());
    const QStorageInfo shm(u"/dev/shm"_s);
    if (!shm.isValid() || !QFileInfo(u"/dev/shm"_s).isWritable() || shm.device() == temp.device())
        return {};
    return u"/dev/shm"_s;
}

} // namespace

class TestRadar : public QObject
{
    Q_OBJECT

private slots:
    void aMoveWithinTheFileSystemIsFollowed()
    {
        QTemporaryDir work;
        QTemporaryDir destination;
        const QString item = work.filePath(u"report.pdf"_s);
        QVERIFY(writeFile(item));
        Reports reports;
        VLRadar radar(QUrl::fromLocalFile(item));
        radar.setDelegate(&reports);
        // The desktop does not say where the drop went: the watched item says it itself.
        radar.itemIsGoingToLocation(QUrl::fromLocalFile(destination.path()));
        const QString moved = destination.filePath(u"report.pdf"_s);
        QVERIFY(QFile::rename(item, moved));
        QTRY_COMPARE(reports.snapshot(), QStringList{u"moved "_s + moved});
        radar.setDelegate(nullptr);
    }

    void aPausedRadarReportsNothing()
    {
        QTemporaryDir work;
        const QString item = work.filePath(u"report.pdf"_s);
        QVERIFY(writeFile(item));
        Reports reports;
        VLRadar radar(QUrl::fromLocalFile(item));
        radar.setDelegate(&reports);
        radar.setPause(true);
        QVERIFY(QFile::rename(item, work.filePath(u"saved.pdf"_s)));
        QTest::qWait(300);
        QVERIFY(reports.snapshot().isEmpty());
        radar.setDelegate(nullptr);
    }

    void aCopyToAnotherFileSystemIsFoundInTheDropFolder_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("present"); // in the drop folder before the drop
        QTest::addColumn<QStringList>("copies");  // what the file manager writes there
        QTest::addColumn<QString>("expected");    // "moved NAME" or "lost"
        QTest::newRow("same name") << u"notes.txt"_s << QStringList() << QStringList{u"notes.txt"_s}
                                   << u"moved notes.txt"_s;
        QTest::newRow("a free name beside an existing one")
            << u"notes.txt"_s << QStringList{u"notes.txt"_s} << QStringList{u"notes (copy).txt"_s}
            << u"moved notes (copy).txt"_s;
        QTest::newRow("two candidates") << u"notes.txt"_s << QStringList{u"notes.txt"_s}
                                        << QStringList{u"notes 2.txt"_s, u"notes 3.txt"_s} << u"lost"_s;
        QTest::newRow("nothing arrived") << u"notes.txt"_s << QStringList() << QStringList() << u"lost"_s;
        // A name that begins with a full stop is its own base name: an unrelated arrival is no
        // candidate.
        QTest::newRow("a dot name") << u".config"_s << QStringList{u".config"_s}
                                    << QStringList{u".config (copy)"_s, u"unrelated.txt"_s}
                                    << u"moved .config (copy)"_s;
    }

    void aCopyToAnotherFileSystemIsFoundInTheDropFolder()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, present);
        QFETCH(QStringList, copies);
        QFETCH(QString, expected);
        const QString root = otherFileSystemRoot();
        if (root.isEmpty())
            QSKIP("no second file system to drop on");
        QTemporaryDir work;
        QTemporaryDir drop(root + u"/vaultine-radar-XXXXXX"_s);
        QVERIFY(drop.isValid());
        for (const QString &name : present)
            QVERIFY(writeFile(drop.filePath(name), "older"));
        const QString itemPath = work.filePath(item);
        QVERIFY(writeFile(itemPath));

        Reports reports;
        VLRadar radar(QUrl::fromLocalFile(itemPath));
        radar.setDelegate(&reports);
        radar.itemIsGoingToLocation(QUrl::fromLocalFile(drop.path()));
        // The file manager copies, then deletes the original.
        for (const QString &name : copies)
            QVERIFY(QFile::copy(itemPath, drop.filePath(name)));
        QVERIFY(QFile::remove(itemPath));

        const QString line = expected == u"lost" ? u"lost "_s + drop.path()
                                                 : u"moved "_s + drop.filePath(expected.mid(6));
        QTRY_COMPARE(reports.snapshot(), QStringList{line});
        radar.setDelegate(nullptr);
    }

    void aDeleteWithoutADropFolderIsReportedLostAtNoPlace()
    {
        QTemporaryDir work;
        const QString item = work.filePath(u"notes.txt"_s);
        QVERIFY(writeFile(item));
        Reports reports;
        VLRadar radar(QUrl::fromLocalFile(item));
        radar.setDelegate(&reports);
        // A drop folder on the item's own file system is not remembered: a move there is a rename.
        radar.itemIsGoingToLocation(QUrl::fromLocalFile(work.path()));
        QVERIFY(QFile::remove(item));
        // Nothing says where it went, so no folder is named (never a guessed one).
        QTRY_COMPARE(reports.snapshot(), QStringList{u"lost "_s});
        radar.setDelegate(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestRadar)
#include "tst_radar.moc"
