#include "controls/VLProgressIndicator.h"
#include "engine/files/NBFileSizer.h"
#include "screens/VLTransportWindowController.h"
#include "windowing/navigation/VLInterfaceRegistry.h"
#include "windowing/windows/VLSheetRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <limits>

namespace {

// Lets the queued status refreshes run.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

std::unique_ptr<VLTransportWindowController> loadedController(quint64 totalSize)
{
    auto controller = std::make_unique<VLTransportWindowController>();
    controller->setSourceURL(QUrl::fromLocalFile(u"/work/Temp/ABC/report.vault"_qs));
    controller->setDestinationURL(QUrl::fromLocalFile(u"/home/user/Documents/report 2.vault"_qs));
    controller->setTotalSize(totalSize);
    controller->window();
    return controller;
}

} // namespace

class TestTransportWindow : public QObject
{
    Q_OBJECT

private slots:
    void loadsFromItsInterfaceFile()
    {
        auto controller = loadedController(3'000'000);
        QCOMPARE(VLTransportWindowController::windowNibName(), u"VLTransportWindowController"_qs);
        QVERIFY(VLInterfaceRegistry::contains(u"VLTransportWindowController"_qs));
        QVERIFY(controller->progressIndicator());
        QVERIFY(controller->statusTextField());
        QVERIFY(controller->cancelButton());
        QCOMPARE(controller->sourceTextField()->text(), u"report.vault"_qs);
        // The folder the item goes into, not the item's new name.
        QCOMPARE(controller->destinationTextField()->text(), u"Documents"_qs);
        QCOMPARE(controller->progressIndicator()->maxValue(), 3'000'000.0);
        QVERIFY(controller->chromoneter());
        QCOMPARE(controller->chromoneter()->delegate(), controller.get());
        QVERIFY(controller->chromoneter()->isTimerScheduled());
        QVERIFY(!controller->isCancelled());
    }

    void progressAndStatus_data()
    {
        QTest::addColumn<quint64>("moved");
        QTest::addColumn<quint64>("total");
        QTest::addColumn<double>("percent");
        QTest::addColumn<int>("bar");
        QTest::newRow("half") << quint64(1'500'000) << quint64(3'000'000) << 50.0 << VLProgressIndicator::scale / 2;
        QTest::newRow("truncated") << quint64(2) << quint64(3) << 66.0 << 6667;
        QTest::newRow("done") << quint64(3'000'000) << quint64(3'000'000) << 100.0 << VLProgressIndicator::scale;
        const quint64 huge = std::numeric_limits<quint64>::max() - 1;
        QTest::newRow("beyond 64 bits times 100") << huge / 2 << huge << 50.0 << VLProgressIndicator::scale / 2;
        // An empty item: nothing to divide by, the chronometer keeps what it had.
        QTest::newRow("empty item") << quint64(0) << quint64(0) << 0.0 << 0;
    }

    void progressAndStatus()
    {
        QFETCH(quint64, moved);
        QFETCH(quint64, total);
        QFETCH(double, percent);
        QFETCH(int, bar);
        auto controller = loadedController(total);
        controller->setMovedSize(moved);
        QCOMPARE(controller->movedSize(), moved);
        QCOMPARE(controller->chromoneter()->progress(), percent);
        settle();
        QCOMPARE(controller->progressIndicator()->doubleValue(), double(moved));
        QCOMPARE(controller->progressIndicator()->value(), bar);
        QCOMPARE(controller->statusTextField()->text(), NBFileSizer::displayItemSizeFromSize(moved) + u" from "_qs
                                                            + NBFileSizer::displayItemSizeFromSize(total)
                                                            + u" \u2013 Estimating......"_qs);
    }

    void statusLine()
    {
        // Decimal size texts, moved first, then the total and the time left, with an en dash.
        QCOMPARE(VLTransportWindowController::statusText(1'500'000, 3'000'000, QString()),
                 u"1.5\u00A0MB from 3\u00A0MB \u2013 Estimating......"_qs);
        QCOMPARE(VLTransportWindowController::statusText(2'000, 1'000'000'000, u"About 5 minutes"_qs),
                 u"2\u00A0KB from 1\u00A0GB \u2013 About 5 minutes..."_qs);
    }

    void remainingTimeRefreshesTheStatusBetweenReports()
    {
        auto controller = loadedController(3'000'000);
        controller->setMovedSize(1'500'000);
        settle();
        QVERIFY(controller->statusTextField()->text().endsWith(u"Estimating......"_qs));

        // Another chronometer's tick is not this window's business.
        controller->chromoneter()->setRemainingTimeString(u"About 5 minutes"_qs);
        VLChronometer foreign;
        controller->chronometerDidUpdateRemainingTime(&foreign, 300);
        settle();
        QVERIFY(controller->statusTextField()->text().endsWith(u"Estimating......"_qs));

        controller->chronometerDidUpdateRemainingTime(controller->chromoneter().get(), 300);
        // Always queued, never drawn inside the call.
        QVERIFY(controller->statusTextField()->text().endsWith(u"Estimating......"_qs));
        settle();
        QCOMPARE(controller->statusTextField()->text(), u"1.5\u00A0MB from 3\u00A0MB \u2013 About 5 minutes..."_qs);

        // The chronometer's own ticks go the same way.
        controller->chromoneter()->updateProgress(50);
        controller->chromoneter()->setMeasuredTime(59);
        controller->chromoneter()->recalculateTime();
        settle();
        QVERIFY(!controller->chromoneter()->remainingTimeString().isEmpty());
        QCOMPARE(controller->statusTextField()->text(), u"1.5\u00A0MB from 3\u00A0MB \u2013 "_qs
                                                            + controller->chromoneter()->remainingTimeString()
                                                            + u"..."_qs);
    }

    void cancelStopsTheEstimateAndKeepsTheWindow_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("button") << false;
        QTest::newRow("escape") << true;
    }

    void cancelStopsTheEstimateAndKeepsTheWindow()
    {
        QFETCH(bool, byEscape);
        QWidget host;
        host.resize(500, 400);
        host.show();
        auto controller = loadedController(3'000'000);
        QDialog *sheet = controller->window();
        VLSheetRegistry::instance().beginSheet(&host, sheet, {});
        QVERIFY(sheet->isVisible());
        if (byEscape)
            QTest::keyClick(sheet, Qt::Key_Escape);
        else
            QTest::mouseClick(controller->cancelButton(), Qt::LeftButton);
        QVERIFY(controller->isCancelled());
        QVERIFY(!controller->chromoneter()->isMeasuring());
        QVERIFY(!controller->chromoneter()->isTimerScheduled());
        // The transporter closes it at its next report.
        QVERIFY(sheet->isVisible());
        QCOMPARE(VLSheetRegistry::instance().currentSheet(&host), sheet);

        // Closing ends the estimate; a controller that goes with its sheet on show lets the
        // window's next sheet through.
        controller->close();
        QVERIFY(!sheet->isVisible());
        controller.reset();
        QVERIFY(!VLSheetRegistry::instance().isSheetOpen(&host));
    }

    void releasedControllerLeavesNoTimer()
    {
        auto controller = loadedController(10);
        const std::shared_ptr<VLChronometer> chronometer = controller->chromoneter();
        controller.reset();
        QVERIFY(!chronometer->isTimerScheduled());
        QCOMPARE(chronometer->delegate(), nullptr);
        // A refresh queued before the release does not reach it.
        auto queued = loadedController(10);
        queued->setMovedSize(5);
        queued.reset();
        settle();
    }
};

QTEST_MAIN(TestTransportWindow)
#include "tst_transportwindow.moc"
