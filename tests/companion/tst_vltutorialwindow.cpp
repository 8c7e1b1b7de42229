#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "companion/VLEmailSubscriber.h"
#include "companion/VLTutorialWindow.h"
#include "companion/VLTutorialWindowController.h"
#include "platform/animation/VLAnimationClock.h"
#include "platform/animation/VLAnimator.h"
#include "platform/core/AppKitVersion.h"
#include "platform/core/Library.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"
#include "tests/companion/TestTracker.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <optional>

namespace {

QtMessageHandler testMessageHandler = nullptr;

// The offscreen platform has no window opacity and says so on every frame of a fade.
void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    testMessageHandler(type, context, message);
}

struct RecordingDelegate final : VLTutorialWindowControllerDelegate
{
    struct Call
    {
        bool successful = false;
        bool windowVisible = true;
    };
    QList<Call> calls;

    void tutorialControllerDidFinishSuccessful(VLTutorialWindowController *controller, bool successful) override
    {
        calls << Call{successful, controller->window()->isVisible()};
    }
};

// "action" or "action/label" of the tutorial's analytics events, in the order they were tracked.
QStringList tutorialEvents(const QSignalSpy &spy)
{
    QStringList events;
    for (const QList<QVariant> &arguments : spy) {
        const QVariantMap hit = arguments.first().toMap();
        if (hit.value(SWAnalyticsKey::eventCategory).toString() != u"Tutorial")
            continue;
        QString event = hit.value(SWAnalyticsKey::eventAction).toString();
        if (hit.contains(SWAnalyticsKey::eventLabel))
            event += u'/' + hit.value(SWAnalyticsKey::eventLabel).toString();
        if (hit.value(SWAnalyticsKey::eventValue).toInt() != 1)
            event += QStringLiteral(" (value %1)").arg(hit.value(SWAnalyticsKey::eventValue).toString());
        events << event;
    }
    return events;
}

} // namespace

class TestVLTutorialWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    LocalHttpServer m_server;
    int m_signUpStatus = 200;
    bool m_refusing = false; // the server refuses connections
    std::unique_ptr<TestTracker> m_tracker;
    std::unique_ptr<QSignalSpy> m_events;
    std::unique_ptr<VLManualClock> m_clock;

    VLTutorialWindowController::Configuration configuration()
    {
        VLTutorialWindowController::Configuration configuration;
        configuration.signUpBackend = m_server.url(QStringLiteral("/backend"));
        configuration.environment = testEnvironment();
        configuration.tracker = m_tracker->tracker.get();
        return configuration;
    }

    // Runs script in the page and waits for its result.
    QVariant evaluate(VLTutorialWindowController &controller, const QString &script)
    {
        std::optional<QVariant> result;
        controller.webView()->page()->runJavaScript(script, [&result](const QVariant &value) { result = value; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000); }();
        return result.value_or(QVariant());
    }

    void click(VLTutorialWindowController &controller, const QString &elementId)
    {
        evaluate(controller, QStringLiteral("document.getElementById('%1').click(); true").arg(elementId));
    }

    QString visibleSlide(VLTutorialWindowController &controller)
    {
        return evaluate(controller, QStringLiteral("document.querySelector('.slide:not([hidden])').id")).toString();
    }

    // Shows the tutorial and waits until its page is loaded, connected to the controller and faded in.
    void showAndLoad(VLTutorialWindowController &controller)
    {
        const bool reshow = controller.isWindowLoaded();
        controller.showWindow();
        QVERIFY(controller.webView());
        QSignalSpy loaded(controller.webView(), &QWebEngineView::loadFinished);
        QCOMPARE(controller.window()->windowOpacity(), 0.0);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
        QVERIFY(loaded.first().first().toBool());
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(controller, QStringLiteral("document.documentElement.getAttribute('data-controller')")).toString(),
            QStringLiteral("ready"), 10000);
        m_clock->advance(VLTutorialWindowController::fadeDuration, 5);
        QCOMPARE(controller.window()->windowOpacity(), 1.0);
        if (!reshow)
            QCOMPARE(controller.currentPage(), 1);
    }

    void goToSignUp(VLTutorialWindowController &controller)
    {
        for (int page = 2; page <= VLTutorialWindowController::signUpPage; ++page) {
            click(controller, QStringLiteral("next"));
            QTRY_COMPARE(controller.currentPage(), page);
        }
        QCOMPARE(visibleSlide(controller), QStringLiteral("slide-5"));
    }

    void signUp(VLTutorialWindowController &controller, const QString &address)
    {
        evaluate(controller, QStringLiteral("document.getElementById('email').value = '%1'; true").arg(address));
        click(controller, QStringLiteral("subscribe"));
    }

    QString signUpStatus(VLTutorialWindowController &controller)
    {
        return evaluate(controller, QStringLiteral("var s = document.getElementById('signup-status');"
                                                   " s.className + ': ' + s.textContent"))
            .toString();
    }

    // Checks the fade-out half way and at its end, where the delegate hears of it once.
    void fadesOutAndFinishes(VLTutorialWindowController &controller, const RecordingDelegate &delegate, bool successful)
    {
        QVERIFY(controller.isEnding());
        m_clock->advance(VLTutorialWindowController::fadeDuration / 2, 3);
        const double half = controller.window()->windowOpacity();
        QVERIFY2(half > 0.1 && half < 0.9, qPrintable(QString::number(half)));
        QVERIFY(controller.window()->isVisible());
        QVERIFY(delegate.calls.isEmpty());
        m_clock->advance(VLTutorialWindowController::fadeDuration, 3);
        QCOMPARE(controller.window()->windowOpacity(), 0.0);
        QVERIFY(!controller.window()->isVisible());
        QCOMPARE(delegate.calls.size(), 1);
        QCOMPARE(delegate.calls.first().successful, successful);
        QVERIFY(!delegate.calls.first().windowVisible);
        QCOMPARE(VLEmailSubscriber::hasSubscribed(), successful);
        QCOMPARE(VLEmailSubscriber::hasSkippedSubscription(), !successful);
    }

public:
    static void initMain()
    {
        // Chromium runs here headless, possibly as root: no sandbox and no GPU.
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        VLTutorialWindowController::prepareWebEngine();
    }

