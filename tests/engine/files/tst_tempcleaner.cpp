#include "engine/files/KXAdditions.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FolderLock.h"
#include "tests/support/UnprivilegedScope.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <cerrno>
#include <mutex>
#include <sys/stat.h>

namespace {

class LogCapture
{
public:
    LogCapture()
    {
        platform::setLogSink([this](const QString &line) {
            const std::lock_guard lock(m_mutex);
            m_lines << line;
        });
    }
    ~LogCapture() { platform::setLogSink({}); }
    QStringList lines() const
    {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Two work folders with content and a loose file.
QStringList fillArea()
{
    QStringList folders;
    for (int i = 0; i < 2; ++i) {
        const QString folder = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
        writeFile(folder + u"/secret.txt"_qs, "plaintext");
        writeFile(folder + u"/nested/more.bin"_qs, QByteArray(1000, 'm'));
        QFile::link(u"/etc/hostname"_qs, folder + u"/link"_qs);
        folders << folder;
    }
    writeFile(VLTempCleaner::workFolderArea() + u"/.hidden"_qs, "x");
    return folders;
}

QStringList areaEntries()
{
    return QDir(VLTempCleaner::workFolderArea())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestTempCleaner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationIdentity(); }
    void init() { QDir(VLTempCleaner::workFolderArea()).removeRecursively(); }

    void missingOrEmptyAreaDoesNothing()
    {
        LogCapture log;
        VLTempCleaner::sharedInstance().clean();
        VLTempCleaner::sharedInstance().sync_clean();
        QVERIFY(!QFileInfo::exists(VLTempCleaner::workFolderArea())); // not created either
        QDir().mkpath(VLTempCleaner::workFolderArea());
        VLTempCleaner::sharedInstance().clean();
        VLTempCleaner::sharedInstance().sync_clean();
        VLTempCleaner::sharedInstance().cleanContent({});
        QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(10000));
        QVERIFY(log.lines().isEmpty());
    }

    void syncCleanEmptiesTheArea()
    {
        fillArea();
        QCOMPARE(areaEntries().size(), 3);
        VLTempCleaner::sharedInstance().sync_clean();
        QCOMPARE(areaEntries(), QStringList());
        QVERIFY(QFileInfo::exists(u"/etc/hostname"_qs)); // links are removed, never followed
    }

    void backgroundClean()
    {
        fillArea();
        VLTempCleaner::sharedInstance().clean();
        QTRY_COMPARE(areaEntries(), QStringList());
    }

    void quitCleanWaitsForTheLaunchClean()
    {
        // A quit right after launch: the synchronous clean meets the background one still at work.
        for (int folder = 0; folder < 4; ++folder) {
            const QString path = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
            for (int i = 0; i < 400; ++i)
                writeFile(path + u"/d"_qs + QString::number(i % 20) + u"/f"_qs + QString::number(i), "x");
        }
        LogCapture log;
        VLTempCleaner::sharedInstance().clean();
        VLTempCleaner::sharedInstance().sync_clean();
        QCOMPARE(areaEntries(), QStringList());
        QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(20000));
        QCOMPARE(log.lines(), QStringList());
    }

