#include "screens/VLEncryptingViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLColoredView.h"
#include "controls/VLRoundedButton.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLFileNamer.h"
#include "engine/files/VLTempCleaner.h"
#include "screens/VLAnimationProgressMonitor.h"
#include "screens/VLCryptingProcessAnimation.h"
#include "screens/VLEncryptProgressAnimationView.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/VLParticleView.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLScreenView.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include "platform/animation/VLAnimator.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/view/Geometry.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLabel>

namespace {

constexpr double kMonitorDuration = 2.0;
constexpr double kSlideDistance = 260.0;
constexpr double kStatusDelay = 3.0;

QString hintLabel(const QString &hint)
{
    return hint.isEmpty() ? QStringLiteral("Hint Not Included") : QStringLiteral("Hint Included");
}

} // namespace

VLEncryptingViewController::VLEncryptingViewController(const QList<QUrl> &files, const QImage &preview,
                                                       const QString &size, const QString &password,
                                                       const QString &hint, QObject *parent)
    : VLTitledViewController(parent)
    , m_files(files)
    , m_title(VLFileNamer::titleForURLs(files))
    , m_preview(preview)
    , m_size(size)
    , m_password(password)
    , m_hint(hint)
    , m_vedidador(VLVedidador::vedidadorWithSourceURLs(files))
    , m_progressMonitor(VLAnimationProgressMonitor::monitorWithDuration(kMonitorDuration))
{
    setObjectName(QStringLiteral("VLEncryptingViewController"));
    if (m_vedidador)
        m_vedidador->setDelegate(this);
    setOverlayFrame(QRectF(0, 80, kVLViewNoIntrinsicMetric, 26));
}

VLEncryptingViewController::~VLEncryptingViewController()
{
    // A screen that goes while its job runs (the window closing) leaves nothing running behind.
    stopJob();
}

QList<QWidget *> VLEncryptingViewController::nonanimatableViews() const
{
    return {m_fileImageView, m_titleLabel, titleView()};
}

