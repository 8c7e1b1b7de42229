#include "screens/decrypt/VLSpecialCaseViewController.h"
#include "screens/VLScreenStyle.h"

#include "companion/SWLinkBuilder.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRoundedButton.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/desktop/FileManager.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLScreenView.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QLabel>

namespace {

// Where the icon and the title come to rest, and where they start.
constexpr double kIconRestingTop = 70.0;
constexpr double kIconStartingTop = 110.0;
constexpr double kTitleRestingTop = 246.0;
constexpr double kTitleStartingTop = 258.0;

void slide(QWidget *view, double top, double begin, const QString &key)
{
    if (!view)
        return;
    const QRectF frame = vlViewFrame(view);
    auto animation = VLBasicAnimation::animationWithPropertyNamed(kVLViewFrame);
    animation->setToValue(frame.translated(0, top - frame.y()));
    animation->setBeginTime(begin);
    animation->setDuration(0.35);
    VLAnimator::addAnimationForKey(view, animation, key);
}

} // namespace

VLSpecialCaseViewController::VLSpecialCaseViewController(const QUrl &decryptedItemURL, const QImage &preview,
                                                         QObject *parent)
    : VLTitledViewController(parent)
    , m_decryptedItemURL(decryptedItemURL)
    , m_preview(preview)
{
    setObjectName(QStringLiteral("VLSpecialCaseViewController"));
    setOverlayFrame(QRectF(0, -26, kVLViewNoIntrinsicMetric, 26));
}

VLSpecialCaseViewController::~VLSpecialCaseViewController() = default;

void VLSpecialCaseViewController::loadView()
{
    auto *view = new VLScreenView(this);
    // Takes the focus when nothing else on the screen does, so Return and Escape still arrive.
    view->setFocusPolicy(Qt::ClickFocus);
    view->setObjectName(QStringLiteral("specialCaseView"));
    view->resize(460, 500);

    m_dragSourceView = new VLDragSourceView(view);
    m_dragSourceView->setObjectName(QStringLiteral("dragSourceView"));
    vlSetViewFrame(m_dragSourceView, QRectF(90, kIconStartingTop, 280, 128));
    m_iconView = new VLEncryptProgressImageView(m_dragSourceView);
    m_iconView->setObjectName(QStringLiteral("iconView"));
    vlSetViewFrame(m_iconView, QRectF(76, 0, 128, 128));
    m_dragSourceView->setIconView(m_iconView);

    m_fileNameField = VLFlowScreen::makeLabel(view, QStringLiteral("fileNameField"), 15, true);
    vlSetViewFrame(m_fileNameField, QRectF(20, 206, 420, 22));

    m_titleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("titleLabel"), 20, true);
    m_titleLabel->setText(tr("A Gift for You!"));
    vlSetViewFrame(m_titleLabel, QRectF(20, kTitleStartingTop, 420, 30));
    setTitleView(m_titleLabel);

    m_subtitleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("subtitleLabel"), 13);
    m_subtitleLabel->setText(tr("You have unlocked a give-away. Open it to claim your gift."));
    m_subtitleLabel->setWordWrap(true);
    vlSetViewFrame(m_subtitleLabel, QRectF(40, 296, 380, 40));

    m_openButton = new VLRoundedButton(view);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setTitle(tr("Open"));
    vlSetViewFrame(m_openButton, QRectF(170, 402, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_openButton, VLScreenStyle::ButtonRole::Primary);
    connect(m_openButton, &VLControl::actionSent, this, &VLSpecialCaseViewController::openFiles);

    setInitialFirstResponder(m_openButton);
    setView(view);
}

void VLSpecialCaseViewController::viewDidLoad()
{
    // The item carries no drag: a press on it moves the window instead.
    m_dragSourceView->setDelegate(this);
    m_dragSourceView->setDragOperation(VLDragOperationNone);
    m_dragSourceView->setDraggingURL(m_decryptedItemURL);
    m_iconView->setTopImage(m_preview);
    m_fileNameField->setText(VLFileNamer::titleForURLs({m_decryptedItemURL}));
}

void VLSpecialCaseViewController::viewDidAppear(bool animated)
{
    Q_UNUSED(animated)
    slideIconView();
}

void VLSpecialCaseViewController::viewWillDisappear(bool animated)
{
    Q_UNUSED(animated)
    VLPreviewWindow::closeSharedPreviewWindow();
}

void VLSpecialCaseViewController::slideIconView()
{
    const double begin = VLAnimator::currentMediaTime() + 0.2;
    slide(m_dragSourceView, kIconRestingTop, begin, QStringLiteral("iconTopSpaceConstraintAnimation"));
    slide(m_titleLabel, kTitleRestingTop, begin, QStringLiteral("titleTopSpaceConstraintAnimation"));
}

QList<QWidget *> VLSpecialCaseViewController::nonanimatableViews() const
{
    return {m_iconView, m_fileNameField, VLTitledViewController::titleView()};
}

void VLSpecialCaseViewController::openFiles()
{
    platform::openURL(SWLinkBuilder::tdsURLGiveAwayAction());
}

void VLSpecialCaseViewController::cancelOperation()
{
    if (VLNavigationController *navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
}

void VLSpecialCaseViewController::toggleQuickLook()
{
    VLPreviewWindow::toggleSharedPreviewWindowForURL(m_decryptedItemURL, view()->window());
}

VLDragSourceViewDelegate::Callbacks VLSpecialCaseViewController::answeredDragSourceViewCallbacks() const
{
    return Callback::PerformActionWithURL;
}

void VLSpecialCaseViewController::dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url)
{
    Q_UNUSED(view)
    Q_UNUSED(url)
    toggleQuickLook();
}

void VLSpecialCaseViewController::insertText(const QString &text)
{
    if (text == u" ")
        toggleQuickLook();
}

void VLSpecialCaseViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        openFiles();
    else if (command == platform::Command::cancelOperation)
        cancelOperation();
}
