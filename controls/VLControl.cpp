#include "controls/VLControl.h"

#include "controls/VLLayer.h"
#include "platform/desktop/Beep.h"
#include "platform/view/VLResponderChain.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>

#include <cmath>

namespace {

bool fullKeyboardAccess()
{
    return QGuiApplication::styleHints()->tabFocusBehavior() == Qt::TabFocusAllControls;
}

// Calls name(QObject *sender) or name() on receiver; false when it has neither.
bool invokeAction(QObject *receiver, const QByteArray &name, QObject *sender)
{
    return vlPerformSelector(receiver, QString::fromLatin1(name), sender);
}

// The mask grown by radius device pixels in every direction.
QImage dilated(const QImage &mask, int radius)
{
    QImage result(mask.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy <= radius * radius)
                painter.drawImage(QPoint(dx, dy), mask);
        }
    }
    return result;
}

QImage inverted(const QImage &mask)
{
    QImage result(mask.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::black);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    painter.drawImage(QPoint(0, 0), mask);
    return result;
}

} // namespace

VLControl::VLControl(QWidget *parent) : QWidget(parent)
{
    updateFocusPolicy();
    connect(QGuiApplication::styleHints(), &QStyleHints::tabFocusBehaviorChanged, this, &VLControl::updateFocusPolicy);
}

VLControl::~VLControl() = default;

void VLControl::updateFocusPolicy()
{
    // Click focus always (the control accepts the first responder while enabled); Tab focus only
    // under full keyboard access, so the key-view loop passes the control by otherwise.
    setFocusPolicy(fullKeyboardAccess() ? Qt::StrongFocus : Qt::ClickFocus);
}

bool VLControl::canBecomeKeyView() const
{
    return fullKeyboardAccess() && !isHidden();
}

bool VLControl::acceptsFirstMouse(const QMouseEvent *event) const
{
    Q_UNUSED(event)
    return true;
}

bool VLControl::sendAction()
{
    QPointer<VLControl> self(this);
    bool sent = false;
    QByteArray name = m_action.toLatin1();
    if (name.endsWith(':'))
        name.chop(1);
    if (!name.isEmpty()) {
        if (m_target) {
            sent = invokeAction(m_target, name, this);
        } else {
            for (QObject *receiver = parent(); receiver && !sent; receiver = receiver->parent())
                sent = invokeAction(receiver, name, this);
        }
    }
    if (self)
        emit actionSent();
    return sent;
}

void VLControl::insertText(const QString &text)
{
    if (text == QStringLiteral(" "))
        sendAction();
    else
        platform::beep();
}

void VLControl::doCommandBySelector(platform::Command command)
{
    if (command == platform::Command::insertTab)
        insertTab();
    else if (command == platform::Command::insertBacktab)
        insertBacktab();
    else
        m_keyPassedOn = true; // the window or a shortcut may want it
}

void VLControl::insertTab()
{
    focusNextPrevChild(true);
}

void VLControl::insertBacktab()
{
    focusNextPrevChild(false);
}

void VLControl::keyPressEvent(QKeyEvent *event)
{
    m_keyPassedOn = false;
    if (!platform::interpretKeyEvents(*event, *this) || m_keyPassedOn) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void VLControl::trackingChanged(bool inside)
{
    Q_UNUSED(inside)
}

void VLControl::trackingFinished(bool inside)
{
    if (inside)
        sendAction();
}

void VLControl::setMouseInside(bool inside)
{
    if (inside == m_mouseInside)
        return;
    m_mouseInside = inside;
    if (inside)
        emit mouseEntered();
    else
        emit mouseExited();
}

void VLControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_tracking) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (!isEnabled())
        return;
    if (!acceptsFirstMouse(event) && window() && !window()->isActiveWindow()) {
        window()->activateWindow(); // the click only brings the window forward
        return;
    }
    m_tracking = true;
    m_trackingInside = rect().contains(event->position().toPoint());
    setMouseInside(m_trackingInside);
    trackingChanged(m_trackingInside);
}

void VLControl::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_tracking) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    const bool inside = rect().contains(event->position().toPoint());
    setMouseInside(inside);
    if (inside != m_trackingInside) {
        m_trackingInside = inside;
        trackingChanged(inside);
    }
}

void VLControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_tracking || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    // The release's own position is the pointer's last one.
    const bool inside = rect().contains(event->position().toPoint());
    m_tracking = false;
    QPointer<VLControl> self(this);
    setMouseInside(inside);
    if (self)
        trackingFinished(inside);
}

void VLControl::cancelTracking()
{
    if (!m_tracking)
        return;
    m_tracking = false;
    trackingFinished(false);
}

void VLControl::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    setMouseInside(true);
}

void VLControl::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    // While tracking, the window system reports the leave only after the release; tracking
    // itself has already said where the pointer is.
    if (!m_tracking)
        setMouseInside(false);
}

void VLControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void VLControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void VLControl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancelTracking();
}

void VLControl::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    cancelTracking();
}

void VLControl::drawFocusRingMask(QPainter &painter) const
{
    painter.fillRect(focusRingMaskBounds(), Qt::black);
}

void VLControl::drawFocusRing(QPainter &painter) const
{
    // A widget cannot paint outside itself, so the ring straddles the mask's edge: it reaches
    // a little inside the mask (always visible) and a little outside it (where there is room).
    const qreal scale = VLLayer::deviceScale(painter);
    const int reach = std::max(1, static_cast<int>(std::lround(2.0 * scale)));
    const QRectF bounds = focusRingMaskBounds();
    const QSize size = (bounds.size() * scale).toSize() + QSize(2 * reach, 2 * reach);
    if (size.isEmpty())
        return;

    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        maskPainter.translate(reach, reach);
        maskPainter.scale(scale, scale);
        maskPainter.translate(-bounds.topLeft());
        drawFocusRingMask(maskPainter);
    }
    const QImage inner = inverted(dilated(inverted(mask), reach));
    QImage ring = dilated(mask, reach);
    {
        QPainter ringPainter(&ring);
        ringPainter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        ringPainter.drawImage(QPoint(0, 0), inner);
        ringPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor colour = palette().color(QPalette::Highlight);
        colour.setAlphaF(0.75f);
        ringPainter.fillRect(ring.rect(), colour);
    }
    ring.setDevicePixelRatio(scale);
    painter.save();
    painter.setOpacity(1.0);
    painter.drawImage(bounds.topLeft() - QPointF(reach / scale, reach / scale), ring);
    painter.restore();
}
