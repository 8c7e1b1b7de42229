#include "platform/animation/VLAnimatableProperty.h"

#include "platform/view/ViewAlpha.h"
#include "platform/view/ViewFrame.h"

#include <QHash>
#include <QMetaProperty>
#include <QWidget>

VLAnimatableProperty::VLAnimatableProperty(QString name) : m_name(std::move(name))
{
}

VLAnimationValues VLAnimatableProperty::read(QObject *object) const
{
    return m_read ? m_read(object) : VLAnimationValues();
}

void VLAnimatableProperty::write(QObject *object, const VLAnimationValues &values) const
{
    if (m_write)
        m_write(object, values);
}

std::shared_ptr<const VLAnimatableProperty> VLAnimatableProperty::propertyWithName(const QString &name,
                                                                                   const Initializer &initializer)
{
    auto property = std::make_shared<VLAnimatableProperty>(name);
    if (initializer)
        initializer(*property);
    return property;
}

std::shared_ptr<const VLAnimatableProperty> VLAnimatableProperty::qtProperty(const QString &name,
                                                                             const QByteArray &propertyName,
                                                                             double threshold)
{
    return propertyWithName(name, [propertyName, threshold](VLAnimatableProperty &p) {
        p.setReadBlock([propertyName](QObject *object) {
            return object ? vlAnimationValuesFromVariant(object->property(propertyName.constData()))
                          : VLAnimationValues();
        });
        p.setWriteBlock([propertyName](QObject *object, const VLAnimationValues &values) {
            if (!object)
                return;
            const QVariant current = object->property(propertyName.constData());
            if (current.isValid())
                object->setProperty(propertyName.constData(), vlVariantFromAnimationValues(values, current.metaType()));
        });
        p.setThreshold(threshold);
    });
}

namespace {

VLAnimatablePropertyPtr makeStandard(const QString &name)
{
    if (name == kVLViewFrame || name == kVLWindowFrame) {
        // A window's frame is its geometry in screen coordinates, a view's its geometry in the
        // parent; both go through the same fractional frame model.
        return VLAnimatableProperty::propertyWithName(name, [](VLAnimatableProperty &p) {
            p.setReadBlock([](QObject *object) {
                auto *widget = qobject_cast<QWidget *>(object);
                return widget ? vlAnimationValuesFromRect(vlFrame(widget)) : VLAnimationValues();
            });
            p.setWriteBlock([](QObject *object, const VLAnimationValues &values) {
                auto *widget = qobject_cast<QWidget *>(object);
                if (widget && values.size() == 4)
                    vlSetFrame(widget, vlRectFromAnimationValues(values));
            });
            p.setThreshold(0.5);
        });
    }
    if (name == kVLViewAlphaValue) {
        return VLAnimatableProperty::propertyWithName(name, [](VLAnimatableProperty &p) {
            p.setReadBlock([](QObject *object) {
                auto *widget = qobject_cast<QWidget *>(object);
                return widget ? VLAnimationValues{vlAlphaValue(widget)} : VLAnimationValues();
            });
            p.setWriteBlock([](QObject *object, const VLAnimationValues &values) {
                auto *widget = qobject_cast<QWidget *>(object);
                if (widget && !values.empty())
                    vlSetAlphaValue(widget, values.front());
            });
            p.setThreshold(0.01);
        });
    }
    if (name == kVLLayoutConstraintConstant)
        return VLAnimatableProperty::qtProperty(name, QByteArrayLiteral("constant"), 0.5);
    if (name == kVLLayerOpacity)
        return VLAnimatableProperty::qtProperty(name, QByteArrayLiteral("opacity"), 0.01);
    if (name == kVLLayerPosition)
        return VLAnimatableProperty::qtProperty(name, QByteArrayLiteral("position"), 0.5);
    if (name == kVLViewFrameCenterRotation)
        return VLAnimatableProperty::qtProperty(name, QByteArrayLiteral("frameCenterRotation"), 0.1);
    return nullptr;
}

} // namespace

std::shared_ptr<const VLAnimatableProperty> VLAnimatableProperty::propertyWithName(const QString &name)
{
    // Standard properties hold no per-use state, so one instance of each is shared.
    static QHash<QString, VLAnimatablePropertyPtr> cache;
    auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return *it;
    VLAnimatablePropertyPtr property = makeStandard(name);
    if (property)
        cache.insert(name, property);
    return property;
}
