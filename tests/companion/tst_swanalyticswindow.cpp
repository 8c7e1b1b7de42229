#include "companion/SWAnalyticsTracker.h"
#include "companion/SWAnalyticsWindowController.h"
#include "companion/VLABTester.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TestSWAnalyticsWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QStringList actions(const QAbstractItemModel *model) const
    {
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->index(row, 1).data().toString();
        return list;
    }

private slots:
    void theRunsControllerExistsFromTheStart()
    {
        SWAnalyticsWindowController *controller = SWAnalyticsWindowController::instance();
        QVERIFY(controller);
        QCOMPARE(SWAnalyticsWindowController::instance(), controller);
        QVERIFY(!controller->isWindowLoaded());
    }

    void eventsTrackedBeforeTheWindowOpensAreListedNewestFirst()
    {
        SWAnalyticsWindowController *controller = SWAnalyticsWindowController::instance();
        QVERIFY(controller);
        LocalHttpServer server;
        platform::Defaults defaults(m_dir.filePath(QStringLiteral("tracker.ini")));
        VLABTester tester(defaults);
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = server.url(QStringLiteral("/collect"));
        configuration.defaults = &defaults;
        configuration.abTester = &tester;
        configuration.environment = testEnvironment();
        SWAnalyticsTracker tracker(configuration);

        // Undecided: the hits are only held, and still listed.
        tracker.trackEvent(QStringLiteral("Statistics"), QStringLiteral("Launch"));
        tracker.trackEvent(QStringLiteral("Statistics"), QStringLiteral("First Launch"));
        tracker.trackView(QStringLiteral("Drop Files"));
        tracker.trackEvent(QStringLiteral("Workflow"), QStringLiteral("Add Items"),
                           QStringLiteral("Files \u2013 Icon Drag"));
        tracker.trackEvent(QStringLiteral("Workflow"), QStringLiteral("Negative"), QString(), -1);
        QTRY_COMPARE(controller->events().size(), 3);
        QVERIFY(!controller->isWindowLoaded());
        const QVariantMap newest = controller->events().first();
        QCOMPARE(newest.value(QStringLiteral("ea")).toString(), QStringLiteral("Add Items"));
        QCOMPARE(newest.value(QStringLiteral("cd")).toString(), QStringLiteral("Drop Files"));
        QCOMPARE(newest.value(QStringLiteral("postponed")), QVariant(true));
        QCOMPARE(newest.value(QStringLiteral("gaid")).toString(), SWAnalyticsTracker::productionPropertyIdentifier);

        controller->showWindow();
        QWidget *window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->objectName(), SWAnalyticsWindowController::windowNibName());
        QCOMPARE(SWAnalyticsWindowController::windowNibName(), QStringLiteral("SWAnalyticsWindowController"));
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        auto *table = window->findChild<QTableView *>(QStringLiteral("eventsTable"));
        QVERIFY(table);
        QCOMPARE(actions(table->model()),
                 QStringList({QStringLiteral("Add Items"), QStringLiteral("First Launch"), QStringLiteral("Launch")}));
        QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("Files \u2013 Icon Drag"));
        QCOMPARE(table->model()->index(0, 6).data().toString(), QStringLiteral("YES"));

        // With the window open, a new event goes to the top of the table.
        tracker.setEnabled(true);
        tracker.trackEvent(QStringLiteral("Statistics"), QStringLiteral("App Quit"));
        QTRY_COMPARE(table->model()->rowCount(), 4);
        QCOMPARE(actions(table->model()).first(), QStringLiteral("App Quit"));
        QCOMPARE(table->model()->index(0, 6).data().toString(), QStringLiteral("NO"));
        window->close();
    }

    void eventsFromAnotherThreadAreInsertedOnTheInterfaceThread()
    {
        const auto controller = SWAnalyticsWindowController::create(platform::Defaults::standard());
        QVERIFY(controller);
        QThread *insertedOn = nullptr;
        connect(
            controller->eventsArrayController(), &QAbstractItemModel::rowsInserted, this,
            [&insertedOn] { insertedOn = QThread::currentThread(); }, Qt::DirectConnection);
        QScopedPointer<QThread> thread(QThread::create([] {
            emit SWAnalyticsEvents::center().analyticsEvent({{QStringLiteral("ea"), QStringLiteral("Background")}});
        }));
        thread->start();
        thread->wait();
        QTRY_COMPARE(controller->events().size(), 1);
        QCOMPARE(insertedOn, QThread::currentThread());

        // From the interface thread too, the insertion waits for the event loop.
        emit SWAnalyticsEvents::center().analyticsEvent({{QStringLiteral("ea"), QStringLiteral("Foreground")}});
        QCOMPARE(controller->events().size(), 1);
        QTRY_COMPARE(controller->events().size(), 2);
        QCOMPARE(controller->events().first().value(QStringLiteral("ea")).toString(), QStringLiteral("Foreground"));
    }

    void withoutTheDefaultNoControllerIsMade()
    {
        platform::Defaults defaults(m_dir.filePath(QStringLiteral("off.ini")));
        QVERIFY(!SWAnalyticsWindowController::create(defaults));
        defaults.setValue(SWAnalyticsWindowController::showDebugMenuKey, true);
        QVERIFY(SWAnalyticsWindowController::create(defaults));
    }
};

int main(int argc, char **argv)
{
    // The run's controller is made with the application object, from the default as it is then.
    platform::Defaults::standard().setValue(SWAnalyticsWindowController::showDebugMenuKey, true);
    QApplication app(argc, argv);
    TestSWAnalyticsWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    platform::Defaults::standard().remove(SWAnalyticsWindowController::showDebugMenuKey);
    return result;
}

#include "tst_swanalyticswindow.moc"
