#include "app/VLAppDelegate.h"

#include "app/VLPreferencesWindowController.h"
#include "app/VLServiceProvider.h"
#include "companion/NBGDPRWindowController.h"
#include "companion/SWAnalyticsTracker.h"
#include "companion/SWAnalyticsWindowController.h"
#include "companion/SWLinkBuilder.h"
#include "companion/VLAboutWindowController.h"
#include "companion/VLEmailSubscriber.h"
#include "companion/VLRatingPrompter.h"
#include "controls/VLAnalyticsApprovalPanel.h"
#include "windowing/windows/VLContentWindowController.h"
#include "windowing/windows/VLLegacyWindow.h"
#include "windowing/windows/VLTerminatorProxy.h"
#include "windowing/windows/VLWindow.h"

#include "engine/access/VLDriveAccessController.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/core/SystemInfo.h"
#include "platform/files/FileOperations.h"
#include "platform/settings/Defaults.h"
#include "platform/view/WindowActivation.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdio>

namespace {

VLAppDelegate *&sharedDelegate()
{
    static VLAppDelegate *delegate = nullptr;
    return delegate;
}

// The argument list as the platform prints an array: one quoted entry per line.
QString describeArguments(const QStringList &arguments)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_]+$"));
    QString text = QStringLiteral("(");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString entry = arguments.at(i);
        if (!bare.match(entry).hasMatch()) {
            entry.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
            entry = u'"' + entry + u'"';
        }
        text += QStringLiteral("\n    ") + entry + (i + 1 < arguments.size() ? QStringLiteral(",") : QString());
    }
    return text + QStringLiteral("\n)");
}

