#include "screens/VLEncryptedViewController.h"

#include "companion/SWAnalyticsTracker.h"
#include "controls/VLDragSourceView.h"
#include "controls/VLRenamingTextField.h"
#include "controls/VLStartOverButton.h"
#include "controls/VLTextField.h"
#include "engine/files/VLFileNamer.h"
#include "platform/animation/VLAnimatableProperty.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Log.h"
#include "platform/desktop/Sound.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FileOperations.h"
#include "screens/KXSharingServicePickerMenu.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLLayoutConstraint.h"
#include "screens/VLPreviewWindow.h"
#include "screens/VLSaveToFileSharingService.h"
#include "screens/VLShareButton.h"
#include "screens/VLWiggleAnimation.h"
#include "windowing/navigation/VLNavigationController.h"
#include "windowing/navigation/VLViewHierarchy.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>

#include <cerrno>

namespace {

const QString workflowCategory = QStringLiteral("Workflow");
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
    : VLTitledViewController(parent)
    , m_encryptedFileURL(encryptedURL)
    , m_originalFiles(originalFiles)
{
    setObjectName(QStringLiteral("VLEncryptedViewController"));
    setOverlayFrame(QRectF(0, 450, kVLViewNoIntrinsicMetric, 26));
}

VLEncryptedViewController::~VLEncryptedViewController()
{
    stopTransfers();
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

SWAnalyticsTracker &VLEncryptedViewController::tracker() const
{
    return m_tracker ? *m_tracker : SWAnalyticsTracker::defaultTracker();
}

QWidget *VLEncryptedViewController::window() const
{
    return m_view ? m_view->window() : nullptr;
}

QString VLEncryptedViewController::containerFileName() const
{
    return QFileInfo(m_encryptedFileURL.toLocalFile()).fileName();
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
    m_fileNameField->setStringValue(VLFileNamer::titleForURLs({m_encryptedFileURL}));
    if (VLTextField *editor = m_fileNameField->managedTextField())
        editor->setText(m_fileNameField->stringValue());
    sizeField()->setText(VLFileNamer::sizeForURLs({m_encryptedFileURL}));
    shareButton()->setTarget(this);
    shareButton()->setSingleClickSelector(QStringLiteral("shareFile"));
    VLDragSourceView *dragSource = dragSourceView();
    dragSource->setDraggingURL(m_encryptedFileURL);
    dragSource->setDragOperation(VLDragOperationCopy);
    dragSource->setDelegate(this);
}

void VLEncryptedViewController::viewWillAppear(bool animated)
{
    VLTitledViewController::viewWillAppear(animated);
    animateDragZone();
}

void VLEncryptedViewController::viewDidAppear(bool animated)
{
    VLTitledViewController::viewDidAppear(animated);
    tracker().trackView(QStringLiteral("Encryption Complete"));
}

void VLEncryptedViewController::viewWillDisappear(bool animated)
{
    VLTitledViewController::viewWillDisappear(animated);
    VLPreviewWindow::closeSharedPreviewWindow();
}

void VLEncryptedViewController::animateDragZone()
{
    platform::playSoundNamed(QStringLiteral("FinalSound"), 0.6);
    VLLayoutConstraint *constraint = topSpaceConstraint();
    VLEncryptProgressImageView *icon = iconView();
    const double k = constraint->constant();
    // Where the icon rests once the constraint has reached its place (y grows downwards here).
    const QRectF toFrame = vlViewFrame(icon).translated(0, VLEncryptedView::restingIconTop - k);

    auto slide = VLBasicAnimation::animationWithPropertyNamed(kVLLayoutConstraintConstant);
    slide->setToValue(VLEncryptedView::restingIconTop);
    slide->setBeginTime(VLAnimator::currentMediaTime() + 0.3);
    slide->setDuration(0.25);
    VLAnimator::addAnimationForKey(constraint, slide, QStringLiteral("topSpaceConstraintAnimation"));

    VLWiggleAnimation::tickleViewToFrameWithDurationDelayBeginOffsetAndRepetitions(
        icon, toFrame, 0.7, 10.0, slide->beginTime() + slide->duration() + 1.0, 3);
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
    VLSavePanel::beginSheetModalForWindow(
        window(), VLFileNamer::titleForURLs(m_originalFiles), containerExtension,
        [self = QPointer<VLEncryptedViewController>(this)](int result, const QUrl &url) {
            if (!self || result != VLSavePanel::okButton)
                return;
            self->makeTransporter(0)->copyItemWithProgressFromURLToURLOverwrite(self->m_encryptedFileURL, url, true);
        });
}

std::shared_ptr<VLTransporter> VLEncryptedViewController::makeTransporter(quint64 tag)
{
    auto transporter = VLTransporter::create();
    transporter->setTag(tag);
    transporter->setDelegate(this);
    transporter->setWindow(window());
    // Transfers that have ended are forgotten as new ones begin.
    m_transporters.removeIf([](const std::shared_ptr<VLTransporter> &t) { return !t->isRunning(); });
    m_transporters << transporter;
    m_transfersStopped = false;
    return transporter;
}

void VLEncryptedViewController::shareFile(QObject *sender)
{
    Q_UNUSED(sender)
    VLShareButton *button = shareButton();
    if (m_shareMenu)
        m_shareMenu->deleteLater();
    m_shareMenu = KXSharingServicePickerMenu::vl_menuForSharingItemsOptionsWithTargetSelectorServiceDelegate(
        {QVariant::fromValue(m_encryptedFileURL)}, 2, this, "selectedServiceAction", this, button);
    for (QAction *item : m_shareMenu->actions()) {
        if (auto *saveToFile = qobject_cast<VLSaveToFileSharingService *>(
                KXSharingServicePickerMenu::serviceOfMenuItem(item))) {
            saveToFile->setTransporterHandler(
                [self = QPointer<VLEncryptedViewController>(this)](const std::shared_ptr<VLTransporter> &transporter) {
                    if (!self)
                        return;
                    self->m_transporters << transporter;
                    self->m_transfersStopped = false;
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
    const QVariantList withText{sharingSnippetText(), QVariant::fromValue(m_encryptedFileURL)};
    if (service->canPerformWithItems(withText))
        service->performWithItems(withText);
    else
        service->performWithItems({QVariant::fromValue(m_encryptedFileURL)});
}

void VLEncryptedViewController::cancelOperation()
{
    if (m_hasSavedFiles) {
        tracker().trackEvent(workflowCategory, QStringLiteral("Start Over"), QStringLiteral("After Encryption Save"));
        startOver();
        return;
    }
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        window(), VLErrorsHandler::unsavedItemAlertBeforeStartingOver(containerFileName()),
        [self = QPointer<VLEncryptedViewController>(this)](int returnCode) {
            if (!self)
                return;
            if (returnCode == VLAlert::alternateReturn) {
                self->tracker().trackEvent(workflowCategory, QStringLiteral("Start Over"),
                                           QStringLiteral("After Encryption"));
                self->startOver();
            } else if (returnCode == VLAlert::defaultReturn) {
                self->saveBeforeLeaving(VLTransporter::startOverTag);
            }
        });
}

void VLEncryptedViewController::startOver()
{
    stopTransfers();
    if (VLNavigationController *navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
}

void VLEncryptedViewController::saveBeforeLeaving(quint64 tag)
{
    // Proposes the container's current name.
    VLSavePanel::beginSheetModalForWindow(
        window(), VLFileNamer::titleForURLs({m_encryptedFileURL}), containerExtension,
        [self = QPointer<VLEncryptedViewController>(this), tag](int result, const QUrl &url) {
            if (!self)
                return;
            if (result != VLSavePanel::okButton) {
                self->saveAbandoned(tag);
                return;
            }
            self->makeTransporter(tag)->moveItemFromURLToURLOverwrite(self->m_encryptedFileURL, url, true);
        });
}

void VLEncryptedViewController::saveAbandoned(quint64 tag)
{
    // The quit waited for this save; without it the quit is off, and the next one asks again.
    if (tag == VLTransporter::quitTag)
        askingProxy()->cancelTermination(this);
}

VLTerminatorProxy *VLEncryptedViewController::askingProxy() const
{
    return m_askingProxy ? m_askingProxy.data() : VLTerminatorProxy::sharedInstance();
}

bool VLEncryptedViewController::shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy)
{
    if (m_hasSavedFiles) {
        stopTransfers();
        return false;
    }
    m_askingProxy = proxy;
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
        window(), VLErrorsHandler::unsavedItemAlertBeforeQuitting(containerFileName()),
        [self = QPointer<VLEncryptedViewController>(this), proxy = QPointer<VLTerminatorProxy>(proxy)](int returnCode) {
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

void VLEncryptedViewController::quitAgain()
{
    // The save the question offered has finished: the held quit goes on without asking again.
    stopTransfers();
    askingProxy()->continueTermination();
}

void VLEncryptedViewController::savedWithURL(const QUrl &url)
{
    Q_UNUSED(url)
    m_hasSavedFiles = true;
}

void VLEncryptedViewController::transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    const quint64 tag = transporter->tag();
    // A plain move reports on its own thread; the screen's state lives on the main thread.
    platform::dispatchToMain(this, [this, tag, url] {
        if (m_transfersStopped)
            return;
        savedWithURL(url);
        transportFinished(tag);
    });
}

void VLEncryptedViewController::transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url)
{
    Q_UNUSED(url)
    const quint64 tag = transporter->tag();
    // The transporter has shown the failure; the container is still here, unsaved.
    platform::dispatchToMain(this, [this, tag] {
        if (!m_transfersStopped)
            saveAbandoned(tag);
    });
}

void VLEncryptedViewController::transportFinished(quint64 tag)
{
    if (tag == VLTransporter::quitTag)
        quitAgain();
    else if (tag == VLTransporter::startOverTag)
        cancelOperation();
}

void VLEncryptedViewController::stopTransfers()
{
    m_transfersStopped = true;
    for (const std::shared_ptr<VLTransporter> &transporter : std::as_const(m_transporters)) {
        transporter->setDelegate(nullptr);
        transporter->cancel();
    }
    for (const std::shared_ptr<VLTransporter> &transporter : std::as_const(m_transporters)) {
        if (!transporter->waitUntilStopped(transferStopBound))
            platform::log(QStringLiteral("[Encrypt]: a transfer did not stop in time."));
    }
    m_transporters.clear();
}

void VLEncryptedViewController::renamingTextFieldDidRename(VLRenamingTextField *field, const QString &name)
{
    const QFileInfo current(m_encryptedFileURL.toLocalFile());
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
    m_encryptedFileURL = QUrl::fromLocalFile(destination);
    dragSourceView()->setDraggingURL(m_encryptedFileURL);
}

void VLEncryptedViewController::insertText(const QString &text)
{
    if (text == u" ")
        VLPreviewWindow::toggleSharedPreviewWindowForURL(m_encryptedFileURL, window());
}

void VLEncryptedViewController::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::cancelOperation)
        cancelOperation();
    else if (command == platform::Command::insertNewline)
        insertNewline();
}

void VLEncryptedViewController::insertNewline()
{
    shareFile(shareButton());
}

VLDragSourceViewDelegate::Callbacks VLEncryptedViewController::answeredDragSourceViewCallbacks() const
{
    return Callback::DidFinishWithURLOperation | Callback::PerformActionWithURL;
}

void VLEncryptedViewController::dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view,
                                                                        const std::optional<QUrl> &url,
                                                                        VLDragOperation operation)
{
    Q_UNUSED(view)
    tracker().trackEvent(workflowCategory, QStringLiteral("Share File"), QStringLiteral("Drag and Drop"));
    // A drag that nobody took (cancelled, refused) put the container nowhere.
    if (operation != VLDragOperationNone)
        savedWithURL(url.value_or(QUrl()));
}

void VLEncryptedViewController::dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url)
{
    Q_UNUSED(view)
    Q_UNUSED(url)
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
    tracker().trackEvent(workflowCategory, QStringLiteral("Share File"), service->title());
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
