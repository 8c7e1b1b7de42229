#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

class QPainter;
class QWidget;
class VLAnimatableProperty;
class VLBasicAnimation;
class VLLayer;

using VLLayerAction = std::shared_ptr<VLBasicAnimation>;

// Supplies a layer's actions and draws a layer's own contents, as a layer delegate does. An
// answer of std::nullopt leaves the layer's own rules in force; a null action means "none".
class VLLayerDelegate
{
public:
    virtual ~VLLayerDelegate() = default;
    virtual std::optional<VLLayerAction> actionForLayerForKey(VLLayer *layer, const QString &key)
    {
        Q_UNUSED(layer)
        Q_UNUSED(key)
        return std::nullopt;
    }
    virtual void drawLayerInContext(const VLLayer *layer, QPainter &painter) const
    {
        Q_UNUSED(layer)
        Q_UNUSED(painter)
    }
};

// A small retained layer model for controls that draw themselves in layers: a tree of layers
// with frames in their superlayer's top-left coordinates, painted back to front by
// renderInContext from the host widget's paintEvent. Every change asks the host to repaint.
//
// Opacity (and a shape layer's path) keep a model value and a presented one: setting the model
// value runs the layer's action for the key, an implicit 0.25 s linear animation of the
// presented value unless the delegate or setActionForKey says otherwise. Other properties change
// at once.
class VLLayer : public QObject
{
    Q_OBJECT
    // Written without an action, so explicit animations (kVLLayerOpacity) drive it frame by frame.
    Q_PROPERTY(double opacity READ opacity WRITE setOpacityWithoutAction)
    Q_PROPERTY(double rotation READ rotation WRITE setRotation)
public:
    explicit VLLayer(QObject *parent = nullptr);
    ~VLLayer() override;
    Q_DISABLE_COPY_MOVE(VLLayer)

    // The widget this (root) layer paints into; sublayers find it through their superlayer.
    void setHostView(QWidget *view) { m_host = view; }
    QWidget *hostView() const;

    VLLayer *superlayer() const { return m_superlayer; }
    const QList<VLLayer *> &sublayers() const { return m_sublayers; }
    // The layer becomes a child of this one (deleted with it), drawn above the sublayers before.
    void addSublayer(VLLayer *layer);

    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF &frame);
    QRectF bounds() const { return QRectF(QPointF(0, 0), m_frame.size()); }
    QPointF position() const { return m_frame.center(); }
    void setPosition(const QPointF &position);

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);

    // Drawn scaled to the bounds.
    QImage contents() const { return m_contents; }
    void setContents(const QImage &image);
    double contentsScale() const { return m_contentsScale; }
    void setContentsScale(double scale) { m_contentsScale = scale; }
    bool shouldRasterize() const { return m_shouldRasterize; }
    void setShouldRasterize(bool rasterize) { m_shouldRasterize = rasterize; }
    double rasterizationScale() const { return m_rasterizationScale; }
    void setRasterizationScale(double scale) { m_rasterizationScale = scale; }

    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    // Only the mask's shape (its frame, rounded by its corner radius) counts; owned by this layer.
    VLLayer *mask() const { return m_mask; }
    void setMask(VLLayer *mask);

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    // Degrees, clockwise, about the layer's centre.
    double rotation() const { return m_rotation; }
    void setRotation(double degrees);

    double opacity() const { return m_opacity; }
    double presentationOpacity() const { return m_presentationOpacity; }
    void setOpacity(double opacity);
    void setOpacityWithoutAction(double opacity);

    VLLayerDelegate *delegate() const { return m_delegate; }
    void setDelegate(VLLayerDelegate *delegate) { m_delegate = delegate; }

    // A null action switches the key's implicit animation off.
    void setActionForKey(const QString &key, VLLayerAction action);
    // The delegate's answer, else the one set for the key, else the implicit animation.
    VLLayerAction actionForKey(const QString &key);

    // The device pixel ratio of the surface painter really paints on (a widget's painter may be
    // redirected to a grab's image of another scale).
    static qreal deviceScale(const QPainter &painter);

    // Draws the layer and its sublayers into painter, whose origin is the superlayer's.
    void renderInContext(QPainter &painter) const;

    void setNeedsDisplay() const;

protected:
    // The layer's own drawing, between its background and its sublayers, in its bounds.
    virtual void drawInContext(QPainter &painter) const;
    // Runs the action for key on this layer; false when there is none.
    bool runActionForKey(const QString &key, const std::shared_ptr<const VLAnimatableProperty> &property,
                         const QVariant &toValue);

