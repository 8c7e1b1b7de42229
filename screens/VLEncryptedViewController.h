#pragma once

#include "controls/VLDragSourceViewDelegate.h"
#include "controls/VLRenamingTextFieldDelegate.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLSharingService.h"
#include "screens/VLTransporter.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/windows/VLTerminator.h"

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class SWAnalyticsTracker;
class VLDragSourceView;
class VLEncryptedView;
class VLEncryptProgressImageView;
class VLLayoutConstraint;
class VLRenamingTextField;
class VLShareButton;
class VLTerminatorProxy;

// The last screen of the encrypt flow: the finished container, still in its work folder, with
// its icon, name and size. From here the user renames, shares, saves or drags the container out,
// previews it, or starts over; until it has been saved somewhere, starting over and quitting ask
// first, because the work folder is emptied later.
//
// Transfers the screen started (Save As, the saves the alerts offer, the save-to-file service)
// are cancelled and waited for before the screen starts over or lets a quit through, and when it
// goes; none reports to the screen after that.
class VLEncryptedViewController final : public VLTitledViewController,
                                        public VLTerminator,
                                        public VLDragSourceViewDelegate,
                                        public VLTransporterDelegate,
                                        public VLSharingServiceDelegate,
                                        public VLRenamingTextFieldDelegate,
                                        public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLEncryptedViewController)

public:
    // The container as the encryption job left it, and the sources it was made from.
    VLEncryptedViewController(const QUrl &encryptedURL, const QList<QUrl> &originalFiles, QObject *parent = nullptr);
    ~VLEncryptedViewController() override;

    QString nibName() const override { return {}; }

    // Where the container is now; it changes with a rename.
    QUrl encryptedFileURL() const { return m_encryptedFileURL; }
    QList<QUrl> originalFiles() const { return m_originalFiles; }
    // Set once the container has been copied, moved or dragged out; never cleared.
    bool hasSavedFiles() const { return m_hasSavedFiles; }

    QList<QWidget *> nonanimatableViews() const override;

    // The views, once loaded.
    VLEncryptedView *encryptedView() const { return m_view; }
    VLRenamingTextField *fileNameField() const;
    QLabel *sizeField() const;
    VLShareButton *shareButton() const;
    VLEncryptProgressImageView *iconView() const;
    VLDragSourceView *dragSourceView() const;
    VLLayoutConstraint *topSpaceConstraint() const;
    // The share menu while it is up (or until the next one replaces it).
    QMenu *shareMenu() const { return m_shareMenu; }

    // Where events go; the default tracker unless a test gives another.
    void setAnalyticsTracker(SWAnalyticsTracker *tracker) { m_tracker = tracker; }

    // The arrival: the sound, the icon sliding into place and the later wiggles.
    void animateDragZone();

    // The invitation sent with the container to services that take text.
    static QString sharingSnippetText();
    // The product page the invitation names.
    static inline const QString productPageAddress = QStringLiteral("https://www.nimbrel.com/vaultine");

    // How long starting over or quitting waits for transfers to stop.
    static constexpr std::chrono::milliseconds transferStopBound{10000};

public slots:
    // Save As: a copy of the container where the user chooses; the container stays.
    void saveAs();
    // Start Over (and Escape).
    void cancelOperation();
    // Opens the share menu under the button.
    void shareFile(QObject *sender);
    // A share menu item was chosen.
    void selectedServiceAction(QAction *item);

public:
    void savedWithURL(const QUrl &url);

    // Rename in place with the name the rename field accepted (without the extension).
    void renamingTextFieldDidRename(VLRenamingTextField *field, const QString &name) override;

    // VLTerminator: asks before a quit while the container is unsaved.
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) override;

    // platform::VLKeyBindingClient: Return shares, Space toggles the preview, Escape starts over.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;
    void insertNewline();

    // VLDragSourceViewDelegate
    Callbacks answeredDragSourceViewCallbacks() const override;
    void dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view, const std::optional<QUrl> &url,
                                                 VLDragOperation operation) override;
    void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url) override;

    // VLTransporterDelegate (may arrive on a background thread)
    void transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;
    void transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;

    // VLSharingServiceDelegate
    QWidget *sharingServiceSourceWindowForShareItems(VLSharingService *service, const QVariantList &items) override;
    void sharingServiceWillShareItems(VLSharingService *service, const QVariantList &items) override;
    void sharingServiceDidFailToShareItemsError(VLSharingService *service, const QVariantList &items,
                                                const VLError &error) override;

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

private:
    SWAnalyticsTracker &tracker() const;
    QWidget *window() const;
    QString containerFileName() const;
    // Saves the container by moving it where the user chooses; the tag says what follows.
    void saveBeforeLeaving(quint64 tag);
    std::shared_ptr<VLTransporter> makeTransporter(quint64 tag);
    void transportFinished(quint64 tag);
    // Cancels every transfer of the screen and waits (bounded) until they have stopped.
    void stopTransfers();
    void startOver();
    void quitAgain();
    // A save the tag asked for did not happen (panel cancelled, transfer failed).
    void saveAbandoned(quint64 tag);
    // The quit machine that asked this screen's question (the shared one when none did).
    VLTerminatorProxy *askingProxy() const;

    QUrl m_encryptedFileURL;
    QList<QUrl> m_originalFiles;
    bool m_hasSavedFiles = false;
    bool m_transfersStopped = false;

    QPointer<VLEncryptedView> m_view;
    QPointer<VLRenamingTextField> m_fileNameField;
    QPointer<QMenu> m_shareMenu;
    QPointer<VLTerminatorProxy> m_askingProxy;
    SWAnalyticsTracker *m_tracker = nullptr;
    QList<std::shared_ptr<VLTransporter>> m_transporters;
};
