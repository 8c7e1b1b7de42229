#include "ControlTestSupport.h"

#include "controls/VLDropFilesButton.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLTimingFunction.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

using Element = VLPath::Element;

// A point of the icon as designed, y-up in its 62-point square.
QPointF designed(double x, double y)
{
    return {x, 62.0 - y};
}

struct Harness
{
    QWidget window;
    QLineEdit *field = new QLineEdit(&window);
    VLDropFilesButton *button = new VLDropFilesButton(&window);
    ActionReceiver receiver;

    Harness()
    {
        window.resize(200, 200);
        window.setStyleSheet(QString()); // the window paints its plain palette background
        field->setGeometry(10, 150, 100, 24);
        button->setGeometry(20, 20, 62, 62);
        button->setTarget(&receiver);
        button->setAction(u"controlActed:"_s);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

QImage renderButton(VLDropFilesButton *button)
{
    QImage image(button->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    button->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

} // namespace

class TestDropFilesButton : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusTextControls); }

    void iconShapes()
    {
        VLDropFilesButton button;
        QVERIFY(!button.iconIsPlus());
        QCOMPARE(button.iconLayer()->path(), button.addPath());
        QCOMPARE(button.iconLayer()->lineWidth(), 2.0);
        QCOMPARE(button.iconLayer()->lineCap(), Qt::SquareCap);
        QCOMPARE(button.iconLayer()->lineJoin(), Qt::MiterJoin);
        QCOMPARE(button.iconLayer()->fillColor().alpha(), 0);

        const auto move = Element::Type::MoveTo;
        const auto line = Element::Type::LineTo;
        const QList<Element> plus = {{move, designed(31, 1)},
                                     {line, designed(31, 61)},
                                     {move, designed(1, 31)},
                                     {line, designed(31, 31)},
                                     {line, designed(61, 31)}};
        const QList<Element> arrow = {{move, designed(31, 1)},
                                      {line, designed(31, 61)},
                                      {move, designed(9, 22)},
                                      {line, designed(31, 0)},
                                      {line, designed(53, 22)}};
        QCOMPARE(button.plusPath().elements, plus);
        QCOMPARE(button.addPath().elements, arrow);
        QVERIFY(button.plusPath().hasSameShapeAs(button.addPath()));
    }

    void morphsPointByPoint()
    {
        VLManualClock clock;
        VLDropFilesButton button;
        button.resize(62, 62);
        button.setIconIsPlus(true);
        QVERIFY(button.iconIsPlus());
        QCOMPARE(button.iconLayer()->path(), button.plusPath());
        QCOMPARE(button.iconLayer()->presentationPath(), button.addPath()); // nothing moved yet

        // Half-way in time is half-way in space on an ease-in-ease-out curve.
        clock.advance(0.1);
        const VLPath midway = button.iconLayer()->presentationPath();
        const double progress = VLTimingFunction::functionWithName(VLTimingFunctionName::EaseInEaseOut).solve(0.5);
        for (qsizetype i = 0; i < midway.elements.size(); ++i) {
            const QPointF from = button.addPath().elements.at(i).point;
            const QPointF to = button.plusPath().elements.at(i).point;
            const QPointF expected = from + (to - from) * progress;
            QVERIFY2(QLineF(midway.elements.at(i).point, expected).length() < 0.01, qPrintable(QString::number(i)));
        }
        // The arrow's tip folds up into the plus's centre.
        QVERIFY(QLineF(midway.elements.at(3).point, designed(31, 15.5)).length() < 0.01);

        clock.advance(0.1);
        QCOMPARE(button.iconLayer()->presentationPath(), button.plusPath());
        QVERIFY(!VLAnimator::animationForKey(button.iconLayer(), VLDropFilesButton::pathKey));

        // Back to the arrow, turned around half-way: it heads back from where it is.
        button.setIconIsPlus(false);
        clock.advance(0.05);
        button.setIconIsPlus(true);
        const VLPath turned = button.iconLayer()->presentationPath();
        clock.advance(0.2);
        QCOMPARE(button.iconLayer()->presentationPath(), button.plusPath());
        QVERIFY(turned != button.plusPath());
    }

