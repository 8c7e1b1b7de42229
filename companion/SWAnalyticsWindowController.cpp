#include "companion/SWAnalyticsWindowController.h"

#include "companion/SWAnalyticsTracker.h"
#include "platform/settings/Defaults.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

namespace {

struct Column
{
    const char *title;
    QString key;
};

const QList<Column> &columns()
{
    static const QList<Column> list = {
        {"Category", SWAnalyticsKey::eventCategory},    {"Action", SWAnalyticsKey::eventAction},
        {"Label", SWAnalyticsKey::eventLabel},          {"Value", SWAnalyticsKey::eventValue},
        {"Screen", SWAnalyticsKey::contentDescription}, {"Property", QStringLiteral("gaid")},
        {"Postponed", QStringLiteral("postponed")}};
    return list;
}

// The controller exists from the moment the application object does, so that no event of the
// run is missed, and only when the debug menu is switched on.
SWAnalyticsWindowController *&sharedController()
{
    static SWAnalyticsWindowController *controller = nullptr;
    return controller;
}

// Newest first: through the table's model, which the window shows once it is loaded.
void SWAnalyticsEventInserter(SWAnalyticsEventsModel *events, const QVariantMap &userInfo)
{
    events->insertObjectAtArrangedObjectIndex(userInfo, 0);
}

void loadSharedController()
{
    SWAnalyticsWindowController::instance();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(loadSharedController)

SWAnalyticsEventsModel::SWAnalyticsEventsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

int SWAnalyticsEventsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

int SWAnalyticsEventsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns().size());
}

QVariant SWAnalyticsEventsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_events.size())
        return {};
    const QVariant value = m_events.at(index.row()).value(columns().at(index.column()).key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
    return value.toString();
}

QVariant SWAnalyticsEventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columns().size())
        return {};
    return QString::fromLatin1(columns().at(section).title);
}

void SWAnalyticsEventsModel::insertObjectAtArrangedObjectIndex(const QVariantMap &event, int index)
{
    index = std::clamp(index, 0, int(m_events.size()));
    beginInsertRows({}, index, index);
    m_events.insert(index, event);
    endInsertRows();
}

SWAnalyticsWindowController *SWAnalyticsWindowController::instance()
{
    static const bool made = [] {
        if (platform::Defaults::standard().boolValue(showDebugMenuKey))
            sharedController() = new SWAnalyticsWindowController(QCoreApplication::instance());
        return true;
    }();
    Q_UNUSED(made);
    return sharedController();
}

std::unique_ptr<SWAnalyticsWindowController> SWAnalyticsWindowController::create(platform::Defaults &defaults,
                                                                                 QObject *parent)
{
    if (!defaults.boolValue(showDebugMenuKey))
        return nullptr;
    return std::unique_ptr<SWAnalyticsWindowController>(new SWAnalyticsWindowController(parent));
}

SWAnalyticsWindowController::SWAnalyticsWindowController(QObject *parent)
    : QObject(parent)
    , m_eventsArrayController(new SWAnalyticsEventsModel(this))
{
    // Queued, also from the interface thread: events may be tracked on any thread, the list changes on
    // the interface thread only, and a queued call never reaches a controller that is gone.
    connect(&SWAnalyticsEvents::center(), &SWAnalyticsEvents::analyticsEvent, this,
            &SWAnalyticsWindowController::analyticsReceived, Qt::QueuedConnection);
    // Widgets must go before the application object does.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { m_window.reset(); });
}

SWAnalyticsWindowController::~SWAnalyticsWindowController()
{
    if (sharedController() == this)
        sharedController() = nullptr;
}

QString SWAnalyticsWindowController::windowNibName()
{
    return QStringLiteral("SWAnalyticsWindowController");
}

QWidget *SWAnalyticsWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void SWAnalyticsWindowController::showWindow()
{
    QWidget *shown = window();
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void SWAnalyticsWindowController::loadWindow()
{
    // A status-level window: it floats above the application's windows.
    m_window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    m_window->setObjectName(windowNibName());
    m_window->setWindowTitle(QStringLiteral("Analytics"));
    auto *table = new QTableView(m_window.get());
    table->setObjectName(QStringLiteral("eventsTable"));
    table->setModel(m_eventsArrayController);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table);
    m_window->resize(720, 360);
}

void SWAnalyticsWindowController::analyticsReceived(const QVariantMap &userInfo)
{
    SWAnalyticsEventInserter(m_eventsArrayController, userInfo);
}
