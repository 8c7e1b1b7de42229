#include "ProgramTestSupport.h"
#include "ScreenTestSupport.h"

#include "app/VLAppDelegate.h"
#include "controls/VLTextField.h"
#include "engine/jobs/VLDezerider.h"
#include "screens/VLDropViewController.h"
#include "screens/VLEncryptViewController.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/VLEncryptingViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include "tests/support/SmallTmpfs.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

// A folder as a sorted list of relative paths with their contents (folders marked "/").
QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree.insert(relative + u'/', {});
        } else {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                tree.insert(relative, file.readAll());
        }
    }
    return tree;
}

// Restores a container with the engine's decryption job, waiting for its end.
class Restorer final : public VLDezeriderDelegate
{
public:
    QUrl restore(const QUrl &container, const QString &password)
    {
        auto job = VLDezerider::dezeriderWithArchiveURL(container);
        job->setDelegate(this);
        job->decryptWithPassword(password);
        if (!QTest::qWaitFor([this] { return m_ended.load(); }, 30000))
            return {};
        job->setDelegate(nullptr);
        m_hint = job->hint();
        return m_result;
    }
    QString hint() const { return m_hint; }

    void dezeriderDidFinishedWithResultURL(VLDezerider *, const QUrl &url) override
    {
        m_result = url;
        m_ended = true;
    }
    void dezeriderDidFailedWithError(VLDezerider *, const VLError &) override { m_ended = true; }

private:
    std::atomic<bool> m_ended = false;
    QUrl m_result;
    QString m_hint;
};

// Another launch of the real program that cannot hand over to the running one (it has a runtime
// folder of its own) and shares its Library: it starts as an instance of its own.
class SecondInstance final
{
public:
    explicit SecondInstance(const QString &library)
    {
        const QString data = m_root.filePath(u"data/nimbrel"_s);
        QDir().mkpath(data);
        QFile::link(library, data + u"/Vaultine"_s);
        QDir(m_root.path()).mkpath(u"runtime"_s);
        QFile::setPermissions(m_root.filePath(u"runtime"_s),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSettings settings(m_root.filePath(u"config/nimbrel/Vaultine.conf"_s), QSettings::IniFormat);
        settings.setValue(u"NBPrivacyPolicyAccepted"_s, true);
        settings.setValue(u"kVLEmailSubscriberHasSkippedSubscription"_s, true);
    }

    ~SecondInstance() { stop(); }

    void start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, m_root.filePath(u"data"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_root.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_root.filePath(u"runtime"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"QTWEBENGINE_CHROMIUM_FLAGS"_s, u"--no-sandbox --disable-gpu"_s);
        m_process.setProcessEnvironment(env);
        m_process.setProgram(QStringLiteral(VAULTINE_EXECUTABLE));
        m_process.start();
    }

    bool isRunning() const { return m_process.state() == QProcess::Running; }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    QTemporaryDir m_root;
    QProcess m_process;
};

QByteArray digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

} // namespace

