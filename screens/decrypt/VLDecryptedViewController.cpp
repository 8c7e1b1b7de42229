#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/VLScreenStyle.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "engine/files/VLFileNamer.h"
#include "engine/files/VLPathComponents.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/core/Log.h"
#include "platform/desktop/Sound.h"
#include "platform/dispatch/Dispatch.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLScreenView.h"
#include "screens/VLWiggleAnimation.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QFileInfo>
#include <QLabel>

namespace {

// How long leaving the screen waits for a save under way to stop.
constexpr std::chrono::milliseconds transferStopBound{10000};

const QString kWorkflow = QStringLiteral("Workflow");
const QString kSaveAsAction = QStringLiteral("Decrypt Save As...");
// Where the item rests once it has slid up, and where it starts.
constexpr double kRestingTop = 106.0;
constexpr double kStartingTop = 150.0;

} // namespace

VLDecryptedViewController::VLDecryptedViewController(const QUrl &decryptedItemURL, const QImage &preview,
                                                     QObject *parent)
    : VLTitledViewController(parent)
    , m_decryptedItemURL(decryptedItemURL)
    , m_preview(preview)
    , m_radar(VLRadar::radarWithURL(decryptedItemURL))
{
    setObjectName(QStringLiteral("VLDecryptedViewController"));
    setOverlayFrame(QRectF(0, -26, kVLViewNoIntrinsicMetric, 26));
    m_radar->setDelegate(this);
}

VLDecryptedViewController::~VLDecryptedViewController()
{
    // No report reaches the screen once it goes: the radar's delegate is cleared under its lock,
    // and a transfer still running is stopped (it removes what it wrote).
    m_radar->setDelegate(nullptr);
    stopTransfer();
}

void VLDecryptedViewController::stopTransfer()
{
    if (!m_transporter)
        return;
    m_transporter->setDelegate(nullptr);
    m_transporter->cancel();
    if (!m_transporter->waitUntilStopped(transferStopBound))
        platform::log(QStringLiteral("[Decrypt]: a transfer did not stop in time."));
    m_transporter.reset();
}

bool VLDecryptedViewController::isUnsaved() const
{
    return !m_dragSourceView || m_dragSourceView->dragOperation() != VLDragOperationNone;
}

