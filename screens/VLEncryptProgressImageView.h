#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

// An icon made of two images split by a horizontal boundary: the bottom image fills the lower
// `progress` fraction of the view, the top image the rest. Both are drawn over the whole view,
// aspect-fitted, and only clipped by their parts, so neither moves or stretches as the boundary
// does. Also the plain icon of the password and result screens (progress 0 shows the top image).
class VLEncryptProgressImageView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QImage topImage READ topImage WRITE setTopImage)
    Q_PROPERTY(QImage bottomImage READ bottomImage WRITE setBottomImage)
    Q_PROPERTY(double progress READ progress WRITE setProgress)
    // The boundary as drawn; it trails progress while an animated change runs.
    Q_PROPERTY(double displayedProgress READ displayedProgress WRITE setDisplayedProgress)
    // Degrees the icon is turned about the view's centre, counter-clockwise as the layouts count
    // (the result screens' wiggle turns it).
    Q_PROPERTY(double frameCenterRotation READ frameCenterRotation WRITE setFrameCenterRotation)

public:
    explicit VLEncryptProgressImageView(QWidget *parent = nullptr);

    QImage topImage() const { return m_topImage; }
    void setTopImage(const QImage &image);
    QImage bottomImage() const { return m_bottomImage; }
    void setBottomImage(const QImage &image);

    double progress() const { return m_progress; }
    void setProgress(double progress) { setProgressAnimatedDuration(progress, false, 0.0); }
    void setProgressAnimated(double progress, bool animated) { setProgressAnimatedDuration(progress, animated, 0.2); }
    // Animated changes move the boundary linearly over duration seconds.
    void setProgressAnimatedDuration(double progress, bool animated, double duration);

    double frameCenterRotation() const { return m_frameCenterRotation; }
    void setFrameCenterRotation(double degrees);

    double displayedProgress() const { return m_displayedProgress; }
    void setDisplayedProgress(double progress);

    // The two clipping parts, in this view's coordinates.
    QRectF topImageContainerFrame() const;
    QRectF bottomImageContainerFrame() const;
    // Where an image is drawn: aspect-fitted into the whole view.
    QRectF imageFrame(const QImage &image) const;

    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_topImage;
    QImage m_bottomImage;
    double m_progress = 0.0;
    double m_displayedProgress = 0.0;
    double m_frameCenterRotation = 0.0;
};
