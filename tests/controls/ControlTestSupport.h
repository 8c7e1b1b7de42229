#pragma once

#include "platform/desktop/Beep.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QStyleHints>
#include <QTest>
#include <QWidget>

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
    explicit FullKeyboardAccess(bool on)
        : m_before(QGuiApplication::styleHints()->tabFocusBehavior())
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
struct Gesture {
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