void VLDecryptedViewController::loadView()
{
    auto *view = new VLScreenView(this);
    // Takes the focus when nothing else on the screen does, so Return and Escape still arrive.
    view->setFocusPolicy(Qt::ClickFocus);
    view->setObjectName(QStringLiteral("decryptedView"));
    view->resize(460, 500);

    m_titleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("titleLabel"), 20, true);
    m_titleLabel->setText(tr("Decrypted"));
    vlSetViewFrame(m_titleLabel, QRectF(20, 56, 420, 30));
    vlSetAutoresizingMask(m_titleLabel, VLViewWidthSizable);
    setTitleView(m_titleLabel);

    m_dragSourceView = new VLDragSourceView(view);
    m_dragSourceView->setObjectName(QStringLiteral("dragSourceView"));
    vlSetViewFrame(m_dragSourceView, QRectF(90, kStartingTop, 280, 200));
    m_iconView = new VLEncryptProgressImageView(m_dragSourceView);
    m_iconView->setObjectName(QStringLiteral("iconView"));
    vlSetViewFrame(m_iconView, QRectF(76, 0, 128, 128));
    m_fileNameField = VLFlowScreen::makeLabel(m_dragSourceView, QStringLiteral("fileNameField"), 15, true);
    vlSetViewFrame(m_fileNameField, QRectF(0, 136, 280, 22));
    m_sizeField = VLFlowScreen::makeLabel(m_dragSourceView, QStringLiteral("sizeField"), 12);
    vlSetViewFrame(m_sizeField, QRectF(0, 160, 280, 18));
    m_dragSourceView->setIconView(m_iconView);
    m_dragSourceView->setTitleView(m_fileNameField);
    m_dragSourceView->setSubtitleView(m_sizeField);

    m_saveButton = new VLRoundedButton(view);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_saveButton->setTitle(tr("Save As…"));
    vlSetViewFrame(m_saveButton, QRectF(160, 402, 140, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_saveButton, VLScreenStyle::ButtonRole::Primary);
    connect(m_saveButton, &VLControl::actionSent, this, &VLDecryptedViewController::saveAs);

    m_startOverButton = new VLStartOverButton(view);
    m_startOverButton->setObjectName(QStringLiteral("startOverButton"));
    m_startOverButton->setTitle(tr("Start Over"));
    vlSetViewFrame(m_startOverButton, QRectF(0, 20, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_startOverButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_startOverButton, &VLControl::actionSent, this, &VLDecryptedViewController::cancelOperation);

    m_quickLookButton = new VLRoundedButton(view);
    m_quickLookButton->setObjectName(QStringLiteral("quickLookButton"));
    m_quickLookButton->setTitle(tr("Preview"));
    vlSetViewFrame(m_quickLookButton, QRectF(185, 356, 90, 28));
    VLScreenStyle::styleButton(m_quickLookButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_quickLookButton, &VLControl::actionSent, this, &VLDecryptedViewController::toggleQuickLookAction);

    setInitialFirstResponder(m_saveButton);
    setView(view);
}

void VLDecryptedViewController::viewDidLoad()
{
    m_iconView->setTopImage(m_preview);
    m_fileNameField->setText(VLFileNamer::titleForURLs({m_decryptedItemURL}));
    m_sizeField->setText(VLFileNamer::sizeForURLs({m_decryptedItemURL}));
    m_dragSourceView->setDragOperation(VLDragOperationMove);
    m_dragSourceView->setDraggingURL(m_decryptedItemURL);
    m_dragSourceView->setDelegate(this);
}

void VLDecryptedViewController::viewWillAppear(bool animated)
{
    Q_UNUSED(animated)
    animatedDragZone();
}

void VLDecryptedViewController::viewDidAppear(bool animated)
{
    Q_UNUSED(animated)
    VLFlowScreen::tracker().trackView(QStringLiteral("Decryption Complete"));
}

void VLDecryptedViewController::viewWillDisappear(bool animated)
{
    Q_UNUSED(animated)
    VLPreviewWindow::closeSharedPreviewWindow();
}

void VLDecryptedViewController::animatedDragZone()
{
    if (!m_dragSourceView)
        return;
    platform::playSoundNamed(QStringLiteral("FinalSound"), 0.6);
    // The item slides up to its resting place, then wiggles now and then to invite a drag.
    const QRectF current = vlViewFrame(m_dragSourceView);
    const QRectF resting = current.translated(0, kRestingTop - current.y());
    auto slide = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
    slide->setToValue(resting);
    slide->setBeginTime(VLAnimator::currentMediaTime() + 0.3);
    slide->setDuration(0.25);
    VLAnimator::addAnimationForKey(m_dragSourceView, slide, QStringLiteral("topSpaceConstraintAnimation"));

    const QRectF iconResting = vlViewFrame(m_iconView);
    VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(
        m_iconView, iconResting, 0.7, 10.0, slide->beginTime() + slide->duration() + 1.0, 3);
}

QList<QWidget *> VLDecryptedViewController::nonanimatableViews() const
{
    return {m_iconView, m_fileNameField, VLTitledViewController::titleView()};
}

void VLDecryptedViewController::saveAs()
{
    const QString item = VLPathComponents::lastPathComponent(m_decryptedItemURL.toLocalFile());
    QPointer<VLDecryptedViewController> self(this);
    VLSavePanel::beginSheetModalForWindow(view()->window(), VLPathComponents::deletingPathExtension(item),
                                          VLPathComponents::pathExtension(item), [self](int result, const QUrl &url) {
                                              if (!self || result != VLSavePanel::okButton || url.isEmpty())
                                                  return;
                                              self->m_radar->setPause(true);
                                              VLFlowScreen::tracker().trackEvent(kWorkflow, kSaveAsAction,
                                                                                 QStringLiteral("Button Click"));
                                              self->transport(url, 0);
                                          });
}

void VLDecryptedViewController::saveBeforeLeaving(quint64 tag)
{
    QPointer<VLDecryptedViewController> self(this);
    VLSavePanel::beginSheetModalForWindow(view()->window(), VLFileNamer::titleForURLs({m_decryptedItemURL}),
                                          VLPathComponents::pathExtension(m_decryptedItemURL.toLocalFile()),
                                          [self, tag](int result, const QUrl &url) {
                                              if (!self)
                                                  return;
                                              if (result != VLSavePanel::okButton || url.isEmpty()) {
                                                  self->saveAbandoned(tag);
                                                  return;
                                              }
                                              self->m_radar->setPause(true);
                                              self->transport(url, tag);
                                          });
}

void VLDecryptedViewController::transport(const QUrl &destination, quint64 tag)
{
    m_transporter = VLTransporter::create();
    m_transporter->setDelegate(this);
    m_transporter->setWindow(view()->window());
    m_transporter->setTag(tag);
    m_transporter->transportItemFromURLToURLOverwrite(m_decryptedItemURL, destination, true);
}

void VLDecryptedViewController::cancelOperation()
{
    VLNavigationController *navigation = navigationController();
    if (!isUnsaved()) {
        VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Start Over"),
                                           QStringLiteral("After Decryption Save"));
        if (navigation)
            navigation->popToRootViewControllerAnimated(true);
        return;
    }
    QPointer<VLDecryptedViewController> self(this);
    const QString itemName = QFileInfo(m_decryptedItemURL.toLocalFile()).fileName();
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        view()->window(), VLErrorsHandler::unsavedItemAlertBeforeStartingOver(itemName), [self](int answer) {
            if (!self)
                return;
            if (answer == 0) {
                VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Start Over"),
                                                   QStringLiteral("After Decryption"));
                if (VLNavigationController *stack = self->navigationController())
                    stack->popToRootViewControllerAnimated(true);
            } else if (answer == 1) {
                self->saveBeforeLeaving(VLTransporter::startOverTag);
            }
        });
}

