#include "screens/VLEncryptedViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRenamingTextField.h"
#include "controls/VLStartOverButton.h"
#include "controls/VLTextField.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Log.h"
#include "platform/files/FileOperations.h"
#include "screens/KXSharingServicePickerMenu.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLLayoutConstraint.h"
#include "screens/VLSaveToFileSharingService.h"
#include "screens/VLShareButton.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLErrorsHandler.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>

#include <cerrno>

namespace {

const QString containerExtension = QStringLiteral("vault");

// The file manager's refusal of a name that another item has.
VLError renameError(int errorNumber, const QString &name)
{
    if (errorNumber != EEXIST)
        return VLError::posix(errorNumber);
    return VLError(VLError::posixDomain, errorNumber,
                   {{VLErrorsHandler::localizedDescriptionKey,
                     VLEncryptedViewController::tr("The name “%1” is already taken.").arg(name)},
                    {VLErrorsHandler::localizedRecoverySuggestionKey,
                     VLEncryptedViewController::tr("Please choose a different name.")}});
}

} // namespace

VLEncryptedViewController::VLEncryptedViewController(const QUrl &encryptedURL, const QList<QUrl> &originalFiles,
                                                     QObject *parent)
    : VLResultViewController(encryptedURL,
                             {.dragOperation = VLDragOperationCopy,
                              .screenView = QStringLiteral("Encryption Complete"),
                              .savedStartOverLabel = QStringLiteral("After Encryption Save"),
                              .leftStartOverLabel = QStringLiteral("After Encryption"),
                              .dragOutAction = QStringLiteral("Share File"),
                              .logTag = QStringLiteral("[Encrypt]")},
                             parent)
    , m_originalFiles(originalFiles)
{
    setObjectName(QStringLiteral("VLEncryptedViewController"));
    setOverlayFrame(QRectF(0, 450, kVLViewNoIntrinsicMetric, 26));
}

QList<QWidget *> VLEncryptedViewController::nonanimatableViews() const
{
    if (!m_view)
        return {};
    return {m_view->iconView(), m_fileNameField.data(), titleView()};
}

VLRenamingTextField *VLEncryptedViewController::fileNameField() const
{
    return m_fileNameField;
}

QLabel *VLEncryptedViewController::sizeField() const
{
    return m_view ? m_view->sizeField() : nullptr;
}

VLShareButton *VLEncryptedViewController::shareButton() const
{
    return m_view ? m_view->shareButton() : nullptr;
}

VLEncryptProgressImageView *VLEncryptedViewController::iconView() const
{
    return m_view ? m_view->iconView() : nullptr;
}

VLDragSourceView *VLEncryptedViewController::dragSourceView() const
{
    return m_view ? m_view->dragSourceView() : nullptr;
}

VLLayoutConstraint *VLEncryptedViewController::topSpaceConstraint() const
{
    return m_view ? m_view->topSpaceConstraint() : nullptr;
}

void VLEncryptedViewController::loadView()
{
    auto *nameField = new VLRenamingTextField;
    nameField->setAlignment(Qt::AlignCenter);
    nameField->setTextFormat(Qt::PlainText);
    m_fileNameField = nameField;
    auto *nameEditor = new VLTextField;
    nameEditor->setObjectName(QStringLiteral("fileNameEditor"));
    m_view = new VLEncryptedView(nameField, nameEditor);
    nameField->setManagedTextField(nameEditor);
    nameField->setDelegate(this);
    m_view->setKeyClient(this);
    m_view->saveAsButton()->setTarget(this);
    m_view->saveAsButton()->setAction(QStringLiteral("saveAs"));
    m_view->startOverButton()->setTarget(this);
    m_view->startOverButton()->setAction(QStringLiteral("cancelOperation"));
    setTitleView(m_view->titleLabel());
    setView(m_view);
}

void VLEncryptedViewController::viewDidLoad()
{
    VLResultViewController::viewDidLoad();
    m_fileNameField->setStringValue(VLFileNamer::titleForURLs({resultURL()}));
    if (VLTextField *editor = m_fileNameField->managedTextField())
        editor->setText(m_fileNameField->stringValue());
    shareButton()->setTarget(this);
    shareButton()->setSingleClickSelector(QStringLiteral("shareFile"));
}

void VLEncryptedViewController::viewWillAppear(bool animated)
{
    VLResultViewController::viewWillAppear(animated);
    animateDragZone();
}

void VLEncryptedViewController::animateDragZone()
{
    VLLayoutConstraint *constraint = topSpaceConstraint();
    VLEncryptProgressImageView *icon = iconView();
    // Where the icon rests once the constraint has reached its place (y grows downwards here).
    const QRectF toFrame = vlViewFrame(icon).translated(0, VLEncryptedView::restingIconTop - constraint->constant());
    playArrival(constraint, kVLLayoutConstraintConstant, VLEncryptedView::restingIconTop, icon, toFrame);
}

