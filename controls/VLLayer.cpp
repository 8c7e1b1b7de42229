#include "controls/VLLayer.h"

#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

int &actionsDisabledDepth()
{
    static int depth = 0;
    return depth;
}

// The animation the layer runs when a property with a presented value changes and nothing
// else is said: a quarter second, linear, as implicit layer animations are.
VLLayerAction implicitAction()
{
    auto action = VLBasicAnimation::animation();
    action->setDuration(0.25);
    action->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    return action;
}

// A stored action is a template: every run gets its own animation object.
VLLayerAction copyOfAction(const VLBasicAnimation &action)
{
    auto copy = VLBasicAnimation::animation();
    copy->setDuration(action.duration());
    copy->setTimingFunction(action.timingFunction());
    copy->setBeginTime(action.beginTime());
    copy->setRepeatCount(action.repeatCount());
    copy->setAutoreverses(action.autoreverses());
    copy->setCompletionBlock(action.completionBlock());
    if (action.fromValue().isValid())
        copy->setFromValue(action.fromValue());
    return copy;
}

QPainterPath roundedShape(const QRectF &rect, double radius)
{
    QPainterPath path;
    const double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) * 0.5);
    if (r > 0.0)
        path.addRoundedRect(rect, r, r);
    else
        path.addRect(rect);
    return path;
}

const QString kOpacityKey = QStringLiteral("opacity");
const QString kPathKey = QStringLiteral("path");

} // namespace

VLLayer::VLLayer(QObject *parent) : QObject(parent)
{
}

VLLayer::~VLLayer() = default;

QWidget *VLLayer::hostView() const
{
    const VLLayer *layer = this;
    while (layer->m_superlayer)
        layer = layer->m_superlayer;
    return layer->m_host.data();
}

void VLLayer::setNeedsDisplay() const
{
    if (QWidget *host = hostView())
        host->update();
}

void VLLayer::addSublayer(VLLayer *layer)
{
    if (!layer || layer == this || m_sublayers.contains(layer))
        return;
    if (layer->m_superlayer)
        layer->m_superlayer->m_sublayers.removeOne(layer);
    layer->setParent(this);
    layer->m_superlayer = this;
    m_sublayers.append(layer);
    setNeedsDisplay();
}

void VLLayer::setFrame(const QRectF &frame)
{
    if (frame == m_frame)
        return;
    m_frame = frame;
    setNeedsDisplay();
}

void VLLayer::setPosition(const QPointF &position)
{
    QRectF frame = m_frame;
    frame.moveCenter(position);
    setFrame(frame);
}

void VLLayer::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    setNeedsDisplay();
}

void VLLayer::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    setNeedsDisplay();
}

void VLLayer::setBorderWidth(double width)
{
    m_borderWidth = width;
    setNeedsDisplay();
}

void VLLayer::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    setNeedsDisplay();
}

void VLLayer::setContents(const QImage &image)
{
    m_contents = image;
    setNeedsDisplay();
}

void VLLayer::setMasksToBounds(bool masks)
{
    m_masksToBounds = masks;
    setNeedsDisplay();
}

void VLLayer::setMask(VLLayer *mask)
{
    if (mask == m_mask)
        return;
    if (m_mask && m_mask->parent() == this)
        delete m_mask;
    m_mask = mask;
    if (m_mask)
        m_mask->setParent(this);
    setNeedsDisplay();
}

void VLLayer::setHidden(bool hidden)
{
    m_hidden = hidden;
    setNeedsDisplay();
}

void VLLayer::setRotation(double degrees)
{
    m_rotation = degrees;
    setNeedsDisplay();
}

void VLLayer::setPresentationOpacity(double opacity)
{
    m_presentationOpacity = std::clamp(opacity, 0.0, 1.0);
    setNeedsDisplay();
}

void VLLayer::setOpacityWithoutAction(double opacity)
{
    VLAnimator::removeAnimationForKey(this, kOpacityKey);
    m_opacity = std::clamp(opacity, 0.0, 1.0);
    setPresentationOpacity(m_opacity);
}

void VLLayer::setOpacity(double opacity)
{
    static const VLAnimatablePropertyPtr presented = VLAnimatableProperty::propertyWithName(
        u"layer.presentationOpacity"_s, [](VLAnimatableProperty &p) {
            p.setReadBlock([](QObject *object) {
                auto *layer = qobject_cast<VLLayer *>(object);
                return layer ? VLAnimationValues{layer->m_presentationOpacity} : VLAnimationValues();
            });
            p.setWriteBlock([](QObject *object, const VLAnimationValues &values) {
                if (auto *layer = qobject_cast<VLLayer *>(object); layer && !values.empty())
                    layer->setPresentationOpacity(values.front());
            });
            p.setThreshold(0.01);
        });
    m_opacity = std::clamp(opacity, 0.0, 1.0);
    if (!runActionForKey(kOpacityKey, presented, m_opacity))
        setOpacityWithoutAction(m_opacity);
}

