#include "windowing/windows/VLContentWindowController.h"

#include "windowing/navigation/VLFinishedScreenOverlayTransition.h"
#include "windowing/navigation/VLNavigationTransitionGroup.h"
#include "windowing/navigation/VLOverlaySpringTransition.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/transitions/VLContentFadeTransition.h"
#include "windowing/transitions/VLDecryptFinishedTransition.h"
#include "windowing/transitions/VLDropAnimationDestination.h"
#include "windowing/transitions/VLDropAnimationSource.h"
#include "windowing/transitions/VLDropContentTransition.h"
#include "windowing/transitions/VLPartialDissolveTransition.h"
#include "windowing/windows/VLAccessPanel.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLFilesDestination.h"
#include "windowing/windows/VLLegacyWindow.h"
#include "windowing/windows/VLModernWindow.h"
#include "windowing/windows/VLOverlayContentView.h"
#include "windowing/windows/VLSheetRegistry.h"
#include "windowing/windows/VLTerminator.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include "platform/core/AppKitVersion.h"
#include "platform/view/DisplayMetrics.h"

#include <QTimer>
#include <QWidget>

namespace {

// The custom title area that sheets hang below on current systems.
constexpr int sheetOffset = 23;
constexpr int reviewPromptDelayMs = 400;

VLContentWindowController::RootViewControllerFactory &rootFactory()
{
    static VLContentWindowController::RootViewControllerFactory factory;
    return factory;
}

bool isKindOf(const VLViewController *controller, const char *className)
{
    return controller && controller->inherits(className);
}

template <class Interface>
bool adopts(VLViewController *controller)
{
    return dynamic_cast<Interface *>(controller) != nullptr;
}

QPalette darkPalette(QPalette palette)
{
    const QColor background = VLLegacyWindow::contentColor();
    const QColor text(235, 235, 235);
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background.lighter(130));
    palette.setColor(QPalette::Button, background.lighter(150));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    return palette;
}

} // namespace

VLContentWindowController::VLContentWindowController(QObject *parent)
    : QObject(parent)
    , m_navigationController(VLViewController::create<VLNavigationController>())
    , m_reviewTimer(new QTimer(this))
{
    // The alerts of the controls' errors and the panel of the access grants are this window
    // layer's.
    VLErrorsHandler::presentControlErrors();
    VLAccessPanel::install();
    m_navigationController->setDelegate(this);
    m_reviewTimer->setSingleShot(true);
    m_reviewTimer->setInterval(reviewPromptDelayMs);
    connect(m_reviewTimer, &QTimer::timeout, this, &VLContentWindowController::promptAppStoreReview);
}

VLContentWindowController::~VLContentWindowController()
{
    m_navigationController->setDelegate(nullptr);
    if (VLTerminatorProxy::sharedInstance()->terminator()
        && m_navigationController->sharedViewController(
            qobject_cast<VLViewController *>(VLTerminatorProxy::sharedInstance()->terminator())))
        VLTerminatorProxy::sharedInstance()->setTerminator(nullptr);
    delete m_window;
}

void VLContentWindowController::setRootViewControllerFactory(RootViewControllerFactory factory)
{
    rootFactory() = std::move(factory);
}

QSize VLContentWindowController::windowContentSize()
{
    return QSize(460, 500);
}

VLWindow *VLContentWindowController::window()
{
    if (!m_window) {
        if (platform::isModernAppKit())
            m_window = new VLModernWindow;
        else
            m_window = new VLMainLegacyWindow;
        windowDidLoad();
    }
    return m_window;
}

void VLContentWindowController::windowDidLoad()
{
    m_window->setObjectName(QStringLiteral("mainWindow"));
    m_window->setWindowTitle(QStringLiteral("Vaultine"));

    // The window content: the screens' container, above it the overlay root (background views
    // of the overlay area) and the overlay panel.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("windowContent"));
    content->setFixedSize(windowContentSize());
    const QRectF bounds(QPointF(0, 0), QSizeF(windowContentSize()));
    m_contentContainerView = new QWidget(content);
    m_contentContainerView->setObjectName(QStringLiteral("contentContainerView"));
    vlSetViewFrame(m_contentContainerView, bounds);
    vlSetAutoresizingMask(m_contentContainerView, VLViewWidthSizable | VLViewHeightSizable);
    m_overlayRootView = new QWidget(content);
    m_overlayRootView->setObjectName(QStringLiteral("overlayRootView"));
    m_overlayRootView->setAttribute(Qt::WA_TransparentForMouseEvents);
    vlSetViewFrame(m_overlayRootView, bounds);
    vlSetAutoresizingMask(m_overlayRootView, VLViewWidthSizable | VLViewHeightSizable);
    m_overlayContainerView = new VLOverlayContentView(content);
    m_overlayContainerView->setObjectName(QStringLiteral("overlayContainerView"));
    vlSetViewFrame(m_overlayContainerView, QRectF());

    const bool modern = platform::isModernAppKit();
    if (auto *legacy = qobject_cast<VLLegacyWindow *>(m_window.data())) {
        legacy->setContentView(content);
    } else {
        m_window->setCentralWidget(content);
        content->setAutoFillBackground(true);
    }
    // The dark appearance of the screens' area.
    content->setPalette(darkPalette(content->palette()));
    if (modern) {
        m_contentContainerView->setPalette(darkPalette(m_contentContainerView->palette()));
        m_window->setPalette(darkPalette(m_window->palette()));
    }

    m_window->setRootViewController(m_navigationController.get());
    QWidget *navigationView = m_navigationController->view();
    vlSetAutoresizingMask(navigationView, VLViewWidthSizable | VLViewHeightSizable);
    vlSetViewFrame(navigationView, vlViewBounds(m_contentContainerView));
    const VLViewControllerPtr root = rootFactory() ? rootFactory()() : VLViewController::create<VLViewController>();
    m_navigationController->setViewControllers({root});
    // Placing the navigation view shows the root screen.
    vlAddSubview(m_contentContainerView, navigationView);

    VLSheetRegistry::instance().setSheetPositioner(
        m_window, [this](const QRect &proposed) { return windowWillPositionSheetUsingRect(proposed); });
    VLAlertHandler::setMainWindow(m_window);
    // Analytics hits give its size as the viewport.
    platform::setMainWindow(m_window);
}