void VLDecryptedViewController::toggleQuickLookAction()
{
    VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("QuickLook Preview"), QStringLiteral("Decryption"));
    toggleQuickLook();
}

void VLDecryptedViewController::toggleQuickLook()
{
    VLPreviewWindow::toggleSharedPreviewWindowForURL(m_decryptedItemURL, view()->window());
}

void VLDecryptedViewController::savedWithURL(const QUrl &url)
{
    completeWithURL(url, true);
}

void VLDecryptedViewController::completeWithURL(const QUrl &url, bool success)
{
    // The radar may report a move and then the delete that ended it: one completion only.
    if (m_completed)
        return;
    m_completed = true;
    m_radar->setPause(true);
    VLFlowScreen::navigateWhenPossible(this, [url, success](VLNavigationController *navigation) {
        navigation->pushViewControllerAnimated(VLViewController::create<VLDecryptCompletedViewController>(url, success),
                                               true);
    });
}

QWidget *VLDecryptedViewController::startOverButton() const
{
    return m_startOverButton;
}

QWidget *VLDecryptedViewController::iconView() const
{
    return m_iconView;
}

VLDragSourceViewDelegate::Callbacks VLDecryptedViewController::answeredDragSourceViewCallbacks() const
{
    return Callback::DidFinishWithURLOperation | Callback::PerformActionWithURL;
}

void VLDecryptedViewController::dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view,
                                                                        const std::optional<QUrl> &url,
                                                                        VLDragOperation operation)
{
    Q_UNUSED(view)
    VLFlowScreen::tracker().trackEvent(kWorkflow, kSaveAsAction, QStringLiteral("Drag and Drop"));
    // A cancelled or refused drag moved nothing, so the radar has nothing to look for.
    if (operation != VLDragOperationNone && url)
        m_radar->itemIsGoingToLocation(*url);
}

void VLDecryptedViewController::dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url)
{
    Q_UNUSED(view)
    Q_UNUSED(url)
    VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("QuickLook Preview"),
                                       QStringLiteral("Decryption – Double Click"));
    toggleQuickLook();
}

void VLDecryptedViewController::transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    const quint64 tag = transporter->tag();
    platform::dispatchToMain(this, [this, tag, url] { handleTransferFinished(tag, url); });
}

void VLDecryptedViewController::handleTransferFinished(quint64 tag, const QUrl &url)
{
    m_transporter.reset();
    if (tag == VLTransporter::quitTag) {
        m_dragSourceView->setDragOperation(VLDragOperationNone);
        VLTerminatorProxy::sharedInstance()->continueTermination();
    } else if (tag == VLTransporter::startOverTag) {
        m_dragSourceView->setDragOperation(VLDragOperationNone);
        cancelOperation();
    } else {
        savedWithURL(url);
    }
}

void VLDecryptedViewController::transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    Q_UNUSED(url)
    const quint64 tag = transporter->tag();
    // The transporter has shown the failure; the item is still here and still followed.
    platform::dispatchToMain(this, [this, tag] {
        m_transporter.reset();
        m_radar->setPause(false);
        saveAbandoned(tag);
    });
}

void VLDecryptedViewController::saveAbandoned(quint64 tag)
{
    // The quit waited for this save; without it the quit is off, and the next one asks again.
    if (tag == VLTransporter::quitTag)
        VLTerminatorProxy::sharedInstance()->cancelTermination(this);
}

void VLDecryptedViewController::radarDidChangedItemLocation(VLRadar *radar, const QUrl &url)
{
    Q_UNUSED(radar)
    platform::dispatchToMain(this, [this, url] { savedWithURL(url); });
}

void VLDecryptedViewController::radarDidLostItemAtLocation(VLRadar *radar, const QUrl &folderURL)
{
    Q_UNUSED(radar)
    platform::dispatchToMain(this, [this, folderURL] { completeWithURL(folderURL, false); });
}

bool VLDecryptedViewController::shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy)
{
    if (!isUnsaved()) {
        stopTransfer();
        return false;
    }
    QPointer<VLDecryptedViewController> self(this);
    QPointer<VLTerminatorProxy> guardedProxy(proxy);
    const QString itemName = QFileInfo(m_decryptedItemURL.toLocalFile()).fileName();
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        view()->window(), VLErrorsHandler::unsavedItemAlertBeforeQuitting(itemName), [self, guardedProxy](int answer) {
            if (answer == 0 && guardedProxy) {
                if (self)
                    self->stopTransfer();
                guardedProxy->continueTermination();
            } else if (answer == 1 && self)
                self->saveBeforeLeaving(VLTransporter::quitTag);
            else if (guardedProxy)
                guardedProxy->cancelTermination(self);
        });
    return true;
}

void VLDecryptedViewController::insertText(const QString &text)
{
    if (text == u" ")
        toggleQuickLookAction();
}

void VLDecryptedViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        saveAs();
    else if (command == platform::Command::cancelOperation)
        cancelOperation();
}
