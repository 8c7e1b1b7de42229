#include "engine/archive/VLEncryptedArchive.h"
#include "engine/files/KXAdditions.h"
#include "engine/jobs/VLTreeAdder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
