#pragma once

#include <QAbstractButton>
#include <QColor>

// The consent window's link button: an image and a title drawn in one tint colour. While the
// pointer is over it, a pill of the tint colour lies behind them and they turn white.
class NBGDPRTintedButton final : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor)

public:
    explicit NBGDPRTintedButton(QWidget *parent = nullptr);

    QColor tintColor() const { return m_tintColor; }
    void setTintColor(const QColor &color);
    bool isMouseInside() const { return m_mouseInside; }

    QSize sizeHint() const override;
    bool isFlipped() const { return false; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setMouseInside(bool inside);
    // The content's frame: the bounds without the pill's rounded ends.
    QRectF contentFrame() const;
    // The title and the image, opaque where they draw, over the content frame.
    QImage contentMask(const QRectF &frame) const;

    QColor m_tintColor;
    bool m_mouseInside = false;
};
