#pragma once

#include "controls/VLRenamingTextFieldDelegate.h"
#include "screens/VLResultViewController.h"
#include "screens/VLSharingService.h"

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QUrl>

class QAction;
class QLabel;
class QMenu;
class VLDragSourceView;
class VLEncryptedView;
class VLEncryptProgressImageView;
class VLLayoutConstraint;
class VLRenamingTextField;
class VLShareButton;

// The last screen of the encrypt flow: the finished container, still in its work folder, with
// its icon, name and size. From here the user renames, shares, saves or drags the container out,
// previews it, or starts over; until it has been saved somewhere, starting over and quitting ask
// first, because the work folder is emptied later. Save As, a drag and the save-to-file service
// copy the container; the saves the alerts offer move it.
class VLEncryptedViewController final : public VLResultViewController,
                                        public VLSharingServiceDelegate,
                                        public VLRenamingTextFieldDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLEncryptedViewController)

public:
    // The container as the encryption job left it, and the sources it was made from.
    VLEncryptedViewController(const QUrl &encryptedURL, const QList<QUrl> &originalFiles, QObject *parent = nullptr);

    QString nibName() const override { return {}; }

    // Where the container is now; it changes with a rename.
    QUrl encryptedFileURL() const { return resultURL(); }
    QList<QUrl> originalFiles() const { return m_originalFiles; }
    // Set once the container has been copied, moved or dragged out; never cleared.
    bool hasSavedFiles() const { return m_hasSavedFiles; }

    QList<QWidget *> nonanimatableViews() const override;

    // The views, once loaded.
    VLEncryptedView *encryptedView() const { return m_view; }
    VLRenamingTextField *fileNameField() const;
    QLabel *sizeField() const override;
    VLShareButton *shareButton() const;
    VLEncryptProgressImageView *iconView() const;
    VLDragSourceView *dragSourceView() const override;
    VLLayoutConstraint *topSpaceConstraint() const;
    // The share menu while it is up (or until the next one replaces it).
    QMenu *shareMenu() const { return m_shareMenu; }

    // The arrival: the sound, the icon sliding into place and the later wiggles.
    void animateDragZone();

    // The invitation sent with the container to services that take text.
    static QString sharingSnippetText();
    // The product page the invitation names.
    static inline const QString productPageAddress = QStringLiteral("https://www.nimbrel.com/vaultine");

public slots:
    // Save As: a copy of the container where the user chooses; the container stays.
    void saveAs();
    // Opens the share menu under the button.
    void shareFile(QObject *sender);
    // A share menu item was chosen.
    void selectedServiceAction(QAction *item);

public:
    void savedWithURL(const QUrl &url);

    // Rename in place with the name the rename field accepted (without the extension).
    void renamingTextFieldDidRename(VLRenamingTextField *field, const QString &name) override;

    // Return shares (Space toggles the preview, Escape starts over).
    void insertNewline() override;

    // VLSharingServiceDelegate
    QWidget *sharingServiceSourceWindowForShareItems(VLSharingService *service, const QVariantList &items) override;
    void sharingServiceWillShareItems(VLSharingService *service, const QVariantList &items) override;
    void sharingServiceDidFailToShareItemsError(VLSharingService *service, const QVariantList &items,
                                                const VLError &error) override;

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    bool isResultSaved() const override { return m_hasSavedFiles; }
    QString resultExtension() const override;
    void moveResult(VLTransporter &transporter, const QUrl &destination) override;
    void transferSaved(quint64 tag, const QUrl &url) override;
    void resultDragged(const std::optional<QUrl> &url) override;

private:
    QList<QUrl> m_originalFiles;
    bool m_hasSavedFiles = false;

    QPointer<VLEncryptedView> m_view;
    QPointer<VLRenamingTextField> m_fileNameField;
    QPointer<QMenu> m_shareMenu;
};
