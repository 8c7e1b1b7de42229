#pragma once

#include "platform/view/VLKeyBindings.h"

#include <QPointer>
#include <QWidget>

// The base of the self-drawn controls: target and action, press tracking, Space activation
// through the key-binding interpreter, and a focus ring drawn from the control's mask.
//
// Tracking: a left press starts it; the control follows the pointer while the button is down
// and acts at the release only when the pointer was inside the control at the end. Crossing the
// control's edge while tracking reports mouseEntered / mouseExited at once (the window system
// would only report them after the release), each change once.
//
// Focus: the control takes the focus when clicked while enabled, and is a key view (Tab stops
// on it) only under full keyboard access.
class VLControl : public QWidget, public platform::VLKeyBindingClient
{
    Q_OBJECT
    // The name of a method of the target, taking the sender (QObject *) or nothing.
    Q_PROPERTY(QString action READ action WRITE setAction)
public:
    explicit VLControl(QWidget *parent = nullptr);
    ~VLControl() override;

    QObject *target() const { return m_target.data(); }
    void setTarget(QObject *target) { m_target = target; }
    QString action() const { return m_action; }
    void setAction(const QString &action) { m_action = action; }

    // Sends the action to the target, or, without one, to the nearest ancestor that has the
    // method; then emits actionSent. Answers whether a receiver was found.
    bool sendAction();

    virtual bool acceptsFirstMouse(const QMouseEvent *event) const;
    virtual bool acceptsFirstResponder() const { return isEnabled(); }
    virtual bool canBecomeKeyView() const;
    virtual bool mouseDownCanMoveWindow() const { return false; }

    // The shape the focus ring follows, filled in black, in the control's coordinates.
    virtual void drawFocusRingMask(QPainter &painter) const;
    virtual QRectF focusRingMaskBounds() const { return QRectF(rect()); }
    void noteFocusRingMaskChanged() { update(); }

    bool isTracking() const { return m_tracking; }
    bool isMouseInside() const { return m_mouseInside; }

    // platform::VLKeyBindingClient: Space acts, other text beeps, Tab and Backtab move the focus.
    void insertText(const QString &text) override;
    void doCommandBySelector(platform::Command command) override;
    void insertTab();
    void insertBacktab();

signals:
    void actionSent();
    void mouseEntered();
    void mouseExited();

protected:
    // The pointer went inside or outside while tracking (and once at the press).
    virtual void trackingChanged(bool inside);
    // Tracking ended; inside is false when it was cancelled (the control hid or was disabled).
    virtual void trackingFinished(bool inside);

    // Paints the ring around (and just inside) the mask; subclasses call it while focused.
    void drawFocusRing(QPainter &painter) const;
    bool showsFocusRing() const { return hasFocus(); }

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateFocusPolicy();
    void setMouseInside(bool inside);
    void cancelTracking();

    QPointer<QObject> m_target;
    QString m_action;
    bool m_tracking = false;
    bool m_trackingInside = false;
    bool m_mouseInside = false;
    bool m_keyPassedOn = false;
};
