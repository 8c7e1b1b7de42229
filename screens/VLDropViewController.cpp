#include "screens/VLDropViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDropDestinationView.h"
#include "controls/VLDropFilesButton.h"
#include "controls/VLDropHoverView.h"
#include "screens/VLDropBarView.h"
#include "screens/VLEncryptViewController.h"
#include "screens/VLFilesOpenPanel.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLScreenView.h"
#include "screens/decrypt/VLDecryptViewController.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"

#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLSpringAnimation.h"
#include "platform/core/Log.h"
#include "platform/view/Geometry.h"

#include <QFileInfo>
#include <QLabel>
#include <QTimer>

namespace {

constexpr int kDelayedRequestMs = 100;
constexpr double kBarSpringBounciness = 10.0;
constexpr double kBarSpringSpeed = 30.0;

// The bar's frames as the layouts give them (bottom-left, y up); the width is the screen's.
constexpr double kBarRestingY = 152.0;
constexpr double kBarRestingHeight = 100.0;
constexpr double kBarExpandedY = 132.0;
constexpr double kBarExpandedHeight = 140.0;

} // namespace

VLDropViewController::VLDropViewController(QObject *parent)
    : VLViewController(parent)
    , m_pendingFiles(new QTimer(this))
    , m_pendingBarReset(new QTimer(this))
{
    setObjectName(QStringLiteral("VLDropViewController"));
    setOverlayFrame(QRectF(0, kBarRestingY, kVLViewNoIntrinsicMetric, kBarRestingHeight));
    m_pendingFiles->setSingleShot(true);
    m_pendingFiles->setInterval(kDelayedRequestMs);
    connect(m_pendingFiles, &QTimer::timeout, this, [this] { proceedWithFiles(std::exchange(m_panelURLs, {})); });
    m_pendingBarReset->setSingleShot(true);
    m_pendingBarReset->setInterval(kDelayedRequestMs);
    connect(m_pendingBarReset, &QTimer::timeout, this, [this] { setBarExpandedDropped(false, true); });
}

VLDropViewController::~VLDropViewController() = default;

void VLDropViewController::loadView()
{
    auto *view = new VLScreenView(this);
    view->setObjectName(QStringLiteral("dropView"));
    const QSizeF size(460, 500);
    view->resize(size.toSize());

    // Placed by frame and mask: the drop transition flies the title and the subtitle.
    auto *title = VLScreenStyle::makeLabel(view, QStringLiteral("titleLabel"), 26, QFont::Light,
                                           VLScreenStyle::textColor());
    title->setText(tr("Drop Files Here"));
    vlSetViewFrame(title, QRectF(20, 136, size.width() - 40, 36));
    auto *subtitle = VLScreenStyle::makeLabel(view, QStringLiteral("subtitleLabel"), 13, QFont::Normal,
                                              VLScreenStyle::secondaryTextColor());
    subtitle->setText(tr("Files and folders become one encrypted container.\nA .vault file is opened."));
    subtitle->setWordWrap(true);
    vlSetViewFrame(subtitle, QRectF(40, 180, size.width() - 80, 40));
    for (QWidget *label : {static_cast<QWidget *>(title), static_cast<QWidget *>(subtitle)})
        vlSetAutoresizingMask(label, VLViewWidthSizable | VLViewMinYMargin | VLViewMaxYMargin);
    m_titleView = title;
    m_subtitleView = subtitle;

    // Drops anywhere on the screen count; the bar, in the overlay area above, has its own target.
    m_screenDropDestination = new VLDropDestinationView(view);
    m_screenDropDestination->setObjectName(QStringLiteral("screenDropDestination"));
    vlSetViewFrame(m_screenDropDestination, QRectF(QPointF(0, 0), size));
    vlSetAutoresizingMask(m_screenDropDestination, VLViewWidthSizable | VLViewHeightSizable);
    m_screenDropDestination->setDelegate(this);

    m_bar = new VLDropBarView(this);
    m_bar->dropDestination()->setDelegate(this);
    m_bar->hoverView()->setDelegate(this);
    m_bar->dropFilesButton()->setTarget(this);
    m_bar->dropFilesButton()->setAction(QStringLiteral("addFiles"));
    // Commands its controls leave alone reach this screen, not the window's content.
    vlSetNextResponder(m_bar, this);
    setOverlayView(m_bar);
    setView(view);
}

