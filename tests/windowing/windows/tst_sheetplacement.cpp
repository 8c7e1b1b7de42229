#include "windowing/windows/VLAlert.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLSavePanel.h"
#include "windowing/windows/VLSheetRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Where sheets open: on the screen whatever the window's place, and a save panel in the folder
// the user last saved to.
class TestSheetPlacement : public QObject
{
    Q_OBJECT

    // A main window of the application's size at a chosen place of the screen.
    static std::unique_ptr<QWidget> windowAt(const QPoint &topLeft)
    {
        auto window = std::make_unique<QWidget>();
        window->resize(460, 500);
        window->move(topLeft);
        window->show();
        return window;
    }

    static QFileDialog *beginSavePanel(QWidget *window, QList<QUrl> *answers)
    {
        VLSavePanel::beginSheetModalForWindow(window, u"Report"_s, u"pdf"_s, [answers](int result, const QUrl &url) {
            if (result == VLSavePanel::okButton)
                *answers << url;
        });
        return qobject_cast<QFileDialog *>(VLSheetRegistry::instance().currentSheet(window));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void sheetsStayOnTheScreen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("edge"); // -1 the window at the screen's left edge, 1 at its right
        QTest::newRow("save panel, left edge") << u"panel"_s << -1;
        QTest::newRow("save panel, right edge") << u"panel"_s << 1;
        QTest::newRow("alert, left edge") << u"alert"_s << -1;
        QTest::newRow("alert, right edge") << u"alert"_s << 1;
    }

    void sheetsStayOnTheScreen()
    {
        QFETCH(QString, kind);
        QFETCH(int, edge);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        auto window = windowAt(edge < 0 ? area.topLeft() : QPoint(area.right() - 459, area.top()));
        QDialog *sheet = nullptr;
        QList<QUrl> answers;
        if (kind == u"panel") {
            sheet = beginSavePanel(window.get(), &answers);
        } else {
            VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
                window.get(),
                VLAlert::withMessageText(u"The item could not be saved."_s, {}, {}, {},
                                         u"The folder you chose cannot be written to. Choose another folder, "
                                         "or ask the folder's owner to let you write to it, and save again."_s),
                {});
            sheet = VLAlertHandler::currentAlert(window.get());
        }
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        // The panel is wider than the window: centred on it, it would hang off the screen.
        if (kind == u"panel")
            QVERIFY(sheet->width() > window->width());
        const QRect placed = sheet->frameGeometry();
        QVERIFY2(area.contains(placed), qPrintable(u"%1,%2 %3x%4 in %5x%6"_s.arg(placed.x())
                                                       .arg(placed.y())
                                                       .arg(placed.width())
                                                       .arg(placed.height())
                                                       .arg(area.width())
                                                       .arg(area.height())));
        sheet->reject();
        QTRY_VERIFY(!VLSheetRegistry::instance().isSheetOpen(window.get()));
    }

    // An alert is never wider than its window: its texts wrap onto more lines and stay whole.
    void anAlertFitsItsWindow()
    {
        auto window = std::make_unique<QWidget>();
        window->resize(330, 500);
        window->move(200, 100);
        window->show();
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(
            window.get(),
            VLAlert::withMessageText(u"The item \"Holiday Photos of the Whole Summer\" could not be saved."_s, {}, {},
                                     {},
                                     u"The folder you chose cannot be written to. Choose another folder, "
                                     "or ask the folder's owner to let you write to it, and save again."_s),
            {});
        QMessageBox *alert = VLAlertHandler::currentAlert(window.get());
        QVERIFY(alert);
        QTRY_VERIFY(alert->isVisible());
        const QRect placed = alert->frameGeometry();
        QVERIFY2(placed.left() >= window->geometry().left() && placed.right() <= window->geometry().right(),
                 qPrintable(u"%1..%2"_s.arg(placed.left()).arg(placed.right())));
        for (QLabel *label : alert->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            QVERIFY(label->isVisible());
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->text()));
        }
        alert->reject();
        QTRY_VERIFY(!VLSheetRegistry::instance().isSheetOpen(window.get()));
    }

    void thePanelOpensInTheFolderLastSavedTo()
    {
        auto window = windowAt(QPoint(100, 50));
        QList<QUrl> answers;
        // Never the folder the program was started from.
        QTemporaryDir startedFrom;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(startedFrom.path());
        QFileDialog *panel = beginSavePanel(window.get(), &answers);
        QVERIFY(panel);
        QCOMPARE(panel->directory().absolutePath(), QDir::homePath());

        // The user saves into a folder of their choice, typing its path.
        QTemporaryDir chosen;
        auto *nameField = panel->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(nameField);
        nameField->setFocus();
        nameField->setText(chosen.filePath(u"Report"_s));
        QTest::keyClick(nameField, Qt::Key_Return);
        QTRY_COMPARE(answers, QList<QUrl>{QUrl::fromLocalFile(chosen.filePath(u"Report.pdf"_s))});
        QTRY_VERIFY(!VLSheetRegistry::instance().isSheetOpen(window.get()));

        panel = beginSavePanel(window.get(), &answers);
        QVERIFY(panel);
        QCOMPARE(panel->directory().absolutePath(), QDir(chosen.path()).absolutePath());
        panel->reject();
        QTRY_VERIFY(!VLSheetRegistry::instance().isSheetOpen(window.get()));

        // A folder that is gone no longer counts.
        QVERIFY(chosen.remove());
        panel = beginSavePanel(window.get(), &answers);
        QVERIFY(panel);
        QCOMPARE(panel->directory().absolutePath(), QDir::homePath());
        panel->reject();
        QTRY_VERIFY(!VLSheetRegistry::instance().isSheetOpen(window.get()));
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(TestSheetPlacement)
#include "tst_sheetplacement.moc"
