#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/VLScreenStyle.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "engine/files/VLFileNamer.h"
#include "engine/files/VLPathComponents.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/dispatch/Dispatch.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLFlowScreen.h"
#include "screens/VLScreenView.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"

#include <QLabel>

namespace {

const QString kWorkflow = QStringLiteral("Workflow");
const QString kSaveAsAction = QStringLiteral("Decrypt Save As...");
// Where the item rests once it has slid up, and where it starts.
constexpr double kRestingTop = 106.0;
constexpr double kStartingTop = 150.0;

} // namespace

VLDecryptedViewController::VLDecryptedViewController(const QUrl &decryptedItemURL, const QImage &preview,
                                                     QObject *parent)
    : VLResultViewController(decryptedItemURL,
                             {.dragOperation = VLDragOperationMove,
                              .screenView = QStringLiteral("Decryption Complete"),
                              .savedStartOverLabel = QStringLiteral("After Decryption Save"),
                              .leftStartOverLabel = QStringLiteral("After Decryption"),
                              .dragOutAction = kSaveAsAction,
                              .logTag = QStringLiteral("[Decrypt]")},
                             parent)
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
    stopTransfers();
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
    VLResultViewController::viewDidLoad();
    m_iconView->setTopImage(m_preview);
    m_fileNameField->setText(VLFileNamer::titleForURLs({resultURL()}));
}

void VLDecryptedViewController::viewWillAppear(bool animated)
{
    VLResultViewController::viewWillAppear(animated);
    animatedDragZone();
}

void VLDecryptedViewController::animatedDragZone()
{
    if (!m_dragSourceView)
        return;
    // The whole item slides up to its resting place; the icon rests where it is inside it.
    const QRectF current = vlViewFrame(m_dragSourceView);
    playArrival(m_dragSourceView, kVLViewFrame, current.translated(0, kRestingTop - current.y()), m_iconView,
                vlViewFrame(m_iconView));
}

QList<QWidget *> VLDecryptedViewController::nonanimatableViews() const
{
    return {m_iconView, m_fileNameField, VLTitledViewController::titleView()};
}

void VLDecryptedViewController::saveAs()
{
    const QString item = VLPathComponents::lastPathComponent(resultURL().toLocalFile());
    askWhereToSave(VLPathComponents::deletingPathExtension(item), VLPathComponents::pathExtension(item), 0,
                   [this](const QUrl &url) {
                       tracker().trackEvent(kWorkflow, kSaveAsAction, QStringLiteral("Button Click"));
                       moveResult(*makeTransporter(0), url);
                   });
}

QString VLDecryptedViewController::resultExtension() const
{
    return VLPathComponents::pathExtension(resultURL().toLocalFile());
}

void VLDecryptedViewController::moveResult(VLTransporter &transporter, const QUrl &destination)
{
    m_radar->setPause(true);
    transporter.transportItemFromURLToURLOverwrite(resultURL(), destination, true);
}

void VLDecryptedViewController::toggleQuickLookAction()
{
    tracker().trackEvent(kWorkflow, QStringLiteral("QuickLook Preview"), QStringLiteral("Decryption"));
    toggleQuickLook();
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

void VLDecryptedViewController::resultDragged(const std::optional<QUrl> &url)
{
    // Without the drop folder there is no snapshot to compare; the radar's events still tell.
    if (url)
        m_radar->itemIsGoingToLocation(*url);
}

void VLDecryptedViewController::dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url)
{
    Q_UNUSED(view)
    Q_UNUSED(url)
    tracker().trackEvent(kWorkflow, QStringLiteral("QuickLook Preview"), QStringLiteral("Decryption – Double Click"));
    toggleQuickLook();
}

void VLDecryptedViewController::transferSaved(quint64 tag, const QUrl &url)
{
    if (tag == VLTransporter::quitTag || tag == VLTransporter::startOverTag)
        m_dragSourceView->setDragOperation(VLDragOperationNone); // saved; the screen goes on
    else
        savedWithURL(url);
}

void VLDecryptedViewController::transferFailed(quint64 tag)
{
    Q_UNUSED(tag)
    // The item is still here and still followed.
    m_radar->setPause(false);
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

void VLDecryptedViewController::insertNewline()
{
    saveAs();
}
