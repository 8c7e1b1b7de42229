#pragma once

#include <QImage>
#include <QPointF>
#include <QRandomGenerator>
#include <QSizeF>

#include <vector>

// One kind of particle an emitter makes. Ranges spread a value evenly on both sides of it.
struct VLParticleEmitterCell
{
    double birthRate = 0.0;     // particles per second
    double lifetime = 0.0;      // seconds
    double velocity = 0.0;      // pixels per second
    double emissionRange = 0.0; // radians, centred on the emission direction
    double scale = 1.0;
    double scaleRange = 0.0;
    double alphaRange = 0.0;
    QImage contents;
};

// A line emitter: particles are born on a horizontal line of the emitter's width through its
// centre, fly straight at constant speed and die at the end of their lifetime. They live in the
// emitter's own space, so moving the emitter moves the particles already born with it.
class VLParticleEmitter final
{
public:
    struct Particle
    {
        QPointF position; // relative to the emitter's position
        QPointF velocity;
        double age = 0.0;
        double lifetime = 0.0;
        double scale = 1.0;
        double alpha = 1.0;
        int cell = 0;
    };

    // The seed of the particles' random spread.
    explicit VLParticleEmitter(quint32 seed);

    std::vector<VLParticleEmitterCell> &cells() { return m_cells; }
    const std::vector<VLParticleEmitterCell> &cells() const { return m_cells; }

    // Multiplies every cell's birth rate: 0 stops new particles, the living ones die out.
    double birthRate() const { return m_birthRate; }
    void setBirthRate(double rate) { m_birthRate = rate; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity) { m_opacity = opacity; }
    QPointF position() const { return m_position; }
    void setPosition(const QPointF &position) { m_position = position; }
    QSizeF emitterSize() const { return m_emitterSize; }
    void setEmitterSize(const QSizeF &size) { m_emitterSize = size; }

    const std::vector<Particle> &particles() const { return m_particles; }
    bool isIdle() const { return m_particles.empty() && m_birthRate <= 0.0; }

    // Ages, moves and removes particles, then makes the ones born during seconds.
    void advance(double seconds);

private:
    double spread(double value, double range);

    std::vector<VLParticleEmitterCell> m_cells;
    std::vector<Particle> m_particles;
    std::vector<double> m_pendingBirths; // fractions of a particle carried to the next step, per cell
    QRandomGenerator m_random;
    double m_birthRate = 0.0;
    double m_opacity = 1.0;
    QPointF m_position;
    QSizeF m_emitterSize;
};
