#include "screens/decrypt/VLDecryptingViewController.h"
#include "screens/VLScreenStyle.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLRoundedButton.h"
#include "engine/files/VLFileNamer.h"
#include "engine/files/VLPathComponents.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/view/Geometry.h"
#include "platform/view/ViewFrame.h"
#include "screens/VLEncryptProgressAnimationView.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLParticleView.h"
#include "screens/VLScreenView.h"
#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/decrypt/VLSpecialCaseViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QFileInfo>
#include <QLabel>

namespace {

const QString kWorkflow = QStringLiteral("Workflow");

QString hintLabel(const QString &hint)
{
    return hint.isEmpty() ? QStringLiteral("Hint Not Included") : QStringLiteral("Hint Included");
}

} // namespace

VLDecryptingViewController::VLDecryptingViewController(const QList<QUrl> &files, const QImage &icon,
                                                       const QImage &preview, const QString &password, QObject *parent)
    : VLTitledViewController(parent)
    , m_files(files)
    , m_icon(icon)
    , m_preview(preview)
    , m_password(password)
    , m_dezerider(VLDezerider::dezeriderWithArchiveURL(files.value(0)))
{
    setObjectName(QStringLiteral("VLDecryptingViewController"));
    if (m_dezerider)
        m_dezerider->setDelegate(this);
    setOverlayFrame(QRectF(0, 325, kVLViewNoIntrinsicMetric, 26));
}

VLDecryptingViewController::~VLDecryptingViewController()
{
    stopJob();
    VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
    if (proxy->terminator() == this)
        proxy->setTerminator(nullptr);
}

void VLDecryptingViewController::stopJob()
{
    if (!m_dezerider)
        return;
    if (m_dezerider->delegate() == this)
        m_dezerider->setDelegate(nullptr);
    m_dezerider->cancel();
    // Restored plaintext must not outlive the stop: the work folder is emptied only once the
    // job's threads have let go of it.
    if (!m_dezerider->waitUntilStopped(stopBound))
        platform::log(QStringLiteral("[Decrypting]: the stopped job did not end in time."));
}

void VLDecryptingViewController::loadView()
{
    auto *view = new VLScreenView(this);
    // Takes the focus when nothing else on the screen does, so Return and Escape still arrive.
    view->setFocusPolicy(Qt::ClickFocus);
    view->setObjectName(QStringLiteral("decryptingView"));
    view->resize(460, 500);

    m_fileImageView = new VLEncryptProgressImageView(view);
    m_fileImageView->setObjectName(QStringLiteral("fileImageView"));
    vlSetViewFrame(m_fileImageView, QRectF(166, 150, 128, 128));
    vlSetAutoresizingMask(m_fileImageView, VLViewMinXMargin | VLViewMaxXMargin);

    m_titleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("titleLabel"), 17, true);
    vlSetViewFrame(m_titleLabel, QRectF(20, 298, 420, 22));
    vlSetAutoresizingMask(m_titleLabel, VLViewWidthSizable);
    setTitleView(m_titleLabel);

    m_sizeLabel = VLFlowScreen::makeLabel(view, QStringLiteral("sizeLabel"), 12);
    vlSetViewFrame(m_sizeLabel, QRectF(20, 324, 420, 18));

    m_statusTextField = VLFlowScreen::makeLabel(view, QStringLiteral("statusTextField"), 12);
    vlSetViewFrame(m_statusTextField, QRectF(20, 346, 420, 18));
    vlSetAutoresizingMask(m_statusTextField, VLViewWidthSizable);
    m_statusTextField->hide();

    m_stopButton = new VLRoundedButton(view);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setTitle(tr("Stop"));
    vlSetViewFrame(m_stopButton, QRectF(180, 420, 100, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_stopButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_stopButton, &VLControl::actionSent, this, &VLDecryptingViewController::cancelOperation);

    // Over everything, letting presses through to what lies beneath.
    m_particleView = new VLParticleView(view);
    m_particleView->setObjectName(QStringLiteral("particleView"));
    vlSetViewFrame(m_particleView, QRectF(0, 0, 460, 500));
    vlSetAutoresizingMask(m_particleView, VLViewWidthSizable | VLViewHeightSizable);

    m_animationView = new VLEncryptProgressAnimationView;
    m_animationView->setObjectName(QStringLiteral("animationView"));
    setOverlayView(m_animationView);

    setInitialFirstResponder(m_stopButton);
    setView(view);
}

