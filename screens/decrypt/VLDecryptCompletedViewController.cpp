#include "screens/decrypt/VLDecryptCompletedViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "platform/desktop/FileManager.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLScreenStyle.h"
#include "screens/VLScreenView.h"
#include "screens/decrypt/VLDecryptCompletedCheckmarkView.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QFileInfo>
#include <QLabel>

VLDecryptCompletedViewController::VLDecryptCompletedViewController(const QUrl &url, bool success, QObject *parent)
    : VLTitledViewController(parent)
    , m_url(url)
    , m_success(success)
{
    setObjectName(QStringLiteral("VLDecryptCompletedViewController"));
    setOverlayFrame(QRectF(0, 200, kVLViewNoIntrinsicMetric, 0));
}

VLDecryptCompletedViewController::~VLDecryptCompletedViewController() = default;

QString VLDecryptCompletedViewController::titleForURL(const QUrl &url)
{
    // Nothing told where the item went: it is out of the work folder, but no place is named.
    if (url.isEmpty())
        return tr("Decrypted and Moved Out!");
    const bool folder = QFileInfo(url.toLocalFile()).isDir();
    return (folder ? tr("Folder") : tr("File")) + tr(" Decrypted and Saved!");
}

void VLDecryptCompletedViewController::loadView()
{
    auto *view = new VLScreenView(this);
    // Takes the focus when nothing else on the screen does, so Return and Escape still arrive.
    view->setFocusPolicy(Qt::ClickFocus);
    view->setObjectName(QStringLiteral("decryptCompletedView"));
    view->resize(460, 500);

    m_checkmarkView = new VLDecryptCompletedCheckmarkView(view);
    m_checkmarkView->setObjectName(QStringLiteral("checkmarkView"));
    vlSetViewFrame(m_checkmarkView, QRectF(166, 110, 128, 128));
    vlSetAutoresizingMask(m_checkmarkView, VLViewMinXMargin | VLViewMaxXMargin);

    m_titleLabel = VLFlowScreen::makeLabel(view, QStringLiteral("titleLabel"), 20, true);
    vlSetViewFrame(m_titleLabel, QRectF(20, 262, 420, 30));
    vlSetAutoresizingMask(m_titleLabel, VLViewWidthSizable);
    setTitleView(m_titleLabel);

    m_unknownPlaceLabel = VLScreenStyle::makeLabel(view, QStringLiteral("unknownPlaceLabel"), 13, QFont::Normal,
                                                   VLScreenStyle::secondaryTextColor());
    m_unknownPlaceLabel->setWordWrap(true);
    m_unknownPlaceLabel->setText(tr("The desktop did not tell where the item was dropped. "
                                    "Look for it in the folder you dropped it in."));
    vlSetViewFrame(m_unknownPlaceLabel, QRectF(40, 300, 380, 44));
    vlSetAutoresizingMask(m_unknownPlaceLabel, VLViewWidthSizable);

    m_openButton = new VLRoundedButton(view);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setTitle(tr("Open"));
    vlSetViewFrame(m_openButton, QRectF(80, 332, 140, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_openButton, VLScreenStyle::ButtonRole::Primary);
    connect(m_openButton, &VLControl::actionSent, this, &VLDecryptCompletedViewController::openFiles);

    m_revealButton = new VLRoundedButton(view);
    m_revealButton->setObjectName(QStringLiteral("revealButton"));
    m_revealButton->setTitle(tr("Show in File Manager"));
    vlSetViewFrame(m_revealButton, QRectF(230, 332, 170, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_revealButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_revealButton, &VLControl::actionSent, this, &VLDecryptCompletedViewController::revealInFinder);

    m_startOverButton = new VLStartOverButton(view);
    m_startOverButton->setObjectName(QStringLiteral("startOverButton"));
    m_startOverButton->setTitle(tr("Start Over"));
    vlSetViewFrame(m_startOverButton, QRectF(0, 20, 120, VLScreenStyle::buttonHeight));
    VLScreenStyle::styleButton(m_startOverButton, VLScreenStyle::ButtonRole::Secondary);
    connect(m_startOverButton, &VLControl::actionSent, this, &VLDecryptCompletedViewController::cancelOperation);

    setView(view);
}

void VLDecryptCompletedViewController::viewDidLoad()
{
    const bool placeKnown = !m_url.isEmpty();
    m_openButton->setHidden(!m_success || !placeKnown);
    // No guessed folder is ever offered in place of the unknown one.
    m_revealButton->setHidden(!placeKnown);
    m_unknownPlaceLabel->setHidden(placeKnown);
    m_titleLabel->setText(titleForURL(m_url));
    if (placeKnown)
        setInitialFirstResponder(m_success ? m_openButton.data() : m_revealButton.data());
}

void VLDecryptCompletedViewController::viewDidAppear(bool animated)
{
    Q_UNUSED(animated)
    if (m_checkmarkView)
        m_checkmarkView->animateCheckmark();
    VLFlowScreen::tracker().trackView(QStringLiteral("Decryption Success"));
}

QList<QWidget *> VLDecryptCompletedViewController::nonanimatableViews() const
{
    return {m_startOverButton, VLTitledViewController::titleView()};
}

void VLDecryptCompletedViewController::cancelOperation()
{
    VLFlowScreen::tracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Start Over"),
                                       QStringLiteral("After Decryption Save"));
    if (VLNavigationController *navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
}

void VLDecryptCompletedViewController::openFiles()
{
    if (!m_url.isEmpty())
        platform::openURL(m_url);
}

void VLDecryptCompletedViewController::revealInFinder()
{
    if (m_url.isEmpty())
        return;
    VLFlowScreen::tracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Reveal in Finder"));
    platform::revealInFileManager(m_url);
}

QWidget *VLDecryptCompletedViewController::startOverButton() const
{
    return m_startOverButton;
}

QWidget *VLDecryptCompletedViewController::titleLabel() const
{
    return m_titleLabel;
}

void VLDecryptCompletedViewController::insertText(const QString &text)
{
    Q_UNUSED(text)
}

void VLDecryptCompletedViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertNewline)
        openFiles();
    else if (command == platform::Command::cancelOperation)
        cancelOperation();
}
