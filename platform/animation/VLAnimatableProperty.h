#pragma once

#include "platform/animation/VLAnimationValues.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Names of the standard properties. View frame and alpha work on any QWidget through the frame
// model and alpha helpers of platform/view; window frame is a top-level widget's geometry. The
// others animate a Qt property of the target, so any object can offer them: "constant" for a
// layout-constraint stand-in, "opacity" and "position" for layer-like objects,
// "frameCenterRotation" (degrees) for views that draw themselves rotated.
inline const QString kVLViewFrame = QStringLiteral("view.frame");
inline const QString kVLViewAlphaValue = QStringLiteral("view.alphaValue");
inline const QString kVLWindowFrame = QStringLiteral("window.frame");
inline const QString kVLLayoutConstraintConstant = QStringLiteral("layoutConstraint.constant");
inline const QString kVLLayerOpacity = QStringLiteral("layer.opacity");
inline const QString kVLLayerPosition = QStringLiteral("position"); // the name the layer animations use
inline const QString kVLViewFrameCenterRotation = QStringLiteral("view.frameCenterRotation");

// A property an animation drives: how to read the current values from an object, how to write
// new ones, and the smallest change that counts (a spring is at rest once it moves less).
class VLAnimatableProperty final
{
public:
    using ReadBlock = std::function<VLAnimationValues(QObject *object)>;
    using WriteBlock = std::function<void(QObject *object, const VLAnimationValues &values)>;
    using Initializer = std::function<void(VLAnimatableProperty &property)>;

    // A custom property: the initialiser sets the callbacks and the threshold. Every call makes a
    // new property bound to what the initialiser captured, even under a name used before.
    static std::shared_ptr<const VLAnimatableProperty> propertyWithName(const QString &name,
                                                                        const Initializer &initializer);
    // One of the standard properties above, or null for an unknown name.
    static std::shared_ptr<const VLAnimatableProperty> propertyWithName(const QString &name);
    // A Qt property (number, point, size or rectangle) of the target, read and written through the
    // meta-object system.
    static std::shared_ptr<const VLAnimatableProperty> qtProperty(const QString &name, const QByteArray &propertyName,
                                                                  double threshold);

    explicit VLAnimatableProperty(QString name);

    const QString &name() const { return m_name; }
    const ReadBlock &readBlock() const { return m_read; }
    const WriteBlock &writeBlock() const { return m_write; }
    double threshold() const { return m_threshold; }

    void setReadBlock(ReadBlock block) { m_read = std::move(block); }
    void setWriteBlock(WriteBlock block) { m_write = std::move(block); }
    void setThreshold(double threshold) { m_threshold = threshold; }

    // Both tolerate a missing callback: reading answers no values, writing does nothing.
    VLAnimationValues read(QObject *object) const;
    void write(QObject *object, const VLAnimationValues &values) const;

private:
    QString m_name;
    ReadBlock m_read;
    WriteBlock m_write;
    double m_threshold = 0.01;
};

using VLAnimatablePropertyPtr = std::shared_ptr<const VLAnimatableProperty>;
