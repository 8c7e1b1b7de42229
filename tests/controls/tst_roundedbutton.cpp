#include "ControlTestSupport.h"

#include "controls/VLLinkButton.h"
#include "controls/VLLinkRoundedButton.h"
#include "controls/VLRevealButton.h"
#include "controls/VLRoundedButton.h"
#include "controls/VLStartOverButton.h"
#include "platform/animation/VLAnimator.h"
#include "platform/view/ViewAlpha.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QSignalSpy>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A window with a text field, the button under test and a second field, the button's action
// wired to a receiver.
template <class Button>
struct Harness
{
    QWidget window;
    QLineEdit *before = new QLineEdit(&window);
    Button *button = new Button(&window);
    QLineEdit *after = new QLineEdit(&window);
    ActionReceiver receiver;

    Harness()
    {
        window.resize(300, 200);
        before->setGeometry(10, 10, 100, 24);
        button->setGeometry(20, 60, 120, 30);
        after->setGeometry(10, 150, 100, 24);
        button->setTitle(u"Encrypt"_s);
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

QImage renderAt(QWidget *widget, qreal scale)
{
    QImage image((QSizeF(widget->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    widget->render(&image);
    return image;
}

} // namespace

class TestRoundedButton : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusTextControls); }

    void pressTracking_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<int>("actions");
        QTest::addColumn<int>("exits");
        QTest::newRow("release inside") << Gesture{{10, 10}, {{12, 12}}, {12, 12}} << 1 << 0;
        QTest::newRow("dragged out, released outside") << Gesture{{10, 10}, {{60, 15}, {200, 15}}, {200, 15}} << 0 << 1;
        QTest::newRow("released outside without a move") << Gesture{{10, 10}, {}, {-5, 10}} << 0 << 1;
        QTest::newRow("dragged out and back in")
            << Gesture{{10, 10}, {{-30, 10}, {50, 40}, {50, 12}}, {50, 12}} << 1 << 1;
    }
    void pressTracking()
    {
        QFETCH(Gesture, gesture);
        QFETCH(int, actions);
        QFETCH(int, exits);
        VLManualClock clock;
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        QSignalSpy exited(h.button, &VLControl::mouseExited);
        QSignalSpy sent(h.button, &VLControl::actionSent);

        perform(h.button, gesture);
        QCOMPARE(h.receiver.count, actions);
        QCOMPARE(sent.count(), actions);
        QCOMPARE(exited.count(), exits);
        if (actions)
            QCOMPARE(h.receiver.lastSender.data(), h.button);
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.0);
        QVERIFY(!h.button->isTracking());
    }

    void interruptedPressSendsNothing_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("disabled while pressed") << false;
        QTest::newRow("hidden while pressed") << true;
    }
    void interruptedPressSendsNothing()
    {
        QFETCH(bool, hide);
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        QTest::mousePress(h.button, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.1);
        if (hide)
            h.button->hide();
        else
            h.button->setEnabled(false);
        QVERIFY(!h.button->isTracking());
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.0);
        if (hide)
            h.button->show();
        else
            h.button->setEnabled(true);
        QTest::mouseRelease(h.button, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(h.receiver.count, 0);
    }

    void shadeFollowsThePointerAndFades()
    {
        VLManualClock clock;
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        QSignalSpy entered(h.button, &VLControl::mouseEntered);
        QSignalSpy exited(h.button, &VLControl::mouseExited);

        QTest::mousePress(h.button, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.1);
        QCOMPARE(h.button->shadeLayer()->presentationOpacity(), 0.0); // fades in
        clock.advance(0.125);
        QVERIFY(qAbs(h.button->shadeLayer()->presentationOpacity() - 0.05) < 0.005);
        clock.advance(0.125);
        QCOMPARE(h.button->shadeLayer()->presentationOpacity(), 0.1);

        QTest::mouseMove(h.button, {-10, 10});
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.0);
        QCOMPARE(exited.count(), 1);
        QTest::mouseMove(h.button, {-20, 10}); // still outside: nothing more to say
        QCOMPARE(exited.count(), 1);
        QTest::mouseMove(h.button, {30, 10});
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.1);
        QCOMPARE(entered.count(), 2); // at the press, and on coming back

        QTest::mouseRelease(h.button, Qt::LeftButton, {}, {30, 10});
        QCOMPARE(h.receiver.count, 1);
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.0);
        clock.advance(0.25);
        QCOMPARE(h.button->shadeLayer()->presentationOpacity(), 0.0);
    }

    void disabledButtonIgnoresEverything()
    {
        FullKeyboardAccess access(true);
        BeepCounter beeps;
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        h.button->setEnabled(false);
        QCOMPARE(vlAlphaValue(h.button), 0.5);
        QVERIFY(!h.button->acceptsFirstResponder());

        QTest::mouseClick(h.button, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(h.button->shadeLayer()->opacity(), 0.0);
        h.before->setFocus();
        QTest::keyClick(h.before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.after); // not a key view while disabled
        QTest::keyClick(h.button, Qt::Key_Space);
        QTest::keyClick(h.button, Qt::Key_A);
        QCOMPARE(h.receiver.count, 0);
        QCOMPARE(beeps.count, 0);
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("actions");
        QTest::addColumn<int>("beeps");
        QTest::newRow("space acts") << int(Qt::Key_Space) << 1 << 0;
        QTest::newRow("a letter beeps") << int(Qt::Key_A) << 0 << 1;
        QTest::newRow("a digit beeps") << int(Qt::Key_5) << 0 << 1;
        QTest::newRow("return is passed on") << int(Qt::Key_Return) << 0 << 0;
    }
    void keyboard()
    {
        QFETCH(int, key);
        QFETCH(int, actions);
        QFETCH(int, beeps);
        FullKeyboardAccess access(true);
        BeepCounter beepCounter;
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        h.button->setFocus();
        QVERIFY(h.button->hasFocus());
        QTest::keyClick(h.button, Qt::Key(key));
        QCOMPARE(h.receiver.count, actions);
        QCOMPARE(beepCounter.count, beeps);
        QVERIFY(h.button->hasFocus());
    }

    void keyViewOnlyUnderFullKeyboardAccess()
    {
        Harness<VLRoundedButton> h;
        QVERIFY(h.show());
        h.before->setFocus();
        QVERIFY(!h.button->canBecomeKeyView());
        QTest::keyClick(h.before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.after);

        // A click still gives an enabled button the focus.
        QTest::mouseClick(h.button, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(QApplication::focusWidget(), h.button);
        QCOMPARE(h.receiver.count, 1);

        FullKeyboardAccess access(true);
        QVERIFY(h.button->canBecomeKeyView());
        h.before->setFocus();
        QTest::keyClick(h.before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.button);
        QTest::keyClick(h.button, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.after);
        h.button->setFocus();
        h.button->insertBacktab();
        QCOMPARE(QApplication::focusWidget(), h.before);

        h.button->hide();
        QVERIFY(!h.button->canBecomeKeyView());
        QTest::keyClick(h.before, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.after);
    }

    void enabledStateFades()
    {
        VLManualClock clock;
        VLRoundedButton button;
        button.setEnabledAnimated(true, true); // already enabled: nothing to do
        QVERIFY(!VLAnimator::animationForKey(&button, VLRoundedButton::enabledAnimationKey));
        QCOMPARE(vlAlphaValue(&button), 1.0);

        button.setEnabledAnimated(false, true);
        QVERIFY(!button.isEnabled());
        QVERIFY(VLAnimator::animationForKey(&button, VLRoundedButton::enabledAnimationKey));
        QCOMPARE(vlAlphaValue(&button), 1.0);
        clock.advance(0.125);
        const double midway = vlAlphaValue(&button);
        QVERIFY2(midway < 1.0 && midway > 0.5, qPrintable(QString::number(midway)));
        clock.advance(0.125);
        QCOMPARE(vlAlphaValue(&button), 0.5);

        // Re-enabling and disabling again half-way: the second fade replaces the first.
        button.setEnabledAnimated(true, true);
        clock.advance(0.1);
        QVERIFY(vlAlphaValue(&button) > 0.5);
        button.setEnabledAnimated(false, true);
        clock.advance(0.25);
        QCOMPARE(vlAlphaValue(&button), 0.5);
        QVERIFY(!VLAnimator::animationForKey(&button, VLRoundedButton::enabledAnimationKey));

        // The plain setter is the unanimated form, and the same state again leaves the alpha alone.
        button.setEnabled(true);
        QCOMPARE(vlAlphaValue(&button), 1.0);
        vlSetAlphaValue(&button, 0.8);
        button.setEnabledAnimated(true, false);
        QCOMPARE(vlAlphaValue(&button), 0.8);
    }

    void disabledAncestorDoesNotFadeTheButton()
    {
        QWidget parent;
        auto *button = new VLRoundedButton(&parent);
        parent.setEnabled(false);
        QCOMPARE(vlAlphaValue(button), 1.0);
        button->setEnabled(false);
        QCOMPARE(vlAlphaValue(button), 0.5);
        button->setEnabled(true); // its own state again, though the parent still disables it
        QCOMPARE(vlAlphaValue(button), 1.0);
    }

    void layout()
    {
        VLRoundedButton button;
        button.resize(200, 40);
        button.setTitle(u"Save As"_s);
        const QFontMetricsF metrics(button.textLayer()->drawingFont());
        const double tw = metrics.horizontalAdvance(u"Save As"_s);
        const double th = metrics.height();

        // Title only: the text spans the full width, centred vertically.
        QCOMPARE(button.textLayer()->frame().left(), 0.0);
        QCOMPARE(button.textLayer()->frame().width(), 200.0);
        QVERIFY(qAbs(button.textLayer()->frame().center().y() - 20.0) <= 1.0);
        QCOMPARE(button.sizeHint(), QSize(int(std::ceil(tw + 8)), int(std::ceil(th + 8))));

        // With an image the text and the image, 6 points apart, are centred as a pair.
        QPixmap image(16, 12);
        image.fill(Qt::red);
        button.setImage(image);
        const QRectF text = button.textLayer()->frame();
        const QRectF picture = button.imageLayer()->frame();
        QCOMPARE(picture.size(), QSizeF(16, 12));
        const double gap = picture.left() - (text.left() + tw);
        QVERIFY2(gap >= 5.0 && gap < 7.5, qPrintable(QString::number(gap)));
        const double leftMargin = text.left();
        const double rightMargin = 200.0 - picture.right();
        QVERIFY2(qAbs(leftMargin - rightMargin) <= 2.0, qPrintable(u"%1 %2"_s.arg(leftMargin).arg(rightMargin)));
        QCOMPARE(picture.top(), 14.0); // floor((40 - 12) / 2) from the bottom
        QCOMPARE(button.sizeHint().width(), int(std::ceil(tw + 6 + 16 + 8)));
        QCOMPARE(button.sizeHint().height(), int(std::ceil(std::max(th, 12.0) + 8)));
    }

    void titleDrawnByViewOnlyBelowScaleTwo()
    {
        VLRoundedButton button;
        button.resize(120, 30);
        button.setTitle(u"Decrypt"_s);
        button.setBackgroundColor(Qt::white);
        button.setTitleColor(Qt::black);

        const QImage low = renderAt(&button, 1.0);
        QVERIFY(button.shouldDrawManually());
        QCOMPARE(button.textLayer()->opacity(), 0.0);
        QVERIFY(darkPixels(low, low.rect()) > 20);

        const QImage high = renderAt(&button, 2.0);
        QCOMPARE(button.backingScaleFactor(), 2.0);
        QVERIFY(!button.shouldDrawManually());
        QCOMPARE(button.textLayer()->opacity(), 1.0);
        QVERIFY(darkPixels(high, high.rect()) > 40);
    }

    void revealButtonToggles()
    {
        Harness<VLRevealButton> h;
        QVERIFY(h.show());
        VLRevealButton *reveal = h.button;
        reveal->setIsOn(false);
        QCOMPARE(reveal->title(), u"Show"_s);
        QVERIFY(!reveal->shouldDrawManually());
        QCOMPARE(reveal->textLayer()->opacity(), 1.0); // the text layer shows the title at every scale
        QCOMPARE(reveal->viewLayer()->borderWidth(), 1.0);

        QTest::mousePress(reveal, Qt::LeftButton, {}, {10, 10});
        QCOMPARE(reveal->viewLayer()->borderWidth(), 0.0);
        QCOMPARE(reveal->viewLayer()->backgroundColor().alpha(), 13); // black at 0.05
        QCOMPARE(reveal->shadeLayer()->opacity(), 0.0);               // no shade for this one
        QTest::mouseMove(reveal, {-10, 10});
        QCOMPARE(reveal->viewLayer()->borderWidth(), 1.0); // off: bordered while outside
        QCOMPARE(reveal->viewLayer()->backgroundColor().alpha(), 0);
        QTest::mouseRelease(reveal, Qt::LeftButton, {}, {-10, 10});
        QVERIFY(!reveal->isOn());
        QCOMPARE(h.receiver.count, 0);

        QTest::mouseClick(reveal, Qt::LeftButton, {}, {10, 10});
        QVERIFY(reveal->isOn());
        QCOMPARE(reveal->title(), u"Hide"_s);
        QCOMPARE(h.receiver.count, 1);
        QCOMPARE(reveal->viewLayer()->borderWidth(), 1.0);
        QCOMPARE(reveal->viewLayer()->backgroundColor().alpha(), 0);

        QTest::mousePress(reveal, Qt::LeftButton, {}, {10, 10});
        QTest::mouseMove(reveal, {-10, 10});
        QCOMPARE(reveal->viewLayer()->borderWidth(), 0.0); // on: no border while outside
        QTest::mouseMove(reveal, {10, 10});
        QTest::mouseRelease(reveal, Qt::LeftButton, {}, {10, 10});
        QVERIFY(!reveal->isOn());
        QCOMPARE(reveal->title(), u"Show"_s);
        QCOMPARE(h.receiver.count, 2);
    }

    void startOverButtonRoundsOnlyTheRightCorners()
    {
        VLStartOverButton button;
        button.resize(100, 30);
        button.show();
        button.setBackgroundColor(Qt::black);
        button.setCornerRadius(10);
        QCOMPARE(button.cornerRadius(), 10.0);
        QCOMPARE(button.viewLayer()->cornerRadius(), 0.0);
        QCOMPARE(button.maskLayer()->frame(), QRectF(-10, 0, 110, 30));
        button.resize(140, 36);
        QCOMPARE(button.maskLayer()->frame(), QRectF(-10, 0, 150, 36));

        const QImage image = renderAt(&button, 1.0);
        QCOMPARE(qGray(image.pixel(0, 0)), 0); // square on the left
        QCOMPARE(qGray(image.pixel(0, 35)), 0);
        QVERIFY(qGray(image.pixel(139, 0)) > 200); // rounded on the right
        QVERIFY(qGray(image.pixel(139, 35)) > 200);
        QCOMPARE(qGray(image.pixel(70, 18)), 0);
    }

    void shadeKeepsToTheRoundedShape()
    {
        VLManualClock clock;
        Harness<VLRoundedButton> h;
        h.button->setBackgroundColor(Qt::white);
        h.button->setCornerRadius(12);
        QVERIFY(h.show());
        QTest::mousePress(h.button, Qt::LeftButton, {}, {60, 15});
        clock.advance(0.3);
        const QImage pressed = h.window.grab(h.button->geometry()).toImage();
        QTest::mouseRelease(h.button, Qt::LeftButton, {}, {60, 15});
        const QColor centre = pressed.pixelColor(60, 4);
        QVERIFY2(centre.red() < 250, "the shade darkens the button");
        const QColor corner = pressed.pixelColor(0, 0);
        const QColor windowColour = h.window.palette().color(QPalette::Window);
        QCOMPARE(corner.rgb(), windowColour.rgb()); // nothing drawn outside the rounded shape
    }

    void focusRingShowsWhileFocused()
    {
        FullKeyboardAccess access(true);
        Harness<VLRoundedButton> h;
        h.button->setBackgroundColor(Qt::white);
        QVERIFY(h.show());
        h.before->setFocus();
        const QImage unfocused = h.window.grab(h.button->geometry()).toImage();
        h.button->setFocus();
        const QImage focused = h.window.grab(h.button->geometry()).toImage();
        QVERIFY(unfocused.pixelColor(0, 15) == QColor(Qt::white));
        QVERIFY(focused.pixelColor(0, 15) != QColor(Qt::white));
        QCOMPARE(focused.pixelColor(60, 15), unfocused.pixelColor(60, 15)); // only along the edge
    }

    void actionReachesItsReceiver()
    {
        QWidget window;
        ActionReceiver receiver;
        auto *button = new VLRoundedButton(&window);

        button->setTarget(&receiver);
        button->setAction(u"plainAction"_s);
        QVERIFY(button->sendAction());
        QCOMPARE(receiver.plainCount, 1);

        // Without a target, the nearest ancestor with the method gets it.
        auto *holder = new ActionReceiver(&window);
        auto *inner = new VLRoundedButton(holder);
        inner->setAction(u"controlActed:"_s);
        QVERIFY(inner->sendAction());
        QCOMPARE(holder->count, 1);
        QCOMPARE(holder->lastSender.data(), inner);
        auto *stray = new VLRoundedButton(&window);
        stray->setAction(u"controlActed:"_s);
        QVERIFY(!stray->sendAction()); // nobody above it has the method

        // A target that went away leaves the button to its ancestors.
        auto gone = std::make_unique<ActionReceiver>();
        auto *orphaned = new VLRoundedButton(holder);
        orphaned->setTarget(gone.get());
        orphaned->setAction(u"controlActed:"_s);
        gone.reset();
        QVERIFY(orphaned->sendAction());
        QCOMPARE(holder->count, 2);

        button->setAction(u"noSuchMethod"_s);
        QSignalSpy sent(button, &VLControl::actionSent);
        QVERIFY(!button->sendAction());
        QCOMPARE(sent.count(), 1); // the signal goes out regardless
    }

    void linkButtonsShowThePointingHand()
    {
        VLLinkRoundedButton rounded;
        VLLinkButton plain;
        QCOMPARE(rounded.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(plain.cursor().shape(), Qt::PointingHandCursor);
    }

    void propertiesCanBeSetByName()
    {
        VLRoundedButton button;
        QVERIFY(button.setProperty("title", u"Share"_s));
        QVERIFY(button.setProperty("fontSize", 17.0));
        QVERIFY(button.setProperty("cornerRadius", 4.0));
        QVERIFY(button.setProperty("titleColor", QColor(Qt::red)));
        QVERIFY(button.setProperty("action", u"controlActed:"_s));
        QCOMPARE(button.title(), u"Share"_s);
        QCOMPARE(button.textLayer()->string(), u"Share"_s);
        QCOMPARE(button.fontSize(), 17.0);
        QCOMPARE(button.textLayer()->drawingFont().pixelSize(), 17);
        QCOMPARE(button.cornerRadius(), 4.0);
        QCOMPARE(button.textLayer()->foregroundColor(), QColor(Qt::red));
        QVERIFY(button.vibrant());
        QVERIFY(button.allowsVibrancy());
        QVERIFY(button.acceptsFirstMouse(nullptr));
        QVERIFY(!button.mouseDownCanMoveWindow());

        const QString family = button.fontName();
        button.setFontName(family);
        QCOMPARE(button.fontSize(), 17.0);
    }
};

QTEST_MAIN(TestRoundedButton)
#include "tst_roundedbutton.moc"
