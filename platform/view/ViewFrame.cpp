#include "platform/view/ViewFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace {
constexpr const char *frameKey = "_vl_frame";
}

QRect vlRoundedFrame(const QRectF &frame)
{
    const int left = int(std::lround(frame.left()));
    const int top = int(std::lround(frame.top()));
    const int right = int(std::lround(frame.left() + frame.width()));
    const int bottom = int(std::lround(frame.top() + frame.height()));
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

QRectF vlFrame(const QWidget *view)
{
    if (!view)
        return QRectF();
    const QVariant stored = view->property(frameKey);
    if (stored.isValid()) {
        const QRectF frame = stored.toRectF();
        if (vlRoundedFrame(frame) == view->geometry())
            return frame;
    }
    return QRectF(view->geometry());
}

void vlSetFrame(QWidget *view, const QRectF &frame)
{
    if (!view)
        return;
    view->setProperty(frameKey, frame);
    const QRect rounded = vlRoundedFrame(frame);
    if (view->geometry() != rounded)
        view->setGeometry(rounded);
}

void vlCenterWindow(QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QRect vlRectKeptOnScreen(const QRect &rect, const QPoint &anchor)
{
    QScreen *screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return rect;
    const QRect area = screen->availableGeometry();
    QRect kept = rect;
    if (kept.right() > area.right())
        kept.moveRight(area.right());
    if (kept.bottom() > area.bottom())
        kept.moveBottom(area.bottom());
    if (kept.left() < area.left())
        kept.moveLeft(area.left());
    if (kept.top() < area.top())
        kept.moveTop(area.top());
    return kept;
}