void VLDropViewController::viewDidLoad()
{
    VLViewController::viewDidLoad();
    // The bar starts at rest: an arrow, and no button until the mouse comes over it.
    dropFilesButton()->setIconIsPlus(false);
    dropFilesButton()->setEnabled(false);
}

void VLDropViewController::viewDidAppear(bool animated)
{
    VLViewController::viewDidAppear(animated);
    SWAnalyticsTracker::defaultTracker().trackView(QStringLiteral("Main View"));
}

VLDropFilesButton *VLDropViewController::dropFilesButton() const
{
    return m_bar ? m_bar->dropFilesButton() : nullptr;
}

VLDropDestinationView *VLDropViewController::dropDestination() const
{
    return m_bar ? m_bar->dropDestination() : nullptr;
}

QObject *VLDropViewController::centerAlignmentConstraint() const
{
    return m_bar;
}

bool VLDropViewController::dragInProgress() const
{
    return (dropDestination() && dropDestination()->dragInProgress())
           || (m_screenDropDestination && m_screenDropDestination->dragInProgress());
}

bool VLDropViewController::hasPendingRequests() const
{
    return m_pendingFiles->isActive() || m_pendingBarReset->isActive();
}

void VLDropViewController::cancelPreviousPerformRequests()
{
    m_pendingFiles->stop();
    m_pendingBarReset->stop();
    m_panelURLs.clear();
}

// The bar

void VLDropViewController::setBarSettings(const VLBarSettings &settings)
{
    setBarExpandedDropped(settings.expanded, settings.dropped);
}

void VLDropViewController::setBarExpandedDropped(bool expanded, bool dropped)
{
    QWidget *container = overlayContainer();
    VLDropFilesButton *button = dropFilesButton();
    if (!isViewLoaded() || !button)
        return;
    if (container) {
        const QWidget *superview = vlSuperview(container);
        const double referenceHeight = superview ? superview->height() : view()->height();
        const QRectF bottomLeft(0, expanded ? kBarExpandedY : kBarRestingY, vlViewBounds(view()).width(),
                                expanded ? kBarExpandedHeight : kBarRestingHeight);
        auto frame = VLSpringAnimation::animationWithPropertyNamed(kVLViewFrame);
        frame->setFromValue(vlViewFrame(container));
        frame->setToValue(VLRectFromBottomLeft(bottomLeft, referenceHeight));
        frame->setSpringBounciness(kBarSpringBounciness);
        frame->setSpringSpeed(kBarSpringSpeed);
        VLAnimator::removeAnimationForKey(container, frameBounceKey);
        VLAnimator::addAnimationForKey(container, frame, frameBounceKey);
    }
    auto constant = VLSpringAnimation::animationWithPropertyNamed(kVLLayoutConstraintConstant);
    constant->setToValue(expanded && dropped ? -20.0 : 0.0);
    constant->setSpringBounciness(kBarSpringBounciness);
    constant->setSpringSpeed(kBarSpringSpeed);
    VLAnimator::removeAnimationForKey(m_bar, frameBounceKey);
    VLAnimator::addAnimationForKey(m_bar, constant, frameBounceKey);

    button->setIconIsPlus(!dropped);
    button->setEnabled(!dropped);
}

void VLDropViewController::hoverViewMouseInside(VLDropHoverView *, bool mouseInside)
{
    if (dragInProgress())
        return;
    setBarExpandedDropped(mouseInside, !mouseInside);
}