private slots:
    void initTestCase()
    {
        testMessageHandler = qInstallMessageHandler(quietMessageHandler);
        platform::setApplicationIdentity();
        m_server.setBehaviour([this](int, const LocalHttpServer::Request &request) {
            if (request.path.endsWith("/vaultinesignup"))
                return LocalHttpServer::Reply::answer(m_signUpStatus);
            return LocalHttpServer::Reply::answer(200);
        });
        m_tracker = std::make_unique<TestTracker>(m_dir.filePath(QStringLiteral("tracker.ini")),
                                                  m_server.url(QStringLiteral("/collect")));
        m_tracker->tracker->setEnabled(true);
    }

    void init()
    {
        m_signUpStatus = 200;
        VLEmailSubscriber::setSubscribed(false);
        VLEmailSubscriber::setSkippedSubscription(false);
        m_events = std::make_unique<QSignalSpy>(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent);
        m_clock = std::make_unique<VLManualClock>();
    }

    void cleanup()
    {
        m_clock.reset();
        if (m_refusing)
            m_server.setListening(true);
        m_refusing = false;
        platform::setAppKitVersionNumberForTesting(0);
    }

    void theRealPageLoadsIntoTheWindowAndFadesIn_data()
    {
        QTest::addColumn<double>("appKitVersion");
        QTest::addColumn<bool>("legacy");
        QTest::newRow("current systems") << platform::appKitVersionModern << false;
        QTest::newRow("older systems") << platform::appKitVersionLegacy << true;
    }

    void theRealPageLoadsIntoTheWindowAndFadesIn()
    {
        QFETCH(double, appKitVersion);
        QFETCH(bool, legacy);
        platform::setAppKitVersionNumberForTesting(appKitVersion);
        const int hitsBefore = m_server.requestCount();
        VLTutorialWindowController controller(configuration());
        QCOMPARE(VLTutorialWindowController::windowNibName(), legacy
                                                                  ? QStringLiteral("VLTutorialWindowController-Legacy")
                                                                  : QStringLiteral("VLTutorialWindowController"));
        showAndLoad(controller);
        QCOMPARE(qobject_cast<VLLegacyTutorialWindow *>(controller.window()) != nullptr, legacy);
        QCOMPARE(qobject_cast<VLTutorialWindow *>(controller.window()) != nullptr, !legacy);
        QCOMPARE(controller.webView()->url(), VLTutorialWindowController::tutorialPageURL());
        QCOMPARE(visibleSlide(controller), QStringLiteral("slide-1"));
        QCOMPARE(evaluate(controller, QStringLiteral("document.querySelectorAll('.slide').length")).toInt(), 5);
        // The page sees the four operations and nothing else of the controller.
        QCOMPARE(evaluate(controller, QStringLiteral("Object.keys(window.controller).sort().join(',')")).toString(),
                 QStringLiteral("email_,launch,launchAfterSkip,selectPage_"));
        // No context menu and no drops.
        QCOMPARE(controller.webView()->contextMenuPolicy(), Qt::NoContextMenu);
        QVERIFY(!controller.webView()->acceptDrops());
        QVERIFY(controller.subscriber());
        QVERIFY(controller.webView()->page()->profile()->isOffTheRecord());
        // The screen view of the tutorial went out as a hit.
        QTRY_VERIFY(m_server.requestCount() > hitsBefore);
        bool sawView = false;
        for (const LocalHttpServer::Request &request : m_server.requests())
            sawView |= request.query.contains("t=appview") && request.query.contains("cd=Intro%20Tutorial");
        QVERIFY(sawView);
    }

    void thePageRefusesDroppedFilesInEveryWidget()
    {
        VLTutorialWindowController controller(configuration());
        showAndLoad(controller);
        // The web view draws the page in an inner widget of its own.
        QWidget *inner = controller.webView()->focusProxy();
        QVERIFY(inner);
        QVERIFY(inner != controller.webView());
        QVERIFY(controller.webView()->isAncestorOf(inner));

        const QString path = m_dir.filePath(QStringLiteral("dropped.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a tutorial");
        file.close();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        for (QWidget *target : QList<QWidget *>{inner, controller.webView()}) {
            QVERIFY(!target->acceptDrops());
            const QPoint point = target->rect().center();
            QDragEnterEvent enter(point, actions, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QVERIFY(!enter.isAccepted());
            QDragMoveEvent move(point, actions, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &move);
            QVERIFY(!move.isAccepted());
            QDropEvent drop(point, actions, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            QVERIFY(!drop.isAccepted());
        }
        // The tutorial stays on its page.
        QTest::qWait(300);
        QCOMPARE(controller.webView()->url(), VLTutorialWindowController::tutorialPageURL());
        QCOMPARE(visibleSlide(controller), QStringLiteral("slide-1"));
    }

    void thePageReportsItsSlides()
    {
        VLTutorialWindowController controller(configuration());
        showAndLoad(controller);
        click(controller, QStringLiteral("next"));
        QTRY_COMPARE(controller.currentPage(), 2);
        click(controller, QStringLiteral("next"));
        QTRY_COMPARE(controller.currentPage(), 3);
        QCOMPARE(tutorialEvents(*m_events), QStringList());
        click(controller, QStringLiteral("next"));
        QTRY_COMPARE(controller.currentPage(), 4);
        QCOMPARE(tutorialEvents(*m_events), QStringList{QStringLiteral("Tutorial Complete")});
        click(controller, QStringLiteral("back"));
        QTRY_COMPARE(controller.currentPage(), 3);
        // Straight through the bridge, as the page calls it.
        evaluate(controller, QStringLiteral("controller.selectPage_(4); true"));
        QTRY_COMPARE(tutorialEvents(*m_events).size(), 2);
        QCOMPARE(controller.currentPage(), 4);
        QVERIFY(controller.window()->isVisible());
    }

    void closingBeforeTheSignUpSlidesToIt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << QStringLiteral("escape");
        QTest::newRow("close button") << QStringLiteral("button");
        QTest::newRow("Close item") << QStringLiteral("item");
    }

    void closingBeforeTheSignUpSlidesToIt()
    {
        QFETCH(QString, how);
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        click(controller, QStringLiteral("next"));
        QTRY_COMPARE(controller.currentPage(), 2);
        close(controller, how);
        QTRY_COMPARE(controller.currentPage(), 5);
        QCOMPARE(visibleSlide(controller), QStringLiteral("slide-5"));
        QVERIFY(!controller.isEnding());
        QVERIFY(controller.window()->isVisible());
        m_clock->advance(1.0, 5);
        QVERIFY(delegate.calls.isEmpty());
        QCOMPARE(tutorialEvents(*m_events), QStringList());
    }

    void closingTheSignUpEndsTheTutorial_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("label");
        QTest::newRow("Escape") << QStringLiteral("escape") << QStringLiteral("Skip ESC");
        QTest::newRow("close button") << QStringLiteral("button") << QStringLiteral("Skip X");
        QTest::newRow("Close item") << QStringLiteral("item") << QStringLiteral("Skip X");
    }

    void closingTheSignUpEndsTheTutorial()
    {
        QFETCH(QString, how);
        QFETCH(QString, label);
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        m_events->clear();
        close(controller, how);
        QCOMPARE(tutorialEvents(*m_events),
                 (QStringList{QStringLiteral("Signup/Closed"), QStringLiteral("Close Tutorial/") + label}));
        fadesOutAndFinishes(controller, delegate, false);
        // A second request while it ends changes nothing.
        close(controller, how);
        m_clock->advance(1.0, 5);
        QCOMPARE(delegate.calls.size(), 1);
    }

    void aSignUpEndsTheTutorialAfterAMoment()
    {
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        m_events->clear();
        const int requestsBefore = m_server.requestCount();
        signUp(controller, QStringLiteral("reader+news@example.com"));

        QTRY_COMPARE(signUpStatus(controller).section(u':', 0, 0), QStringLiteral("ok"));
        QVERIFY(VLEmailSubscriber::hasSubscribed());
        bool signedUp = false;
        for (const LocalHttpServer::Request &request : m_server.requests().mid(requestsBefore))
            signedUp |= request.path == "/backend/vaultinesignup"
                        && request.query.contains("email=reader%2Bnews%40example.com");
        QVERIFY(signedUp);
        // The page thanks the user; the tutorial ends by itself a moment later.
        QVERIFY(!controller.isEnding());
        QTRY_VERIFY_WITH_TIMEOUT(controller.isEnding(), 5000);
        QCOMPARE(tutorialEvents(*m_events), QStringList{QStringLiteral("Signup/Opt-In")});
        fadesOutAndFinishes(controller, delegate, true);
    }

    void theLaunchButtonEndsTheTutorialOnce()
    {
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        signUp(controller, QStringLiteral("reader@example.com"));
        QTRY_COMPARE(signUpStatus(controller).section(u':', 0, 0), QStringLiteral("ok"));
        m_events->clear();
        click(controller, QStringLiteral("start"));
        QTRY_VERIFY(controller.isEnding());
        // The sign-up is told as the tutorial ends, before its delayed launch would have told it.
        QCOMPARE(tutorialEvents(*m_events), QStringList{QStringLiteral("Signup/Opt-In")});
        fadesOutAndFinishes(controller, delegate, true);
        // The delayed launch after the sign-up neither ends it a second time nor tells it again.
        QTest::qWait(VLTutorialWindowController::launchAfterSubscribeDelay + 300);
        m_clock->advance(1.0, 5);
        QCOMPARE(delegate.calls.size(), 1);
        QCOMPARE(tutorialEvents(*m_events), QStringList{QStringLiteral("Signup/Opt-In")});
    }

    void aFailedSignUpKeepsTheTutorialOpen_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("500") << 500;
        QTest::newRow("404") << 404;
        QTest::newRow("refused") << 0;
    }

    void aFailedSignUpKeepsTheTutorialOpen()
    {
        QFETCH(int, status);
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        m_events->clear();
        m_signUpStatus = status;
        if (status == 0) {
            m_server.setListening(false);
            m_refusing = true;
        }
        signUp(controller, QStringLiteral("reader@example.com"));
        QTRY_COMPARE_WITH_TIMEOUT(signUpStatus(controller).section(u':', 0, 0), QStringLiteral("error"), 10000);
        QVERIFY(!evaluate(controller, QStringLiteral("document.getElementById('email').disabled")).toBool());
        QTest::qWait(VLTutorialWindowController::launchAfterSubscribeDelay + 300);
        m_clock->advance(1.0, 5);
        QVERIFY(!controller.isEnding());
        QVERIFY(controller.window()->isVisible());
        QCOMPARE(controller.currentPage(), 5);
        QVERIFY(delegate.calls.isEmpty());
        QVERIFY(!VLEmailSubscriber::hasSubscribed());
        QCOMPARE(tutorialEvents(*m_events), QStringList());
    }

    void skippingTheSignUpStoresTheSkip()
    {
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        m_events->clear();
        click(controller, QStringLiteral("skip"));
        QTRY_VERIFY(controller.isEnding());
        QCOMPARE(tutorialEvents(*m_events), QStringList{QStringLiteral("Signup/Skipped")});
        fadesOutAndFinishes(controller, delegate, false);
    }

    void shownAgainItStartsOver()
    {
        RecordingDelegate delegate;
        VLTutorialWindowController controller(configuration());
        controller.setDelegate(&delegate);
        showAndLoad(controller);
        goToSignUp(controller);
        click(controller, QStringLiteral("skip"));
        QTRY_VERIFY(controller.isEnding());
        m_clock->advance(1.0, 5);
        QCOMPARE(delegate.calls.size(), 1);
        QWebEngineView *view = controller.webView();

        // From the menu: the same window and view, back on the first slide.
        showAndLoad(controller);
        QCOMPARE(controller.webView(), view);
        QVERIFY(controller.window()->isVisible());
        QVERIFY(!controller.isEnding());
        QCOMPARE(controller.currentPage(), 1);
        QCOMPARE(visibleSlide(controller), QStringLiteral("slide-1"));
        goToSignUp(controller);
        close(controller, QStringLiteral("escape"));
        QVERIFY(controller.isEnding());
        m_clock->advance(1.0, 5);
        QCOMPARE(delegate.calls.size(), 2);
    }

private:
    void close(VLTutorialWindowController &controller, const QString &how)
    {
        QWidget *window = controller.window();
        if (how == u"escape") {
            // Typed while the page has the keyboard.
            QWidget *target = controller.webView()->focusProxy() ? controller.webView()->focusProxy() : window;
            QTest::keyClick(target, Qt::Key_Escape);
        } else if (how == u"button") {
            QVERIFY(!window->close()); // the window stays; the controller decides
        } else {
            auto *modern = qobject_cast<VLTutorialWindow *>(window);
            auto *legacy = qobject_cast<VLLegacyTutorialWindow *>(window);
            QAction *item = modern ? modern->closeAction() : legacy->closeAction();
            QVERIFY(modern ? modern->validateMenuItem(item) : legacy->validateMenuItem(item));
            item->trigger();
        }
    }
};

QTEST_MAIN(TestVLTutorialWindow)
#include "tst_vltutorialwindow.moc"
