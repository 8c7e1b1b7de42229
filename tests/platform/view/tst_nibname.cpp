#include "platform/core/AppKitVersion.h"
#include "platform/view/VLNibName.h"
#include "platform/view/VLOptionKeyMonitor.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace {

class ToggleCounter final : public VLOptionKeyMonitorDelegate
{
public:
    void monitorOptionDidToggle(VLOptionKeyMonitor *monitor) override
    {
        lastMonitor = monitor;
        ++toggles;
    }
    VLOptionKeyMonitor *lastMonitor = nullptr;
    int toggles = 0;
};

} // namespace

class TestNibName : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { platform::setAppKitVersionNumberForTesting(0); }

    void nibNames_data()
    {
        QTest::addColumn<double>("version");
        QTest::addColumn<bool>("legacyRegistered");
        QTest::addColumn<QString>("expected");
        QTest::newRow("modern, legacy file present") << 0.0 << true << u"VLSampleController"_qs;
        QTest::newRow("modern, no legacy file") << 0.0 << false << u"VLSampleController"_qs;
        QTest::newRow("legacy, legacy file present")
            << platform::appKitVersionLegacy << true << u"VLSampleController-Legacy"_qs;
        QTest::newRow("legacy, no legacy file") << platform::appKitVersionLegacy << false << u"VLSampleController"_qs;
        QTest::newRow("just below the modern floor") << 1265.9 << true << u"VLSampleController-Legacy"_qs;
        QTest::newRow("just above") << 1266.0 << true << u"VLSampleController"_qs;
    }

    void nibNames()
    {
        QFETCH(double, version);
        QFETCH(bool, legacyRegistered);
        QFETCH(QString, expected);
        platform::registerInterfaceFile(u"VLSampleController"_qs, [](QWidget *, QObject *) {});
        if (legacyRegistered)
            platform::registerInterfaceFile(u"VLSampleController-Legacy"_qs, [](QWidget *, QObject *) {});
        else
            platform::unregisterInterfaceFile(u"VLSampleController-Legacy"_qs);
        platform::setAppKitVersionNumberForTesting(version);
        QCOMPARE(VLNibNameForClass(u"VLSampleController"_qs), expected);
        QVERIFY(platform::appKitVersionNumber() >= (version > 0 ? version : platform::appKitVersionModern));
    }

    void nibNameOfAMetaObject()
    {
        platform::setAppKitVersionNumberForTesting(platform::appKitVersionLegacy);
        platform::registerInterfaceFile(u"VLOptionKeyMonitor-Legacy"_qs, [](QWidget *, QObject *) {});
        QCOMPARE(VLNibNameForClass(VLOptionKeyMonitor::staticMetaObject), u"VLOptionKeyMonitor-Legacy"_qs);
        // A class without any registered interface file keeps its name.
        QCOMPARE(VLNibNameForClass(QWidget::staticMetaObject), u"QWidget"_qs);
        platform::unregisterInterfaceFile(u"VLOptionKeyMonitor-Legacy"_qs);
        QVERIFY(!platform::hasInterfaceFile(u"VLOptionKeyMonitor-Legacy"_qs));
    }

    void registeredSetupBuildsTheView()
    {
        QObject owner;
        platform::registerInterfaceFile(u"VLFormSample"_qs, [](QWidget *view, QObject *who) {
            auto *child = new QWidget(view);
            child->setObjectName(who->objectName());
        });
        owner.setObjectName(u"owner"_qs);
        QWidget view;
        const platform::InterfaceFileSetup setup = platform::interfaceFileSetup(u"VLFormSample"_qs);
        QVERIFY(setup);
        setup(&view, &owner);
        QVERIFY(view.findChild<QWidget *>(u"owner"_qs));
        QVERIFY(!platform::interfaceFileSetup(u"VLNothing"_qs));
    }

    void optionKeyTogglesOnEveryRelease()
    {
        QWidget window;
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWindow *handle = window.windowHandle();

        VLOptionKeyMonitor monitor;
        ToggleCounter counter;
        monitor.setDelegate(&counter);
        QSignalSpy spy(&monitor, &VLOptionKeyMonitor::optionDidToggle);

        QTest::keyPress(handle, Qt::Key_Alt);
        QCOMPARE(counter.toggles, 0);
        QTest::keyRelease(handle, Qt::Key_Alt);
        QCOMPARE(counter.toggles, 1);
        QCOMPARE(counter.lastMonitor, &monitor);

        // Other keys and modifiers leave it alone.
        QTest::keyClick(handle, Qt::Key_Shift);
        QTest::keyClick(handle, Qt::Key_A);
        QTest::keyClick(handle, Qt::Key_Control);
        QCOMPARE(counter.toggles, 1);

        QTest::keyPress(handle, Qt::Key_Alt);
        QTest::keyRelease(handle, Qt::Key_Alt);
        QCOMPARE(counter.toggles, 2);
        QCOMPARE(spy.count(), 2);

        // The monitor passes the events on: the focus widget still gets them.
        monitor.setDelegate(nullptr);
        QTest::keyClick(handle, Qt::Key_Alt);
        QCOMPARE(spy.count(), 3);
    }

    void monitorStopsWhenDestroyed()
    {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ToggleCounter counter;
        {
            VLOptionKeyMonitor monitor;
            monitor.setDelegate(&counter);
        }
        QTest::keyClick(window.windowHandle(), Qt::Key_Alt);
        QCOMPARE(counter.toggles, 0);
    }
};

QTEST_MAIN(TestNibName)
#include "tst_nibname.moc"
