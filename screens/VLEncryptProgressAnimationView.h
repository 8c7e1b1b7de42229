#pragma once

#include "platform/animation/VLAnimation.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRandomGenerator>
#include <QRectF>
#include <QStringList>
#include <QWidget>

class VLEncryptTextStackLayer;
class VLBasicAnimation;

// Thirteen columns of random characters sliding down inside the progress bar, one text line
// visible and faded towards the top and bottom edges. Each column slides by four rows at its own
// random speed; at the end of every slide the bottom row takes the top row's character, the
// column jumps back and its other rows get new characters, so the text seems to run on for ever.
// Takes no mouse events: it is decoration on the bar.
class VLEncryptProgressAnimationView final : public QWidget, public VLAnimationDelegate
{
    Q_OBJECT
    Q_PROPERTY(bool animating READ isAnimating WRITE setAnimating)

public:
    static constexpr int columnCount = 13;
    static const QString slideAnimationKey;

    explicit VLEncryptProgressAnimationView(QWidget *parent = nullptr);
    ~VLEncryptProgressAnimationView() override;
    Q_DISABLE_COPY_MOVE(VLEncryptProgressAnimationView)

    bool isAnimating() const { return m_animating; }
    void setAnimating(bool animating);

    // One text line high, centred, 7 pixels in from the sides; in this view's coordinates.
    QRectF containerFrame() const { return m_containerFrame; }
    const QList<VLEncryptTextStackLayer *> &animationLayers() const { return m_animationLayers; }
    const QStringList &characters() const { return m_characters; }
    double textHeight() const { return m_textHeight; }
    QFont textFont() const { return m_font; }
    // The edge fade: a vertical gradient clear, black, black, clear at these locations.
    QList<double> maskLocations() const { return m_maskLocations; }

    void resizeLayers();
    void recreateLayerMask();
    void addAnimationForLayer(VLEncryptTextStackLayer *layer);
    // The end of a slide: see the class comment.
    void animationDidStopFinished(VLAnimation *animation, bool finished) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Slide
    {
        QPointer<VLEncryptTextStackLayer> layer;
        QPointF originalPosition;
    };

    QString randomCharacter();
    double randomDuration();
    void removeSlides();
    void addSlides();

    bool m_animating = false;
    QFont m_font;
    double m_textHeight = 0.0;
    QRectF m_containerFrame;
    QList<VLEncryptTextStackLayer *> m_animationLayers;
    QStringList m_characters;
    QList<double> m_maskLocations;
    QHash<VLAnimation *, Slide> m_slides; // what each running slide moves
    QList<std::shared_ptr<VLBasicAnimation>> m_ownedSlides;
    QRandomGenerator m_durationRandom;
};
