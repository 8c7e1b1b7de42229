#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>

class QPainter;
class QWidget;

// One character of a column.
struct VLEncryptTextLayer
{
    QString string;
    QColor foregroundColor;
    QRectF frame; // in the column's coordinates
};

// One column of five stacked characters, the first at the bottom. Its position is the top-left
// corner of its frame in its container, so the "position" animation slides it.
class VLEncryptTextStackLayer final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QPointF position READ position WRITE setPosition)

public:
    static constexpr int rowCount = 5;

    // Repaints go to view, which draws the column.
    explicit VLEncryptTextStackLayer(QWidget *view);

    QList<VLEncryptTextLayer> &textLayers() { return m_textLayers; }
    const QList<VLEncryptTextLayer> &textLayers() const { return m_textLayers; }

    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    double fontSize() const;
    void setFontSize(double size);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale) { m_contentsScale = scale; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    QRectF frame() const { return m_frame; }
    // Divides the frame into the five rows, the first at the bottom.
    void setFrame(const QRectF &frame);
    QPointF position() const { return m_frame.topLeft(); }
    void setPosition(const QPointF &position);

    // Draws the column at its frame, in the container's coordinates.
    void draw(QPainter &painter) const;

private:
    void changed();

    QPointer<QWidget> m_view;
    QList<VLEncryptTextLayer> m_textLayers;
    QFont m_font;
    double m_contentsScale = 1.0;
    double m_opacity = 1.0;
    QRectF m_frame;
};