VLDropHoverViewDelegate::Callbacks VLDropViewController::answeredHoverViewCallbacks() const
{
    return VLDropHoverViewDelegate::Callback::HoverViewMouseInside;
}

// Dragging

VLDraggingDestination::Callbacks VLDropViewController::answeredDraggingDestinationCallbacks() const
{
    using Callback = VLDraggingDestination::Callback;
    return Callback::DraggingEntered | Callback::DraggingUpdated | Callback::DraggingExited
           | Callback::PerformDragOperation;
}

VLDragOperation VLDropViewController::draggingEntered(const VLDraggingInfo &)
{
    cancelPreviousPerformRequests();
    setBarExpandedDropped(true, true);
    return VLDragOperationCopy;
}

VLDragOperation VLDropViewController::draggingUpdated(const VLDraggingInfo &)
{
    return VLDragOperationCopy;
}

void VLDropViewController::draggingExited(const VLDraggingInfo *)
{
    m_pendingBarReset->start();
}

bool VLDropViewController::performDragOperation(const VLDraggingInfo &info)
{
    const QList<QUrl> urls = info.draggingURLs();
    if (urls.isEmpty()) {
        setBarExpandedDropped(false, true);
        return false;
    }
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Add Items"),
                                                    addItemsLabel(urls, true));
    proceedWithFiles(urls);
    setBarExpandedDropped(false, true);
    return true;
}

// Adding files

void VLDropViewController::addFiles()
{
    QPointer<VLDropViewController> self(this);
    VLFilesOpenPanel::beginSheetModalForWindow(view()->window(), [self](bool accepted, const QList<QUrl> &urls) {
        if (!self || !accepted)
            return;
        SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Add Items"),
                                                        addItemsLabel(urls, false));
        // After the panel has gone, so the sheet no longer counts as open.
        self->m_panelURLs = urls;
        self->m_pendingFiles->start();
    });
}

QString VLDropViewController::addItemsLabel(const QList<QUrl> &urls, bool dragAndDrop)
{
    const QString source = dragAndDrop ? QStringLiteral("Drag and Drop") : QStringLiteral("Add Button");
    QString kind = QStringLiteral("Files");
    if (urls.size() <= 1 && !urls.isEmpty()) {
        const QFileInfo info(urls.first().toLocalFile());
        // Case matters here, unlike for the choice of flow.
        if (info.suffix() == u"vault")
            kind = QStringLiteral("Decrypt");
        else if (info.isDir())
            kind = QStringLiteral("Folder");
    }
    return kind + QStringLiteral(" \u2013 ") + source;
}

bool VLDropViewController::isDecryptRequest(const QList<QUrl> &urls)
{
    return urls.size() == 1 && QFileInfo(urls.first().toLocalFile()).suffix().toLower() == u"vault";
}

void VLDropViewController::proceedWithFiles(const QList<QUrl> &urls)
{
    QWidget *window = isViewLoaded() ? view()->window() : nullptr;
    if (window && VLAlertHandler::isSheetOpen(window)) {
        platform::log(QStringLiteral("[Drop]: can't open input files, another modal process is in progress."));
        return;
    }
    if (urls.isEmpty())
        return;
    if (isDecryptRequest(urls)) {
        proceedWithContainer(urls.first());
    } else if (VLNavigationController *navigation = navigationController()) {
        navigation->pushViewControllerAnimated(VLViewController::create<VLEncryptViewController>(urls), true);
    }
    if (window) {
        window->raise();
        window->activateWindow();
    }
}

// The decrypt flow's first screen takes the container here.
void VLDropViewController::proceedWithContainer(const QUrl &url)
{
    if (VLNavigationController *navigation = navigationController())
        navigation->pushViewControllerAnimated(VLViewController::create<VLDecryptViewController>(QList<QUrl>{url}),
                                               true);
}

// Keys

void VLDropViewController::insertText(const QString &)
{
}

void VLDropViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        insertNewline();
}

void VLDropViewController::insertNewline()
{
    addFiles();
}
