#pragma once

#include "platform/animation/VLAnimatableProperty.h"

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QWidget>

// The check icon inside the ring: faded and scaled on its own, drawn by the view.
class VLCheckmarkLayer final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double opacity READ opacity WRITE setOpacity)
    Q_PROPERTY(double scale READ scale WRITE setScale)
    Q_DISABLE_COPY_MOVE(VLCheckmarkLayer)

public:
    explicit VLCheckmarkLayer(QWidget *host);

    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF &frame) { m_frame = frame; }
    QImage contents() const { return m_contents; }
    void setContents(const QImage &image) { m_contents = image; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    double scale() const { return m_scale; }
    void setScale(double scale);

private:
    QWidget *m_host;
    QRectF m_frame;
    QImage m_contents;
    double m_opacity = 0.0;
    double m_scale = 2.0;
};

// The animated checkmark of the decrypt completed screen: a thin ring that draws itself, then
// the check icon fading in at double size and shrinking to its own.
class VLDecryptCompletedCheckmarkView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLDecryptCompletedCheckmarkView)

public:
    static inline const QString progressPropertyName = QStringLiteral("com.nimbrel.Vaultine.prop.checkMark.progress");
    static inline const QString checkmarkImageResource = QStringLiteral(":/images/CheckIcon.svg");

    explicit VLDecryptCompletedCheckmarkView(QWidget *parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double progress);
    VLCheckmarkLayer *checkmarkLayer() const { return m_checkmarkLayer; }

    static VLAnimatablePropertyPtr progressProperty();
    void animateCheckmark();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double m_progress = 0.0;
    VLCheckmarkLayer *m_checkmarkLayer;
};
