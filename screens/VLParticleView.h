#pragma once

#include "screens/VLParticleEmitter.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

// The line of particles and the glow that ride on the progress bar. Positions are in this view's
// coordinates; the glow and the particle line are centred horizontally in the view. It lies over
// the whole window and takes no mouse events, so presses reach what lies beneath it (and the
// window's background moves the window as before).
class VLParticleView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool animates READ animates WRITE setAnimates)
    Q_PROPERTY(bool glows READ glows WRITE setGlows)
    Q_PROPERTY(double glowOpacity READ glowOpacity WRITE setGlowOpacity)

public:
    explicit VLParticleView(QWidget *parent = nullptr);
    ~VLParticleView() override;
    Q_DISABLE_COPY_MOVE(VLParticleView)

    static constexpr QSizeF glowSize{404.0, 134.0};

    // Emitting: the emitter's birth rate is 1, else 0.
    bool animates() const { return m_animates; }
    void setAnimates(bool animates);
    // The glow fades in (opacity 1) or out (0) over a quarter of a second.
    bool glows() const { return m_glows; }
    void setGlows(bool glows);
    double glowOpacity() const { return m_glowOpacity; }
    void setGlowOpacity(double opacity);

    QPointF emitterPosition() const { return m_emitterPosition; }
    void setEmitterPosition(const QPointF &position);
    QSizeF emitterSize() const { return m_emitterSize; }
    void setEmitterSize(const QSizeF &size);

    // The emitter's birth rate, which the progress animation also sets.
    double emitterBirthRate() const { return m_emitter.birthRate(); }
    void setEmitterBirthRate(double rate);
    const VLParticleEmitter &emitterLayer() const { return m_emitter; }
    QRectF glowFrame() const { return m_glowFrame; }

    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void runEmitter();

    VLParticleEmitter m_emitter;
    QImage m_glowImage;
    QRectF m_glowFrame;
    bool m_animates = false;
    bool m_glows = false;
    double m_glowOpacity = 0.0;
    QPointF m_emitterPosition;
    QSizeF m_emitterSize;
};
