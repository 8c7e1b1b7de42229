#include "screens/VLEncryptViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLColoredView.h"
#include "controls/VLRevealButton.h"
#include "controls/VLStartOverButton.h"
#include "controls/VLTextField.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLFileNamer.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptingViewController.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLScreenView.h"
#include "screens/VLSpinner.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include "platform/dispatch/Dispatch.h"

#include <QLabel>
#include <QMouseEvent>

namespace {

constexpr double kPanelHeight = 66.0;
constexpr double kFieldHeight = 26.0;
constexpr double kSpinnerSide = 16.0;

// The fields are part of the amber panel: no box of their own, dark centred text.
VLTextField *makeField(QWidget *parent, const QString &name, const QString &placeholder, double pixelSize,
                       VLTextFieldDelegate *delegate)
{
    auto *field = new VLTextField(parent);
    field->setObjectName(name);
    field->setFont(VLScreenStyle::font(pixelSize));
    field->setAlignment(Qt::AlignHCenter);
    field->setPlaceholder(placeholder);
    field->setTextColor(VLScreenStyle::panelTextColor());
    QColor placeholderColor = VLScreenStyle::panelTextColor();
    placeholderColor.setAlphaF(0.55f);
    field->setPlaceholderColor(placeholderColor);
    field->setDelegate(delegate);
    return field;
}

} // namespace

VLEncryptViewController::VLEncryptViewController(const QList<QUrl> &files, QObject *parent)
    : VLTitledViewController(parent)
    , m_files(files)
{
    setObjectName(QStringLiteral("VLEncryptViewController"));
    setOverlayFrame(QRectF(0, 63, kVLViewNoIntrinsicMetric, kPanelHeight));
}

VLEncryptViewController::~VLEncryptViewController() = default;

QList<QWidget *> VLEncryptViewController::nonanimatableViews() const
{
    return {m_fileImageView, m_titleLabel, titleView()};
}

QWidget *VLEncryptViewController::spinner() const
{
    return m_spinner;
}

void VLEncryptViewController::loadView()
{
    const double width = VLScreenStyle::screenWidth;
    auto *view = new VLScreenView(this);
    view->setObjectName(QStringLiteral("encryptView"));
    view->resize(int(width), int(VLScreenStyle::screenHeight));

    const VLScreenStyle::FileHeader header = VLScreenStyle::makeFileHeader(view, tr("Encryption"));
    setTitleView(header.heading);
    m_fileImageView = header.fileImageView;
    m_titleLabel = header.titleLabel;
    m_sizeLabel = header.sizeLabel;
    m_fileImageView->setCursor(Qt::PointingHandCursor);
    m_fileImageView->setToolTip(tr("Preview"));
    m_fileImageView->installEventFilter(this);

    auto *caption = VLScreenStyle::makeLabel(view, QStringLiteral("passwordCaption"), 13, QFont::Normal,
                                             VLScreenStyle::textColor());
    caption->setText(tr("Choose a password. You will need it to open the container."));
    caption->setWordWrap(true);
    vlSetViewFrame(caption, QRectF(40, 300, width - 80, 40));
    vlSetAutoresizingMask(caption, VLViewWidthSizable | VLViewMaxYMargin);

    m_startOverButton = new VLStartOverButton(view);
    m_startOverButton->setObjectName(QStringLiteral("startOverButton"));
    m_startOverButton->setTitle(tr("Start Over"));
    vlSetViewFrame(m_startOverButton, QRectF(0, 452, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_startOverButton, VLScreenStyle::ButtonRole::Secondary);
    vlSetAutoresizingMask(m_startOverButton, VLViewMaxXMargin | VLViewMaxYMargin);
    m_startOverButton->setTarget(this);
    m_startOverButton->setAction(QStringLiteral("cancelOperation"));

    m_encryptButton = new VLRoundedButton(view);
    m_encryptButton->setObjectName(QStringLiteral("encryptButton"));
    m_encryptButton->setTitle(tr("Encrypt"));
    vlSetViewFrame(m_encryptButton, QRectF(width - 130, 452, 110, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_encryptButton, VLScreenStyle::ButtonRole::Primary);
    vlSetAutoresizingMask(m_encryptButton, VLViewMinXMargin | VLViewMaxYMargin);
    m_encryptButton->setTarget(this);
    m_encryptButton->setAction(QStringLiteral("encrypt"));

    // The overlay panel holds the two fields; the toggle lies over the password's right end.
    auto *panel = new VLScreenView(this);
    panel->setObjectName(QStringLiteral("passwordPanel"));
    panel->resize(int(width), int(kPanelHeight));
    auto *background = new VLColoredView(panel);
    background->setSolidColor(VLScreenStyle::panelColor());
    vlSetViewFrame(background, vlViewBounds(panel));
    vlSetAutoresizingMask(background, VLViewWidthSizable | VLViewHeightSizable);
    m_passwordField = makeField(panel, QStringLiteral("passwordField"), tr("Enter Password"), 16, this);
    m_passwordField->setSecure(true);
    vlSetViewFrame(m_passwordField, QRectF(90, 4, width - 180, kFieldHeight));
    vlSetAutoresizingMask(m_passwordField, VLViewWidthSizable);
    m_passwordHintField = makeField(panel, QStringLiteral("passwordHintField"), tr("Password Hint (optional)"), 13,
                                    this);
    vlSetViewFrame(m_passwordHintField, QRectF(90, 36, width - 180, kFieldHeight));
    auto *separator = new VLColoredView(panel);
    separator->setSolidColor(VLScreenStyle::panelTextColor().lighter(300));
    vlSetViewFrame(separator, QRectF(90, 32.5, width - 180, 1));
    vlSetAutoresizingMask(separator, VLViewWidthSizable);
    vlSetAutoresizingMask(m_passwordHintField, VLViewWidthSizable);
    m_revealButton = new VLRevealButton(panel);
    m_revealButton->setObjectName(QStringLiteral("revealButton"));
    vlSetViewFrame(m_revealButton, QRectF(width - 20 - 56, 4 + 3, 56, kFieldHeight - 6));
    vlSetAutoresizingMask(m_revealButton, VLViewMinXMargin);
    m_revealButton->setTarget(this);
    m_revealButton->setAction(QStringLiteral("revealPassword"));
    // Commands its controls leave alone reach this screen, not the window's content.
    vlSetNextResponder(panel, this);
    setOverlayView(panel);
    setInitialFirstResponder(m_passwordField);
    setView(view);
}

void VLEncryptViewController::viewDidLoad()
{
    VLTitledViewController::viewDidLoad();

    const QRectF imageFrame = vlViewFrame(m_fileImageView);
    m_spinner = new VLSpinner(m_fileImageView);
    m_spinner->setObjectName(QStringLiteral("spinner"));
    vlSetViewFrame(m_spinner, QRectF((imageFrame.width() - kSpinnerSide) * 0.5,
                                     (imageFrame.height() - kSpinnerSide) * 0.5, kSpinnerSide, kSpinnerSide));
    m_spinner->show();
    m_spinner->startAnimation();

    // The background work may end after the screen has gone; it then has nothing to update.
    QPointer<VLEncryptViewController> self(this);
    VLFileImageComposer::composeImageFromURLsWithImageSizeCompletionBlock(
        m_files, imageFrame.size().toSize(), [self](const QImage &image) {
            platform::dispatchToMain([self, image] {
                if (!self)
                    return;
                self->m_spinner->stopAnimation();
                self->m_spinner->hide();
                self->m_fileImageView->setTopImage(image);
            });
        });
    m_sizeLabel->setText(tr("Calculating Size..."));
    VLScreenStyle::setElidedText(m_titleLabel, VLFileNamer::titleForURLs(m_files));
    VLFileNamer::sizeForURLsCompletionBlock(m_files, [self](const QString &size) {
        platform::dispatchToMain([self, size] {
            if (self)
                self->m_sizeLabel->setText(size);
        });
    });

    m_encryptButton->setEnabled(false);
    m_revealButton->hide();
    VLEdgeInsets insets;
    insets.right = vlViewFrame(m_revealButton).width() + 2.0;
    m_passwordField->setContentInset(insets);
}

void VLEncryptViewController::viewDidAppear(bool animated)
{
    VLTitledViewController::viewDidAppear(animated);
    SWAnalyticsTracker::defaultTracker().trackView(QStringLiteral("Encryption Password Entry"));
}

void VLEncryptViewController::viewWillDisappear(bool animated)
{
    VLTitledViewController::viewWillDisappear(animated);
    VLPreviewWindow::closeSharedPreviewWindow();
}

bool VLEncryptViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_fileImageView && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton
        && m_fileImageView->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
        toggleQuickLook();
        return true;
    }
    return VLTitledViewController::eventFilter(watched, event);
}

