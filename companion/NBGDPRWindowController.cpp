#include "companion/NBGDPRWindowController.h"

#include "companion/NBGDPRAdditions.h"
#include "companion/NBGDPRButton.h"
#include "companion/NBGDPRTintedButton.h"
#include "companion/NBGDPRView.h"
#include "companion/NBGDPRWindow.h"
#include "companion/VLApplicationIcon.h"
#include "platform/core/BundleInfo.h"
#include "platform/view/VLNibName.h"
#include "platform/view/ViewFrame.h"

#include "ui_NBGDPRWindowController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPixmap>

namespace {

void registerInterface()
{
    static const bool registered = [] {
        platform::registerInterfaceFile(NBGDPRWindowController::windowNibName(), [](QWidget *view, QObject *) {
            Ui::NBGDPRWindowController form;
            form.setupUi(view);
        });
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace

NBGDPRWindowController::NBGDPRWindowController(const QUrl &policyURL, const QUrl &termsOfServiceURL, QObject *parent)
    : QObject(parent)
    , m_policyURL(policyURL)
    , m_termsOfServiceURL(termsOfServiceURL)
{
    registerInterface();
    // The window must go while the application object still exists.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { m_window.reset(); });
}

NBGDPRWindowController::~NBGDPRWindowController() = default;

QString NBGDPRWindowController::windowNibName()
{
    return QString::fromLatin1(staticMetaObject.className());
}

QWidget *NBGDPRWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void NBGDPRWindowController::showWindow()
{
    QWidget *shown = window();
    if (!shown->isVisible())
        vlCenterWindow(shown);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void NBGDPRWindowController::loadWindow()
{
    m_window = std::make_unique<NBGDPRWindow>();
    m_window->setObjectName(windowNibName());
    if (const platform::InterfaceFileSetup setup = platform::interfaceFileSetup(windowNibName()))
        setup(m_window.get(), this);
    m_window->setWindowTitle(QString::fromLatin1(platform::bundle::name));
    m_window->setFixedSize(m_window->size());
    m_window->setCloseHandler([this] { quit(); });

    m_iconView = m_window->findChild<QLabel *>(QStringLiteral("iconView"));
    m_titleField = m_window->findChild<QLabel *>(QStringLiteral("titleField"));
    m_messageField = m_window->findChild<QLabel *>(QStringLiteral("messageField"));
    m_warningField = m_window->findChild<QLabel *>(QStringLiteral("warningField"));
    m_privacyPolicyButton = m_window->findChild<NBGDPRTintedButton *>(QStringLiteral("privacyPolicyButton"));
    m_termsOfServiceButton = m_window->findChild<NBGDPRTintedButton *>(QStringLiteral("termsOfServiceButton"));
    m_quitButton = m_window->findChild<NBGDPRButton *>(QStringLiteral("quitButton"));
    m_acceptButton = m_window->findChild<NBGDPRButton *>(QStringLiteral("acceptButton"));
    if (m_privacyPolicyButton)
        connect(m_privacyPolicyButton, &NBGDPRTintedButton::clicked, this, &NBGDPRWindowController::readPrivacyPolicy);
    if (m_termsOfServiceButton)
        connect(m_termsOfServiceButton, &NBGDPRTintedButton::clicked, this,
                &NBGDPRWindowController::readTermsOfService);
    if (m_quitButton)
        connect(m_quitButton, &NBGDPRButton::clicked, this, &NBGDPRWindowController::quit);
    if (m_acceptButton)
        connect(m_acceptButton, &NBGDPRButton::clicked, this, &NBGDPRWindowController::accept);
    windowDidLoad();
}

void NBGDPRWindowController::windowDidLoad()
{
    if (m_iconView) {
        const QSize size = m_iconView->maximumSize().boundedTo(QSize(256, 256));
        m_iconView->setPixmap(VLApplicationIcon::pixmap(size, m_window->devicePixelRatioF()));
    }
    if (m_titleField)
        m_titleField->setText(QString::fromLatin1(platform::bundle::name));
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    m_window->setPalette(palette);
    m_window->setAutoFillBackground(true);
    setupBackgroundView();
    setupTexts();
}

void NBGDPRWindowController::setupBackgroundView()
{
    // White under everything, filling the window, so the window moves wherever its
    // background is dragged.
    auto *background = new NBGDPRView;
    background->setObjectName(QStringLiteral("backgroundView"));
    background->setFillColor(Qt::white);
    nbgdpr_embedView(m_window.get(), background, NBGDPRWindowOrdering::Below);
}

void NBGDPRWindowController::setupTexts()
{
    for (QLabel *field : {m_messageField.data(), m_warningField.data()}) {
        if (!field)
            continue;
        field->setTextFormat(Qt::RichText);
        field->setText(nbgdpr_stringWithText(field->text()));
    }
}

void NBGDPRWindowController::readPrivacyPolicy()
{
    QDesktopServices::openUrl(m_policyURL);
}

void NBGDPRWindowController::readTermsOfService()
{
    QDesktopServices::openUrl(m_termsOfServiceURL);
}

void NBGDPRWindowController::closeWindow()
{
    if (m_window)
        m_window->hide();
}

void NBGDPRWindowController::quit()
{
    closeWindow();
    // Also ends the modal loop that runs the window; the launch stops there.
    QCoreApplication::exit(0);
}

void NBGDPRWindowController::accept()
{
    closeWindow();
    if (m_acceptHandler) {
        // The handler may release the controller.
        const std::function<void()> handler = m_acceptHandler;
        handler();
    }
}
