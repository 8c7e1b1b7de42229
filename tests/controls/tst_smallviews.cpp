#include "controls/VLColoredView.h"
#include "controls/VLMoveBypassView.h"
#include "controls/VLRespondingView.h"
#include "controls/VLTextFieldAdditions.h"
#include "controls/VLTooltipedTextField.h"

#include "ui_SmallViewsForm.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

// A window with a bypass area over a button; the area holds a label that lies over the button.
struct BypassFixture
{
    QWidget window;
    QPushButton *button = new QPushButton(QStringLiteral("Below"), &window);
    VLMoveBypassView *bypass = new VLMoveBypassView(&window);
    QLabel *label = new QLabel(QStringLiteral("Over the button"), bypass);

    BypassFixture()
    {
        window.resize(300, 200);
        button->setGeometry(20, 20, 120, 40);
        bypass->setGeometry(10, 10, 280, 100); // above the button in z-order
        label->setGeometry(10, 10, 120, 40);   // window (20, 20, 120, 40): exactly over the button
    }
};

class TestSmallViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { VLTextFieldAdditions::install(); }

    void hitTest_data()
    {
        QTest::addColumn<QPointF>("pointInParent");
        QTest::addColumn<bool>("answersSelf");
        QTest::newRow("bare area") << QPointF(200, 50) << true;
        QTest::newRow("inside the subview") << QPointF(30, 30) << false;
        QTest::newRow("subview's far corner is outside it") << QPointF(140, 60) << true;
        QTest::newRow("subview's origin") << QPointF(20, 20) << false;
        QTest::newRow("outside the view") << QPointF(5, 5) << false;
    }

    void hitTest()
    {
        QFETCH(QPointF, pointInParent);
        QFETCH(bool, answersSelf);
        BypassFixture f;
        QCOMPARE(f.bypass->hitTest(pointInParent) == f.bypass, answersSelf);
        QVERIFY(f.bypass->acceptsFirstMouse());
    }

    void clickOverSubviewReachesWhatLiesBeneath()
    {
        BypassFixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy clicked(f.button, &QPushButton::clicked);
        // Through the window, as a real click: Qt finds the bypass area on top of the button.
        QTest::mouseClick(f.window.windowHandle(), Qt::LeftButton, {}, QPoint(40, 35));
        QCOMPARE(clicked.count(), 1);
        // A click on the bare area does not reach the button (it is not beneath there anyway),
        // and the area keeps it.
        QTest::mouseClick(f.window.windowHandle(), Qt::LeftButton, {}, QPoint(200, 60));
        QCOMPARE(clicked.count(), 1);
    }

    void draggingUpStopsAtScreenTop()
    {
        BypassFixture f;
        f.window.move(100, 150);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QRect screen = f.window.screen()->geometry();
        const QPoint origin = f.window.pos();
        const QPointF local(200, 50);
        const QPointF start = f.bypass->mapToGlobal(local);

        send(f.bypass, QEvent::MouseButtonPress, local, start, Qt::LeftButton);
        send(f.bypass, QEvent::MouseMove, local, start + QPointF(30, 20), Qt::NoButton);
        QCOMPARE(f.window.pos(), origin + QPoint(30, 20));
        // Far above the screen: the window's top stays on the screen's top.
        send(f.bypass, QEvent::MouseMove, local, start + QPointF(-10, -1000), Qt::NoButton);
        QCOMPARE(f.window.pos(), QPoint(origin.x() - 10, screen.top()));
        send(f.bypass, QEvent::MouseButtonRelease, local, start + QPointF(-10, -1000), Qt::LeftButton);
        // After the release the window stays put.
        send(f.bypass, QEvent::MouseMove, local, start + QPointF(50, 50), Qt::NoButton, Qt::NoButton);
        QCOMPARE(f.window.pos(), QPoint(origin.x() - 10, screen.top()));
    }

    void tooltipOnlyWhenTextIsWider()
    {
        VLTooltipedTextField field;
        field.resize(80, 20);
        field.show();
        field.setStringValue(QStringLiteral("short"));
        QVERIFY(field.textWidth() < 80);
        QCOMPARE(field.toolTip(), QString());

        const QString longText = QStringLiteral("a name far too long for eighty pixels");
        field.setStringValue(longText);
        QCOMPARE(field.toolTip(), longText);

        field.setStringValue(QStringLiteral("short"));
        QCOMPARE(field.toolTip(), QString());

        // The layout may widen the field after the text was set.
        field.setStringValue(longText);
        field.resize(int(field.textWidth()) + 10, 20);
        QCOMPARE(field.toolTip(), QString());

        // Letter spacing makes the text wider.
        field.setStringValue(QStringLiteral("short"));
        field.resize(int(field.textWidth()) + 2, 20);
        QCOMPARE(field.toolTip(), QString());
        VLTextFieldAdditions::setSwp_fontKerning(&field, 4);
        QCOMPARE(field.toolTip(), QStringLiteral("short"));
    }

    void kerning()
    {
        QLabel label(QStringLiteral("Vaultine"));
        QCOMPARE(VLTextFieldAdditions::swp_fontKerning(&label), 0.0);
        const double plainWidth = QFontMetricsF(label.font()).horizontalAdvance(label.text());

        VLTextFieldAdditions::setSwp_fontKerning(&label, 2.0);
        QCOMPARE(VLTextFieldAdditions::swp_fontKerning(&label), 2.0);
        QCOMPARE(label.font().letterSpacing(), 2.0);
        // The spacing holds for a text set later.
        label.setText(QStringLiteral("Vaultine!"));
        QVERIFY(QFontMetricsF(label.font()).horizontalAdvance(QStringLiteral("Vaultine")) > plainWidth + 10);

        // 0 does not reset it.
        VLTextFieldAdditions::setSwp_fontKerning(&label, 0.0);
        QCOMPARE(VLTextFieldAdditions::swp_fontKerning(&label), 2.0);
        QCOMPARE(label.font().letterSpacing(), 2.0);
    }

    void kerningSetByName()
    {
        // As an interface file sets it.
        QLineEdit edit;
        edit.setProperty("swp_fontKerning", 1.5);
        QCOMPARE(edit.font().letterSpacing(), 1.5);
        edit.setProperty("swp_fontKerning", 0.0);
        QCOMPARE(VLTextFieldAdditions::swp_fontKerning(&edit), 1.5);
        QCOMPARE(edit.font().letterSpacing(), 1.5);

        // Not a text field: nothing is applied.
        QWidget plain;
        plain.setProperty("swp_fontKerning", 3.0);
        QCOMPARE(plain.font().letterSpacing(), 0.0);
    }

    void darkBackground()
    {
        QLabel label(QStringLiteral("text"));
        const QColor standard = label.palette().color(QPalette::WindowText);
        label.setProperty("swp_hasDarkBackground", true);
        QVERIFY(VLTextFieldAdditions::swp_hasDarkBackground(&label));
        QCOMPARE(VLTextFieldAdditions::backgroundStyle(&label), 1);
        QVERIFY(label.palette().color(QPalette::WindowText) != standard);

        VLTextFieldAdditions::setSwp_hasDarkBackground(&label, false);
        QCOMPARE(VLTextFieldAdditions::backgroundStyle(&label), 0);
        QCOMPARE(label.palette().color(QPalette::WindowText), standard);

        // A colour the layout chose stays on either background.
        QLabel coloured(QStringLiteral("text"));
        QPalette palette = coloured.palette();
        palette.setColor(QPalette::WindowText, QColor(0x5a, 0x3c, 0x00));
        coloured.setPalette(palette);
        VLTextFieldAdditions::setSwp_hasDarkBackground(&coloured, true);
        QCOMPARE(coloured.palette().color(QPalette::WindowText), QColor(0x5a, 0x3c, 0x00));
    }

    void interfaceFileSetsPropertiesByName()
    {
        QWidget form;
        Ui::SmallViewsForm ui;
        ui.setupUi(&form);
        QCOMPARE(ui.panel->solidColor(), QColor(90, 60, 0));
        QCOMPARE(ui.panel->cornerRadius(), 6.0);
        QVERIFY(!ui.panel->vibrant());
        QCOMPARE(VLTextFieldAdditions::swp_fontKerning(ui.nameField), 1.5);
        QCOMPARE(ui.nameField->font().letterSpacing(), 1.5);
        form.show();
        QCOMPARE(ui.nameField->toolTip(), ui.nameField->stringValue());
        QVERIFY(VLTextFieldAdditions::swp_hasDarkBackground(ui.darkLabel));
        QCOMPARE(VLTextFieldAdditions::backgroundStyle(ui.darkLabel), 1);
    }

    void coloredView_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("opaque");
        QTest::addColumn<QColor>("centre"); // over a white window
        QTest::newRow("none") << QColor() << false << QColor(Qt::white);
        QTest::newRow("opaque") << QColor(10, 20, 30) << true << QColor(10, 20, 30);
        QTest::newRow("translucent") << QColor(0, 0, 0, 128) << false << QColor(127, 127, 127);
    }

    void coloredView()
    {
        QFETCH(QColor, color);
        QFETCH(bool, opaque);
        QFETCH(QColor, centre);
        QWidget window;
        window.resize(60, 60);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::white);
        window.setPalette(palette);
        auto *view = new VLColoredView(&window);
        view->setGeometry(10, 10, 40, 40);
        // Set by name, as interface files do.
        QVERIFY(view->setProperty("solidColor", color));
        QVERIFY(view->setProperty("cornerRadius", 8.0));
        QCOMPARE(view->isOpaque(), opaque);
        QVERIFY(view->vibrant() && view->allowsVibrancy());
        QVERIFY(view->mouseDownCanMoveWindow());

        const QImage image = window.grab().toImage();
        const QColor painted = image.pixelColor(30, 30);
        QVERIFY2(qAbs(painted.red() - centre.red()) <= 2 && qAbs(painted.blue() - centre.blue()) <= 2,
                 qPrintable(painted.name()));
        // The rounded corner leaves the window showing.
        QCOMPARE(image.pixelColor(10, 10), QColor(Qt::white));
    }

    void respondingViewTakesFocusOnFirstClick()
    {
        QWidget window;
        window.resize(200, 100);
        auto *other = new QLineEdit(&window);
        other->setGeometry(0, 0, 100, 20);
        auto *view = new VLRespondingView(&window);
        view->setGeometry(0, 40, 100, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        other->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QMouseEvent first(QEvent::MouseButtonPress, QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &first);
        QVERIFY(first.isAccepted());
        QVERIFY(view->hasFocus());
        // Now it is first responder: the click goes on to the parent.
        QMouseEvent second(QEvent::MouseButtonPress, QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &second);
        QVERIFY(view->hasFocus());
        QVERIFY(view->focusPolicy() & Qt::TabFocus);
    }

private:
    static void send(QWidget *widget, QEvent::Type type, QPointF local, QPointF global, Qt::MouseButton button,
                     Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
};

QTEST_MAIN(TestSmallViews)
#include "tst_smallviews.moc"