void centerWindow(QWidget *window)
{
    if (QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace

VLAppDelegate::VLAppDelegate(QObject *parent) : VLAppDelegate(Configuration{}, parent)
{
}

VLAppDelegate::VLAppDelegate(Configuration configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_servicesProvider(std::make_unique<VLServiceProvider>())
{
    if (!m_configuration.tutorial.tracker)
        m_configuration.tutorial.tracker = m_configuration.tracker;
    sharedDelegate() = this;
}

VLAppDelegate::~VLAppDelegate()
{
    // The proxy outlives the delegate; its hook must not call into a delegate that is gone.
    if (m_launched)
        VLTerminatorProxy::sharedInstance()->setPreTerminationHook({});
    if (m_tutorialController)
        m_tutorialController->setDelegate(nullptr);
    if (m_dropWindowController)
        m_dropWindowController->setAppStoreReviewPrompt({});
    ratingPrompter().setMainWindowProvider({});
    delete m_analyticsSheet;
    if (sharedDelegate() == this)
        sharedDelegate() = nullptr;
}

SWAnalyticsTracker &VLAppDelegate::tracker() const
{
    return m_configuration.tracker ? *m_configuration.tracker : SWAnalyticsTracker::defaultTracker();
}

VLRatingPrompter &VLAppDelegate::ratingPrompter() const
{
    return m_configuration.ratingPrompter ? *m_configuration.ratingPrompter : VLRatingPrompter::sharedInstance();
}

QUrl VLAppDelegate::privacyPolicyURL()
{
    return QUrl(QStringLiteral("http://tds.nimbrel.com/index.php?4&action=privacypolicy"));
}

QUrl VLAppDelegate::termsOfServiceURL()
{
    return QUrl(QStringLiteral("http://tds.nimbrel.com/index.php?4&action=termsofuse"));
}

VLAppDelegate *VLAppDelegate::instance()
{
    return sharedDelegate();
}

QUrl VLAppDelegate::logFileURL()
{
    return QUrl::fromLocalFile(platform::libraryPath() + QStringLiteral("/Logs/vaultine.log"));
}

QString VLAppDelegate::fullVersion()
{
    return QString::fromLatin1(platform::bundle::buildVersion);
}

bool VLAppDelegate::setupLogSystem(const QStringList &arguments)
{
    if (platform::libraryFolder(QStringLiteral("Logs")).isEmpty())
        return false;
    const QString logPath = logFileURL().toLocalFile();
    // Create the file private to the user before the streams open it, and keep it so when an
    // older file was laxer.
    if (platform::makeOwnerOnlyFile(logPath) != 0)
        return false;
    const QByteArray path = QFile::encodeName(logPath);

    if (!std::freopen(path.constData(), "a+", stderr))
        return false;
    if (!std::freopen(path.constData(), "a+", stdout))
        return false;
    std::puts("\n");
    std::fflush(stdout);

    platform::log(QString(62, u'='));
    platform::log(
        QStringLiteral("Vaultine v. %1 started with arguments %2").arg(fullVersion(), describeArguments(arguments)));
    return true;
}

QString VLAppDelegate::addItemsAnalyticsLabel(const QStringList &paths)
{
    if (paths.size() < 2 && !paths.isEmpty()) {
        const QString &first = paths.first();
        const QFileInfo info(first);
        if (info.suffix() == u"vault")
            return QStringLiteral("Decrypt – Icon Drag");
        if (info.isDir())
            return QStringLiteral("Folder – Icon Drag");
    }
    return QStringLiteral("Files – Icon Drag");
}

// Launch

void VLAppDelegate::applicationDidFinishLaunching()
{
    if (m_launching || m_launched)
        return;
    m_launching = true;
    if (!askForAcceptanceIfNeeded()) {
        // The user quit the consent window. Exiting again covers a call made outside the main
        // loop, whose later start would otherwise not see the first request.
        platform::log(QStringLiteral("[Launch]: the privacy policy was not accepted; quitting."));
        m_launching = false;
        QCoreApplication::exit(0);
        return;
    }
    initializeRatingPrompter();
    // There is no recent-documents list to clear here: the application keeps none. The log was
    // opened by the program before anything else could write to it.

    m_issuesReporter = std::make_unique<VLIssuesReporter>(m_configuration.crashReportDSN, m_configuration.crashReports);
    m_issuesReporter->enableReporter();

    VLTerminatorProxy::sharedInstance()->setPreTerminationHook([this] { return preTerminationHook(); });
    // Closing the last window quits through the same path as the menu. (The main window never
    // closes itself; this is for a run whose last window is another one.)
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        connect(app, &QGuiApplication::lastWindowClosed, this,
                [] { VLTerminatorProxy::sharedInstance()->terminate(); });
    }

    // Work folders left by an earlier run that ended abruptly still hold plaintext.
    VLTempCleaner::sharedInstance().clean();
    // The Services hand-over arrives through the single-instance channel as its own kind of
    // message (handOverFromAnotherLaunch), which deliverFiles gives to the Services provider.

    m_dropWindowController = std::make_unique<VLContentWindowController>();
    m_dropWindowController->setAppStoreReviewPrompt([this] { ratingPrompter().promptIfAllCriteriaMet(); });
    ratingPrompter().setMainWindowProvider([this]() -> QWidget * {
        return m_dropWindowController && m_dropWindowController->isWindowLoaded() ? m_dropWindowController->window()
                                                                                  : nullptr;
    });
    buildMenus();

    const bool newsletterDecided = VLEmailSubscriber::hasSubscribed() || VLEmailSubscriber::hasSkippedSubscription();
    if (newsletterDecided || !m_queuedFiles.isEmpty())
        showMainWindow();
    if (!m_queuedFiles.isEmpty()) {
        m_dropWindowController->processAddedFiles(m_queuedFiles);
        m_queuedFiles.clear();
    }
    if (!newsletterDecided)
        showTutorial();
    if (!QGuiApplication::focusWindow()) {
        QWidget *front = m_tutorialController && m_tutorialController->isWindowLoaded()
                             ? m_tutorialController->window()
                             : (m_dropWindowController->isWindowLoaded() ? m_dropWindowController->window() : nullptr);
        if (front)
            front->activateWindow();
    }

    trackLaunch();
    if (platform::Defaults::standard().boolValue(showDebugMenuKey))
        addDebugMenu();
    m_launching = false;
    m_launched = true;
    platform::log(QStringLiteral("[Launch]: finished launching"));
}

bool VLAppDelegate::askForAcceptanceIfNeeded()
{
    platform::Defaults &defaults = platform::Defaults::standard();
    defaults.registerDefaults({{privacyPolicyAcceptedKey, false}});
    if (defaults.boolValue(privacyPolicyAcceptedKey))
        return true;

    m_gdprWindowController = std::make_unique<NBGDPRWindowController>(privacyPolicyURL(), termsOfServiceURL());
    // The window runs modally: nothing else of the application exists yet, and the launch goes
    // on only once the user accepted. Quit (or closing the window) exits the application, which
    // ends this loop too.
    QEventLoop modal;
    QPointer<QEventLoop> loop(&modal);
    auto accepted = std::make_shared<bool>(false);
    m_gdprWindowController->setAcceptHandler([loop, accepted] {
        *accepted = true;
        platform::Defaults::standard().setValue(privacyPolicyAcceptedKey, true);
        if (loop)
            loop->quit();
    });
    m_gdprWindowController->showWindow();
    platform::log(QStringLiteral("[Launch]: showing the consent window"));
    if (!*accepted)
        modal.exec();
    return *accepted;
}

void VLAppDelegate::initializeRatingPrompter()
{
    VLRatingPrompter &prompter = ratingPrompter();
    prompter.setOnlyPromptIfMainWindowIsAvailable(true);
    prompter.setRemindPeriod(2.0);
    prompter.setDaysUntilPrompt(0.0);
    prompter.setUsesUntilPrompt(2);
    prompter.setPromptAtLaunch(false);
    prompter.setAppStoreID(appStoreID);
    prompter.applicationLaunched();
}

void VLAppDelegate::showMainWindow()
{
    platform::log(QStringLiteral("[Launch]: showing the main window"));
    m_dropWindowController->showWindow();
}

void VLAppDelegate::trackLaunch()
{
    SWAnalyticsTracker &analytics = tracker();
    analytics.applicationDidFinishLaunching();
    analytics.trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
    if (platform::Defaults::standard().integerValue(launchCountKey) < 2) {
        analytics.trackEvent(QStringLiteral("Statistics"), QStringLiteral("First Launch"));
        const platform::SystemVersion version = platform::systemVersion();
        analytics.trackEvent(QStringLiteral("Statistics"), QStringLiteral("OS"),
                             QStringLiteral("%1.%2").arg(version.major).arg(version.minor));
    }
}

// Menus

QMenuBar *VLAppDelegate::menuBar() const
{
    VLWindow *window = m_dropWindowController->window();
    // The drawn chrome of the legacy window has no room for a menu bar.
    return qobject_cast<VLLegacyWindow *>(window) ? nullptr : window->menuBar();
}

void VLAppDelegate::buildMenus()
{
    VLWindow *window = m_dropWindowController->window();
    const auto addMenu = [this, window](const QString &title, const QString &name) {
        auto *menu = new QMenu(title, window);
        menu->setObjectName(name);
        menu->setPalette(window->palette()); // a popup does not take its window's dark palette
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            for (QAction *action : menu->actions())
                if (!action->isSeparator() && !action->menu())
                    action->setEnabled(validateMenuItem(action));
        });
        m_menus << menu;
        if (QMenuBar *bar = menuBar())
            bar->addMenu(menu);
        offerMenu(menu);
        return menu;
    };
    const auto addItem = [this, window](QMenu *menu, const QString &title, const QString &name,
                                        const std::function<void(QAction *)> &slot) {
        QAction *action = menu->addAction(title);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [slot, action] { slot(action); });
        if (!menuBar())
            window->addAction(action); // the legacy window takes the shortcuts itself
        return action;
    };

    QMenu *appMenu = addMenu(tr("&Vaultine"), QStringLiteral("applicationMenu"));
    addItem(appMenu, tr("About Vaultine"), QStringLiteral("aboutAction"), [this](QAction *) {
        showAboutWindow();
    })->setMenuRole(QAction::AboutRole);
    QAction *preferences = addItem(appMenu, tr("Preferences…"), QStringLiteral("preferencesAction"),
                                   [this](QAction *) { showPreferences(); });
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction *analytics = addItem(appMenu, tr("Share Anonymous Usage Statistics"), QStringLiteral("analyticsAction"),
                                 [this](QAction *item) { toggleAnalytics(item); });
    analytics->setCheckable(true);
    connect(appMenu, &QMenu::aboutToShow, analytics,
            [this, analytics] { analytics->setChecked(tracker().isEnabled()); });
    appMenu->addSeparator();
    QAction *quit = addItem(appMenu, tr("&Quit Vaultine"), QStringLiteral("quitAction"),
                            [](QAction *) { VLTerminatorProxy::sharedInstance()->terminate(); });
    // Platforms without a standard quit key (the headless one) still get Ctrl+Q.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty())
        quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit->setShortcuts(quitKeys);
    quit->setMenuRole(QAction::QuitRole);

    QMenu *helpMenu = addMenu(tr("&Help"), QStringLiteral("helpMenu"));
    addItem(helpMenu, tr("Show Tutorial"), QStringLiteral("tutorialAction"), [this](QAction *item) {
        if (validateMenuItem(item))
            showTutorialFromMenu();
    });
    helpMenu->addSeparator();
    addItem(helpMenu, tr("Frequently Asked Questions"), QStringLiteral("faqAction"), [this](QAction *) { showFaq(); });
    addItem(helpMenu, tr("Suggest a Feature…"), QStringLiteral("suggestFeatureAction"),
            [this](QAction *) { suggestFeature(); });
    addItem(helpMenu, tr("Send Feedback…"), QStringLiteral("feedbackAction"), [this](QAction *) { showFeedback(); });
    addItem(helpMenu, tr("Contact Support…"), QStringLiteral("supportAction"), [this](QAction *) { contactSupport(); });
    helpMenu->addSeparator();
    addItem(helpMenu, tr("Rate Vaultine…"), QStringLiteral("rateAction"), [this](QAction *) { rateOnMacAppStore(); });
}

