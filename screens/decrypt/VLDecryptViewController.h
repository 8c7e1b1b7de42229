#pragma once

#include "controls/VLRoundedButton.h"
#include "controls/VLTextField.h"
#include "controls/VLTextFieldDelegate.h"
#include "platform/view/VLKeyBindings.h"
#include "screens/VLEncryptProgressImageView.h"
#include "windowing/navigation/VLTitledViewController.h"
#include "windowing/transitions/VLDropAnimationDestination.h"

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QUrl>

#include <memory>

class VLArchiveOpener;

// The password screen of the decrypt flow: the container's icon, name, size and hint, and the
// password field. The password is checked against the container before anything is restored; a
// wrong one shakes the window, a right one starts the decryption.
class VLDecryptViewController final : public VLTitledViewController,
                                      public VLDropAnimationDestination,
                                      public VLTextFieldDelegate,
                                      public platform::VLKeyBindingClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptViewController)

public:
    static inline const QString preShakeAnimationKey = QStringLiteral("preShakeAnimation");
    static inline const QString shakeAnimationKey = QStringLiteral("shakeAnimation");
    static inline const QString postShakeAnimationKey = QStringLiteral("postShakeAnimation");

    explicit VLDecryptViewController(const QList<QUrl> &files, QObject *parent = nullptr);
    ~VLDecryptViewController() override;

    QString nibName() const override { return {}; }

    QList<QUrl> files() const { return m_files; }
    VLArchiveOpener *opener() const { return m_opener.get(); }

    void viewDidLoad() override;
    QList<QWidget *> nonanimatableViews() const override;
    QWidget *titleView() const override { return VLTitledViewController::titleView(); }

    // Start Over and Escape.
    void cancelOperation();
    // The Decrypt button and Return: checks the password.
    void encrypt();

    void textFieldTextDidChange(VLTextField *textField, const QString &text) override;
    void textFieldDidWillReturn(VLTextField *textField) override;

    VLTextField *passwordTextField() const { return m_passwordTextField; }
    QLabel *passwordHintTextField() const { return m_passwordHintTextField; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *sizeLabel() const { return m_sizeLabel; }
    VLRoundedButton *decryptButton() const { return m_decryptButton; }
    VLRoundedButton *startOverButton() const { return m_startOverButton; }
    VLEncryptProgressImageView *fileImageView() const { return m_fileImageView; }

    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;

protected:
    void loadView() override;

private:
    void shake();
    void proceed(const QString &password);

    QList<QUrl> m_files;
    std::unique_ptr<VLArchiveOpener> m_opener;
    QPointer<VLEncryptProgressImageView> m_fileImageView;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_sizeLabel;
    QPointer<VLTextField> m_passwordTextField;
    QPointer<QLabel> m_passwordHintTextField;
    QPointer<VLRoundedButton> m_decryptButton;
    QPointer<VLRoundedButton> m_startOverButton;
};
