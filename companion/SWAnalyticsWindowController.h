#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <memory>

class QWidget;

namespace platform {
class Defaults;
}

// The analytics events collected for the debug window, newest first.
class SWAnalyticsEventsModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SWAnalyticsEventsModel)

public:
    explicit SWAnalyticsEventsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void insertObjectAtArrangedObjectIndex(const QVariantMap &event, int index);
    const QList<QVariantMap> &events() const { return m_events; }

private:
    QList<QVariantMap> m_events;
};

// For testing the analytics set-up: with "ShowDebugMenu" set, collects every analytics event
// hit from the start of the run (held ones included) and lists them, newest first, in a window
// that floats above the application's windows.
class SWAnalyticsWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SWAnalyticsWindowController)

public:
    static inline const QString showDebugMenuKey = QStringLiteral("ShowDebugMenu");

    // The run's controller, made when the application object is created; null when
    // "ShowDebugMenu" was not set at that time.
    static SWAnalyticsWindowController *instance();
    // A controller over the given defaults; null unless "ShowDebugMenu" is set in them.
    static std::unique_ptr<SWAnalyticsWindowController> create(platform::Defaults &defaults, QObject *parent = nullptr);
    ~SWAnalyticsWindowController() override;

    static QString windowNibName();

    QList<QVariantMap> events() const { return m_eventsArrayController->events(); }
    SWAnalyticsEventsModel *eventsArrayController() const { return m_eventsArrayController; }

    bool isWindowLoaded() const { return m_window != nullptr; }
    // The window, loaded on first use.
    QWidget *window();
    void showWindow();

private:
    explicit SWAnalyticsWindowController(QObject *parent);
    void loadWindow();
    void analyticsReceived(const QVariantMap &userInfo);

    SWAnalyticsEventsModel *m_eventsArrayController;
    std::unique_ptr<QWidget> m_window;
};