void VLAppDelegate::addDebugMenu()
{
    SWAnalyticsWindowController *debugWindow = SWAnalyticsWindowController::instance();
    VLWindow *window = m_dropWindowController->window();
    auto *debug = new QMenu(QStringLiteral("Debug"), window);
    debug->setObjectName(QStringLiteral("debugMenu"));
    debug->setPalette(window->palette());
    QAction *analytics = debug->addAction(QStringLiteral("Analytics"));
    analytics->setObjectName(QStringLiteral("debugAnalyticsAction"));
    // The window controller exists only when the default was set as the application started.
    if (debugWindow)
        connect(analytics, &QAction::triggered, debugWindow, &SWAnalyticsWindowController::showWindow);
    m_menus << debug;
    if (QMenuBar *bar = menuBar())
        bar->addMenu(debug)->setObjectName(QStringLiteral("debugMenuItem"));
    else
        window->addAction(analytics);
    offerMenu(debug);
    if (debugWindow)
        offerMenusIn(debugWindow->window());
    platform::log(QStringLiteral("[Launch]: added the Debug menu"));
}

// A desktop's global menu bar would serve every window of the application; here each window
// carries the menus itself. Its shortcuts work in every such window, and the tutorial (alone on
// the screen at first launch) shows the menus in a bar of its own.
void VLAppDelegate::offerMenusIn(QWidget *window)
{
    if (!window || m_menuWindows.contains(window))
        return;
    m_menuWindows << window;
    for (QMenu *menu : std::as_const(m_menus))
        offerMenuIn(menu, window);
}

