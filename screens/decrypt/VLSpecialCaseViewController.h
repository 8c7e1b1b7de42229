#pragma once

#include "controls/VLDragSourceView.h"
#include "controls/VLDragSourceViewDelegate.h"
#include "controls/VLRoundedButton.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressImageView.h"
#include "windowing/navigation/VLTitledViewController.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QUrl>

// Takes the result screen's place for the give-away container: shows the restored item, which
// stays in the work folder (it cannot be dragged out), and opens the give-away page.
class VLSpecialCaseViewController final : public VLTitledViewController,
                                          public VLDragSourceViewDelegate,
                                          public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLSpecialCaseViewController)

public:
    VLSpecialCaseViewController(const QUrl &decryptedItemURL, const QImage &preview, QObject *parent = nullptr);
    ~VLSpecialCaseViewController() override;

    QString nibName() const override { return {}; }

    QUrl decryptedItemURL() const { return m_decryptedItemURL; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    QList<QWidget *> nonanimatableViews() const override;

    void openFiles();
    void cancelOperation();
    void toggleQuickLook();

    VLDragSourceView *dragSourceView() const { return m_dragSourceView; }
    VLRoundedButton *openButton() const { return m_openButton; }
    QLabel *fileNameField() const { return m_fileNameField; }
    VLEncryptProgressImageView *iconView() const { return m_iconView; }

    Callbacks answeredDragSourceViewCallbacks() const override;
    void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url) override;

    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;

private:
    void slideIconView();

    QUrl m_decryptedItemURL;
    QImage m_preview;
    QPointer<VLDragSourceView> m_dragSourceView;
    QPointer<VLEncryptProgressImageView> m_iconView;
    QPointer<QLabel> m_fileNameField;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_subtitleLabel;
    QPointer<VLRoundedButton> m_openButton;
};
