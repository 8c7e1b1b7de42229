#pragma once

#include "companion/NBGDPRButton.h"
#include "companion/NBGDPRTintedButton.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class NBGDPRWindow;

// The privacy-consent window of the first launch: the application's icon and name, a message, a
// warning, links to the privacy policy and the terms of use, Quit and Accept. Accept closes the
// window and then runs the accept handler; Quit (the button, or closing the window through the
// window manager) closes it and asks the application to quit, which also ends a modal loop that
// runs the window. The caller shows the window and runs the modal loop. Main thread only.
class NBGDPRWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NBGDPRWindowController)

public:
    NBGDPRWindowController(const QUrl &policyURL, const QUrl &termsOfServiceURL, QObject *parent = nullptr);
    ~NBGDPRWindowController() override;

    // The interface file's name: the class name alone, on every system.
    static QString windowNibName();

    QUrl policyURL() const { return m_policyURL; }
    QUrl termsOfServiceURL() const { return m_termsOfServiceURL; }
    void setAcceptHandler(std::function<void()> handler) { m_acceptHandler = std::move(handler); }

    // The window, loaded from its interface file on first use.
    QWidget *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    void showWindow();

    // The actions of the window's buttons.
    void readPrivacyPolicy();
    void readTermsOfService();
    void quit();
    void accept();

    QLabel *iconView() const { return m_iconView; }
    QLabel *titleField() const { return m_titleField; }
    QLabel *messageField() const { return m_messageField; }
    QLabel *warningField() const { return m_warningField; }
    NBGDPRTintedButton *privacyPolicyButton() const { return m_privacyPolicyButton; }
    NBGDPRTintedButton *termsOfServiceButton() const { return m_termsOfServiceButton; }
    NBGDPRButton *quitButton() const { return m_quitButton; }
    NBGDPRButton *acceptButton() const { return m_acceptButton; }

private:
    void loadWindow();
    void windowDidLoad();
    void setupBackgroundView();
    void setupTexts();
    void closeWindow();

    QUrl m_policyURL;
    QUrl m_termsOfServiceURL;
    std::function<void()> m_acceptHandler;
    std::unique_ptr<NBGDPRWindow> m_window;
    QPointer<QLabel> m_iconView;
    QPointer<QLabel> m_titleField;
    QPointer<QLabel> m_messageField;
    QPointer<QLabel> m_warningField;
    QPointer<NBGDPRTintedButton> m_privacyPolicyButton;
    QPointer<NBGDPRTintedButton> m_termsOfServiceButton;
    QPointer<NBGDPRButton> m_quitButton;
    QPointer<NBGDPRButton> m_acceptButton;
};
