#pragma once

#include "controls/VLRoundedButton.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/decrypt/VLDecryptCompletedCheckmarkView.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLDecryptFinishedScreens.h"

#include <QLabel>
#include <QPointer>
#include <QUrl>

// The last screen of the decrypt flow: a checkmark, "File/Folder Decrypted and Saved!", and
// Open, Show in File Manager and Start Over. For an item the tracker lost, `url` is the folder
// it was dropped in and success is false: Open is hidden and the folder is shown instead. An empty
// `url` means nobody told where the item went: neither Open nor Show in File Manager is offered,
// and the screen says the place is unknown.
class VLDecryptCompletedViewController final : public VLTitledViewController,
                                               public VLDecryptFinishedDestinationScreen,
                                               public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptCompletedViewController)

public:
    VLDecryptCompletedViewController(const QUrl &url, bool success, QObject *parent = nullptr);
    ~VLDecryptCompletedViewController() override;

    QString nibName() const override { return {}; }

    QUrl url() const { return m_url; }
    bool success() const { return m_success; }

    // The title for a saved item (or the folder of a lost one).
    static QString titleForURL(const QUrl &url);

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    QList<QWidget *> nonanimatableViews() const override;

    void cancelOperation();
    void openFiles();
    void revealInFinder();

    QWidget *startOverButton() const override;
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QWidget *titleLabel() const override;
    VLRoundedButton *openButton() const { return m_openButton; }
    VLRoundedButton *revealButton() const { return m_revealButton; }
    QLabel *unknownPlaceLabel() const { return m_unknownPlaceLabel; }
    VLDecryptCompletedCheckmarkView *checkmarkView() const { return m_checkmarkView; }

    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;

private:
    QUrl m_url;
    bool m_success;
    QPointer<VLRoundedButton> m_startOverButton;
    QPointer<VLRoundedButton> m_openButton;
    QPointer<VLRoundedButton> m_revealButton;
    QPointer<VLDecryptCompletedCheckmarkView> m_checkmarkView;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_unknownPlaceLabel;
};
