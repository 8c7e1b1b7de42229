#include "companion/VLTutorialWindowController.h"

#include "companion/SWAnalyticsTracker.h"
#include "companion/VLTutorialScriptBridge.h"
#include "companion/VLTutorialWindow.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/core/Log.h"
#include "platform/core/SystemInfo.h"
#include "platform/view/VLNibName.h"
#include "platform/view/ViewFrame.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QString category = QStringLiteral("Tutorial");
const QString fadeOutKey = QStringLiteral("VLTutorialFadeOut");
const QString fadeInKey = QStringLiteral("VLTutorialFadeIn");
const QString bridgeScriptName = QStringLiteral("VLTutorialControllerBridge");
constexpr QSize windowContentSize(640, 480);

QString readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        platform::log(QStringLiteral("[Tutorial]: missing resource %1").arg(path));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// Refuses dropped files in a widget and in every widget that later appears inside it: the web
// view draws its page in an inner widget of its own (replaced when the page's process restarts),
// which would otherwise take a dropped file and open it in place of the tutorial.
class DropRefuser final : public QObject
{
public:
    explicit DropRefuser(QWidget *root) : QObject(root) { refuse(root); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        Q_UNUSED(watched)
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        case QEvent::ChildAdded:
        case QEvent::ChildPolished:
            // Again once polished: a new widget may switch drops on in its constructor.
            if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
                refuse(child);
            return false;
        default:
            return false;
        }
    }

private:
    void refuse(QWidget *widget)
    {
        widget->setAcceptDrops(false);
        widget->installEventFilter(this);
        for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            refuse(child);
    }
};

VLAnimatablePropertyPtr windowAlphaProperty()
{
    static const VLAnimatablePropertyPtr property = VLAnimatableProperty::qtProperty(
        QStringLiteral("window.alphaValue"), "windowOpacity", 0.01);
    return property;
}