void VLEncryptingViewController::loadView()
{
    auto *view = new VLScreenView(this);
    view->setObjectName(QStringLiteral("encryptingView"));
    view->resize(int(VLScreenStyle::screenWidth), int(VLScreenStyle::screenHeight));

    // The particles and the glow ride on the bar over the whole screen, under its controls.
    m_particleView = new VLParticleView(view);
    m_particleView->setObjectName(QStringLiteral("particleView"));
    vlSetViewFrame(m_particleView, vlViewBounds(view));
    vlSetAutoresizingMask(m_particleView, VLViewWidthSizable | VLViewHeightSizable);

    const VLScreenStyle::FileHeader header = VLScreenStyle::makeFileHeader(view, tr("Encryption"));
    setTitleView(header.heading);
    m_fileImageView = header.fileImageView;
    m_titleLabel = header.titleLabel;
    m_sizeLabel = header.sizeLabel;

    m_statusTextField = VLScreenStyle::makeLabel(view, QStringLiteral("statusTextField"), 12, QFont::Normal,
                                                 VLScreenStyle::secondaryTextColor());
    vlSetViewFrame(m_statusTextField, QRectF(30, 424, VLScreenStyle::screenWidth - 60, 18));
    vlSetAutoresizingMask(m_statusTextField, VLViewWidthSizable | VLViewMaxYMargin);
    m_statusTextField->hide();

    m_stopButton = new VLRoundedButton(view);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setTitle(tr("Stop"));
    vlSetViewFrame(m_stopButton,
                   QRectF((VLScreenStyle::screenWidth - 110) * 0.5, 452, 110, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_stopButton, VLScreenStyle::ButtonRole::Secondary);
    vlSetAutoresizingMask(m_stopButton, VLViewMinXMargin | VLViewMaxXMargin | VLViewMaxYMargin);
    m_stopButton->setTarget(this);
    m_stopButton->setAction(QStringLiteral("cancelOperation"));

    // The bar: the amber panel with the sliding characters.
    auto *bar = new VLScreenView(this);
    bar->setObjectName(QStringLiteral("encryptingBar"));
    bar->resize(int(VLScreenStyle::screenWidth), 26);
    auto *background = new VLColoredView(bar);
    background->setSolidColor(VLScreenStyle::panelColor());
    vlSetViewFrame(background, vlViewBounds(bar));
    vlSetAutoresizingMask(background, VLViewWidthSizable | VLViewHeightSizable);
    m_animationView = new VLEncryptProgressAnimationView(bar);
    m_animationView->setObjectName(QStringLiteral("animationView"));
    vlSetViewFrame(m_animationView, vlViewBounds(bar));
    vlSetAutoresizingMask(m_animationView, VLViewWidthSizable | VLViewHeightSizable);
    // Commands its controls leave alone reach this screen, not the window's content.
    vlSetNextResponder(bar, this);
    setOverlayView(bar);
    setView(view);
}

void VLEncryptingViewController::viewDidLoad()
{
    VLTitledViewController::viewDidLoad();
    m_fileImageView->setTopImage(m_preview);
    QImageReader container(VLFileImageComposer::vaultImageResource);
    container.setScaledSize(m_fileImageView->size() * 2);
    m_fileImageView->setBottomImage(container.read());
    VLScreenStyle::setElidedText(m_titleLabel, m_title);
    m_sizeLabel->setText(m_size);
    m_sizeLabel->hide();
}

void VLEncryptingViewController::viewWillAppear(bool animated)
{
    VLTitledViewController::viewWillAppear(animated);
    const QWidget *superview = overlayContainer() ? vlSuperview(overlayContainer()) : nullptr;
    const double height = superview ? superview->height() : view()->height();
    const QRectF overlay = VLRectFromBottomLeft(
        QRectF(overlayFrame().x(), overlayFrame().y(), vlViewBounds(view()).width(), overlayFrame().height()), height);
    m_particleView->setEmitterPosition(overlay.topLeft());
    m_particleView->setEmitterSize(QSizeF(vlViewBounds(view()).width(), overlay.height()));
    m_animationView->setAnimating(true);
}

void VLEncryptingViewController::viewDidAppear(bool animated)
{
    VLTitledViewController::viewDidAppear(animated);
    SWAnalyticsTracker::defaultTracker().trackView(QStringLiteral("Encryption Progress"));

    QWidget *bar = overlayContainer();
    auto sliding = VLCryptingProcessAnimation::animationWithProgressImageViewParticleView(m_fileImageView,
                                                                                          m_particleView);
    if (bar)
        sliding->setFromValue(vlViewFrame(bar));
    sliding->setByValue(kSlideDistance);
    sliding->setVelocity(0);
    sliding->setUp(true);
    const std::weak_ptr<VLAnimationProgressMonitor> monitor = m_progressMonitor;
    sliding->setCompletionBlock([monitor](VLAnimation *animation, bool) {
        if (auto held = monitor.lock())
            held->animationFinished(animation);
    });
    m_particleView->setAnimates(true);
    m_particleView->setGlows(true);
    if (bar)
        VLAnimator::addAnimationForKey(bar, sliding, VLCryptingProcessAnimation::slidingAnimationKey);
    m_progressMonitor->appendProgressPoint(0);

    if (m_vedidador)
        m_vedidador->encryptWithPasswordHint(m_password, m_hint);
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Encryption Started"),
                                                    hintLabel(m_hint));
    m_password.fill(u'\0');
    m_password.clear();
}

void VLEncryptingViewController::viewDidDisappear(bool animated)
{
    VLTitledViewController::viewDidDisappear(animated);
    m_animationView->setAnimating(false);
    m_particleView->setAnimates(false);
    m_particleView->setGlows(false);
}

// The job's reports

void VLEncryptingViewController::vedidadorDidStartedWithURLs(VLVedidador *, const QList<QUrl> &)
{
    platform::dispatchToMain(this, [this] {
        if (m_startingTime < 0)
            m_startingTime = VLAnimator::currentMediaTime();
    });
}

void VLEncryptingViewController::vedidadorDidUpdateProgress(VLVedidador *, float progress)
{
    platform::dispatchToMain(this, [this, progress] { updateProgress(progress); });
}

