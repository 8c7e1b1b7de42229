#pragma once

#include "platform/animation/VLAnimation.h"

#include <QPointer>
#include <QRectF>
#include <QString>

#include <memory>

class QWidget;
class VLCryptingProcessAnimation;
class VLEncryptProgressImageView;
class VLParticleView;

// What the animation's delegate may also hear: the bar has covered the signal rectangle.
class VLCryptingProcessAnimationDelegate : public VLAnimationDelegate
{
public:
    virtual void popAnimationDidIntersectSignalRect(VLCryptingProcessAnimation *animation) { Q_UNUSED(animation) }
};

// The per-frame animation of a progress screen: it moves the bar (the view it is added to, the
// overlay container) across the icon at a speed that follows the job, turns the icon from one
// image into the other where the bar has passed, and keeps the particles and glow on the bar.
// The bar never runs ahead of the job inside the icon, and catches up quickly when the job is
// ahead. It ends once the bar has gone past its destination (going up) or reached the bottom of
// its parent (going down).
//
// Frames and rectangles are in Qt's coordinates: fromValue in the bar's parent, signalRect in its
// window. byValue keeps the layouts' sense: positive moves the destination up.
class VLCryptingProcessAnimation final : public VLAnimation
{
public:
    // The key under which the progress screens add it to the bar.
    static inline const QString slidingAnimationKey = QStringLiteral("slidingAnimation");

    static std::shared_ptr<VLCryptingProcessAnimation> animationWithProgressImageViewParticleView(
        VLEncryptProgressImageView *progressImageView, VLParticleView *particleView);
    static std::shared_ptr<VLCryptingProcessAnimation> animationWithProgressImageViewParticleViewSignalRect(
        VLEncryptProgressImageView *progressImageView, VLParticleView *particleView, const QRectF &signalRect);

    VLCryptingProcessAnimation(VLEncryptProgressImageView *progressImageView, VLParticleView *particleView,
                               const QRectF &signalRect);

    VLEncryptProgressImageView *progressImageView() const { return m_progressImageView; }
    void setProgressImageView(VLEncryptProgressImageView *view) { m_progressImageView = view; }
    VLParticleView *particleView() const { return m_particleView; }
    void setParticleView(VLParticleView *view) { m_particleView = view; }

    QRectF fromValue() const { return m_fromValue; }
    void setFromValue(const QRectF &frame) { m_fromValue = frame; }
    double byValue() const { return m_byValue; }
    void setByValue(double offset) { m_byValue = offset; }
    // Icon heights per second.
    double velocity() const { return m_velocity; }
    void setVelocity(double velocity) { m_velocity = velocity; }
    double realProgress() const { return m_realProgress; }
    void setRealProgress(double progress) { m_realProgress = progress; }
    bool up() const { return m_up; }
    void setUp(bool up) { m_up = up; }
    // Reported once to the delegate when the bar covers it; the null rectangle for none.
    QRectF signalRect() const { return m_signalRect; }
    void setSignalRect(const QRectF &rect) { m_signalRect = rect; }
    double progressInterval() const { return m_progressInterval; }
    void setProgressInterval(double interval) { m_progressInterval = interval; }
    double allowance() const { return m_allowance; }
    void setAllowance(double allowance) { m_allowance = allowance; }

    // Seconds since the previous frame (since the start on the first one).
    double elapsedTime() const { return m_elapsedTime; }

    // One frame on the bar; answers whether the animation goes on.
    bool tickWithTarget(QObject *target);

protected:
    bool start(QObject *target, double time) override;
    bool advance(QObject *target, double time) override;

private:
    QPointer<VLEncryptProgressImageView> m_progressImageView;
    QPointer<VLParticleView> m_particleView;
    QRectF m_fromValue;
    double m_byValue = 0.0;
    double m_velocity = 0.0;
    double m_realProgress = 0.0;
    bool m_up = false;
    QRectF m_signalRect;
    double m_progressInterval = 0.0;
    double m_allowance = 0.0;
    double m_currentTime = 0.0;
    double m_elapsedTime = 0.0;
};
