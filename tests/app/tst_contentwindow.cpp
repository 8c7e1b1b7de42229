#include "MainLoop.h"

#include "app/VLAppDelegate.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLTerminator.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/settings/Defaults.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class HoldingScreen final : public QObject, public VLTerminator
{
public:
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *) override
    {
        ++asked;
        return true;
    }
    int asked = 0;
};

} // namespace

class TestContentWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setQuitOnLastWindowClosed(false);
        // A user who accepted the policy, decided on analytics and skipped the newsletter: the
        // launch goes straight to the main window, and quitting asks nothing.
        platform::Defaults &defaults = platform::Defaults::standard();
        defaults.setValue(QStringLiteral("NBPrivacyPolicyAccepted"), true);
        defaults.setValue(QStringLiteral("VLTrackApp"), false);
        defaults.setValue(QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true);
    }

    void init()
    {
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
        proxy->setTerminator(nullptr);
        proxy->setPreTerminationHook({});
    }

    void entriesBecomeFileURLsInOrder()
    {
        const QVariantList entries{QStringLiteral("/tmp/a.txt"),          QVariant(42),
                                   QUrl(QStringLiteral("file:///tmp/b")), QVariant(),
                                   QStringLiteral("/tmp/c.vault"),        QVariant(QStringList{u"x"_s})};
        const QList<QUrl> urls = VLContentWindowController::fileURLsFromEntries(entries);
        QCOMPARE(urls,
                 (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")), QUrl(QStringLiteral("file:///tmp/b")),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/c.vault"))}));
    }

    void filesReachTheRootScreenAndStopTheReviewPrompt()
    {
        VLContentWindowController controller;
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QVERIFY(controller.isAppStoreReviewPending());
        controller.processAddedFiles(QVariantList{QStringLiteral("/tmp/one"), 7});
        QVERIFY(!controller.isAppStoreReviewPending());
    }

    void minimisedWindowComesBackForFiles()
    {
        VLContentWindowController controller;
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        controller.window()->showMinimized();
        controller.processAddedFiles(QStringList{QStringLiteral("/tmp/x")});
        QVERIFY(!controller.window()->isMinimized());
    }

    void delegateQueuesFilesUntilLaunchFinished()
    {
        VLAppDelegate delegate;
        QCOMPARE(VLAppDelegate::instance(), &delegate);
        delegate.applicationOpenFiles({QStringLiteral("/tmp/early.vault")});
        QCOMPARE(delegate.queuedFiles(), QStringList{QStringLiteral("/tmp/early.vault")});
        delegate.handleFinderServiceFiles({QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")});
        QCOMPARE(delegate.queuedFiles(), (QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")}));
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.queuedFiles().isEmpty());
        QVERIFY(delegate.dropWindowController()->window()->isVisible());
    }

    void aDelegateThatIsGoneLeavesNoHookBehind()
    {
        {
            VLAppDelegate delegate;
            delegate.applicationDidFinishLaunching();
            QVERIFY(VLTerminatorProxy::sharedInstance()->preTerminationHook());
        }
        QVERIFY(!VLTerminatorProxy::sharedInstance()->preTerminationHook());
        QVERIFY(!VLAppDelegate::instance());
    }

    void analyticsLabels_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("label");
        const QString dir = QDir::tempPath();
        QTest::newRow("none") << QStringList{} << QStringLiteral("Files – Icon Drag");
        QTest::newRow("one container") << QStringList{u"/x/a.vault"_s} << QStringLiteral("Decrypt – Icon Drag");
        QTest::newRow("upper-case container") << QStringList{u"/x/a.VAULT"_s} << QStringLiteral("Files – Icon Drag");
        QTest::newRow("folder") << QStringList{dir} << QStringLiteral("Folder – Icon Drag");
        QTest::newRow("file") << QStringList{u"/x/a.txt"_s} << QStringLiteral("Files – Icon Drag");
        QTest::newRow("two containers") << QStringList{u"/x/a.vault"_s, u"/x/b.vault"_s}
                                        << QStringLiteral("Files – Icon Drag");
    }

    void analyticsLabels()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, label);
        QCOMPARE(VLAppDelegate::addItemsAnalyticsLabel(paths), label);
    }

    void menuQuitEndsTheMainLoop_data()
    {
        QTest::addColumn<bool>("byShortcut");
        QTest::newRow("menu item") << false;
        QTest::newRow("shortcut") << true;
    }

    void menuQuitEndsTheMainLoop()
    {
        QFETCH(bool, byShortcut);
        VLAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        VLWindow *window = delegate.dropWindowController()->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *quit = window->findChild<QAction *>(QStringLiteral("quitAction"));
        QVERIFY(quit);
        QVERIFY(quit->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
        if (byShortcut) {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTimer::singleShot(0, window,
                               [window] { QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier); });
        } else {
            QTimer::singleShot(0, quit, [quit] {
                // The item of the menu, as a click on it would trigger it.
                QVERIFY(quit->isEnabled());
                quit->trigger();
            });
        }
        QCOMPARE(runMainLoop(5000), 0);
        QCOMPARE(VLTerminatorProxy::sharedInstance()->state(), qint64(VLTerminatorProxy::VLTerminationStateTerminate));
    }

    void closingTheMainWindowEndsTheMainLoop()
    {
        VLAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        VLWindow *window = delegate.dropWindowController()->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTimer::singleShot(0, window, &QWidget::close);
        QCOMPARE(runMainLoop(5000), 0);
        // The window never closed itself: the quit ended the loop.
        QVERIFY(window->isVisible());
    }

    void quitEmptiesTheWorkFolders()
    {
        VLAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        // Let the launch's own clean-up finish first, so only the quit can empty what follows.
        QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(10000));
        const QString temp = platform::libraryFolder(QStringLiteral("Temp"));
        QVERIFY(QDir().mkpath(temp + QStringLiteral("/job-1/inner")));
        QFile plaintext(temp + QStringLiteral("/job-1/inner/secret.txt"));
        QVERIFY(plaintext.open(QIODevice::WriteOnly));
        plaintext.write("plaintext");
        plaintext.close();

        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        QTimer::singleShot(0, qApp, [] { VLTerminatorProxy::sharedInstance()->terminate(); });
        const int status = runMainLoop(5000);
        platform::setLogSink({});
        QCOMPARE(status, 0);
        QVERIFY(QDir(temp).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
        QVERIFY(lines.contains(QStringLiteral("[Terminator]: cleaning temp folder...")));
        QVERIFY(lines.contains(QStringLiteral("[Terminator]: cleaning temp folder finished.")));
    }

    void closingTheLastWindowQuits()
    {
        VLAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        delegate.dropWindowController()->window()->hide();
        QWidget other;
        other.setAttribute(Qt::WA_QuitOnClose);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QTimer::singleShot(0, &other, &QWidget::close);
        QCOMPARE(runMainLoop(5000), 0);
    }

    void aScreenThatHoldsTheQuitKeepsTheWindowOpen()
    {
        VLAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        VLWindow *window = delegate.dropWindowController()->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        HoldingScreen screen;
        VLTerminatorProxy::sharedInstance()->setTerminator(&screen);
        QTimer::singleShot(0, window, &QWidget::close);
        QTimer::singleShot(200, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 7);
        QCOMPARE(screen.asked, 1);
        QVERIFY(window->isVisible());
        QCOMPARE(VLTerminatorProxy::sharedInstance()->state(),
                 qint64(VLTerminatorProxy::VLTerminationStateDelayedByTerminator));
        // The screen's "Quit Anyway".
        QTimer::singleShot(0, qApp, [] { VLTerminatorProxy::sharedInstance()->continueTermination(); });
        QCOMPARE(runMainLoop(5000), 0);
        VLTerminatorProxy::sharedInstance()->setTerminator(nullptr);
    }
};

QTEST_MAIN(TestContentWindow)
#include "tst_contentwindow.moc"
