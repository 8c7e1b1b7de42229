#include "screens/VLResultViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDragSourceView.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/core/Log.h"
#include "platform/desktop/Sound.h"
#include "platform/dispatch/Dispatch.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLWiggleAnimation.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QFileInfo>
#include <QLabel>

namespace {

const QString workflowCategory = QStringLiteral("Workflow");

} // namespace

VLResultViewController::VLResultViewController(const QUrl &resultURL, Traits traits, QObject *parent)
    : VLTitledViewController(parent)
    , m_resultURL(resultURL)
    , m_traits(std::move(traits))
{
}

VLResultViewController::~VLResultViewController()
{
    stopTransfers();
}

QString VLResultViewController::resultFileName() const
{
    return QFileInfo(m_resultURL.toLocalFile()).fileName();
}

SWAnalyticsTracker &VLResultViewController::tracker() const
{
    return m_tracker ? *m_tracker : VLFlowScreen::tracker();
}

QWidget *VLResultViewController::window()
{
    QWidget *root = isViewLoaded() ? view() : nullptr;
    return root ? root->window() : nullptr;
}

void VLResultViewController::viewDidLoad()
{
    sizeField()->setText(VLFileNamer::sizeForURLs({m_resultURL}));
    VLDragSourceView *dragSource = dragSourceView();
    dragSource->setDraggingURL(m_resultURL);
    dragSource->setDragOperation(m_traits.dragOperation);
    dragSource->setDelegate(this);
}

void VLResultViewController::viewDidAppear(bool animated)
{
    VLTitledViewController::viewDidAppear(animated);
    tracker().trackView(m_traits.screenView);
}

void VLResultViewController::viewWillDisappear(bool animated)
{
    VLTitledViewController::viewWillDisappear(animated);
    VLPreviewWindow::closeSharedPreviewWindow();
}

void VLResultViewController::playArrival(QObject *target, const QString &property, const QVariant &resting,
                                         QWidget *icon, const QRectF &iconResting)
{
    platform::playSoundNamed(QStringLiteral("FinalSound"), 0.6);
    auto slide = VLBasicAnimation::animationWithPropertyNamed(property);
    slide->setToValue(resting);
    slide->setBeginTime(VLAnimator::currentMediaTime() + 0.3);
    slide->setDuration(0.25);
    VLAnimator::addAnimationForKey(target, slide, QStringLiteral("topSpaceConstraintAnimation"));

    VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(
        icon, iconResting, 0.7, 10.0, slide->beginTime() + slide->duration() + 1.0, 3);
}

void VLResultViewController::toggleQuickLookAction()
{
    toggleQuickLook();
}

void VLResultViewController::toggleQuickLook()
{
    VLPreviewWindow::toggleSharedPreviewWindowForURL(m_resultURL, window());
}

void VLResultViewController::askWhereToSave(const QString &name, const QString &extension, quint64 tag,
                                            std::function<void(const QUrl &)> chosen)
{
    VLSavePanel::beginSheetModalForWindow(
        window(), name, extension,
        [self = QPointer<VLResultViewController>(this), tag, chosen = std::move(chosen)](int result, const QUrl &url) {
            if (!self)
                return;
            if (result != VLSavePanel::okButton || url.isEmpty()) {
                self->saveAbandoned(tag);
                return;
            }
            chosen(url);
        });
}

std::shared_ptr<VLTransporter> VLResultViewController::makeTransporter(quint64 tag)
{
    auto transporter = VLTransporter::create();
    transporter->setTag(tag);
    transporter->setDelegate(this);
    transporter->setWindow(window());
    keepTransfer(transporter);
    return transporter;
}

void VLResultViewController::keepTransfer(const std::shared_ptr<VLTransporter> &transporter)
{
    // Transfers that have ended are forgotten as new ones begin.
    m_transporters.removeIf([](const std::shared_ptr<VLTransporter> &t) { return !t->isRunning(); });
    m_transporters << transporter;
    m_transfersStopped = false;
}

void VLResultViewController::stopTransfers()
{
    m_transfersStopped = true;
    for (const std::shared_ptr<VLTransporter> &transporter : std::as_const(m_transporters)) {
        transporter->setDelegate(nullptr);
        transporter->cancel();
    }
    for (const std::shared_ptr<VLTransporter> &transporter : std::as_const(m_transporters)) {
        if (!transporter->waitUntilStopped(transferStopBound))
            platform::log(m_traits.logTag + QStringLiteral(": a transfer did not stop in time."));
    }
    m_transporters.clear();
}