void VLAppDelegate::offerMenu(QMenu *menu)
{
    m_menuWindows.removeAll(nullptr);
    for (const QPointer<QWidget> &window : std::as_const(m_menuWindows))
        offerMenuIn(menu, window);
}

void VLAppDelegate::offerMenuIn(QMenu *menu, QWidget *window)
{
    if (m_tutorialController && m_tutorialController->isWindowLoaded() && window == m_tutorialController->window()) {
        m_tutorialController->addApplicationMenu(menu);
        return;
    }
    window->addActions(menu->actions());
}

bool VLAppDelegate::validateMenuItem(const QAction *item) const
{
    if (!item)
        return false;
    if (item->objectName() == u"tutorialAction")
        return !(m_tutorialController && m_tutorialController->isWindowLoaded()
                 && m_tutorialController->window()->isVisible());
    return true;
}

// Files

void VLAppDelegate::applicationOpenFiles(const QStringList &paths)
{
    tracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Add Items"), addItemsAnalyticsLabel(paths));
    processFiles(paths);
}

void VLAppDelegate::handleFinderServiceFiles(const QStringList &paths)
{
    processFiles(paths);
}

void VLAppDelegate::deliverFiles(VLInstanceChannel::Kind kind, const QStringList &paths)
{
    if (kind == VLInstanceChannel::Kind::ServiceFiles) {
        QMimeData pasteboard;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        pasteboard.setUrls(urls);
        QString error;
        m_servicesProvider->encryptFilesUserDataError(pasteboard, QString(), &error);
        if (!error.isEmpty())
            platform::log(QStringLiteral("[Launch]: ") + error);
    } else {
        applicationOpenFiles(paths);
    }
}

