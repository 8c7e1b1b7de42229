#include "companion/SWAnalyticsTracker.h"
#include "companion/SWAnalyticsWindowController.h"
#include "platform/settings/Defaults.h"

#include <QApplication>
#include <QTest>

class TestSWAnalyticsWindowOff : public QObject
{
    Q_OBJECT

private slots:
    void noControllerAndNothingCollected()
    {
        QVERIFY(!SWAnalyticsWindowController::instance());
        // Switching the default on later does not bring the run's controller back.
        platform::Defaults::standard().setValue(SWAnalyticsWindowController::showDebugMenuKey, true);
        QVERIFY(!SWAnalyticsWindowController::instance());
        platform::Defaults::standard().remove(SWAnalyticsWindowController::showDebugMenuKey);
        emit SWAnalyticsEvents::center().analyticsEvent({{QStringLiteral("ea"), QStringLiteral("Launch")}});
        QCoreApplication::processEvents();
    }
};

int main(int argc, char **argv)
{
    platform::Defaults::standard().remove(SWAnalyticsWindowController::showDebugMenuKey);
    QApplication app(argc, argv);
    TestSWAnalyticsWindowOff test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_swanalyticswindow_off.moc"