    void sameIconAgainChangesNothing()
    {
        VLManualClock clock;
        VLDropFilesButton button;
        button.setIconIsPlus(false);
        for (int frame = 0; frame < 5; ++frame) {
            QCOMPARE(button.iconLayer()->presentationPath(), button.addPath());
            clock.advance(0.05);
        }
        QCOMPARE(button.iconLayer()->presentationPath(), button.addPath());
    }

    void renderedShapesAtTheEnds()
    {
        VLManualClock clock;
        VLDropFilesButton button;
        button.resize(62, 62);
        const QImage arrow = renderButton(&button);
        button.setIconIsPlus(true);
        clock.advance(0.2);
        const QImage plus = renderButton(&button);

        auto inked = [](const QImage &image, QPoint p) {
            return darkPixels(image, QRect(p - QPoint(1, 1), QSize(3, 3))) > 0;
        };
        // The stem is in both.
        QVERIFY(inked(arrow, QPoint(31, 30)) && inked(plus, QPoint(31, 30)));
        // The plus's bar runs across the middle; the arrow has none there.
        QVERIFY(inked(plus, QPoint(8, 31)) && inked(plus, QPoint(54, 31)));
        QVERIFY(!inked(arrow, QPoint(8, 31)) && !inked(arrow, QPoint(54, 31)));
        // The arrow's head points down, its wings rising from the bottom of the stem.
        QVERIFY(inked(arrow, QPoint(20, 51)) && inked(arrow, QPoint(42, 51)));
        QVERIFY(!inked(plus, QPoint(20, 51)) && !inked(plus, QPoint(42, 51)));
        QVERIFY(!inked(arrow, QPoint(20, 11)));
    }

    void iconStaysCentredAtItsSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRectF>("iconFrame");
        QTest::newRow("exact") << QSize(62, 62) << QRectF(0, 0, 62, 62);
        QTest::newRow("larger") << QSize(200, 100) << QRectF(69, 19, 62, 62);
        QTest::newRow("smaller, clipped") << QSize(40, 40) << QRectF(-11, -11, 62, 62);
    }
    void iconStaysCentredAtItsSize()
    {
        QFETCH(QSize, size);
        QFETCH(QRectF, iconFrame);
        VLDropFilesButton button;
        button.resize(size);
        button.show(); // lays out
        QCOMPARE(button.iconLayer()->frame(), iconFrame);
        QVERIFY(button.viewLayer()->masksToBounds());
        QCOMPARE(renderButton(&button).size(), size);
    }

    void pressTracking_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<int>("actions");
        QTest::newRow("release inside") << Gesture{{30, 30}, {{31, 31}}, {31, 31}} << 1;
        QTest::newRow("released outside") << Gesture{{30, 30}, {{90, 30}}, {90, 30}} << 0;
        QTest::newRow("released outside without a move") << Gesture{{30, 30}, {}, {-4, 30}} << 0;
        QTest::newRow("out and back") << Gesture{{30, 30}, {{90, 30}, {30, 40}}, {30, 40}} << 1;
    }
    void pressTracking()
    {
        QFETCH(Gesture, gesture);
        QFETCH(int, actions);
        Harness h;
        QVERIFY(h.show());
        perform(h.button, gesture);
        QCOMPARE(h.receiver.count, actions);
        QCOMPARE(h.button->viewLayer()->opacity(), 1.0);
        QCOMPARE(h.button->viewLayer()->presentationOpacity(), 1.0);
    }

    void dimsWhilePressedInside()
    {
        Harness h;
        QVERIFY(h.show());
        QTest::mousePress(h.button, Qt::LeftButton, {}, {30, 30});
        QCOMPARE(QApplication::focusWidget(), h.button); // a click gives it the focus
        h.field->setFocus();                             // keep the focus ring out of the picture
        QVERIFY(h.button->isTracking());
        QCOMPARE(h.button->viewLayer()->presentationOpacity(), 0.4);
        const QImage pressed = h.window.grab(h.button->geometry()).toImage();
        QTest::mouseMove(h.button, {100, 30});
        QCOMPARE(h.button->viewLayer()->presentationOpacity(), 1.0);
        const QImage outside = h.window.grab(h.button->geometry()).toImage();
        QTest::mouseRelease(h.button, Qt::LeftButton, {}, {100, 30});

        // Dimmed as a whole: the stem is grey, not black, and no darker where strokes cross.
        const QColor stem = pressed.pixelColor(31, 20);
        QVERIFY2(qGray(stem.rgb()) > 100, qPrintable(QString::number(qGray(stem.rgb()))));
        QVERIFY(qGray(outside.pixelColor(31, 20).rgb()) < 60);
    }

    void keyboardAndDisabled()
    {
        FullKeyboardAccess access(true);
        BeepCounter beeps;
        Harness h;
        QVERIFY(h.show());
        h.field->setFocus();
        QTest::keyClick(h.field, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.button);
        QTest::keyClick(h.button, Qt::Key_Space);
        QCOMPARE(h.receiver.count, 1);
        QTest::keyClick(h.button, Qt::Key_X);
        QCOMPARE(beeps.count, 1);
        QCOMPARE(h.receiver.count, 1);

        h.button->setEnabled(false);
        QVERIFY(!h.button->acceptsFirstResponder());
        QTest::mouseClick(h.button, Qt::LeftButton, {}, {30, 30});
        QTest::keyClick(h.button, Qt::Key_Space);
        QCOMPARE(h.receiver.count, 1);
        QCOMPARE(h.button->viewLayer()->opacity(), 1.0);
    }

    void keyViewOnlyUnderFullKeyboardAccess()
    {
        Harness h;
        QVERIFY(h.show());
        QVERIFY(!h.button->canBecomeKeyView());
        h.field->setFocus();
        QTest::keyClick(h.field, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.field); // the field is the only key view
        FullKeyboardAccess access(true);
        QVERIFY(h.button->canBecomeKeyView());
    }

    void focusRingFollowsTheIcon()
    {
        FullKeyboardAccess access(true);
        Harness h;
        h.button->resize(100, 100);
        QVERIFY(h.show());
        h.field->setFocus();
        const QImage unfocused = h.window.grab(h.button->geometry()).toImage();
        h.button->setFocus();
        const QImage focused = h.window.grab(h.button->geometry()).toImage();
        // Beside the stem the ring shows; in the empty corners it does not.
        QVERIFY(focused.pixelColor(52, 35) != unfocused.pixelColor(52, 35));
        QCOMPARE(focused.pixelColor(25, 25), unfocused.pixelColor(25, 25));
        QCOMPARE(focused.pixelColor(3, 3), unfocused.pixelColor(3, 3));
    }

    void clickIntoInactiveWindowOnlyActivatesIt()
    {
        Harness h;
        QVERIFY(h.show());
        QWidget other;
        other.resize(100, 100);
        other.move(400, 400);
        other.show();
        other.activateWindow();
        if (!QTest::qWaitForWindowActive(&other))
            QSKIP("this platform does not move activation between windows");
        QVERIFY(!h.window.isActiveWindow());
        QVERIFY(!h.button->acceptsFirstMouse(nullptr));
        QTest::mouseClick(h.button, Qt::LeftButton, {}, {30, 30});
        QCOMPARE(h.receiver.count, 0);
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        QTest::mouseClick(h.button, Qt::LeftButton, {}, {30, 30});
        QCOMPARE(h.receiver.count, 1);
    }
};

QTEST_MAIN(TestDropFilesButton)
#include "tst_dropfilesbutton.moc"