void VLContentWindowController::showWindow()
{
    VLWindow *w = window();
    w->show();
    w->raise();
    w->activateWindow();
    m_reviewTimer->start();
}

QRect VLContentWindowController::windowWillPositionSheetUsingRect(const QRect &rect) const
{
    return platform::isModernAppKit() ? rect.translated(0, sheetOffset) : rect;
}

QList<QUrl> VLContentWindowController::fileURLsFromEntries(const QVariantList &files)
{
    QList<QUrl> urls;
    for (const QVariant &entry : files) {
        if (entry.typeId() == QMetaType::QUrl)
            urls << entry.toUrl();
        else if (entry.typeId() == QMetaType::QString)
            urls << QUrl::fromLocalFile(entry.toString());
    }
    return urls;
}

void VLContentWindowController::processAddedFiles(const QStringList &paths)
{
    QVariantList entries;
    entries.reserve(paths.size());
    for (const QString &path : paths)
        entries << path;
    processAddedFiles(entries);
}

void VLContentWindowController::processAddedFiles(const QVariantList &files)
{
    if (m_window && m_window->isMinimized())
        m_window->showNormal();
    const QList<QUrl> urls = fileURLsFromEntries(files);
    // Nothing usable is no request: an empty list would start a flow with no files.
    if (!urls.isEmpty() && canProcessNewFiles()) {
        auto *destination = dynamic_cast<VLFilesDestination *>(m_navigationController->topViewController().get());
        destination->proceedWithFiles(urls);
    }
    m_reviewTimer->stop();
}

bool VLContentWindowController::canProcessNewFiles() const
{
    return dynamic_cast<VLFilesDestination *>(m_navigationController->topViewController().get()) != nullptr;
}

void VLContentWindowController::promptAppStoreReview()
{
    if (m_appStoreReviewPrompt)
        m_appStoreReviewPrompt();
}

bool VLContentWindowController::isAppStoreReviewPending() const
{
    return m_reviewTimer->isActive();
}

VLAnimatedTransitioningPtr
VLContentWindowController::navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
    VLNavigationController *navigationController, VLNavigationControllerOperation operation, VLViewController *from,
    VLViewController *to)
{
    Q_UNUSED(navigationController);
    VLAnimatedTransitioningPtr content;
    const bool dropPair = (adopts<VLDropAnimationSource>(to) && adopts<VLDropAnimationDestination>(from))
                          || (adopts<VLDropAnimationDestination>(to) && adopts<VLDropAnimationSource>(from));
    if (dropPair && platform::isModernAppKit())
        content = VLDropContentTransition::transitionWithPush(operation == VLNavigationControllerOperation::Push);
    else if (isKindOf(from, "VLDecryptedViewController") && isKindOf(to, "VLDecryptCompletedViewController"))
        content = VLDecryptFinishedTransition::transition();
    else if (qobject_cast<VLTitledViewController *>(from) && qobject_cast<VLTitledViewController *>(to))
        content = VLPartialDissolveTransition::transition();
    else
        content = VLContentFadeTransition::transition();

    VLAnimatedTransitioningPtr overlay;
    if (isKindOf(to, "VLEncryptedViewController") || isKindOf(to, "VLDecryptedViewController")
        || isKindOf(to, "VLSpecialCaseViewController"))
        overlay = VLFinishedScreenOverlayTransition::transitionWithOverlayContainerViewOverlayRootView(
            m_overlayContainerView, m_overlayRootView);
    else
        overlay = VLOverlaySpringTransition::transitionWithOverlayContainerViewOverlayRootView(m_overlayContainerView,
                                                                                               m_overlayRootView);
    return VLNavigationTransitionGroup::groupWithTransitions({content, overlay});
}

void VLContentWindowController::navigationControllerWillShowViewControllerAnimated(
    VLNavigationController *navigationController, VLViewController *viewController, bool animated)
{
    Q_UNUSED(navigationController);
    Q_UNUSED(animated);
    VLTerminatorProxy::sharedInstance()->setTerminator(adopts<VLTerminator>(viewController) ? viewController : nullptr);
}