QString VLEncryptedViewController::sharingSnippetText()
{
    return QStringList{QStringLiteral("I\u2019ve shared a file with you via Vaultine."),
                       QStringLiteral("It\u2019s been securely encrypted for safe sharing, and can be decrypted using "
                                      "Vaultine."),
                       QStringLiteral("To learn more and to download the app, visit ") + productPageAddress}
        .join(u' ');
}

void VLEncryptedViewController::saveAs()
{
    // Proposes the sources' title, also after a rename.
    askWhereToSave(VLFileNamer::titleForURLs(m_originalFiles), containerExtension, 0, [this](const QUrl &url) {
        makeTransporter(0)->copyItemWithProgressFromURLToURLOverwrite(resultURL(), url, true);
    });
}

QString VLEncryptedViewController::resultExtension() const
{
    return containerExtension;
}

void VLEncryptedViewController::moveResult(VLTransporter &transporter, const QUrl &destination)
{
    transporter.moveItemFromURLToURLOverwrite(resultURL(), destination, true);
}

void VLEncryptedViewController::shareFile(QObject *sender)
{
    Q_UNUSED(sender)
    VLShareButton *button = shareButton();
    if (m_shareMenu)
        m_shareMenu->deleteLater();
    m_shareMenu = KXSharingServicePickerMenu::vl_menuForSharingItemsOptionsWithTargetSelectorServiceDelegate(
        {QVariant::fromValue(resultURL())}, 2, this, "selectedServiceAction", this, button);
    for (QAction *item : m_shareMenu->actions()) {
        if (auto *saveToFile = qobject_cast<VLSaveToFileSharingService *>(
                KXSharingServicePickerMenu::serviceOfMenuItem(item))) {
            saveToFile->setTransporterHandler(
                [self = QPointer<VLEncryptedViewController>(this)](const std::shared_ptr<VLTransporter> &transporter) {
                    if (self)
                        self->keepTransfer(transporter);
                });
        }
    }
    button->setMenuDelegateOf(m_shareMenu);
    // Just below the button.
    m_shareMenu->popup(button->mapToGlobal(QPoint(0, button->height() + 8)));
}

void VLEncryptedViewController::selectedServiceAction(QAction *item)
{
    VLSharingService *service = KXSharingServicePickerMenu::serviceOfMenuItem(item);
    if (!service)
        return;
    const QVariantList withText{sharingSnippetText(), QVariant::fromValue(resultURL())};
    if (service->canPerformWithItems(withText))
        service->performWithItems(withText);
    else
        service->performWithItems({QVariant::fromValue(resultURL())});
}

void VLEncryptedViewController::savedWithURL(const QUrl &url)
{
    Q_UNUSED(url)
    m_hasSavedFiles = true;
}

void VLEncryptedViewController::transferSaved(quint64 tag, const QUrl &url)
{
    Q_UNUSED(tag)
    savedWithURL(url);
}

void VLEncryptedViewController::renamingTextFieldDidRename(VLRenamingTextField *field, const QString &name)
{
    const QFileInfo current(resultURL().toLocalFile());
    if (name == current.completeBaseName())
        return;
    const QString destination = current.dir().filePath(name + u'.' + containerExtension);
    // Never over another item: the file manager refuses a name that is taken.
    const int error = platform::renameItem(current.filePath(), destination, false);
    if (error != 0) {
        VLErrorsHandler::showAlertWithErrorWindowCompletionHandler(
            renameError(error, QFileInfo(destination).fileName()), window(), {});
        // The field keeps showing the name the container still has.
        if (field)
            field->setStringValue(current.completeBaseName());
        return;
    }
    setResultURL(QUrl::fromLocalFile(destination));
    dragSourceView()->setDraggingURL(resultURL());
}

void VLEncryptedViewController::insertNewline()
{
    shareFile(shareButton());
}

void VLEncryptedViewController::resultDragged(const std::optional<QUrl> &url)
{
    savedWithURL(url.value_or(QUrl()));
}

QWidget *VLEncryptedViewController::sharingServiceSourceWindowForShareItems(VLSharingService *service,
                                                                            const QVariantList &items)
{
    Q_UNUSED(service)
    Q_UNUSED(items)
    return window();
}

void VLEncryptedViewController::sharingServiceWillShareItems(VLSharingService *service, const QVariantList &items)
{
    Q_UNUSED(items)
    tracker().trackEvent(QStringLiteral("Workflow"), QStringLiteral("Share File"), service->title());
}

void VLEncryptedViewController::sharingServiceDidFailToShareItemsError(VLSharingService *service,
                                                                       const QVariantList &items, const VLError &error)
{
    Q_UNUSED(service)
    QStringList described;
    for (const QVariant &item : items)
        described << item.toString();
    platform::log(QStringLiteral("[Encrypt]: Sharing failed, items: (%1), error: %2")
                      .arg(described.join(QStringLiteral(", ")), error.description()));
}
