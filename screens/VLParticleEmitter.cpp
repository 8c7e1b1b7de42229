#include "screens/VLParticleEmitter.h"

#include <algorithm>
#include <cmath>

VLParticleEmitter::VLParticleEmitter(quint32 seed) : m_random(seed)
{
}

double VLParticleEmitter::spread(double value, double range)
{
    return value + range * (m_random.generateDouble() * 2.0 - 1.0);
}

void VLParticleEmitter::advance(double seconds)
{
    if (seconds <= 0.0)
        return;
    for (Particle &particle : m_particles) {
        particle.age += seconds;
        particle.position += particle.velocity * seconds;
    }
    m_particles.erase(std::remove_if(m_particles.begin(), m_particles.end(),
                                     [](const Particle &particle) { return particle.age >= particle.lifetime; }),
                      m_particles.end());

    m_pendingBirths.resize(m_cells.size(), 0.0);
    if (m_birthRate <= 0.0)
        return;
    for (size_t index = 0; index < m_cells.size(); ++index) {
        const VLParticleEmitterCell &cell = m_cells[index];
        double &pending = m_pendingBirths[index];
        pending += cell.birthRate * m_birthRate * seconds;
        // A long stall (a frame of seconds) would otherwise burst more than a lifetime's worth.
        pending = std::min(pending, cell.birthRate * m_birthRate * cell.lifetime);
        const int births = int(pending);
        pending -= births;
        for (int i = 0; i < births; ++i) {
            Particle particle;
            particle.position = QPointF((m_random.generateDouble() - 0.5) * m_emitterSize.width(), 0.0);
            const double angle = spread(0.0, cell.emissionRange * 0.5);
            particle.velocity = QPointF(std::cos(angle), std::sin(angle)) * cell.velocity;
            particle.lifetime = cell.lifetime;
            // Born some time within this step: spread them along their way.
            const double head = m_random.generateDouble() * seconds;
            particle.age = head;
            particle.position += particle.velocity * head;
            particle.scale = std::abs(spread(cell.scale, cell.scaleRange));
            particle.alpha = std::clamp(spread(1.0, cell.alphaRange), 0.0, 1.0);
            particle.cell = int(index);
            if (particle.age < particle.lifetime)
                m_particles.push_back(particle);
        }
    }
}
