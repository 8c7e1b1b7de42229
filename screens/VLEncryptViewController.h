#pragma once

#include "controls/VLRevealButton.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLTextField.h"
#include "controls/VLTextFieldDelegate.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLSpinner.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLDropAnimationDestination.h"

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QUrl>

// The second screen of the encrypt flow: one icon for the set, its title and total size, the
// password with a Show/Hide toggle and an optional hint. Any password that is not empty is
// taken; Encrypt pushes the progress screen with everything the job needs.
class VLEncryptViewController final : public VLTitledViewController,
                                      public VLDropAnimationDestination,
                                      public VLTextFieldDelegate,
                                      public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLEncryptViewController)

public:
    explicit VLEncryptViewController(const QList<QUrl> &files, QObject *parent = nullptr);
    ~VLEncryptViewController() override;

    QString nibName() const override { return {}; }

    const QList<QUrl> &files() const { return m_files; }
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }
    QList<QWidget *> nonanimatableViews() const override;

    VLEncryptProgressImageView *fileImageView() const { return m_fileImageView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *sizeLabel() const { return m_sizeLabel; }
    VLRoundedButton *startOverButton() const { return m_startOverButton; }
    VLRoundedButton *encryptButton() const { return m_encryptButton; }
    VLRevealButton *revealButton() const { return m_revealButton; }
    VLTextField *passwordField() const { return m_passwordField; }
    VLTextField *passwordHintField() const { return m_passwordHintField; }
    // Turns while the icon is being composed.
    QWidget *spinner() const;

    Q_INVOKABLE void encrypt();
    Q_INVOKABLE void revealPassword();
    // Start Over and Escape: back to the drop screen.
    Q_INVOKABLE void cancelOperation();
    // A click on the icon: shows the preview of the (first) item, or closes it.
    Q_INVOKABLE void toggleQuickLook();

    // VLTextFieldDelegate.
    void textFieldTextDidChange(VLTextField *textField, const QString &text) override;
    void textFieldDidWillReturn(VLTextField *textField) override;

    // platform::VLKeyBindingClient, for keys that reach the screen outside its fields.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateButtons(bool animated);

    const QList<QUrl> m_files;
    QPointer<VLEncryptProgressImageView> m_fileImageView;
    QPointer<VLSpinner> m_spinner;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_sizeLabel;
    QPointer<VLRoundedButton> m_startOverButton;
    QPointer<VLRoundedButton> m_encryptButton;
    QPointer<VLRevealButton> m_revealButton;
    QPointer<VLTextField> m_passwordField;
    QPointer<VLTextField> m_passwordHintField;
};
