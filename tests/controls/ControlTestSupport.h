#pragma once

#include "platform/desktop/Beep.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QStyleHints>
#include <QTest>
#include <QWidget>
#include <QWindow>

// The receiving end of a control's action: counts the calls and remembers the sender. A widget,
// so that it can also be the ancestor that a control without a target sends to.
class ActionReceiver : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    int count = 0;
    int plainCount = 0;
    QPointer<QObject> lastSender;

public slots:
    void controlActed(QObject *sender)
    {
        ++count;
        lastSender = sender;
    }
    void plainAction() { ++plainCount; }
};

// Counts beeps while it lives.
class BeepCounter
{
public:
    BeepCounter()
    {
        platform::setBeepHandler([this] { ++count; });
    }
    ~BeepCounter() { platform::setBeepHandler({}); }
    Q_DISABLE_COPY_MOVE(BeepCounter)
    int count = 0;
};

// Sets the platform's full keyboard access for a test and restores it afterwards.
class FullKeyboardAccess
{
public:
    explicit FullKeyboardAccess(bool on) : m_before(QGuiApplication::styleHints()->tabFocusBehavior())
    {
        QGuiApplication::styleHints()->setTabFocusBehavior(on ? Qt::TabFocusAllControls : Qt::TabFocusTextControls);
    }
    ~FullKeyboardAccess() { QGuiApplication::styleHints()->setTabFocusBehavior(m_before); }
    Q_DISABLE_COPY_MOVE(FullKeyboardAccess)

private:
    Qt::TabFocusBehavior m_before;
};

// A press, a path of moves and a release, as QTest sends them to the control itself (which is
// where the window system delivers them while the button is down).
struct Gesture
{
    QPoint press;
    QList<QPoint> moves;
    QPoint release;
};
Q_DECLARE_METATYPE(Gesture)

inline void perform(QWidget *control, const Gesture &gesture)
{
    QTest::mousePress(control, Qt::LeftButton, {}, gesture.press);
    for (const QPoint &point : gesture.moves)
        QTest::mouseMove(control, point);
    QTest::mouseRelease(control, Qt::LeftButton, {}, gesture.release);
}

// Dark pixels (all channels below 128) inside rect of an image.
inline int darkPixels(const QImage &image, const QRect &rect)
{
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRect area = rect.intersected(rgb.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (c.red() < 128 && c.green() < 128 && c.blue() < 128)
                ++count;
        }
    }
    return count;
}

// Real platform mouse events on a widget, with chosen timestamps, so that presses make double
// clicks and separate series never do.
struct PlatformMouse
{
    explicit PlatformMouse(QWidget *target) : widget(target) {}
    QWidget *widget;
    ulong time = 100000;

    void send(QPoint at, QEvent::Type type, Qt::MouseButtons buttons, Qt::MouseButton button, ulong when,
              Qt::KeyboardModifiers modifiers = {})
    {
        QWindow *window = widget->window()->windowHandle();
        const QPoint global = widget->mapToGlobal(at);
        qt_handleMouseEvent(window, window->mapFromGlobal(global), global, buttons, button, type, modifiers, int(when));
        QCoreApplication::processEvents();
    }
    void press(QPoint at, ulong when, Qt::KeyboardModifiers modifiers = {})
    {
        send(at, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, when, modifiers);
    }
    void move(QPoint at, ulong when) { send(at, QEvent::MouseMove, Qt::LeftButton, Qt::NoButton, when); }
    void release(QPoint at, ulong when, Qt::KeyboardModifiers modifiers = {})
    {
        send(at, QEvent::MouseButtonRelease, Qt::NoButton, Qt::LeftButton, when, modifiers);
    }
    // count clicks in one series, well apart from the clicks before.
    void clicks(QPoint at, int count, Qt::KeyboardModifiers modifiers = {})
    {
        time += 5000;
        for (int i = 0; i < count; ++i) {
            press(at, time + ulong(i) * 80, modifiers);
            release(at, time + ulong(i) * 80 + 30, modifiers);
        }
        time += ulong(count) * 80;
    }
    void drag(QPoint from, QPoint to)
    {
        time += 5000;
        press(from, time);
        move(to, time + 20);
        release(to, time + 40);
    }
};