void VLAppDelegate::handOverFromAnotherLaunch(VLInstanceChannel::Kind kind, const QStringList &paths,
                                              const QString &activationToken)
{
    // A plain second launch only brings the running window forward.
    if (!paths.isEmpty()) {
        platform::log(QStringLiteral("[Launch]: %1 from another launch: %2")
                          .arg(kind == VLInstanceChannel::Kind::ServiceFiles ? QStringLiteral("service files")
                                                                             : QStringLiteral("files"),
                               paths.join(QStringLiteral(", "))));
        deliverFiles(kind, paths);
    }
    QWidget *front = nullptr;
    if (m_dropWindowController) {
        VLWindow *window = m_dropWindowController->window();
        if (!window->isVisible())
            showMainWindow();
        front = window;
    } else if (m_gdprWindowController && m_gdprWindowController->isWindowLoaded()) {
        front = m_gdprWindowController->window(); // still waiting for the consent
    }
    if (front)
        platform::activateWindowWithToken(front, activationToken);
}

void VLAppDelegate::processFiles(const QStringList &paths)
{
    if (m_dropWindowController)
        m_dropWindowController->processAddedFiles(paths);
    else
        m_queuedFiles = paths;
}

// Tutorial

void VLAppDelegate::showTutorial()
{
    if (!m_tutorialController) {
        m_tutorialController = std::make_unique<VLTutorialWindowController>(m_configuration.tutorial);
        m_tutorialController->setDelegate(this);
    }
    QWidget *window = m_tutorialController->window();
    offerMenusIn(window);
    if (!window->isVisible()) {
        centerWindow(window);
        platform::log(QStringLiteral("[Launch]: showing the tutorial"));
        m_tutorialController->showWindow();
    }
    window->raise();
    window->activateWindow();
}

void VLAppDelegate::showTutorialFromMenu()
{
    tracker().trackEvent(QStringLiteral("Tutorial"), QStringLiteral("Tutorial Shown from Menu"));
    showTutorial();
}

void VLAppDelegate::tutorialControllerDidFinishSuccessful(VLTutorialWindowController *controller, bool successful)
{
    Q_UNUSED(controller);
    Q_UNUSED(successful);
    if (!m_dropWindowController)
        return;
    if (!(m_dropWindowController->isWindowLoaded() && m_dropWindowController->window()->isVisible()))
        showMainWindow();
}

// Other menu actions

void VLAppDelegate::showPreferences()
{
    if (!m_preferencesController)
        m_preferencesController = std::make_unique<VLPreferencesWindowController>(
            tracker(), [this](QObject *sender) { toggleAnalytics(sender); });
    QWidget *window = m_preferencesController->window();
    offerMenusIn(window);
    if (!window->isVisible()) {
        centerWindow(window);
    }
    m_preferencesController->showWindow();
    tracker().trackView(QStringLiteral("Preferences"));
}

void VLAppDelegate::showAboutWindow()
{
    if (!m_aboutWindowController) {
        VLAboutWindowController::Configuration configuration;
        configuration.tracker = m_configuration.tracker;
        m_aboutWindowController = std::make_unique<VLAboutWindowController>(configuration);
    }
    QWidget *window = m_aboutWindowController->window();
    offerMenusIn(window);
    if (!window->isVisible()) {
        centerWindow(window);
        m_aboutWindowController->showWindow();
    }
    window->raise();
    window->activateWindow();
    tracker().trackView(QStringLiteral("About"));
}

void VLAppDelegate::toggleAnalytics(QObject *sender)
{
    if (auto *button = qobject_cast<QAbstractButton *>(sender))
        tracker().setEnabled(button->isChecked());
    else
        tracker().setEnabled(!tracker().isEnabled());
}

