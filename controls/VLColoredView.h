#pragma once

#include <QColor>
#include <QWidget>

// A panel filled with one colour, optionally with rounded corners. Interface files place it and
// set its properties by name. Presses are left to the window, which moves where its background does.
class VLColoredView final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor solidColor READ solidColor WRITE setSolidColor)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(bool vibrant READ vibrant WRITE setVibrant)

public:
    explicit VLColoredView(QWidget *parent = nullptr);

    // An invalid colour (the default) means none: nothing is drawn.
    QColor solidColor() const { return m_solidColor; }
    void setSolidColor(const QColor &color);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    // Whether the panel lets the window's vibrancy show through; true until set.
    bool vibrant() const { return m_vibrant; }
    void setVibrant(bool vibrant) { m_vibrant = vibrant; }
    bool allowsVibrancy() const { return m_vibrant; }

    // Opaque exactly when the colour is fully opaque. Only answered: Qt is not told, as a panel
    // inside a fading screen must not hide from Qt what lies beneath it.
    bool isOpaque() const;
    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_solidColor;
    double m_cornerRadius = 0.0;
    bool m_vibrant = true;
};
