#pragma once

#include "controls/VLDragSourceView.h"
#include "controls/VLDragSourceViewDelegate.h"
#include "controls/VLRoundedButton.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLTransporter.h"
#include "screens/decrypt/VLRadar.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"
#include "windowing/windows/VLTerminator.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QUrl>

#include <memory>

// Shows the restored item waiting in its work folder and asks the user to take it out: drag it
// away, Save As, or save it before starting over or quitting. The item goes as a move, so the
// work folder keeps no copy. A radar follows it after a drag, since the drag ends before the
// file manager has moved it; once its new place is known the completed screen follows.
class VLDecryptedViewController final : public VLTitledViewController,
                                        public VLDecryptFinishedSourceScreen,
                                        public VLDragSourceViewDelegate,
                                        public VLTransporterDelegate,
                                        public VLRadarDelegate,
                                        public VLTerminator,
                                        public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptedViewController)

public:
    VLDecryptedViewController(const QUrl &decryptedItemURL, const QImage &preview, QObject *parent = nullptr);
    ~VLDecryptedViewController() override;

    QString nibName() const override { return {}; }

    QUrl decryptedItemURL() const { return m_decryptedItemURL; }
    VLRadar *radar() const { return m_radar.get(); }
    // Whether the item still waits in the work folder.
    bool isUnsaved() const;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    QList<QWidget *> nonanimatableViews() const override;

    void saveAs();
    void cancelOperation();
    // Space and the Preview button, with the event; the preview window itself.
    void toggleQuickLookAction();
    void toggleQuickLook();
    void savedWithURL(const QUrl &url);
    void completeWithURL(const QUrl &url, bool success);

    QWidget *startOverButton() const override;
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QWidget *iconView() const override;
    VLDragSourceView *dragSourceView() const { return m_dragSourceView; }
    VLRoundedButton *saveButton() const { return m_saveButton; }
    VLRoundedButton *quickLookButton() const { return m_quickLookButton; }
    QLabel *fileNameField() const { return m_fileNameField; }
    QLabel *sizeField() const { return m_sizeField; }

    Callbacks answeredDragSourceViewCallbacks() const override;
    void dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view, const std::optional<QUrl> &url,
                                                 VLDragOperation operation) override;
    void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url) override;

    void transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;
    void transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url) override;
    void radarDidChangedItemLocation(VLRadar *radar, const QUrl &url) override;
    void radarDidLostItemAtLocation(VLRadar *radar, const QUrl &folderURL) override;

    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *proxy) override;

    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;

private:
    void animatedDragZone();
    // The save panel of the leaving paths: its transfer carries the tag.
    void saveBeforeLeaving(quint64 tag);
    // Cancels a save still under way and waits (bounded) until it has stopped writing, so the
    // work folder can be emptied behind it.
    void stopTransfer();
    // A save the tag asked for did not happen (panel cancelled, transfer failed).
    void saveAbandoned(quint64 tag);
    void transport(const QUrl &destination, quint64 tag);
    void handleTransferFinished(quint64 tag, const QUrl &url);

    QUrl m_decryptedItemURL;
    QImage m_preview;
    std::unique_ptr<VLRadar> m_radar;
    // The transfer in flight, cancelled when the screen goes.
    std::shared_ptr<VLTransporter> m_transporter;
    bool m_completed = false;
    QPointer<VLDragSourceView> m_dragSourceView;
    QPointer<VLEncryptProgressImageView> m_iconView;
    QPointer<QLabel> m_fileNameField;
    QPointer<QLabel> m_sizeField;
    QPointer<QLabel> m_titleLabel;
    QPointer<VLRoundedButton> m_saveButton;
    QPointer<VLRoundedButton> m_startOverButton;
    QPointer<VLRoundedButton> m_quickLookButton;
};