private:
    void renderContents(QPainter &painter) const;
    void setPresentationOpacity(double opacity);

    QPointer<QWidget> m_host;
    VLLayer *m_superlayer = nullptr;
    QList<VLLayer *> m_sublayers;
    QRectF m_frame;
    QColor m_backgroundColor = Qt::transparent;
    double m_cornerRadius = 0.0;
    double m_borderWidth = 0.0;
    QColor m_borderColor = Qt::black;
    QImage m_contents;
    double m_contentsScale = 1.0;
    bool m_shouldRasterize = false;
    double m_rasterizationScale = 1.0;
    bool m_masksToBounds = false;
    VLLayer *m_mask = nullptr;
    bool m_hidden = false;
    double m_rotation = 0.0;
    double m_opacity = 1.0;
    double m_presentationOpacity = 1.0;
    VLLayerDelegate *m_delegate = nullptr;
    QList<QPair<QString, VLLayerAction>> m_actions;
};

// Switches every layer action off while it lives, like a transaction with actions disabled.
class VLLayerActionsDisabled final
{
public:
    VLLayerActionsDisabled();
    ~VLLayerActionsDisabled();
    Q_DISABLE_COPY_MOVE(VLLayerActionsDisabled)
    static bool active();
};

// A single-line text layer: the string centred (or aligned) in its bounds from the top.
class VLTextLayer final : public VLLayer
{
    Q_OBJECT
public:
    explicit VLTextLayer(QObject *parent = nullptr);

    QString string() const { return m_string; }
    void setString(const QString &string);
    // The font's family and style; its size is fontSize (pixels).
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    QColor foregroundColor() const { return m_foregroundColor; }
    void setForegroundColor(const QColor &color);
    Qt::Alignment alignmentMode() const { return m_alignment; }
    void setAlignmentMode(Qt::Alignment alignment);

    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color) { m_shadowColor = color; }
    QPointF shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(const QPointF &offset) { m_shadowOffset = offset; }
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity) { m_shadowOpacity = opacity; }
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius) { m_shadowRadius = radius; }

    // The font at fontSize, as drawn.
    QFont drawingFont() const;

protected:
    void drawInContext(QPainter &painter) const override;

private:
    QString m_string;
    QFont m_font;
    double m_fontSize = 13.0;
    QColor m_foregroundColor = Qt::white;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    QColor m_shadowColor = Qt::black;
    QPointF m_shadowOffset;
    double m_shadowOpacity = 0.0;
    double m_shadowRadius = 3.0;
};

// A path of move-to and line-to elements, the kind a shape layer morphs point by point.
struct VLPath
{
    struct Element
    {
        enum class Type { MoveTo, LineTo } type = Type::MoveTo;
        QPointF point;
        bool operator==(const Element &) const = default;
    };
    QList<Element> elements;

    VLPath &moveTo(const QPointF &point);
    VLPath &lineTo(const QPointF &point);
    bool isEmpty() const { return elements.isEmpty(); }
    // Same element types in the same order, so one can be interpolated into the other.
    bool hasSameShapeAs(const VLPath &other) const;
    bool operator==(const VLPath &) const = default;
};

// Strokes (and fills) a path; the path's changes run the action for "path", interpolating the
// points, when the new path has the elements of the presented one.
class VLShapeLayer final : public VLLayer
{
    Q_OBJECT
public:
    explicit VLShapeLayer(QObject *parent = nullptr);

    VLPath path() const { return m_path; }
    VLPath presentationPath() const { return m_presentationPath; }
    void setPath(const VLPath &path);

    QColor strokeColor() const { return m_strokeColor; }
    void setStrokeColor(const QColor &color);
    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor &color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    Qt::PenJoinStyle lineJoin() const { return m_lineJoin; }
    void setLineJoin(Qt::PenJoinStyle join);
    Qt::PenCapStyle lineCap() const { return m_lineCap; }
    void setLineCap(Qt::PenCapStyle cap);

protected:
    void drawInContext(QPainter &painter) const override;

private:
    void setPresentationPoints(const QList<double> &values);

    VLPath m_path;
    VLPath m_presentationPath;
    QColor m_strokeColor = Qt::black;
    QColor m_fillColor = Qt::black;
    double m_lineWidth = 1.0;
    Qt::PenJoinStyle m_lineJoin = Qt::MiterJoin;
    Qt::PenCapStyle m_lineCap = Qt::FlatCap;
};