void VLEncryptViewController::toggleQuickLook()
{
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("QuickLook Preview"),
                                                    QStringLiteral("Encryption"));
    VLPreviewWindow::toggleSharedPreviewWindowForURLs(m_files, view()->window());
}

void VLEncryptViewController::updateButtons(bool animated)
{
    const bool hasPassword = !m_passwordField->text().isEmpty();
    m_encryptButton->setEnabledAnimated(hasPassword, animated);
    m_revealButton->setVisible(hasPassword);
}

void VLEncryptViewController::textFieldTextDidChange(VLTextField *, const QString &)
{
    updateButtons(true);
}

void VLEncryptViewController::textFieldDidWillReturn(VLTextField *)
{
    encrypt();
}

void VLEncryptViewController::encrypt()
{
    if (m_passwordField->text().isEmpty()) {
        vlMakeFirstResponder(m_passwordField->window(), m_passwordField);
        m_passwordField->selectAll();
        return;
    }
    VLNavigationController *navigation = navigationController();
    if (!navigation)
        return;
    navigation->pushViewControllerAnimated(
        VLViewController::create<VLEncryptingViewController>(m_files, m_fileImageView->topImage(), m_sizeLabel->text(),
                                                             m_passwordField->text(), m_passwordHintField->text()),
        true);
}

void VLEncryptViewController::revealPassword()
{
    m_passwordField->setSecure(!m_passwordField->isSecure());
}

void VLEncryptViewController::cancelOperation()
{
    SWAnalyticsTracker::defaultTracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Start Over"),
                                                    QStringLiteral("Before Encryption"));
    if (VLNavigationController *navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

// Keys that reach the screen outside its fields

void VLEncryptViewController::insertText(const QString &)
{
    // Typing starts the password, though this press itself is not part of it.
    QWidget *window = m_passwordField->window();
    window->activateWindow();
    vlMakeFirstResponder(window, m_passwordField);
}

void VLEncryptViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        encrypt();
    else if (command == platform::Command::cancelOperation)
        cancelOperation();
}