void VLEncryptingViewController::vedidadorDidUpdateEstimationTime(VLVedidador *, const QString &estimation)
{
    platform::dispatchToMain(this, [this, estimation] { updateEstimation(estimation); });
}

void VLEncryptingViewController::vedidadorDidFinishedWithResultURL(VLVedidador *, const QUrl &url)
{
    platform::dispatchToMain(this, [this, url] { finished(url); });
}

void VLEncryptingViewController::vedidadorDidFailedWithError(VLVedidador *, const VLError &error)
{
    platform::dispatchToMain(this, [this, error] { failed(error); });
}

void VLEncryptingViewController::updateProgress(float progress)
{
    if (m_stopped)
        return;
    m_progressMonitor->appendProgressPoint(progress > 0 ? progress / 100.0 : 0.0);
    QWidget *bar = overlayContainer();
    if (auto sliding = std::dynamic_pointer_cast<VLCryptingProcessAnimation>(
            bar ? VLAnimator::animationForKey(bar, VLCryptingProcessAnimation::slidingAnimationKey) : nullptr)) {
        sliding->setRealProgress(progress / 100.0);
        sliding->setVelocity(m_progressMonitor->currentVelocityEstimation());
    }
}

void VLEncryptingViewController::updateEstimation(const QString &estimation)
{
    if (m_stopped)
        return;
    if (m_statusTextField->isHidden() && m_startingTime >= 0
        && VLAnimator::currentMediaTime() - m_startingTime > kStatusDelay)
        m_statusTextField->show();
    m_statusTextField->setText(estimation);
}

void VLEncryptingViewController::finished(const QUrl &url)
{
    if (m_stopped)
        return;
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Encryption Successful"),
                                                    hintLabel(m_hint));
    QPointer<VLEncryptingViewController> self(this);
    m_progressMonitor->setCompletion([self, url] {
        if (!self || self->m_stopped)
            return;
        self->m_stopButton->setEnabledAnimated(false, true);
        if (VLNavigationController *navigation = self->navigationController())
            navigation->pushViewControllerAnimated(
                VLViewController::create<VLEncryptedViewController>(url, self->m_files), true);
    });
    m_progressMonitor->processFinished();
}

void VLEncryptingViewController::failed(const VLError &error)
{
    if (m_stopped)
        return;
    m_stopped = true;
    QPointer<VLEncryptingViewController> self(this);
    VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(error, m_title, view()->window(), [self](int) {
        if (self && self->navigationController())
            self->navigationController()->popViewControllerAnimated(true);
    });
}

// Stopping and quitting

void VLEncryptingViewController::stopJob()
{
    if (!m_vedidador)
        return;
    m_vedidador->setDelegate(nullptr);
    m_vedidador->cancel();
    if (!m_vedidador->waitUntilStopped(stopWaitBound))
        platform::log(QStringLiteral("[Encrypt]: the stopped job has not let go of its work folder in time."));
}

void VLEncryptingViewController::cancelOperation()
{
    if (m_stopped)
        return;
    m_stopped = true;
    stopJob();
    VLTempCleaner::sharedInstance().clean();
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Encryption Stopped"));
    if (VLNavigationController *navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

bool VLEncryptingViewController::shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy)
{
    const QString name = m_files.isEmpty() ? QString() : QFileInfo(m_files.first().toLocalFile()).fileName();
    QPointer<VLEncryptingViewController> self(this);
    QPointer<VLTerminatorProxy> terminator(proxy);
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        view()->window(), VLErrorsHandler::unfinishedItemAlert(name), [self, terminator](int returnCode) {
            if (returnCode != VLAlert::defaultReturn) {
                // The job goes on, so a later quit must ask again rather than pass straight on to
                // emptying the work folders under it.
                if (terminator)
                    terminator->cancelTermination(self);
                return;
            }
            // The quit empties the work folders next: the job must be done with them first.
            if (self) {
                self->m_stopped = true;
                self->stopJob();
            }
            if (terminator)
                terminator->continueTermination();
        });
    return true;
}

// Keys

void VLEncryptingViewController::insertText(const QString &)
{
}

void VLEncryptingViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::cancelOperation)
        cancelOperation();
}
