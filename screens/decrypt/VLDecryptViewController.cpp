#include "screens/decrypt/VLDecryptViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLColoredView.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "engine/access/VLDriveAccessController.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/view/ViewFrame.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLScreenView.h"
#include "screens/decrypt/VLArchiveOpener.h"
#include "screens/decrypt/VLDecryptingViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"

#include <QLabel>

namespace {

const QString kWorkflow = QStringLiteral("Workflow");
constexpr double kShakeDistance = 7.0;
constexpr double kShakeStepDuration = 0.07;
constexpr int kShakeRepeats = 4; // legs

} // namespace

VLDecryptViewController::VLDecryptViewController(const QList<QUrl> &files, QObject *parent)
    : VLTitledViewController(parent)
    , m_files(files)
{
    setObjectName(QStringLiteral("VLDecryptViewController"));
    if (!files.isEmpty())
        m_opener = VLArchiveOpener::openerWithArchivePath(files.first().toLocalFile());
    setOverlayFrame(QRectF(0, 63, kVLViewNoIntrinsicMetric, 37));
}

// Discarding the opener releases its background open, parked or not, whichever way the screen
// goes (popped, left under the progress screen and popped with it, or the window closed).
VLDecryptViewController::~VLDecryptViewController() = default;

void VLDecryptViewController::loadView()
{
    auto *view = new VLScreenView(this);
    // Takes the focus when nothing else on the screen does, so Return and Escape still arrive.
    view->setFocusPolicy(Qt::ClickFocus);
    view->setObjectName(QStringLiteral("decryptView"));
    view->resize(460, 500);

    m_fileImageView = new VLEncryptProgressImageView(view);
    m_fileImageView->setObjectName(QStringLiteral("fileImageView"));
    vlSetViewFrame(m_fileImageView, QRectF(166, 70, 128, 128));
    vlSetAutoresizingMask(m_fileImageView, VLViewMinXMargin | VLViewMaxXMargin);

    m_titleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("titleLabel"), 17, true);
    vlSetViewFrame(m_titleLabel, QRectF(20, 210, 420, 26));
    vlSetAutoresizingMask(m_titleLabel, VLViewWidthSizable);
    setTitleView(m_titleLabel);

    m_sizeLabel = VLFlowScreen::makeLabel(view, QStringLiteral("sizeLabel"), 12);
    vlSetViewFrame(m_sizeLabel, QRectF(20, 238, 420, 18));
    vlSetAutoresizingMask(m_sizeLabel, VLViewWidthSizable);

    // The password lies on an amber band, as on the encrypt side: dark centred text, no box.
    auto *band = new VLColoredView(view);
    band->setObjectName(QStringLiteral("passwordBand"));
    band->setSolidColor(VLScreenStyle::panelColor());
    vlSetViewFrame(band, QRectF(0, 284, 460, 42));
    vlSetAutoresizingMask(band, VLViewWidthSizable);
    m_passwordTextField = new VLTextField(view);
    m_passwordTextField->setObjectName(QStringLiteral("passwordTextField"));
    m_passwordTextField->setSecure(true);
    m_passwordTextField->setPlaceholder(tr("Password"));
    m_passwordTextField->setFont(VLScreenStyle::font(16));
    m_passwordTextField->setAlignment(Qt::AlignHCenter);
    m_passwordTextField->setTextColor(VLScreenStyle::panelTextColor());
    QColor placeholderColor = VLScreenStyle::panelTextColor();
    placeholderColor.setAlphaF(0.55f);
    m_passwordTextField->setPlaceholderColor(placeholderColor);
    vlSetViewFrame(m_passwordTextField, QRectF(80, 290, 300, 30));
    m_passwordTextField->setDelegate(this);

    m_passwordHintTextField = VLFlowScreen::makeLabel(view, QStringLiteral("passwordHintTextField"), 12);
    m_passwordHintTextField->setWordWrap(true);
    vlSetViewFrame(m_passwordHintTextField, QRectF(40, 326, 380, 34));

    m_decryptButton = new VLRoundedButton(view);
    m_decryptButton->setObjectName(QStringLiteral("decryptButton"));
    m_decryptButton->setTitle(tr("Decrypt"));
    vlSetViewFrame(m_decryptButton, QRectF(170, 382, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_decryptButton, VLScreenStyle::ButtonRole::Primary);
    connect(m_decryptButton, &VLControl::actionSent, this, &VLDecryptViewController::encrypt);

    m_startOverButton = new VLStartOverButton(view);
    m_startOverButton->setObjectName(QStringLiteral("startOverButton"));
    m_startOverButton->setTitle(tr("Start Over"));
    vlSetViewFrame(m_startOverButton, QRectF(0, 20, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_startOverButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_startOverButton, &VLControl::actionSent, this, &VLDecryptViewController::cancelOperation);

    setInitialFirstResponder(m_passwordTextField);
    setView(view);
}

void VLDecryptViewController::viewDidLoad()
{
    VLFlowScreen::tracker().trackView(QStringLiteral("Decryption Password Entry"));

    const QSize iconSize = m_fileImageView ? m_fileImageView->size() : QSize();
    VLFileImageComposer::composeImageFromURLsWithImageSizeCompletionBlock(
        m_files, iconSize, [self = QPointer<VLDecryptViewController>(this)](const QImage &image) {
            platform::dispatchToMain(self, [self, image] {
                if (!self || !self->m_fileImageView)
                    return;
                self->m_fileImageView->setTopImage(image);
                self->m_fileImageView->setBottomImage(image);
            });
        });

    m_titleLabel->setText(VLFileNamer::titleForURLs(m_files));
    m_sizeLabel->setText(VLFileNamer::sizeForURLs(m_files));
    const QString hint = m_opener ? m_opener->hint() : QString();
    m_passwordHintTextField->setText(hint.isEmpty() ? QString() : tr("Hint: ") + hint);
    m_decryptButton->setEnabled(false);
    if (m_opener)
        m_opener->setWindow(view()->window());
}

QList<QWidget *> VLDecryptViewController::nonanimatableViews() const
{
    return {m_fileImageView, m_titleLabel, VLTitledViewController::titleView()};
}

void VLDecryptViewController::cancelOperation()
{
    VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Start Over"), QStringLiteral("Before Decryption"));
    if (VLNavigationController *navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void VLDecryptViewController::textFieldTextDidChange(VLTextField *textField, const QString &text)
{
    Q_UNUSED(textField)
    m_decryptButton->setEnabledAnimated(!text.isEmpty(), true);
}

void VLDecryptViewController::textFieldDidWillReturn(VLTextField *textField)
{
    Q_UNUSED(textField)
    // Also while the Decrypt button is disabled: an empty password is checked like any other.
    encrypt();
}

void VLDecryptViewController::encrypt()
{
    if (!m_opener)
        return;
    // The window may have been made after the view loaded; alerts of the open go to it.
    m_opener->setWindow(view()->window());
    const QString password = m_passwordTextField->text();
    if (!m_opener->checkPassword(password)) {
        shake();
        m_passwordTextField->setFocus(Qt::OtherFocusReason);
        m_passwordTextField->selectAll();
        return;
    }
    if (!m_opener->containsApplication() || VLDriveAccessController::sharedInstance().startGrantAccess()) {
        proceed(password);
        return;
    }
    QPointer<VLDecryptViewController> self(this);
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        view()->window(), VLErrorsHandler::applicationsInArchiveAlert(), [self, password](int answer) {
            if (!self)
                return;
            // The grant is asked for but never required: the decryption goes on either way.
            if (answer == 1)
                (void)VLDriveAccessController::sharedInstance().askGrantAccessWindow(nullptr, self->view()->window());
            self->proceed(password);
        });
}

void VLDecryptViewController::proceed(const QString &password)
{
    VLFlowScreen::tracker().trackEvent(kWorkflow, QStringLiteral("Decryption Started"),
                                       m_passwordHintTextField->text().isEmpty() ? QStringLiteral("Hint Not Included")
                                                                                 : QStringLiteral("Hint Included"));
    VLFlowScreen::tracker().trackEvent(QStringLiteral("Statistics"), QStringLiteral("Decrypt File From"),
                                       m_opener->creatorSystem() == 1 ? QStringLiteral("Windows")
                                                                      : QStringLiteral("Mac"));
    if (VLNavigationController *navigation = navigationController())
        navigation->pushViewControllerAnimated(VLViewController::create<VLDecryptingViewController>(
                                                   m_files, m_fileImageView->topImage(), m_opener->preview(), password),
                                               true);
}

void VLDecryptViewController::shake()
{
    QWidget *window = view()->window();
    if (!window || !window->isWindow())
        return;
    // A shake still running finishes alone; later wrong passwords only select the text.
    if (VLAnimationPtr running = VLAnimator::animationForKey(window, postShakeAnimationKey);
        running && running->isRunning())
        return;
    const QRectF frame = vlFrame(window);
    const double now = VLAnimator::currentMediaTime();

    auto pre = VLBasicAnimation::animationWithPropertyNamed(kVLWindowFrame);
    pre->setToValue(frame.translated(-kShakeDistance, 0));
    pre->setDuration(kShakeStepDuration);

    auto shake = VLBasicAnimation::animationWithPropertyNamed(kVLWindowFrame);
    shake->setFromValue(pre->toValue());
    shake->setToValue(frame.translated(kShakeDistance, 0));
    shake->setBeginTime(now + pre->duration());
    shake->setDuration(kShakeStepDuration);
    // Four legs, there and back twice, each counted as one repeat: the shake has ended when the
    // last step brings the window home.
    shake->setRepeatCount(kShakeRepeats / 2);
    shake->setAutoreverses(true);

    auto post = VLBasicAnimation::animationWithPropertyNamed(kVLWindowFrame);
    post->setToValue(frame);
    post->setBeginTime(shake->beginTime() + kShakeRepeats * shake->duration());
    post->setDuration(pre->duration());

    VLAnimator::addAnimationForKey(window, pre, preShakeAnimationKey);
    VLAnimator::addAnimationForKey(window, shake, shakeAnimationKey);
    VLAnimator::addAnimationForKey(window, post, postShakeAnimationKey);
}

void VLDecryptViewController::insertText(const QString &text)
{
    Q_UNUSED(text)
}

void VLDecryptViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        encrypt();
    else if (command == platform::Command::cancelOperation)
        cancelOperation();
}