    // Another running instance holds its work folders: neither kind of clean touches them,
    // while ours and those a crashed run left go. Once it ends, they are free to go.
    void foldersAnotherInstanceHoldsStay()
    {
        const QString ours = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
        writeFile(ours + u"/secret.txt"_qs, "ours");
        const QString left = VLTempCleaner::workFolderArea() + u"/0A1B2C3D-LEFT-BY-A-CRASH"_qs;
        writeFile(left + u"/secret.txt"_qs, "left");
        const QString theirs = VLTempCleaner::workFolderArea() + u"/FFFFFFFF-ANOTHER-INSTANCE"_qs;
        writeFile(theirs + u"/restored/letter.txt"_qs, "theirs");
        QProcess holder;
        // Without forking, so the process that holds the lock is the one the test ends.
        holder.start(u"flock"_qs, {u"--no-fork"_qs, theirs, u"sleep"_qs, u"600"_qs});
        QVERIFY(holder.waitForStarted());
        const auto stopHolder = qScopeGuard([&holder] {
            holder.kill();
            holder.waitForFinished();
        });
        QTRY_VERIFY([&] {
            int error = 0;
            return !platform::FolderLock::tryHold(theirs, &error).isHeld() && error == EWOULDBLOCK;
        }());

        LogCapture log;
        VLTempCleaner::sharedInstance().clean();
        QTRY_COMPARE(areaEntries(), QStringList{u"FFFFFFFF-ANOTHER-INSTANCE"_qs});
        QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(20000));
        VLTempCleaner::sharedInstance().sync_clean();
        QCOMPARE(areaEntries(), QStringList{u"FFFFFFFF-ANOTHER-INSTANCE"_qs});
        QCOMPARE(readFile(theirs + u"/restored/letter.txt"_qs), QByteArray("theirs"));
        QCOMPARE(log.lines(), QStringList());

        holder.kill();
        QVERIFY(holder.waitForFinished());
        VLTempCleaner::sharedInstance().sync_clean();
        QCOMPARE(areaEntries(), QStringList());
    }

    void entriesOutsideTheAreaAreRefused()
    {
        QTemporaryDir outside;
        writeFile(outside.path() + u"/keep"_qs, "keep");
        QDir().mkpath(VLTempCleaner::workFolderArea());
        LogCapture log;
        const QString relative = QDir(VLTempCleaner::workFolderArea()).relativeFilePath(outside.path() + u"/keep"_qs);
        VLTempCleaner::sharedInstance().cleanContent({relative, u".."_qs, u"."_qs});
        QVERIFY(QFileInfo::exists(outside.path() + u"/keep"_qs));
        QCOMPARE(log.lines().size(), 3);
    }

    void restoredReadOnlyFoldersGoToo()
    {
        // A restored tree keeps its folders' modes; the plaintext inside must still go.
        const QString folder = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
        writeFile(folder + u"/Restored/inner/secret.txt"_qs, "plaintext");
        QVERIFY(::chmod(QFile::encodeName(folder + u"/Restored/inner"_qs).constData(), 0500) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder + u"/Restored"_qs).constData(), 0) == 0);
        LogCapture log;
        {
            UnprivilegedScope unprivileged({QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)});
            if (!unprivileged.isEffective())
                QSKIP("cannot step down from the superuser");
            VLTempCleaner::sharedInstance().sync_clean();
        }
        QCOMPARE(areaEntries(), QStringList());
        QCOMPARE(log.lines(), QStringList());
    }

    void anEntryThatCannotGoIsLoggedAndTheRestRemoved()
    {
        if (::geteuid() != 0)
            QSKIP("needs the superuser, to make a folder of another owner inside the user's area");
        const QStringList folders = fillArea();
        // The first work folder holds someone else's folder whose content the user may not remove.
        const QString locked = folders.first() + u"/locked"_qs;
        writeFile(locked + u"/stuck"_qs, "stuck");
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0555) == 0);
        LogCapture log;
        {
            // The whole data home, so that the unprivileged user can reach the Library inside it.
            UnprivilegedScope unprivileged({QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)},
                                           {locked});
            if (!unprivileged.isEffective())
                QSKIP("cannot step down from the superuser");
            VLTempCleaner::sharedInstance().sync_clean();
        }
        QCOMPARE(areaEntries(), QStringList{QFileInfo(folders.first()).fileName()});
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.lines().first().startsWith(u"Error deleting temporary item "_qs));
        QVERIFY(log.lines().first().contains(QFileInfo(folders.first()).fileName()));
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        VLTempCleaner::sharedInstance().sync_clean();
        QCOMPARE(areaEntries(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTempCleaner)
#include "tst_tempcleaner.moc"
