#include "screens/VLCryptingProcessAnimation.h"

#include "screens/VLEncryptProgressImageView.h"
#include "screens/VLParticleView.h"

#include "windowing/navigation/VLViewHierarchy.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
// A frame in its parent's coordinates, in the window's.
QRectF frameInWindow(const QWidget *view, const QRectF &frame)
{
    const QWidget *parent = view->parentWidget();
    if (!parent || view->isWindow())
        return QRectF(QPointF(0, 0), frame.size());
    return frame.translated(QPointF(parent->mapTo(view->window(), QPoint(0, 0))));
}
} // namespace

std::shared_ptr<VLCryptingProcessAnimation> VLCryptingProcessAnimation::animationWithProgressImageViewParticleView(
    VLEncryptProgressImageView *progressImageView, VLParticleView *particleView)
{
    return animationWithProgressImageViewParticleViewSignalRect(progressImageView, particleView, QRectF());
}

using VLCryptingProcessAnimationPtr = std::shared_ptr<VLCryptingProcessAnimation>;

VLCryptingProcessAnimationPtr VLCryptingProcessAnimation::animationWithProgressImageViewParticleViewSignalRect(
    VLEncryptProgressImageView *progressImageView, VLParticleView *particleView, const QRectF &signalRect)
{
    return std::make_shared<VLCryptingProcessAnimation>(progressImageView, particleView, signalRect);
}

VLCryptingProcessAnimation::VLCryptingProcessAnimation(VLEncryptProgressImageView *progressImageView,
                                                       VLParticleView *particleView, const QRectF &signalRect)
    : m_progressImageView(progressImageView)
    , m_particleView(particleView)
    , m_signalRect(signalRect)
{
    if (progressImageView)
        m_progressInterval = vlViewFrame(progressImageView).height();
}

bool VLCryptingProcessAnimation::start(QObject *target, double time)
{
    m_currentTime = time;
    m_elapsedTime = 0.0;
    return target && target->isWidgetType();
}

bool VLCryptingProcessAnimation::advance(QObject *target, double time)
{
    m_elapsedTime = time - m_currentTime;
    m_currentTime = time;
    return !tickWithTarget(target);
}

bool VLCryptingProcessAnimation::tickWithTarget(QObject *object)
{
    auto *target = qobject_cast<QWidget *>(object);
    VLEncryptProgressImageView *icon = m_progressImageView;
    if (!target || !icon)
        return false;

    // The rules below are stated with y growing upwards, as the layouts are: the window's heights
    // are mirrored once here (up(y) = H - y), the moves are made in Qt's coordinates.
    const double windowHeight = target->window()->height();
    const auto up = [windowHeight](double y) { return windowHeight - y; };

    const QRectF frame = vlViewFrame(target);
    const QRectF iconFrame = vlViewFrame(icon);
    const QRectF bar = frameInWindow(target, frame);
    const QRectF iconRect = frameInWindow(icon, iconFrame);

    // An icon not yet laid out when the animation was made: every shown fraction would be
    // infinite and the bar would wait for ever, so the interval is taken once the icon has a height.
    if (m_progressInterval <= 0.0)
        m_progressInterval = iconFrame.height();

    const double my = up(bar.top() + bar.height() * 0.5); // the bar's middle
    const double iy = up(iconRect.bottom());              // the icon's lower edge

    double step = 0.0;
    if (iy > my) {
        // Below the icon: approach fast, slowing down as the icon comes near.
        step = std::sqrt(iy - my);
        m_allowance = m_realProgress;
    } else if (m_realProgress == 1.0 || my > iy + m_progressInterval) {
        step = 1.0;
    } else if (m_progressInterval <= 0.0) {
        // Nothing to measure the job against: no waiting.
        step = 1.0;
    } else {
        double shown = my - iy - 2.0;
        if (!m_up)
            shown = iconFrame.height() - shown - 4.0;
        shown /= m_progressInterval;
        if (m_realProgress - m_allowance < shown)
            step = 0.0; // the bar waits for the job
        else if (m_realProgress - shown > 0.02)
            step = 0.6;
        else
            step = m_velocity * m_elapsedTime * m_progressInterval;
    }

    const QRectF moved = frame.translated(0, m_up ? -step : step);
    // Through the view tree, so the bar keeps its place by its mask when the window resizes.
    vlSetViewFrame(target, moved);

    // The part of the icon below the bar's middle shows the bottom image.
    const QRectF barNow = frameInWindow(target, moved);
    const double middle = up(barNow.top() + barNow.height() * 0.5);
    const double low = std::min(0.0, middle);
    const double high = std::max(0.0, middle);
    const bool overlapsAcross = std::min(iconRect.right(), barNow.width()) > std::max(iconRect.left(), 0.0);
    const double covered = overlapsAcross ? std::max(0.0, std::min(up(iconRect.top()), high)
                                                              - std::max(up(iconRect.bottom()), low))
                                          : 0.0;
    const double iconHeight = iconFrame.height();
    icon->setProgress(iconHeight > 0.0 ? covered / iconHeight : 0.0);

    const QPointF barMiddle(barNow.left(), barNow.top() + barNow.height() * 0.5);
    if (VLParticleView *particles = m_particleView)
        particles->setEmitterPosition(particles->mapFrom(target->window(), barMiddle));

    if (m_signalRect.width() > 0.0) {
        // From the bar's middle one bar height upwards.
        const QRectF probe(barNow.left(), barNow.top() - barNow.height() * 0.5, barNow.width(), barNow.height());
        if (m_signalRect.intersected(probe).height() >= m_signalRect.height()) {
            m_signalRect = QRectF();
            if (auto *listener = dynamic_cast<VLCryptingProcessAnimationDelegate *>(delegate()))
                listener->popAnimationDidIntersectSignalRect(this);
        }
    }

    const double rate = std::min(1.0, 1.5 * icon->progress() + 0.5);
    if (VLParticleView *particles = m_particleView; particles && particles->emitterBirthRate() != rate)
        particles->setEmitterBirthRate(rate);

    if (m_up) {
        // Until the bar's lower edge has passed the destination's upper edge.
        const double destinationTop = m_fromValue.top() - m_byValue;
        return moved.bottom() > destinationTop;
    }
    // Until the bar's lower edge reaches the bottom of its parent.
    const QWidget *parent = target->parentWidget();
    const double parentHeight = parent ? parent->height() : windowHeight;
    return moved.bottom() < parentHeight;
}