void VLResultViewController::cancelOperation()
{
    if (isResultSaved()) {
        tracker().trackEvent(workflowCategory, QStringLiteral("Start Over"), m_traits.savedStartOverLabel);
        startOver();
        return;
    }
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        window(), VLErrorsHandler::unsavedItemAlertBeforeStartingOver(resultFileName()),
        [self = QPointer<VLResultViewController>(this)](int returnCode) {
            if (!self)
                return;
            if (returnCode == VLAlert::alternateReturn) {
                self->tracker().trackEvent(workflowCategory, QStringLiteral("Start Over"),
                                           self->m_traits.leftStartOverLabel);
                self->startOver();
            } else if (returnCode == VLAlert::defaultReturn) {
                self->saveBeforeLeaving(VLTransporter::startOverTag);
            }
        });
}

void VLResultViewController::startOver()
{
    stopTransfers();
    if (VLNavigationController *navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
}

void VLResultViewController::saveBeforeLeaving(quint64 tag)
{
    // Proposes the result's current name.
    askWhereToSave(VLFileNamer::titleForURLs({m_resultURL}), resultExtension(), tag,
                   [this, tag](const QUrl &destination) { moveResult(*makeTransporter(tag), destination); });
}

void VLResultViewController::saveAbandoned(quint64 tag)
{
    // The quit waited for this save; without it the quit is off, and the next one asks again.
    if (tag == VLTransporter::quitTag)
        askingProxy()->cancelTermination(this);
}

VLTerminatorProxy *VLResultViewController::askingProxy() const
{
    return m_askingProxy ? m_askingProxy.data() : VLTerminatorProxy::sharedInstance();
}

bool VLResultViewController::shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy)
{
    if (isResultSaved()) {
        stopTransfers();
        return false;
    }
    m_askingProxy = proxy;
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        window(), VLErrorsHandler::unsavedItemAlertBeforeQuitting(resultFileName()),
        [self = QPointer<VLResultViewController>(this), proxy = QPointer<VLTerminatorProxy>(proxy)](int returnCode) {
            if (!self)
                return;
            if (returnCode == VLAlert::alternateReturn) {
                self->stopTransfers();
                if (proxy)
                    proxy->continueTermination();
            } else if (returnCode == VLAlert::defaultReturn) {
                self->saveBeforeLeaving(VLTransporter::quitTag);
            } else {
                self->saveAbandoned(VLTransporter::quitTag);
            }
        });
    return true;
}

void VLResultViewController::quitAgain()
{
    // The save the question offered has finished: the held quit goes on without asking again.
    stopTransfers();
    askingProxy()->continueTermination();
}

void VLResultViewController::transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    const quint64 tag = transporter->tag();
    // A plain move reports on its own thread; the screen's state lives on the main thread.
    platform::dispatchToMain(this, [this, tag, url] {
        if (m_transfersStopped)
            return;
        transferSaved(tag, url);
        if (tag == VLTransporter::quitTag)
            quitAgain();
        else if (tag == VLTransporter::startOverTag)
            cancelOperation();
    });
}

void VLResultViewController::transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    Q_UNUSED(url)
    const quint64 tag = transporter->tag();
    // The transporter has shown the failure; the result is still here, unsaved.
    platform::dispatchToMain(this, [this, tag] {
        if (m_transfersStopped)
            return;
        transferFailed(tag);
        saveAbandoned(tag);
    });
}

void VLResultViewController::insertText(const QString &text)
{
    if (text == u" ")
        toggleQuickLookAction();
}

void VLResultViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::cancelOperation)
        cancelOperation();
    else if (command == platform::Command::insertNewline)
        insertNewline();
}

VLDragSourceViewDelegate::Callbacks VLResultViewController::answeredDragSourceViewCallbacks() const
{
    return Callback::DidFinishWithURLOperation | Callback::PerformActionWithURL;
}

void VLResultViewController::dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view,
                                                                     const std::optional<QUrl> &url,
                                                                     VLDragOperation operation)
{
    Q_UNUSED(view)
    tracker().trackEvent(workflowCategory, m_traits.dragOutAction, QStringLiteral("Drag and Drop"));
    // A drag that nobody took (cancelled, refused) put the result nowhere.
    if (operation != VLDragOperationNone)
        resultDragged(url);
}
