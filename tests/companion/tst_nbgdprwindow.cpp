#include "companion/NBGDPRAdditions.h"
#include "companion/NBGDPRButton.h"
#include "companion/NBGDPRTintedButton.h"
#include "companion/NBGDPRView.h"
#include "companion/NBGDPRWindowController.h"
#include "tests/companion/OpenedLinks.h"
#include "tests/companion/PixelCounts.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

namespace {

const QUrl policyLink(QStringLiteral("https://tds.example.com/index.php?action=privacypolicy"));
const QUrl termsLink(QStringLiteral("https://tds.example.com/index.php?action=termsofuse"));
const char quitScenarioOption[] = "--quit-scenario";

QImage grabWindow(QWidget *window)
{
    return window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The child process of the quit tests: runs the window as the application's launch does, in a
// modal loop inside the running application, and reports what happened on standard output.
int runQuitScenario(int argc, char **argv, const QString &how)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    NBGDPRWindowController controller(policyLink, termsLink);
    controller.setAcceptHandler([] { qInfo("accept handler ran"); });
    QTimer::singleShot(0, &app, [&] {
        controller.showWindow();
        QTimer::singleShot(0, &app, [&] {
            if (how == u"button")
                QTest::mouseClick(controller.quitButton(), Qt::LeftButton);
            else
                controller.window()->windowHandle()->close();
        });
        QEventLoop modal;
        const int code = modal.exec();
        qInfo("modal loop ended: %d, window visible: %d", code, int(controller.window()->isVisible()));
    });
    // Never reached when Quit works.
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
    const int code = QApplication::exec();
    qInfo("application ended: %d", code);
    return code;
}

} // namespace

class TestNBGDPRWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowComesFromItsInterfaceFile()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        QCOMPARE(NBGDPRWindowController::windowNibName(), QStringLiteral("NBGDPRWindowController"));
        QCOMPARE(controller.policyURL(), policyLink);
        QCOMPARE(controller.termsOfServiceURL(), termsLink);
        QVERIFY(!controller.isWindowLoaded());
        controller.showWindow();
        QWidget *window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->isModal());
        QCOMPARE(controller.titleField()->text(), QStringLiteral("Vaultine"));
        QVERIFY(!controller.iconView()->pixmap().isNull());
        QVERIFY(controller.messageField()->text().contains(QStringLiteral("Privacy Policy")));
        QVERIFY(controller.privacyPolicyButton() && controller.termsOfServiceButton());
        QVERIFY(controller.quitButton() && controller.acceptButton());

        // The white background lies under everything and fills the window.
        auto *background = window->findChild<NBGDPRView *>(QStringLiteral("backgroundView"));
        QVERIFY(background);
        QCOMPARE(window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).first(), background);
        QCOMPARE(background->geometry(), window->rect());
        QVERIFY(background->isOpaque());

        const QImage image = grabWindow(window);
        QCOMPARE(image.pixelColor(4, image.height() / 2), QColor(Qt::white));
        // The application icon: its dark tile and its blue padlock.
        const QRect iconFrame(controller.iconView()->mapTo(window, QPoint(0, 0)), controller.iconView()->size());
        const QImage icon = image.copy(iconFrame);
        QVERIFY(pixelsOfColor(icon, QColor(0x23, 0x23, 0x24), 12, 200) > 1000);
        QVERIFY(pixelsOfColor(icon, QColor(0x3a, 0xa0, 0xff), 12, 200) > 500);
    }

    void messagesAreCentredWithSpacedLines()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        controller.window();
        for (QLabel *field : {controller.messageField(), controller.warningField()}) {
            QCOMPARE(field->textFormat(), Qt::RichText);
            QTextDocument document;
            document.setHtml(field->text());
            const QTextBlockFormat format = document.firstBlock().blockFormat();
            QCOMPARE(format.lineHeightType(), int(QTextBlockFormat::LineDistanceHeight));
            QCOMPARE(format.lineHeight(), 3.0);
            QCOMPARE(format.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        }
        // Markup in a text stays text.
        QTextDocument document;
        document.setHtml(nbgdpr_stringWithText(QStringLiteral("a <b>b</b> & c\nd")));
        QCOMPARE(document.toPlainText(), QStringLiteral("a <b>b</b> & c\nd"));
    }

    void acceptClosesTheWindowThenRunsTheHandlerOnce_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("click") << false;
        QTest::newRow("Return") << true;
    }

    void acceptClosesTheWindowThenRunsTheHandlerOnce()
    {
        QFETCH(bool, byKeyboard);
        NBGDPRWindowController controller(policyLink, termsLink);
        QList<bool> visibleWhenRun;
        controller.setAcceptHandler([&] { visibleWhenRun << controller.window()->isVisible(); });
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowActive(controller.window()));
        if (byKeyboard)
            QTest::keyClick(controller.window(), Qt::Key_Return);
        else
            QTest::mouseClick(controller.acceptButton(), Qt::LeftButton);
        // Return presses the default button, which clicks a moment later.
        QTRY_COMPARE(visibleWhenRun, QList<bool>{false});
        QVERIFY(!controller.window()->isVisible());
        QTest::qWait(50);
        QCOMPARE(visibleWhenRun.size(), 1);
    }

    void acceptWithoutHandlerOnlyCloses()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QTest::mouseClick(controller.acceptButton(), Qt::LeftButton);
        QVERIFY(!controller.window()->isVisible());
    }

    void escapeDoesNotDismissTheWindow()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        int accepted = 0;
        controller.setAcceptHandler([&] { ++accepted; });
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowActive(controller.window()));
        QTest::keyClick(controller.window(), Qt::Key_Escape);
        QVERIFY(controller.window()->isVisible());
        QCOMPARE(accepted, 0);
    }

    void linkButtonsOpenTheirPages_data()
    {
        QTest::addColumn<bool>("terms");
        QTest::addColumn<QUrl>("expected");
        QTest::newRow("privacy policy") << false << policyLink;
        QTest::newRow("terms of use") << true << termsLink;
    }

    void linkButtonsOpenTheirPages()
    {
        QFETCH(bool, terms);
        QFETCH(QUrl, expected);
        OpenedLinks links;
        NBGDPRWindowController controller(policyLink, termsLink);
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        QTest::mouseClick(terms ? controller.termsOfServiceButton() : controller.privacyPolicyButton(), Qt::LeftButton);
        QCOMPARE(links.urls, QList<QUrl>{expected});
        QVERIFY(controller.window()->isVisible());
    }

    void hoveringALinkDrawsATintedPillAndWhiteContent()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        controller.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        NBGDPRTintedButton *button = controller.privacyPolicyButton();
        const QColor tint = button->tintColor();
        QTest::mouseMove(controller.window(), QPoint(2, 2));
        QTRY_VERIFY(!button->isMouseInside());
        const QRect frame(button->mapTo(controller.window(), QPoint(0, 0)), button->size());
        const QImage resting = grabWindow(controller.window()).copy(frame);
        // Tinted text on the white background, no pill.
        QVERIFY(pixelsOfColor(resting, tint, 40, 200) > 20);
        QCOMPARE(resting.pixelColor(3, resting.height() / 2), QColor(Qt::white));

        QTest::mouseMove(button, button->rect().center());
        QTRY_VERIFY(button->isMouseInside());
        const QImage hovered = grabWindow(controller.window()).copy(frame);
        QCOMPARE(hovered.pixelColor(frame.width() / 2, 2).rgb() & 0xffffff, tint.rgb() & 0xffffff);
        QVERIFY(pixelsOfColor(hovered, tint, 8, 200) > frame.width() * frame.height() / 2);
        QVERIFY(pixelsOfColor(hovered, Qt::white, 40, 200) > 20);

        QTest::mouseMove(controller.window(), QPoint(2, 2));
        QTRY_VERIFY(!button->isMouseInside());
        QCOMPARE(grabWindow(controller.window()).copy(frame), resting);
    }

    void flatButtonColoursFollowItsState_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("normal") << true << false << QStringLiteral("normal");
        QTest::newRow("pressed") << true << true << QStringLiteral("highlighted");
        QTest::newRow("disabled") << false << false << QStringLiteral("disabled");
        QTest::newRow("disabled while pressed") << false << true << QStringLiteral("disabled");
    }

    void flatButtonColoursFollowItsState()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, pressed);
        QFETCH(QString, expected);
        NBGDPRButton button;
        button.setText(QStringLiteral("Accept"));
        button.resize(120, 32);
        button.setCornerRadius(8.0);
        button.setBackgrounColor(QColor(0x10, 0x20, 0x30));
        button.setHighlightedBackgroundColor(QColor(0x40, 0x50, 0x60));
        button.setDisabledBackgroundColor(QColor(0x70, 0x80, 0x90));
        button.setTitleColor(Qt::white);
        button.setHighlightedTitleColor(Qt::yellow);
        button.setDisabledTitleColor(Qt::gray);
        button.setEnabled(enabled);
        button.setDown(pressed);
        const QMap<QString, QColor> bezels = {{QStringLiteral("normal"), button.backgrounColor()},
                                              {QStringLiteral("highlighted"), button.highlightedBackgroundColor()},
                                              {QStringLiteral("disabled"), button.disabledBackgroundColor()}};
        const QMap<QString, QColor> titles = {{QStringLiteral("normal"), button.titleColor()},
                                              {QStringLiteral("highlighted"), button.highlightedTitleColor()},
                                              {QStringLiteral("disabled"), button.disabledTitleColor()}};
        QCOMPARE(button.currentBezelColor(), bezels.value(expected));
        QCOMPARE(button.currentTitleColor(), titles.value(expected));
        const QImage image = button.grab().toImage();
        QCOMPARE(image.pixelColor(12, 16), bezels.value(expected));
        QVERIFY(pixelsOfColor(image, titles.value(expected), 30, 200) > 10);
        // The rounded corners leave the very corner unfilled.
        QVERIFY(image.pixelColor(0, 0) != bezels.value(expected));
    }

    void flatButtonIsWiderByItsInsets()
    {
        NBGDPRButton button;
        button.setText(QStringLiteral("Quit"));
        const QSize plain = button.sizeHint();
        button.setHorizontalContentInset(16.0);
        QCOMPARE(button.sizeHint(), plain + QSize(32, 0));
    }

    void windowMovesByItsBackground()
    {
        NBGDPRWindowController controller(policyLink, termsLink);
        controller.showWindow();
        QWidget *window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->move(100, 100);
        const QPoint origin = window->pos();
        // Over the white background, beside the text: the press reaches the window.
        auto *background = window->findChild<NBGDPRView *>(QStringLiteral("backgroundView"));
        const QPoint grip(6, window->height() / 2);
        QCOMPARE(window->childAt(grip), background);
        QTest::mousePress(background, Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(background, grip + QPoint(30, 20));
        QTest::mouseRelease(background, Qt::LeftButton, Qt::NoModifier, grip + QPoint(30, 20));
        QTRY_COMPARE(window->pos(), origin + QPoint(30, 20));
        // A press on a button does not move the window.
        QTest::mousePress(controller.quitButton(), Qt::LeftButton);
        QTest::mouseMove(controller.quitButton(), QPoint(40, 40));
        QCOMPARE(window->pos(), origin + QPoint(30, 20));
        QTest::mouseRelease(controller.quitButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    }

    void quitEndsTheApplication_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Quit button") << QStringLiteral("button");
        QTest::newRow("window manager close") << QStringLiteral("close");
    }

    void quitEndsTheApplication()
    {
        QFETCH(QString, how);
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(quitScenarioOption), how});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, qPrintable(output));
        // The modal loop ended with the application, and the window was closed first.
        QVERIFY2(output.contains(QStringLiteral("modal loop ended: 0, window visible: 0")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("application ended: 0")), qPrintable(output));
        QVERIFY2(!output.contains(QStringLiteral("accept handler ran")), qPrintable(output));
    }
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], quitScenarioOption) == 0)
        return runQuitScenario(argc, argv, QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    TestNBGDPRWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_nbgdprwindow.moc"