// The encrypt flow as a user meets it: the program's main window, files arriving through the
// program's entry, typed keys, and the real job on the real clock.
class TestEncryptFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<AnalyticsCollector> m_analytics;

    QString sourceFolder() const { return m_dir.filePath(u"Holiday"_s); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(sourceFolder() + u"/notes.txt"_s, "Day one: rain.\n"));
        QVERIFY(writeFile(sourceFolder() + u"/photos/beach.raw"_s, QByteArray(300000, 'b')));
        QVERIFY(writeFile(sourceFolder() + u"/photos/empty.txt"_s, QByteArray()));
        QVERIFY(QDir(sourceFolder()).mkpath(u"plans/later"_s));
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < 64; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            QVERIFY(writeFile(m_dir.filePath(u"Archive/part-%1.bin"_s.arg(i)), block));
        }
        VLContentWindowController::setRootViewControllerFactory(
            [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    }

    void init() { m_analytics = std::make_unique<AnalyticsCollector>(); }

    void cleanup()
    {
        m_analytics.reset();
        VLTempCleaner::sharedInstance().sync_clean();
    }

    void cleanupTestCase() { VLContentWindowController::setRootViewControllerFactory({}); }

    void aFolderBecomesAContainerThatRestoresToTheSameTree()
    {
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        VLAppDelegate &delegate = program.delegate;
        VLWindow *window = program.window;
        VLNavigationController *navigation = program.navigation;

        delegate.applicationOpenFiles({sourceFolder()});
        QTRY_VERIFY(qobject_cast<VLEncryptViewController *>(navigation->topViewController().get()));
        auto *password = qobject_cast<VLEncryptViewController *>(navigation->topViewController().get());
        QTRY_COMPARE(window->focusWidget(), password->passwordField());
        QTest::keyClicks(window->focusWidget(), u"correct horse"_s);
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(window->focusWidget(), password->passwordHintField());
        QTest::keyClicks(window->focusWidget(), u"the stable"_s);
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);

        QTRY_VERIFY(qobject_cast<VLEncryptingViewController *>(navigation->topViewController().get()));
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<VLEncryptedViewController *>(navigation->topViewController().get()),
                                 30000);
        auto *result = qobject_cast<VLEncryptedViewController *>(navigation->topViewController().get());
        const QUrl container = result->encryptedFileURL();
        QCOMPARE(QFileInfo(container.toLocalFile()).fileName(), u"Holiday.vault"_s);

        Restorer restorer;
        const QUrl restored = restorer.restore(container, u"correct horse"_s);
        QVERIFY(restored.isValid());
        QCOMPARE(restorer.hint(), u"the stable"_s);
        QCOMPARE(QFileInfo(restored.toLocalFile()).fileName(), u"Holiday"_s);
        QCOMPARE(treeOf(restored.toLocalFile()), treeOf(sourceFolder()));
        QTRY_VERIFY(
            m_analytics->events().contains(eventHit(u"Workflow"_s, u"Encryption Successful"_s, u"Hint Included"_s)));
    }

    // Encrypting onto a full disk says so: not a damaged container, not the sources.
    void aFullDiskIsReportedAsAFullDisk()
    {
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        VLWindow *window = program.window;
        VLNavigationController *navigation = program.navigation;
        const QString source = m_dir.filePath(u"Big/data.bin"_s);
        QByteArray random(2 << 20, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QVERIFY(writeFile(source, random));
        const QByteArray sourceDigest = digestOf(source);

        SmallTmpfs disk(VLTempCleaner::workFolderArea(), 512 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(1);
        program.delegate.applicationOpenFiles({source});
        QTRY_VERIFY(qobject_cast<VLEncryptViewController *>(navigation->topViewController().get()));
        auto *password = qobject_cast<VLEncryptViewController *>(navigation->topViewController().get());
        QTRY_COMPARE(window->focusWidget(), password->passwordField());
        QTest::keyClicks(window->focusWidget(), u"pw"_s);
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);

        QTRY_VERIFY_WITH_TIMEOUT(VLAlertHandler::lastAlert().has_value(), 30000);
        const VLAlert alert = *VLAlertHandler::lastAlert();
        QCOMPARE(alert.messageText(), u"There is not enough free space on the disk."_s);
        QVERIFY2(alert.informativeText().contains(u"work folders"_s), qPrintable(alert.informativeText()));
        // No partial container stays, and the source is as it was.
        QDirIterator containers(VLTempCleaner::workFolderArea(), {u"*.vault"_s}, QDir::Files,
                                QDirIterator::Subdirectories);
        QVERIFY(!containers.hasNext());
        QCOMPARE(digestOf(source), sourceDigest);
        QTRY_VERIFY(!qobject_cast<VLEncryptingViewController *>(navigation->topViewController().get()));
    }

    // A second launch of the program empties the work folders at its start, but not the ones
    // this instance uses: neither while its job writes the container nor while the container
    // waits unsaved on the result screen.
    void aSecondLaunchLeavesTheRunningInstancesWork()
    {
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        VLWindow *window = program.window;
        VLNavigationController *navigation = program.navigation;
        const QString area = VLTempCleaner::workFolderArea();
        const QString library = QFileInfo(area).path();
        // What a run that ended abruptly left: every launch's clean takes it, the last of the area.
        const QString leftOver = area + u"/zz-left-by-a-crash"_s;

        program.delegate.handleFinderServiceFiles({m_dir.filePath(u"Archive"_s)});
        QTRY_VERIFY(qobject_cast<VLEncryptViewController *>(navigation->topViewController().get()));
        auto *password = qobject_cast<VLEncryptViewController *>(navigation->topViewController().get());
        QTRY_COMPARE(window->focusWidget(), password->passwordField());
        QTest::keyClicks(window->focusWidget(), u"pw"_s);
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!workFolders().isEmpty());
        const QString ours = area + u'/' + workFolders().first();
        QVERIFY(writeFile(leftOver + u"/secret.txt"_s, "left"));

        SecondInstance whileWriting(library);
        whileWriting.start();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(leftOver), 60000);
        QVERIFY(QFileInfo::exists(ours));
        QVERIFY(whileWriting.isRunning());
        whileWriting.stop();

        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<VLEncryptedViewController *>(navigation->topViewController().get()),
                                 60000);
        auto *result = qobject_cast<VLEncryptedViewController *>(navigation->topViewController().get());
        const QString container = result->encryptedFileURL().toLocalFile();
        QVERIFY(container.startsWith(ours + u'/'));
        const QByteArray digest = digestOf(container);
        QVERIFY(!digest.isEmpty());

        QVERIFY(writeFile(leftOver + u"/secret.txt"_s, "left"));
        SecondInstance whileHolding(library);
        whileHolding.start();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(leftOver), 60000);
        QCOMPARE(digestOf(container), digest);
        QCOMPARE(workFolders(), QStringList{QFileInfo(ours).fileName()});
    }

    void stoppingARunningJobLeavesNoWorkFolder()
    {
        Program program;
        QVERIFY(QTest::qWaitForWindowExposed(program.window));
        VLAppDelegate &delegate = program.delegate;
        VLWindow *window = program.window;
        VLNavigationController *navigation = program.navigation;

        delegate.handleFinderServiceFiles({m_dir.filePath(u"Archive"_s)});
        QTRY_VERIFY(qobject_cast<VLEncryptViewController *>(navigation->topViewController().get()));
        auto *password = qobject_cast<VLEncryptViewController *>(navigation->topViewController().get());
        QTRY_COMPARE(window->focusWidget(), password->passwordField());
        QTest::keyClicks(window->focusWidget(), u"pw"_s);
        QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(qobject_cast<VLEncryptingViewController *>(navigation->topViewController().get()));
        auto *progress = qobject_cast<VLEncryptingViewController *>(navigation->topViewController().get());
        QTRY_VERIFY(progress->vedidador()->isRunning() || !workFolders().isEmpty());

        QTRY_VERIFY(window->focusWidget());
        QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
        QVERIFY(!progress->vedidador()->isRunning());
        QTRY_COMPARE(navigation->topViewController().get(), password);
        QTRY_VERIFY(workFolders().isEmpty());
        QVERIFY(!m_analytics->events().contains(
            eventHit(u"Workflow"_s, u"Encryption Successful"_s, u"Hint Not Included"_s)));
    }
};

QTEST_MAIN(TestEncryptFlow)
#include "tst_encryptflow.moc"
