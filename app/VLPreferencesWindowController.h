#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QWidget;
class SWAnalyticsTracker;

// The preferences window: one check box that shares anonymous usage statistics or not.
class VLPreferencesWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLPreferencesWindowController)

public:
    // What the check box switches (the application delegate's toggleAnalytics).
    using ToggleAnalytics = std::function<void(QObject *sender)>;

    VLPreferencesWindowController(SWAnalyticsTracker &tracker, ToggleAnalytics toggleAnalytics,
                                  QObject *parent = nullptr);
    ~VLPreferencesWindowController() override;

    static QString windowNibName();

    // The window, made on first use.
    QWidget *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    void showWindow();
    QCheckBox *analyticsCheckBox() const { return m_analyticsCheckBox; }

    // The check box's event: "Select Analytics" when it is on, else "Deselect Analytics".
    void sendGAReportButtonAction(QAbstractButton *sender);

private:
    void loadWindow();
    void refresh();

    SWAnalyticsTracker &m_tracker;
    ToggleAnalytics m_toggleAnalytics;
    std::unique_ptr<QWidget> m_window;
    QCheckBox *m_analyticsCheckBox = nullptr;
};