void VLDecryptingViewController::viewDidLoad()
{
    m_fileImageView->setTopImage(m_preview);
    m_fileImageView->setBottomImage(m_icon);
    m_fileImageView->setProgress(1.0);
    m_titleLabel->setText(VLFileNamer::titleForURLs(m_files));
    m_sizeLabel->hide();
    VLTerminatorProxy::sharedInstance()->setTerminator(this);
}

void VLDecryptingViewController::viewWillAppear(bool animated)
{
    Q_UNUSED(animated)
    const QRectF bar = VLRectFromBottomLeft(overlayFrame(), view()->height());
    m_particleView->setEmitterPosition(bar.topLeft());
    m_particleView->setEmitterSize(QSizeF(view()->width(), bar.height()));
    m_animationView->setAnimating(true);
}

void VLDecryptingViewController::viewDidAppear(bool animated)
{
    Q_UNUSED(animated)
    VLFlowScreen::tracker().trackView(QStringLiteral("Decryption Progress"));
    const QRectF signalRect = m_titleLabel && m_titleLabel->window()
                                  ? QRectF(m_titleLabel->mapTo(m_titleLabel->window(), QPoint(0, 0)),
                                           QSizeF(m_titleLabel->size()))
                                  : QRectF();
    m_particleView->setAnimates(true);
    m_particleView->setGlows(true);
    // The panel holding the overlay view is the bar, also while the overlay's fade-in still runs.
    QWidget *bar = overlayContainer() ? overlayContainer() : m_animationView->parentWidget();
    m_progress.start(bar, m_fileImageView, m_particleView, signalRect, -350, false, this);
    if (m_dezerider)
        m_dezerider->decryptWithPassword(m_password);
}

void VLDecryptingViewController::viewDidDisappear(bool animated)
{
    Q_UNUSED(animated)
    if (m_animationView)
        m_animationView->setAnimating(false);
    if (m_particleView) {
        m_particleView->setAnimates(false);
        m_particleView->setGlows(false);
    }
}

QList<QWidget *> VLDecryptingViewController::nonanimatableViews() const
{
    return {m_fileImageView, m_titleLabel, VLTitledViewController::titleView()};
}

void VLDecryptingViewController::endFlow()
{
    m_progress.stop();
    stopJob();
    VLTempCleaner::sharedInstance().clean();
}

