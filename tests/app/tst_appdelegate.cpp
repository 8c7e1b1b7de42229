#include "LocalHttpServer.h"
#include "MainLoop.h"
#include "TestEnvironment.h"

#include "app/VLAppDelegate.h"
#include "app/VLPreferencesWindowController.h"
#include "companion/NBGDPRWindowController.h"
#include "companion/SWAnalyticsTracker.h"
#include "companion/SWAnalyticsWindowController.h"
#include "companion/VLABTester.h"
#include "companion/VLAboutWindowController.h"
#include "companion/VLEmailSubscriber.h"
#include "companion/VLRatingPrompter.h"
#include "controls/VLAnalyticsApprovalPanel.h"
#include "platform/core/CrashHandler.h"
#include "platform/core/Library.h"
#include "platform/core/SystemInfo.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/settings/Defaults.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QUrlQuery>
#include <QWebEngineView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QStringList allKeys{QStringLiteral("NBPrivacyPolicyAccepted"),
                          QStringLiteral("VLTrackApp"),
                          QStringLiteral("kVLEmailSubscriberHasSubscribed"),
                          QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"),
                          QStringLiteral("QuennetLaunchCount"),
                          QStringLiteral("ShowDebugMenu")};

// One hit as "type ec/ea/el" ("appview cd" for screen views).
QString describeHit(const LocalHttpServer::Request &request)
{
    const QUrlQuery query(QString::fromLatin1(request.query));
    const auto value = [&query](const char *key) {
        return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
    };
    if (value("t") == u"appview")
        return QStringLiteral("appview ") + value("cd");
    QString text = value("t") + u' ' + value("ec") + u'/' + value("ea");
    if (query.hasQueryItem(QStringLiteral("el")))
        text += u'/' + value("el");
    return text;
}

// Records, in order, which of the delegate's windows were shown.
class WindowRecorder final : public QObject
{
public:
    explicit WindowRecorder(VLAppDelegate *delegate) : m_delegate(delegate) { qApp->installEventFilter(this); }
    ~WindowRecorder() override { qApp->removeEventFilter(this); }

    QStringList shown;
    std::function<void(const QString &)> onShow;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow()) {
            const QString name = nameOf(widget);
            if (!name.isEmpty() && (shown.isEmpty() || shown.last() != name)) {
                shown << name;
                if (onShow)
                    onShow(name);
            }
        }
        return false;
    }

private:
    QString nameOf(QWidget *widget) const
    {
        VLAppDelegate *d = m_delegate;
        if (d->gdprWindowController() && d->gdprWindowController()->isWindowLoaded()
            && widget == d->gdprWindowController()->window())
            return QStringLiteral("consent");
        if (d->tutorialController() && d->tutorialController()->isWindowLoaded()
            && widget == d->tutorialController()->window())
            return QStringLiteral("tutorial");
        if (d->dropWindowController() && d->dropWindowController()->isWindowLoaded()
            && widget == d->dropWindowController()->window())
            return QStringLiteral("main");
        if (widget == d->analyticsSheet())
            return QStringLiteral("analytics question");
        return {};
    }

    VLAppDelegate *m_delegate;
};

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        // Chromium runs here headless, possibly as root: no sandbox and no GPU.
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        VLTutorialWindowController::prepareWebEngine();
        // Under ctest every test has XDG folders of its own; by hand, stay out of the real home.
        if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
            QStandardPaths::setTestModeEnabled(true);
        // The debug window exists only when the default is set as the application starts.
        platform::Defaults::standard().setValue(QStringLiteral("ShowDebugMenu"), true);
    }