// The two interface files of the window, registered once.
void registerInterfaceFiles(const platform::InterfaceFileSetup &setup)
{
    static const bool registered = [&setup] {
        const QString name = QString::fromLatin1(VLTutorialWindowController::staticMetaObject.className());
        platform::registerInterfaceFile(name, setup);
        platform::registerInterfaceFile(name + QStringLiteral("-Legacy"), setup);
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

void VLTutorialWindowController::prepareWebEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine refuses to start its sandbox for the superuser (as in many containers) and
    // would end the application with the tutorial. The page is our own resource: there it runs
    // without the sandbox rather than not at all.
    if (platform::runsAsSuperuser() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QUrl VLTutorialWindowController::tutorialPageURL()
{
    return QUrl(QStringLiteral("qrc:/Tutorial/welcome_tutorial.html"));
}

VLTutorialWindowController::VLTutorialWindowController() : VLTutorialWindowController(Configuration{})
{
}

VLTutorialWindowController::VLTutorialWindowController(Configuration configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
{
    registerInterfaceFiles(&VLTutorialWindowController::setUpInterface);
    m_launchTimer = new QTimer(this);
    m_launchTimer->setSingleShot(true);
    m_launchTimer->setInterval(launchAfterSubscribeDelay);
    connect(m_launchTimer, &QTimer::timeout, this, &VLTutorialWindowController::launchAfterSubscribe);
    // The web view must go while the application object still exists.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { m_window.reset(); });
}

VLTutorialWindowController::~VLTutorialWindowController()
{
    if (m_window)
        VLAnimator::removeAllAnimations(m_window.get());
    m_window.reset();
}

QString VLTutorialWindowController::windowNibName()
{
    return VLNibNameForClass(staticMetaObject);
}

SWAnalyticsTracker &VLTutorialWindowController::tracker() const
{
    return m_configuration.tracker ? *m_configuration.tracker : SWAnalyticsTracker::defaultTracker();
}

std::shared_ptr<VLEmailSubscriber> VLTutorialWindowController::subscriber() const
{
    const QMutexLocker locker(&m_subscriberLock);
    return m_subscriber;
}

void VLTutorialWindowController::setSubscriber(std::shared_ptr<VLEmailSubscriber> subscriber)
{
    const QMutexLocker locker(&m_subscriberLock);
    m_subscriber = std::move(subscriber);
}

void VLTutorialWindowController::setCurrentPage(int page)
{
    if (m_currentPage == page)
        return;
    m_currentPage = page;
    emit currentPageChanged(page);
}

QWebEngineView *VLTutorialWindowController::webView() const
{
    return m_webView;
}

QWidget *VLTutorialWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

// The interface file: the web view filling the window's content.
void VLTutorialWindowController::setUpInterface(QWidget *view, QObject *owner)
{
    auto *controller = qobject_cast<VLTutorialWindowController *>(owner);
    auto *webView = new QWebEngineView(view);
    webView->setObjectName(QStringLiteral("webView"));
    if (controller) {
        // A profile kept in memory: the tutorial leaves no cache or storage behind. The page
        // goes with the view, before the profile goes with the controller.
        if (!controller->m_profile)
            controller->m_profile = new QWebEngineProfile(controller);
        webView->setPage(new QWebEnginePage(controller->m_profile, webView));
    }
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(webView);
    view->setFixedSize(windowContentSize);
    if (controller)
        controller->m_webView = webView;
}

void VLTutorialWindowController::loadWindow()
{
    const QString nibName = windowNibName();
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("tutorialContent"));
    if (const platform::InterfaceFileSetup setup = platform::interfaceFileSetup(nibName))
        setup(content, this);
    if (nibName.endsWith(QStringLiteral("-Legacy"))) {
        auto *legacy = new VLLegacyTutorialWindow;
        legacy->setNextResponder(this);
        legacy->setContentView(content);
        m_window.reset(legacy);
    } else {
        auto *modern = new VLTutorialWindow;
        modern->setNextResponder(this);
        modern->setCentralWidget(content);
        m_window.reset(modern);
    }
    m_window->setObjectName(QStringLiteral("tutorialWindow"));
    m_window->setWindowTitle(tr("Welcome to Vaultine"));
    m_window->setFixedSize(windowContentSize);
    // Escape reaches the controller also while the page has the keyboard: the web view would
    // otherwise take it.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window.get());
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        keyDown(&event);
    });
    awakeFromNib();
    windowDidLoad();
}

void VLTutorialWindowController::addApplicationMenu(QMenu *menu)
{
    QWidget *shown = window();
    auto *modern = qobject_cast<VLTutorialWindow *>(shown);
    if (!modern) {
        // The legacy window's drawn chrome has no room for a bar: it takes the shortcuts.
        shown->addActions(menu->actions());
        return;
    }
    modern->menuBar()->addMenu(menu);
    // The page keeps its size below the bar.
    shown->setFixedSize(windowContentSize + QSize(0, modern->menuBar()->sizeHint().height()));
}

void VLTutorialWindowController::awakeFromNib()
{
    m_window->setWindowOpacity(0.0);
}

void VLTutorialWindowController::windowDidLoad()
{
    tracker().trackView(QStringLiteral("Intro Tutorial"));
    setSubscriber(std::make_shared<VLEmailSubscriber>(m_configuration.signUpBackend, m_configuration.environment));
    setCurrentPage(1);

    QWebEngineView *view = m_webView;
    if (!view)
        return;
    // The page is a fixed set of slides: no menu, no drops, no scrolling, no selection.
    view->setContextMenuPolicy(Qt::NoContextMenu);
    new DropRefuser(view);
    QWebEnginePage *page = view->page();
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    connect(view, &QWebEngineView::loadFinished, this, &VLTutorialWindowController::webViewDidFinishLoad);
    connect(page, &QWebEnginePage::selectionChanged, this, &VLTutorialWindowController::selectionDidChange);
    installScriptBridge();
    view->load(tutorialPageURL());
}

// The page's window object gets "controller" at the creation of every document, before the
// page's own scripts run, so reloading the page keeps its bridge.
void VLTutorialWindowController::installScriptBridge()
{
    m_bridge = new VLTutorialScriptBridge(this);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("controller"), m_bridge);
    QWebEnginePage *page = m_webView->page();
    page->setWebChannel(m_channel);

    QWebEngineScript script;
    script.setName(bridgeScriptName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(readResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + u'\n'
                         + readResource(QStringLiteral(":/Tutorial/controller_bridge.js")));
    page->scripts().insert(script);
}

void VLTutorialWindowController::webViewDidFinishLoad(bool ok)
{
    if (!ok)
        platform::log(QStringLiteral("[Tutorial]: the tutorial page did not load."));
    // An ending already under way (the tutorial left before its page was ready) keeps its fade
    // out: fading in now would cancel it, and the main window would never show.
    if (m_ending)
        return;
    // Shown either way, so that it can still be closed.
    vlCenterWindow(m_window.get());
    animateWindowAlpha(1.0, {});
}

void VLTutorialWindowController::selectionDidChange()
{
    // The selection never changes, except inside the e-mail field.
    evaluateScript(QStringLiteral("(function () { var e = document.activeElement;"
                                  " if (!e || e.tagName !== 'INPUT') window.getSelection().removeAllRanges(); })();"));
}

void VLTutorialWindowController::evaluateScript(const QString &script)
{
    if (m_webView)
        m_webView->page()->runJavaScript(script);
}

void VLTutorialWindowController::showWindow()
{
    const bool reloading = isWindowLoaded();
    QWidget *shown = window();
    if (reloading) {
        sendPendingOptIn();
        m_ending = false;
        VLAnimator::removeAnimationForKey(shown, fadeOutKey);
        setCurrentPage(1);
        shown->setWindowOpacity(0.0);
        if (m_webView)
            m_webView->reload();
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void VLTutorialWindowController::keyDown(QKeyEvent *event)
{
    if (event && event->key() == Qt::Key_Escape) {
        event->accept();
        performClose(this);
        return;
    }
    if (event)
        event->ignore();
}

void VLTutorialWindowController::performClose(QObject *sender)
{
    if (m_currentPage == signUpPage) {
        tracker().trackEvent(category, QStringLiteral("Signup"), QStringLiteral("Closed"), 1);
        tracker().trackEvent(category, QStringLiteral("Close Tutorial"),
                             sender == this ? QStringLiteral("Skip ESC") : QStringLiteral("Skip X"), 1);
        launch();
    } else {
        slideToPage(signUpPage);
    }
}

void VLTutorialWindowController::slideToPage(int page)
{
    evaluateScript(QStringLiteral("__gotopage(%1)").arg(page));
}

void VLTutorialWindowController::selectPage(int page)
{
    if (page == completingPage)
        tracker().trackEvent(category, QStringLiteral("Tutorial Complete"), QString(), 1);
    setCurrentPage(page);
}

void VLTutorialWindowController::email(const QString &address)
{
    const std::shared_ptr<VLEmailSubscriber> service = subscriber();
    if (!service)
        return;
    QPointer<VLTutorialWindowController> weakSelf(this);
    service->subscribeMailWithCompletion(address, [weakSelf](bool success, const VLError &error) {
        VLTutorialWindowController *controller = weakSelf;
        if (!controller)
            return;
        if (success) {
            controller->evaluateScript(QStringLiteral("subscribeHandler('ok')"));
            controller->m_launchTimer->start();
            VLEmailSubscriber::setSubscribed(true);
        } else {
            platform::log(QStringLiteral("[Tutorial]: sign-up failed: %1").arg(error.description()));
            controller->evaluateScript(QStringLiteral("subscribeHandler('error')"));
        }
    });
}

void VLTutorialWindowController::launchAfterSubscribe()
{
    tracker().trackEvent(category, QStringLiteral("Signup"), QStringLiteral("Opt-In"), 1);
    launch();
}

void VLTutorialWindowController::sendPendingOptIn()
{
    // Every successful sign-up is told once, also when the user moves on before the delayed
    // launch would tell it.
    if (!m_launchTimer->isActive())
        return;
    m_launchTimer->stop();
    tracker().trackEvent(category, QStringLiteral("Signup"), QStringLiteral("Opt-In"), 1);
}

void VLTutorialWindowController::launchAfterSkip()
{
    tracker().trackEvent(category, QStringLiteral("Signup"), QStringLiteral("Skipped"), 1);
    launch();
}

void VLTutorialWindowController::launch()
{
    // One ending per showing: a second request (the page's button during the delayed launch
    // after a sign-up, Escape during the fade) would tell the delegate twice.
    sendPendingOptIn();
    if (m_ending || !m_window)
        return;
    m_ending = true;
    animateWindowAlpha(0.0, [this] { tutorialDidFadeOut(); });
}

void VLTutorialWindowController::animateWindowAlpha(double alpha, std::function<void()> completion)
{
    auto animation = VLBasicAnimation::animationWithProperty(windowAlphaProperty());
    animation->setToValue(alpha);
    animation->setDuration(fadeDuration);
    QPointer<VLTutorialWindowController> weakSelf(this);
    animation->setCompletionBlock([weakSelf, completion = std::move(completion)](VLAnimation *, bool finished) {
        if (weakSelf && finished && completion)
            completion();
    });
    VLAnimator::removeAnimationForKey(m_window.get(), alpha > 0.0 ? fadeOutKey : fadeInKey);
    VLAnimator::addAnimationForKey(m_window.get(), animation, alpha > 0.0 ? fadeInKey : fadeOutKey);
}

void VLTutorialWindowController::tutorialDidFadeOut()
{
    // Hidden, not closed: a close request is the user's way to reach the controller.
    m_window->hide();
    const bool subscribed = VLEmailSubscriber::hasSubscribed();
    if (!subscribed)
        VLEmailSubscriber::setSkippedSubscription(true);
    if (m_delegate)
        m_delegate->tutorialControllerDidFinishSuccessful(this, subscribed);
}