void VLDecryptingViewController::cancelOperation()
{
    // Nothing is left to stop once the flow has ended or the result screen is on its way (the
    // Stop button is disabled then; Escape follows it).
    if (m_progress.isStopped() || m_handingOver)
        return;
    endFlow();
    VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Decryption Stopped"));
    if (VLNavigationController *navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

QString VLDecryptingViewController::rootItemName() const
{
    return m_files.isEmpty() ? QString() : QFileInfo(m_files.first().toLocalFile()).fileName();
}

void VLDecryptingViewController::dezeriderDidStartedWithArchiveURL(VLDezerider *dezerider, const QUrl &archiveURL)
{
    Q_UNUSED(dezerider)
    Q_UNUSED(archiveURL)
    m_progress.markJobStarted();
}

void VLDecryptingViewController::dezeriderDidFailedWithError(VLDezerider *dezerider, const VLError &error)
{
    Q_UNUSED(dezerider)
    // A damaged item is reported twice in a row (the item's check, then the job's end); one
    // alert and one pop belong to the job, not two sheets stacked on the window.
    if (m_failureReported.exchange(true))
        return;
    platform::dispatchToMain(this, [this, error] {
        // A stop came first: its cancel is the job's end, and no alert follows it.
        if (m_progress.isStopped())
            return;
        // A failed decryption leaves nothing to save: what it restored, the damaged item's
        // unchecked bytes included, goes once the job has let go of it.
        endFlow();
        QPointer<VLDecryptingViewController> self(this);
        VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(
            error, rootItemName(), view()->window(), [self](int) {
                VLFlowScreen::navigateWhenPossible(
                    self, [](VLNavigationController *navigation) { navigation->popViewControllerAnimated(true); });
            });
    });
}

void VLDecryptingViewController::dezeriderDidFinishedWithResultURL(VLDezerider *dezerider, const QUrl &url)
{
    const bool special = dezerider->specialScenario();
    platform::dispatchToMain(this, [this, url, special] { finished(url, special); });
}

void VLDecryptingViewController::finished(const QUrl &url, bool specialScenario)
{
    if (m_progress.isStopped())
        return;
    showRootNameIfDue();
    QPointer<VLDecryptingViewController> self(this);
    m_progress.finish([self, url, specialScenario] {
        if (!self)
            return;
        self->m_handingOver = true;
        VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Decryption Successful"),
                                           hintLabel(self->m_dezerider->hint()));
        self->m_stopButton->setEnabled(false);
        VLViewControllerPtr next;
        if (specialScenario)
            next = VLViewController::create<VLSpecialCaseViewController>(url, self->m_preview);
        else
            next = VLViewController::create<VLDecryptedViewController>(url, self->m_preview);
        VLFlowScreen::navigateWhenPossible(
            self, [next](VLNavigationController *navigation) { navigation->pushViewControllerAnimated(next, true); });
    });
}

void VLDecryptingViewController::dezeriderDidUpdateProgress(VLDezerider *dezerider, float progress)
{
    Q_UNUSED(dezerider)
    platform::dispatchToMain(this, [this, progress] {
        showRootNameIfDue();
        m_progress.reportProgress(progress);
    });
}

void VLDecryptingViewController::dezeriderDidUpdateEstimationTime(VLDezerider *dezerider, const QString &estimation)
{
    Q_UNUSED(dezerider)
    platform::dispatchToMain(this, [this, estimation] {
        if (m_statusTextField->isHidden() && m_progress.isEstimationDue())
            m_statusTextField->show();
        m_statusTextField->setText(estimation);
    });
}

void VLDecryptingViewController::popAnimationDidIntersectSignalRect(VLCryptingProcessAnimation *animation)
{
    Q_UNUSED(animation)
    m_titleDue = true;
    showRootNameIfDue();
}

void VLDecryptingViewController::showRootNameIfDue()
{
    const QString rootName = m_titleDue && m_dezerider ? m_dezerider->rootName() : QString();
    if (rootName.isNull() || !m_titleLabel)
        return;
    // A name that begins with a full stop (".config") keeps it: only an extension goes.
    m_titleLabel->setText(VLPathComponents::deletingPathExtension(rootName));
    m_titleDue = false;
}

bool VLDecryptingViewController::shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy)
{
    // A stopped or failed flow has no job left to lose.
    if (m_progress.isStopped())
        return false;
    QPointer<VLDecryptingViewController> self(this);
    QPointer<VLTerminatorProxy> guardedProxy(proxy);
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        view()->window(), VLErrorsHandler::unfinishedItemAlert(rootItemName()), [self, guardedProxy](int answer) {
            if (answer != 1) {
                // The job goes on, and a later quit asks again.
                if (guardedProxy)
                    guardedProxy->cancelTermination(self);
                return;
            }
            // The quit empties the work folders next; the job lets go of them first.
            if (self) {
                self->m_progress.stop();
                self->stopJob();
            }
            if (guardedProxy)
                guardedProxy->continueTermination();
        });
    return true;
}

void VLDecryptingViewController::insertText(const QString &text)
{
    Q_UNUSED(text)
}

void VLDecryptingViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::cancelOperation)
        cancelOperation();
}
