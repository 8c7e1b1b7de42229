#include "app/VLPreferencesWindowController.h"

#include "companion/SWAnalyticsTracker.h"
#include "platform/settings/Defaults.h"
#include "platform/view/VLNibName.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

VLPreferencesWindowController::VLPreferencesWindowController(SWAnalyticsTracker &tracker,
                                                             ToggleAnalytics toggleAnalytics, QObject *parent)
    : QObject(parent)
    , m_tracker(tracker)
    , m_toggleAnalytics(std::move(toggleAnalytics))
{
    // The check box follows the decision wherever it is taken (the quit-time question, the menu).
    connect(&platform::Defaults::standard(), &platform::Defaults::changed, this, [this](const QString &key) {
        if (key == SWAnalyticsTrackAppKey)
            refresh();
    });
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { m_window.reset(); });
}

VLPreferencesWindowController::~VLPreferencesWindowController() = default;

QString VLPreferencesWindowController::windowNibName()
{
    return VLNibNameForClass(staticMetaObject);
}

QWidget *VLPreferencesWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void VLPreferencesWindowController::showWindow()
{
    QWidget *shown = window();
    refresh();
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void VLPreferencesWindowController::loadWindow()
{
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window);
    m_window->setObjectName(windowNibName());
    m_window->setWindowTitle(tr("Preferences"));
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(20, 20, 20, 20);
    m_analyticsCheckBox = new QCheckBox(tr("Share anonymous usage statistics"), m_window.get());
    m_analyticsCheckBox->setObjectName(QStringLiteral("sendGAReportButton"));
    auto *explanation = new QLabel(tr("They help us improve Vaultine and never contain file names, passwords or "
                                      "the content of your files."),
                                   m_window.get());
    explanation->setWordWrap(true);
    layout->addWidget(m_analyticsCheckBox);
    layout->addWidget(explanation);
    m_window->setFixedWidth(420);
    // A click switches tracking first, so that a "Select Analytics" event already counts.
    connect(m_analyticsCheckBox, &QCheckBox::clicked, this, [this] {
        if (m_toggleAnalytics)
            m_toggleAnalytics(m_analyticsCheckBox);
        sendGAReportButtonAction(m_analyticsCheckBox);
    });
}

void VLPreferencesWindowController::refresh()
{
    if (m_analyticsCheckBox)
        m_analyticsCheckBox->setChecked(m_tracker.isEnabled());
}

void VLPreferencesWindowController::sendGAReportButtonAction(QAbstractButton *sender)
{
    const bool on = sender && sender->isChecked();
    m_tracker.trackEvent(QStringLiteral("Preferences"),
                         on ? QStringLiteral("Select Analytics") : QStringLiteral("Deselect Analytics"));
}