private:
    // The launch's services, all pointed at the local server, over the given defaults.
    void makeDelegate(const QVariantMap &defaults)
    {
        platform::Defaults &standard = platform::Defaults::standard();
        for (const QString &key : allKeys)
            standard.remove(key);
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
            standard.setValue(it.key(), it.value());

        m_server = std::make_unique<LocalHttpServer>();
        SWAnalyticsTracker::Configuration trackerConfiguration;
        trackerConfiguration.collectEndpoint = m_server->url(QStringLiteral("/collect"));
        trackerConfiguration.abTester = m_tester.get();
        trackerConfiguration.environment = testEnvironment();
        m_tracker = std::make_unique<SWAnalyticsTracker>(trackerConfiguration);
        m_prompterDefaults.reset();
        QFile::remove(m_dir.filePath(QStringLiteral("rating.ini")));
        m_prompterDefaults = std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("rating.ini")));
        m_prompter = std::make_unique<VLRatingPrompter>(*m_prompterDefaults);

        VLAppDelegate::Configuration configuration;
        configuration.tracker = m_tracker.get();
        configuration.crashReportDSN = QStringLiteral("http://k@127.0.0.1:%1/1").arg(m_server->port());
        configuration.crashReports.reportsFolder = m_dir.filePath(QStringLiteral("reports"));
        configuration.tutorial.signUpBackend = m_server->url(QStringLiteral("/backend"));
        configuration.tutorial.environment = testEnvironment();
        configuration.ratingPrompter = m_prompter.get();
        m_delegate = std::make_unique<VLAppDelegate>(configuration);
        m_recorder = std::make_unique<WindowRecorder>(m_delegate.get());
    }

    QStringList hits() const
    {
        QStringList list;
        for (const LocalHttpServer::Request &request : m_server->requests())
            if (request.path == "/collect")
                list << describeHit(request);
        return list;
    }

    QAction *menuItem(const QString &name) const
    {
        return m_delegate->dropWindowController()->window()->findChild<QAction *>(name);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<platform::Defaults> m_testerDefaults;
    std::unique_ptr<VLABTester> m_tester;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<SWAnalyticsTracker> m_tracker;
    std::unique_ptr<platform::Defaults> m_prompterDefaults;
    std::unique_ptr<VLRatingPrompter> m_prompter;
    std::unique_ptr<VLAppDelegate> m_delegate;
    std::unique_ptr<WindowRecorder> m_recorder;
    QList<QUrl> m_openedLinks;

public slots:
    void openLink(const QUrl &url) { m_openedLinks << url; }

private slots:
    void initTestCase()
    {
        platform::setApplicationIdentity();
        QApplication::setQuitOnLastWindowClosed(false);
        m_testerDefaults = std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("tester.ini")));
        m_tester = std::make_unique<VLABTester>(*m_testerDefaults);
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openLink");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openLink");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }

    void init()
    {
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        proxy->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
        proxy->setTerminator(nullptr);
        proxy->setPreTerminationHook({});
        m_openedLinks.clear();
    }

    void cleanup()
    {
        m_recorder.reset();
        m_delegate.reset();
        m_prompter.reset();
        m_tracker.reset();
        m_server.reset();
        platform::uninstallCrashHandler();
        for (QWidget *window : QApplication::topLevelWidgets())
            window->hide();
    }

    void theLaunchShowsWindowsByWhatTheUserDecided_data()
    {
        QTest::addColumn<QVariantMap>("defaults");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("windows");
        QTest::addColumn<QStringList>("launchHits");

        const platform::SystemVersion version = platform::systemVersion();
        const QString os = QStringLiteral("event Statistics/OS/%1.%2").arg(version.major).arg(version.minor);
        const QString launch = QStringLiteral("event Statistics/Launch");
        const QString first = QStringLiteral("event Statistics/First Launch");
        const QVariantMap accepted{{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                                   {QStringLiteral("VLTrackApp"), true}};
        QVariantMap skipped = accepted;
        skipped.insert(QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true);
        skipped.insert(QStringLiteral("QuennetLaunchCount"), 7);

        QTest::newRow("first launch") << QVariantMap{{QStringLiteral("VLTrackApp"), true}} << QStringList{}
                                      << QStringList{u"consent"_s, u"tutorial"_s} << QStringList{launch, first, os};
        QTest::newRow("tutorial pending")
            << accepted << QStringList{} << QStringList{u"tutorial"_s} << QStringList{launch, first, os};
        QTest::newRow("tutorial pending, files queued")
            << accepted << QStringList{QDir::tempPath()} << QStringList{u"main"_s, u"tutorial"_s}
            << QStringList{u"event Workflow/Add Items/Folder – Icon Drag"_s, launch, first, os};
        QTest::newRow("newsletter skipped")
            << skipped << QStringList{} << QStringList{u"main"_s} << QStringList{launch};
        QTest::newRow("subscribed, consent missing")
            << QVariantMap{{QStringLiteral("VLTrackApp"), true},
                           {QStringLiteral("kVLEmailSubscriberHasSubscribed"), true}}
            << QStringList{} << QStringList{u"consent"_s, u"main"_s} << QStringList{launch, first, os};
    }

    void theLaunchShowsWindowsByWhatTheUserDecided()
    {
        QFETCH(QVariantMap, defaults);
        QFETCH(QStringList, files);
        QFETCH(QStringList, windows);
        QFETCH(QStringList, launchHits);
        makeDelegate(defaults);
        m_recorder->onShow = [this](const QString &name) {
            if (name == u"consent")
                QTimer::singleShot(0, m_delegate->gdprWindowController(),
                                   [this] { m_delegate->gdprWindowController()->acceptButton()->click(); });
        };
        if (!files.isEmpty())
            m_delegate->applicationOpenFiles(files);
        // The launch runs inside the main loop, as the program runs it.
        QTimer::singleShot(0, m_delegate.get(), [this] {
            m_delegate->applicationDidFinishLaunching();
            QCoreApplication::exit(0);
        });
        QCOMPARE(runMainLoop(30000), 0);
        QVERIFY(m_delegate->isLaunched());

        QCOMPARE(m_recorder->shown, windows);
        QVERIFY(platform::Defaults::standard().boolValue(QStringLiteral("NBPrivacyPolicyAccepted")));
        QVERIFY(m_delegate->queuedFiles().isEmpty());
        QVERIFY(m_delegate->issuesReporter() && m_delegate->issuesReporter()->hasClient());
        QCOMPARE(VLTerminatorProxy::sharedInstance()->preTerminationHook() != nullptr, true);
        // The tutorial's own screen view comes in between; the launch events come in order.
        QTRY_COMPARE(hits().filter(u"event "_s), launchHits);
    }

    void quittingTheConsentWindowEndsTheRun()
    {
        makeDelegate({});
        m_recorder->onShow = [this](const QString &name) {
            if (name == u"consent")
                QTimer::singleShot(0, m_delegate->gdprWindowController(),
                                   [this] { m_delegate->gdprWindowController()->quitButton()->click(); });
        };
        QTimer::singleShot(0, m_delegate.get(), &VLAppDelegate::applicationDidFinishLaunching);
        // The main loop ends although the launch was waiting in the consent window's loop.
        QCOMPARE(runMainLoop(30000), 0);
        QCOMPARE(m_recorder->shown, QStringList{u"consent"_s});
        QVERIFY(!m_delegate->isLaunched());
        QVERIFY(!m_delegate->dropWindowController());
        QVERIFY(!platform::Defaults::standard().boolValue(QStringLiteral("NBPrivacyPolicyAccepted")));
        QCOMPARE(m_server->requestCount(), 0);
    }

    void eventsWaitForTheUsersDecision()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
        m_delegate->applicationDidFinishLaunching();
        QTest::qWait(200);
        QCOMPARE(hits(), QStringList{});
        // Agreeing sends the held events before it returns.
        m_tracker->setEnabled(true);
        const platform::SystemVersion version = platform::systemVersion();
        QCOMPARE(hits(), (QStringList{u"event Statistics/Launch"_s, u"event Statistics/First Launch"_s,
                                      u"event Statistics/OS/%1.%2"_s.arg(version.major).arg(version.minor)}));
    }

    void hitsGiveTheMainWindowsSizeAsViewport()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true},
                      {QStringLiteral("QuennetLaunchCount"), 9}});
        m_delegate->applicationDidFinishLaunching();
        VLWindow *mainWindow = m_delegate->dropWindowController()->window();
        QVERIFY(mainWindow->isVisible());
        QTRY_COMPARE(hits(), QStringList{u"event Statistics/Launch"_s});
        const QSize frame = mainWindow->frameGeometry().size();
        QVERIFY(!frame.isEmpty());
        const QUrlQuery launch(QString::fromLatin1(m_server->requests().first().query));
        QCOMPARE(launch.queryItemValue(u"vp"_s), u"%1x%2"_s.arg(frame.width()).arg(frame.height()));

        // Out of sight it is no main window.
        mainWindow->hide();
        m_tracker->trackEvent(u"Statistics"_s, u"Hidden"_s);
        QTRY_COMPARE(hits().size(), 2);
        QCOMPARE(QUrlQuery(QString::fromLatin1(m_server->requests().last().query)).queryItemValue(u"vp"_s), u"0x0"_s);
    }

    void theDebugMenuFollowsItsDefault_data()
    {
        QTest::addColumn<bool>("debug");
        QTest::newRow("set") << true;
        QTest::newRow("unset") << false;
    }

    void theDebugMenuFollowsItsDefault()
    {
        QFETCH(bool, debug);
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true},
                      {QStringLiteral("ShowDebugMenu"), debug}});
        m_delegate->applicationDidFinishLaunching();
        auto *menu = m_delegate->dropWindowController()->window()->findChild<QMenu *>(QStringLiteral("debugMenu"));
        QCOMPARE(menu != nullptr, debug);
        if (!debug)
            return;
        QCOMPARE(menu->title(), QStringLiteral("Debug"));
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Analytics"));
        menu->actions().first()->trigger();
        QVERIFY(SWAnalyticsWindowController::instance());
        QVERIFY(SWAnalyticsWindowController::instance()->window()->isVisible());
        SWAnalyticsWindowController::instance()->window()->hide();
    }

    void helpItemsOpenTheirLinks_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("action");
        QTest::newRow("faq") << QStringLiteral("faqAction") << QStringLiteral("faq");
        QTest::newRow("feature") << QStringLiteral("suggestFeatureAction") << QStringLiteral("suggestfeature");
        QTest::newRow("feedback") << QStringLiteral("feedbackAction") << QStringLiteral("feedback");
        QTest::newRow("support") << QStringLiteral("supportAction") << QStringLiteral("support");
        QTest::newRow("rate") << QStringLiteral("rateAction") << QStringLiteral("rate");
    }

    void helpItemsOpenTheirLinks()
    {
        QFETCH(QString, item);
        QFETCH(QString, action);
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
        m_delegate->applicationDidFinishLaunching();
        QAction *menuAction = menuItem(item);
        QVERIFY(menuAction);
        QVERIFY(m_delegate->validateMenuItem(menuAction));
        menuAction->trigger();
        QCOMPARE(m_openedLinks.size(), 1);
        const QUrl link = m_openedLinks.first();
        QCOMPARE(link.path(), QStringLiteral("/index.php"));
        QVERIFY2(link.query().startsWith(QStringLiteral("4&action=") + action + u'&'), qPrintable(link.toString()));
        QVERIFY(link.query().contains(QStringLiteral("&product=Vaultine&")));
        QCOMPARE(m_prompter->ratedThisVersion(), action == u"rate");
    }

    void theTutorialItemIsOffWhileTheTutorialShows()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
        m_delegate->applicationDidFinishLaunching();
        QAction *tutorial = menuItem(QStringLiteral("tutorialAction"));
        QVERIFY(m_delegate->validateMenuItem(tutorial));
        tutorial->trigger();
        QVERIFY(m_delegate->tutorialController()->window()->isVisible());
        QVERIFY(!m_delegate->validateMenuItem(tutorial));
        auto *menu = m_delegate->dropWindowController()->window()->findChild<QMenu *>(QStringLiteral("helpMenu"));
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QVERIFY(!tutorial->isEnabled());
        QTRY_VERIFY(hits().contains(u"event Tutorial/Tutorial Shown from Menu"_s));

        // When it ends, the main window (already visible) stays as it is.
        m_delegate->tutorialControllerDidFinishSuccessful(m_delegate->tutorialController(), false);
        QVERIFY(m_delegate->dropWindowController()->window()->isVisible());
    }

    void theMenusReachEveryWindowOfTheApplication()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("ShowDebugMenu"), true}});
        m_delegate->applicationDidFinishLaunching();
        // First launch: the tutorial is all there is on the screen.
        QWidget *tutorial = m_delegate->tutorialController()->window();
        QVERIFY(tutorial->isVisible());
        QVERIFY(!m_delegate->dropWindowController()->window()->isVisible());
        auto *bar = qobject_cast<QMainWindow *>(tutorial)->menuBar();
        QStringList menus;
        for (QAction *item : bar->actions())
            menus << item->menu()->objectName();
        QCOMPARE(menus, (QStringList{u"applicationMenu"_s, u"helpMenu"_s, u"debugMenu"_s}));
        // The page keeps its size below the bar.
        QCOMPARE(m_delegate->tutorialController()->webView()->size(), QSize(640, 480));

        // Its items work there: About from the bar, Preferences by its shortcut.
        QAction *about = nullptr;
        for (QAction *item : bar->actions().first()->menu()->actions())
            if (item->objectName() == u"aboutAction")
                about = item;
        QVERIFY(about);
        about->trigger();
        QVERIFY(m_delegate->aboutWindowController()->window()->isVisible());
        m_delegate->aboutWindowController()->window()->hide();
        tutorial->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(tutorial));
        QTest::keyClick(tutorial, Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(m_delegate->preferencesController() && m_delegate->preferencesController()->window()->isVisible());

        // Quit, typed in the preferences window, ends the run through the quit path.
        QWidget *preferences = m_delegate->preferencesController()->window();
        QVERIFY(QTest::qWaitForWindowActive(preferences));
        QTimer::singleShot(0, preferences,
                           [preferences] { QTest::keyClick(preferences, Qt::Key_Q, Qt::ControlModifier); });
        QCOMPARE(runMainLoop(10000), 0);
        QVERIFY(hits().contains(u"event Statistics/App Quit"_s));
    }

    void theTutorialShowsTheMainWindowWhenItEnds()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true}});
        m_delegate->applicationDidFinishLaunching();
        QVERIFY(!m_delegate->dropWindowController()->isWindowLoaded()
                || !m_delegate->dropWindowController()->window()->isVisible());
        m_delegate->tutorialController()->launch();
        QTRY_VERIFY_WITH_TIMEOUT(m_delegate->dropWindowController()->window()->isVisible(), 5000);
        QVERIFY(VLEmailSubscriber::hasSkippedSubscription());
    }

    void preferencesSwitchAnalytics()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true},
                      {QStringLiteral("QuennetLaunchCount"), 9}});
        m_delegate->applicationDidFinishLaunching();
        menuItem(QStringLiteral("preferencesAction"))->trigger();
        VLPreferencesWindowController *preferences = m_delegate->preferencesController();
        QVERIFY(preferences->window()->isVisible());
        QCheckBox *box = preferences->analyticsCheckBox();
        QVERIFY(box->isChecked());
        QTRY_VERIFY(hits().contains(u"appview Preferences"_s));

        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!m_tracker->isEnabled());
        QVERIFY(!platform::Defaults::standard().boolValue(QStringLiteral("VLTrackApp")));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(m_tracker->isEnabled());
        QTRY_VERIFY(hits().contains(u"event Preferences/Select Analytics"_s));
        // "Deselect" went out after tracking was off: it never reached the service.
        QVERIFY(!hits().contains(u"event Preferences/Deselect Analytics"_s));

        // The menu item inverts the decision, and the check box follows.
        menuItem(QStringLiteral("analyticsAction"))->trigger();
        QVERIFY(!m_tracker->isEnabled());
        QVERIFY(!box->isChecked());
    }

    void theAboutItemShowsTheAboutWindow()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
        m_delegate->applicationDidFinishLaunching();
        QAction *about = menuItem(QStringLiteral("aboutAction"));
        QCOMPARE(about->menuRole(), QAction::AboutRole);
        about->trigger();
        QVERIFY(m_delegate->aboutWindowController()->window()->isVisible());
        QTRY_VERIFY(hits().contains(u"appview About"_s));
        // A second time, the same window comes forward.
        VLAboutWindowController *controller = m_delegate->aboutWindowController();
        about->trigger();
        QCOMPARE(m_delegate->aboutWindowController(), controller);
    }

    void theRatingPromptAsksOnTheMainWindow()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true}});
        m_prompterDefaults->setValue(VLRatingPrompter::useCountKey, 1);
        m_delegate->applicationDidFinishLaunching(); // the second use
        QCOMPARE(m_prompter->usesCount(), 2);
        QCOMPARE(m_prompter->usesUntilPrompt(), 2);
        QCOMPARE(m_prompter->remindPeriod(), 2.0);
        QVERIFY(m_prompter->shouldPromptForRating());
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(VLRatingPrompter::rateReturn);
        // Shortly after the main window shows.
        QTRY_VERIFY(VLAlertHandler::lastAlert().has_value());
        QCOMPARE(VLAlertHandler::lastAlert()->messageText(), QStringLiteral("Rate Vaultine"));
        QTRY_COMPARE(m_openedLinks.size(), 1);
        QVERIFY(m_openedLinks.first().query().startsWith(QStringLiteral("4&action=rate&appid=")));
        QVERIFY(m_prompter->ratedThisVersion());
    }

    void quitSendsTheLastEventAndEmptiesTheWorkFolders()
    {
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("VLTrackApp"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true},
                      {QStringLiteral("QuennetLaunchCount"), 9}});
        m_delegate->applicationDidFinishLaunching();
        QVERIFY(platform::globalQueue(platform::QueuePriority::Background).waitForDone(10000));
        QTRY_COMPARE(hits().size(), 1); // "Launch"
        const QString temp = platform::libraryFolder(QStringLiteral("Temp"));
        QVERIFY(QDir().mkpath(temp + QStringLiteral("/job/inner")));
        QFile plaintext(temp + QStringLiteral("/job/inner/secret.txt"));
        QVERIFY(plaintext.open(QIODevice::WriteOnly));
        plaintext.close();

        QStringList atReturn;
        QTimer::singleShot(0, qApp, [this, &atReturn] {
            VLTerminatorProxy::sharedInstance()->terminate();
            atReturn = hits(); // the quit event went out before the hook returned
        });
        QCOMPARE(runMainLoop(10000), 0);
        QCOMPARE(atReturn.value(1), QStringLiteral("event Statistics/App Quit"));
        QVERIFY(QDir(temp).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
        QVERIFY(!m_delegate->analyticsSheet());
    }

    void anUndecidedUserIsAskedBeforeTheQuitEnds_data()
    {
        QTest::addColumn<bool>("share");
        QTest::newRow("shares") << true;
        QTest::newRow("closes") << false;
    }

    void anUndecidedUserIsAskedBeforeTheQuitEnds()
    {
        QFETCH(bool, share);
        makeDelegate({{QStringLiteral("NBPrivacyPolicyAccepted"), true},
                      {QStringLiteral("kVLEmailSubscriberHasSkippedSubscription"), true},
                      {QStringLiteral("QuennetLaunchCount"), 9}});
        m_delegate->applicationDidFinishLaunching();
        VLWindow *mainWindow = m_delegate->dropWindowController()->window();
        QVERIFY(mainWindow->isVisible());

        bool asked = false;
        QTimer::singleShot(0, qApp, [this, &asked, share, mainWindow] {
            VLTerminatorProxy::sharedInstance()->terminate();
            // The quit waits for the question; every other window is out of sight.
            VLAnalyticsApprovalPanel *panel = m_delegate->analyticsSheet();
            asked = panel && panel->isVisible() && !mainWindow->isVisible()
                    && VLTerminatorProxy::sharedInstance()->state()
                           == VLTerminatorProxy::VLTerminationStateDelayedByHook
                    && platform::Defaults::standard().contains(QStringLiteral("VLTrackApp")) && hits().isEmpty();
            QTimer::singleShot(300, panel, [panel, share] {
                if (share)
                    QTest::mouseClick(panel->findChild<QCheckBox *>(QStringLiteral("analyticsCheckBox")),
                                      Qt::LeftButton);
                QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
            });
        });
        QCOMPARE(runMainLoop(10000), 0);
        QVERIFY(asked);
        QCOMPARE(m_recorder->shown, (QStringList{u"main"_s, u"analytics question"_s}));
        QCOMPARE(platform::Defaults::standard().boolValue(QStringLiteral("VLTrackApp")), share);
        // Sharing sends the held events, the quit event among them.
        QCOMPARE(hits().contains(u"event Statistics/App Quit"_s), share);
        QCOMPARE(VLTerminatorProxy::sharedInstance()->state(), qint64(VLTerminatorProxy::VLTerminationStateTerminate));
    }
};

int main(int argc, char **argv)
{
    TestAppDelegate::initMain();
    QApplication app(argc, argv);
    TestAppDelegate test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appdelegate.moc"
