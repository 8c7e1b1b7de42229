#include "screens/VLParticleView.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"
#include "platform/animation/VLCustomAnimation.h"

#include <QImageReader>
#include <QPainter>

#include <numbers>

namespace {
const QString kEmissionKey = QStringLiteral("emission");
const QString kGlowKey = QStringLiteral("glow");

QImage loadImage(const QString &name, const QSize &size)
{
    QImageReader reader(QStringLiteral(":/images/%1.svg").arg(name));
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        qWarning("Image %s could not be loaded: %s", qPrintable(name), qPrintable(reader.errorString()));
    return image;
}

// Drawn at twice their size so that they stay sharp on high-density screens.
constexpr int kImageScale = 2;
} // namespace

VLParticleView::VLParticleView(QWidget *parent) : QWidget(parent), m_emitter(QRandomGenerator::global()->generate())
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emitter.setOpacity(0.5);
    m_emitter.setBirthRate(0.0);

    VLParticleEmitterCell cell;
    cell.scale = 0.15;
    cell.scaleRange = 0.3;
    cell.emissionRange = 2.0 * std::numbers::pi;
    cell.lifetime = 0.6;
    cell.birthRate = 1000.0;
    cell.velocity = 100.0;
    cell.alphaRange = 0.5;
    cell.contents = loadImage(QStringLiteral("BlurredParticle"), QSize(32, 32) * kImageScale);
    cell.contents.setDevicePixelRatio(kImageScale);
    m_emitter.cells().push_back(cell);

    m_glowImage = loadImage(QStringLiteral("CRGlow"), glowSize.toSize() * kImageScale);
    m_glowImage.setDevicePixelRatio(kImageScale);

    setEmitterPosition(QPointF(0, 0));
    setEmitterSize(QSizeF(size()));
}

VLParticleView::~VLParticleView() = default;

void VLParticleView::setAnimates(bool animates)
{
    m_animates = animates;
    setEmitterBirthRate(animates ? 1.0 : 0.0);
}

void VLParticleView::setEmitterBirthRate(double rate)
{
    m_emitter.setBirthRate(rate);
    runEmitter();
}

void VLParticleView::setGlows(bool glows)
{
    m_glows = glows;
    auto fade = VLBasicAnimation::animationWithProperty(VLAnimatableProperty::qtProperty(
        QStringLiteral("com.nimbrel.Vaultine.prop.glowOpacity"), QByteArrayLiteral("glowOpacity"), 0.01));
    fade->setToValue(glows ? 1.0 : 0.0);
    fade->setDuration(0.25);
    VLAnimator::addAnimationForKey(this, fade, kGlowKey);
}

void VLParticleView::setGlowOpacity(double opacity)
{
    m_glowOpacity = opacity;
    update();
}

void VLParticleView::setEmitterPosition(const QPointF &position)
{
    m_emitterPosition = position;
    const double width = this->width();
    m_glowFrame = QRectF((width - glowSize.width()) * 0.5, position.y() - glowSize.height() * 0.5, glowSize.width(),
                         glowSize.height());
    m_emitter.setPosition(QPointF(position.x() + width * 0.5, position.y()));
    update();
}

void VLParticleView::setEmitterSize(const QSizeF &size)
{
    m_emitterSize = size;
    m_emitter.setEmitterSize(size);
}

void VLParticleView::runEmitter()
{
    if (m_emitter.isIdle() || VLAnimator::animationForKey(this, kEmissionKey))
        return;
    // The particles move with the animation clock, and stop once the last one has died.
    auto emission = VLCustomAnimation::animationWithBlock([](QObject *target, VLCustomAnimation *animation) {
        auto *view = static_cast<VLParticleView *>(target);
        view->m_emitter.advance(animation->elapsedTime());
        view->update();
        return !view->m_emitter.isIdle();
    });
    VLAnimator::addAnimationForKey(this, emission, kEmissionKey);
}

void VLParticleView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_glowOpacity > 0.0 && !m_glowImage.isNull()) {
        painter.setOpacity(m_glowOpacity);
        painter.drawImage(m_glowFrame, m_glowImage);
    }
    const QPointF origin = m_emitter.position();
    for (const VLParticleEmitter::Particle &particle : m_emitter.particles()) {
        const QImage &image = m_emitter.cells()[size_t(particle.cell)].contents;
        if (image.isNull())
            continue;
        const QSizeF size = image.deviceIndependentSize() * particle.scale;
        const QPointF centre = origin + particle.position;
        painter.setOpacity(m_emitter.opacity() * particle.alpha);
        painter.drawImage(
            QRectF(centre.x() - size.width() * 0.5, centre.y() - size.height() * 0.5, size.width(), size.height()),
            image);
    }
}