void VLAppDelegate::openLink(const QString &action)
{
    const QUrl url = SWLinkBuilder::standartTdsURLWithAction(action);
    if (!QDesktopServices::openUrl(url))
        platform::log(QStringLiteral("[Launch]: could not open %1").arg(url.toString()));
}

void VLAppDelegate::showFaq()
{
    openLink(QStringLiteral("faq"));
}

void VLAppDelegate::suggestFeature()
{
    openLink(QStringLiteral("suggestfeature"));
}

void VLAppDelegate::showFeedback()
{
    openLink(QStringLiteral("feedback"));
}

void VLAppDelegate::contactSupport()
{
    openLink(QStringLiteral("support"));
}

void VLAppDelegate::rateOnMacAppStore()
{
    ratingPrompter().openRatingsPageInAppStore();
    ratingPrompter().setRatedThisVersion(true);
}

// Quitting

bool VLAppDelegate::preTerminationHook()
{
    tracker().trackSynchronouslyEvent(QStringLiteral("Statistics"), QStringLiteral("App Quit"));
    // Screens that own a running job have cancelled and waited for it before letting the quit
    // through, so the work folders can be emptied now without pulling files from under a worker.
    platform::log(QStringLiteral("[Terminator]: cleaning temp folder..."));
    VLTempCleaner::sharedInstance().sync_clean();
    platform::log(QStringLiteral("[Terminator]: cleaning temp folder finished."));
    VLDriveAccessController::sharedInstance().stopAccess();
    if (tracker().hasDecided())
        return true;

    // Asked once: "off" is stored now, and the question may turn it on.
    tracker().setEnabled(false);
    showAnalyticsSheet();
    return false;
}

void VLAppDelegate::showAnalyticsSheet()
{
    auto *panel = new VLAnalyticsApprovalPanel;
    m_analyticsSheet = panel;
    panel->setObjectName(QStringLiteral("analyticsSheet"));
    panel->setWindowTitle(QStringLiteral("Vaultine"));
    panel->setPalette(m_dropWindowController && m_dropWindowController->isWindowLoaded()
                          ? m_dropWindowController->window()->palette()
                          : panel->palette());
    auto *iconView = new QLabel(panel);
    iconView->setObjectName(QStringLiteral("iconView"));
    iconView->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    auto *title = new QLabel(tr("Help us improve Vaultine"), panel);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *message = new QLabel(tr("Vaultine can send anonymous usage statistics to its makers. They never contain "
                                  "file names, passwords or the content of your files. You can change your mind at "
                                  "any time in Preferences."),
                               panel);
    message->setWordWrap(true);
    auto *checkBox = new QCheckBox(tr("Share anonymous usage statistics"), panel);
    checkBox->setObjectName(QStringLiteral("analyticsCheckBox"));
    checkBox->setChecked(tracker().isEnabled());
    connect(checkBox, &QCheckBox::clicked, this, [this, checkBox] { toggleAnalytics(checkBox); });
    auto *close = new QPushButton(tr("Done"), panel);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &VLAppDelegate::endAnalyticsSheet);
    // Closing the panel through the window manager answers it too.
    connect(panel, &QDialog::rejected, this, &VLAppDelegate::endAnalyticsSheet);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(message);
    text->addWidget(checkBox);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    text->addLayout(buttons);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    layout->addWidget(iconView, 0, Qt::AlignTop);
    layout->addLayout(text);
    panel->setFixedWidth(460);

    panel->show();
    panel->raise();
    panel->activateWindow();
    // Every other window goes out of sight while the question waits.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != panel && window->isVisible())
            window->hide();
    platform::log(QStringLiteral("[Terminator]: asking about analytics before quitting"));
}

void VLAppDelegate::endAnalyticsSheet()
{
    if (!m_analyticsSheet)
        return;
    VLAnalyticsApprovalPanel *panel = m_analyticsSheet;
    m_analyticsSheet.clear();
    disconnect(panel, &QDialog::rejected, this, &VLAppDelegate::endAnalyticsSheet);
    panel->hide();
    panel->deleteLater();
    if (!tracker().hasDecided())
        tracker().setEnabled(false);
    VLTerminatorProxy::sharedInstance()->continueTermination();
}
