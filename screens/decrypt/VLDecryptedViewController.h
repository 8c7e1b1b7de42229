#pragma once

#include "controls/VLDragSourceView.h"
#include "controls/VLRoundedButton.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLResultViewController.h"
#include "screens/decrypt/VLRadar.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QUrl>

#include <memory>

// Shows the restored item waiting in its work folder and asks the user to take it out: drag it
// away, Save As, or save it before starting over or quitting. The item goes as a move, so the
// work folder keeps no copy. A radar follows it after a drag, since the drag ends before the
// file manager has moved it; once its new place is known the completed screen follows.
class VLDecryptedViewController final : public VLResultViewController,
                                        public VLDecryptFinishedSourceScreen,
                                        public VLRadarDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptedViewController)

public:
    VLDecryptedViewController(const QUrl &decryptedItemURL, const QImage &preview, QObject *parent = nullptr);
    ~VLDecryptedViewController() override;

    QString nibName() const override { return {}; }

    QUrl decryptedItemURL() const { return resultURL(); }
    VLRadar *radar() const { return m_radar.get(); }
    // Whether the item still waits in the work folder.
    bool isUnsaved() const;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    QList<QWidget *> nonanimatableViews() const override;

    void saveAs();
    // Space and the Preview button, with the event.
    void toggleQuickLookAction() override;
    void savedWithURL(const QUrl &url);
    void completeWithURL(const QUrl &url, bool success);

    QWidget *startOverButton() const override;
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QWidget *iconView() const override;
    VLDragSourceView *dragSourceView() const override { return m_dragSourceView; }
    VLRoundedButton *saveButton() const { return m_saveButton; }
    VLRoundedButton *quickLookButton() const { return m_quickLookButton; }
    QLabel *fileNameField() const { return m_fileNameField; }
    QLabel *sizeField() const override { return m_sizeField; }

    // Return saves (Space previews, Escape starts over).
    void insertNewline() override;

    // A double click on the item previews it.
    void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url) override;

    void radarDidChangedItemLocation(VLRadar *radar, const QUrl &url) override;
    void radarDidLostItemAtLocation(VLRadar *radar, const QUrl &folderURL) override;

protected:
    void loadView() override;

    bool isResultSaved() const override { return !isUnsaved(); }
    QString resultExtension() const override;
    // Moves the item; the radar waits meanwhile, since the move is the screen's own.
    void moveResult(VLTransporter &transporter, const QUrl &destination) override;
    void transferSaved(quint64 tag, const QUrl &url) override;
    void transferFailed(quint64 tag) override;
    // The radar finds where the item went.
    void resultDragged(const std::optional<QUrl> &url) override;

private:
    void animatedDragZone();

    QImage m_preview;
    std::unique_ptr<VLRadar> m_radar;
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