void VLLayer::setActionForKey(const QString &key, VLLayerAction action)
{
    for (auto &entry : m_actions) {
        if (entry.first == key) {
            entry.second = std::move(action);
            return;
        }
    }
    m_actions.append({key, std::move(action)});
}

VLLayerAction VLLayer::actionForKey(const QString &key)
{
    if (VLLayerActionsDisabled::active())
        return nullptr;
    if (m_delegate) {
        if (std::optional<VLLayerAction> answer = m_delegate->actionForLayerForKey(this, key))
            return *answer;
    }
    for (const auto &entry : std::as_const(m_actions)) {
        if (entry.first == key)
            return entry.second ? copyOfAction(*entry.second) : nullptr;
    }
    if (key == kOpacityKey || key == kPathKey)
        return implicitAction();
    return nullptr;
}

bool VLLayer::runActionForKey(const QString &key, const VLAnimatablePropertyPtr &property, const QVariant &toValue)
{
    VLLayerAction action = actionForKey(key);
    if (!action)
        return false;
    action->setProperty(property);
    action->setToValue(toValue);
    VLAnimator::addAnimationForKey(this, action, key);
    return true;
}

qreal VLLayer::deviceScale(const QPainter &painter)
{
    if (const QPaintEngine *engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

void VLLayer::renderInContext(QPainter &painter) const
{
    if (m_hidden || m_presentationOpacity <= 0.0 || m_frame.isEmpty())
        return;
    painter.save();
    painter.translate(m_frame.topLeft());
    if (m_rotation != 0.0) {
        const QPointF centre = bounds().center();
        painter.translate(centre);
        painter.rotate(m_rotation);
        painter.translate(-centre);
    }
    if (m_presentationOpacity < 1.0) {
        // Opacity applies to the layer as a whole, so overlapping parts do not darken each other.
        const qreal scale = deviceScale(painter);
        QImage group((bounds().size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        group.setDevicePixelRatio(scale);
        group.fill(Qt::transparent);
        {
            QPainter groupPainter(&group);
            groupPainter.setRenderHints(painter.renderHints());
            renderContents(groupPainter);
        }
        painter.setOpacity(painter.opacity() * m_presentationOpacity);
        painter.drawImage(QPointF(0, 0), group);
    } else {
        renderContents(painter);
    }
    painter.restore();
}

void VLLayer::renderContents(QPainter &painter) const
{
    const QRectF rect = bounds();
    const QPainterPath shape = roundedShape(rect, m_cornerRadius);
    if (m_mask)
        painter.setClipPath(roundedShape(m_mask->frame(), m_mask->cornerRadius()), Qt::IntersectClip);
    else if (m_masksToBounds)
        painter.setClipPath(shape, Qt::IntersectClip);

    if (m_backgroundColor.alpha() > 0)
        painter.fillPath(shape, m_backgroundColor);
    if (!m_contents.isNull())
        painter.drawImage(rect, m_contents);
    drawInContext(painter);
    if (m_delegate)
        m_delegate->drawLayerInContext(this, painter);
    for (const VLLayer *sublayer : m_sublayers)
        sublayer->renderInContext(painter);
    if (m_borderWidth > 0.0 && m_borderColor.alpha() > 0) {
        const double inset = m_borderWidth * 0.5;
        painter.setPen(QPen(m_borderColor, m_borderWidth));
        painter.setBrush(Qt::NoBrush);
        const QRectF edge = rect.adjusted(inset, inset, -inset, -inset);
        painter.drawPath(roundedShape(edge, std::max(0.0, m_cornerRadius - inset)));
    }
}

void VLLayer::drawInContext(QPainter &painter) const
{
    Q_UNUSED(painter)
}

VLLayerActionsDisabled::VLLayerActionsDisabled()
{
    ++actionsDisabledDepth();
}

VLLayerActionsDisabled::~VLLayerActionsDisabled()
{
    --actionsDisabledDepth();
}

bool VLLayerActionsDisabled::active()
{
    return actionsDisabledDepth() > 0;
}

// --- Text layer ---

VLTextLayer::VLTextLayer(QObject *parent) : VLLayer(parent)
{
}

void VLTextLayer::setString(const QString &string)
{
    m_string = string;
    setNeedsDisplay();
}

void VLTextLayer::setFont(const QFont &font)
{
    m_font = font;
    setNeedsDisplay();
}

void VLTextLayer::setFontSize(double size)
{
    m_fontSize = size;
    setNeedsDisplay();
}

void VLTextLayer::setForegroundColor(const QColor &color)
{
    m_foregroundColor = color;
    setNeedsDisplay();
}

void VLTextLayer::setAlignmentMode(Qt::Alignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

QFont VLTextLayer::drawingFont() const
{
    QFont font = m_font;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize))));
    return font;
}

void VLTextLayer::drawInContext(QPainter &painter) const
{
    if (m_string.isEmpty())
        return;
    const int flags = static_cast<int>(m_alignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop | Qt::TextSingleLine;
    painter.setFont(drawingFont());
    if (m_shadowOpacity > 0.0) {
        QColor shadow = m_shadowColor;
        shadow.setAlphaF(static_cast<float>(shadow.alphaF() * m_shadowOpacity));
        painter.setPen(shadow);
        // Offsets are given y-up, as layer shadows are.
        painter.drawText(bounds().translated(m_shadowOffset.x(), -m_shadowOffset.y()), flags, m_string);
    }
    painter.setPen(m_foregroundColor);
    painter.drawText(bounds(), flags, m_string);
}

// --- Paths and shape layers ---

VLPath &VLPath::moveTo(const QPointF &point)
{
    elements.append({Element::Type::MoveTo, point});
    return *this;
}

VLPath &VLPath::lineTo(const QPointF &point)
{
    elements.append({Element::Type::LineTo, point});
    return *this;
}

bool VLPath::hasSameShapeAs(const VLPath &other) const
{
    if (elements.size() != other.elements.size())
        return false;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (elements.at(i).type != other.elements.at(i).type)
            return false;
    }
    return true;
}

VLShapeLayer::VLShapeLayer(QObject *parent) : VLLayer(parent)
{
}

void VLShapeLayer::setPresentationPoints(const QList<double> &values)
{
    if (values.size() != m_presentationPath.elements.size() * 2)
        return;
    for (qsizetype i = 0; i < m_presentationPath.elements.size(); ++i)
        m_presentationPath.elements[i].point = QPointF(values.at(2 * i), values.at(2 * i + 1));
    setNeedsDisplay();
}

void VLShapeLayer::setPath(const VLPath &path)
{
    static const VLAnimatablePropertyPtr presented = VLAnimatableProperty::propertyWithName(
        u"layer.presentationPath"_s, [](VLAnimatableProperty &p) {
            p.setReadBlock([](QObject *object) {
                VLAnimationValues values;
                if (auto *layer = qobject_cast<VLShapeLayer *>(object)) {
                    for (const VLPath::Element &element : std::as_const(layer->m_presentationPath.elements)) {
                        values.push_back(element.point.x());
                        values.push_back(element.point.y());
                    }
                }
                return values;
            });
            p.setWriteBlock([](QObject *object, const VLAnimationValues &values) {
                if (auto *layer = qobject_cast<VLShapeLayer *>(object))
                    layer->setPresentationPoints(QList<double>(values.begin(), values.end()));
            });
            p.setThreshold(0.01);
        });

    m_path = path;
    // Only paths of the same elements interpolate; anything else is shown at once.
    if (m_presentationPath.hasSameShapeAs(path) && !path.isEmpty()) {
        QVariantList to;
        for (const VLPath::Element &element : path.elements)
            to << element.point.x() << element.point.y();
        if (runActionForKey(kPathKey, presented, to))
            return;
    }
    VLAnimator::removeAnimationForKey(this, kPathKey);
    m_presentationPath = path;
    setNeedsDisplay();
}

void VLShapeLayer::setStrokeColor(const QColor &color)
{
    m_strokeColor = color;
    setNeedsDisplay();
}

void VLShapeLayer::setFillColor(const QColor &color)
{
    m_fillColor = color;
    setNeedsDisplay();
}

void VLShapeLayer::setLineWidth(double width)
{
    m_lineWidth = width;
    setNeedsDisplay();
}

void VLShapeLayer::setLineJoin(Qt::PenJoinStyle join)
{
    m_lineJoin = join;
    setNeedsDisplay();
}

void VLShapeLayer::setLineCap(Qt::PenCapStyle cap)
{
    m_lineCap = cap;
    setNeedsDisplay();
}

void VLShapeLayer::drawInContext(QPainter &painter) const
{
    if (m_presentationPath.isEmpty())
        return;
    QPainterPath path;
    for (const VLPath::Element &element : m_presentationPath.elements) {
        if (element.type == VLPath::Element::Type::MoveTo)
            path.moveTo(element.point);
        else
            path.lineTo(element.point);
    }
    if (m_fillColor.alpha() > 0) {
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, m_fillColor);
    }
    if (m_lineWidth > 0.0 && m_strokeColor.alpha() > 0) {
        painter.setPen(QPen(m_strokeColor, m_lineWidth, Qt::SolidLine, m_lineCap, m_lineJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}
