#pragma once

#include "controls/VLControl.h"
#include "controls/VLLayer.h"

// The drop screen's 62 x 62 icon button: a stroked plus or a downward arrow, morphing between
// the two point by point. Dims while pressed; a click or Space sends its action.
class VLDropFilesButton final : public VLControl, public VLLayerDelegate
{
    Q_OBJECT
    Q_PROPERTY(bool iconIsPlus READ iconIsPlus WRITE setIconIsPlus)
public:
    explicit VLDropFilesButton(QWidget *parent = nullptr);
    ~VLDropFilesButton() override;

    static constexpr double iconSide = 62.0;

    bool iconIsPlus() const { return m_iconIsPlus; }
    void setIconIsPlus(bool iconIsPlus);

    VLLayer *viewLayer() const { return m_viewLayer; }
    VLShapeLayer *iconLayer() const { return m_iconLayer; }
    const VLPath &plusPath() const { return m_plusPath; }
    const VLPath &addPath() const { return m_addPath; }

    // A click into an inactive window only brings the window forward.
    bool acceptsFirstMouse(const QMouseEvent *event) const override;

    // The focus ring follows the icon's strokes.
    void drawFocusRingMask(QPainter &painter) const override;

    void updateContentsScale();
    void viewDidChangeBackingProperties();

    // VLLayerDelegate: the icon's path changes animate.
    std::optional<VLLayerAction> actionForLayerForKey(VLLayer *layer, const QString &key) override;

    static inline const QString pathKey = QStringLiteral("path");

protected:
    void setupMovingIcon();
    void resizeIcon();

    void trackingChanged(bool inside) override;
    void trackingFinished(bool inside) override;

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyContentsScale(double scale);

    bool m_iconIsPlus = false;
    double m_contentsScale = 1.0;
    VLLayer *m_viewLayer = nullptr;
    VLShapeLayer *m_iconLayer = nullptr;
    VLPath m_plusPath;
    VLPath m_addPath;
};
