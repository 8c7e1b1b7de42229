#pragma once

#include <QColor>
#include <QWidget>

// The consent window's background: one fill colour under everything. Presses are left to the
// window, which moves where its background is dragged.
class NBGDPRView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

public:
    explicit NBGDPRView(QWidget *parent = nullptr);

    // An invalid colour means none: the view stays clear.
    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor &color);

    // Opaque only when the fill colour is fully opaque.
    bool isOpaque() const;
    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fillColor;
};
