#include "controls/VLLayer.h"
#include "platform/animation/VLAnimator.h"
#include "platform/animation/VLBasicAnimation.h"

#include <QPainter>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

// Answers a fixed action for one key and nothing for the others.
class FixedDelegate : public VLLayerDelegate
{
public:
    QString key;
    VLLayerAction action;
    std::optional<VLLayerAction> actionForLayerForKey(VLLayer *, const QString &asked) override
    {
        if (asked != key)
            return std::nullopt;
        return action;
    }
};

std::shared_ptr<VLBasicAnimation> linear(double duration)
{
    auto animation = VLBasicAnimation::animation();
    animation->setDuration(duration);
    animation->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
    return animation;
}

} // namespace

class TestLayer : public QObject
{
    Q_OBJECT

private slots:
    void opacityActions()
    {
        VLManualClock clock;
        VLLayer layer;

        // Implicit: a quarter second, linear.
        layer.setOpacity(0.0);
        QCOMPARE(layer.opacity(), 0.0);
        QCOMPARE(layer.presentationOpacity(), 1.0);
        clock.advance(0.125);
        QVERIFY(qAbs(layer.presentationOpacity() - 0.5) < 1e-6);
        clock.advance(0.125);
        QCOMPARE(layer.presentationOpacity(), 0.0);

        // Inside a disabled-actions scope, at once.
        {
            VLLayerActionsDisabled noActions;
            layer.setOpacity(1.0);
        }
        QCOMPARE(layer.presentationOpacity(), 1.0);

        // A stored action runs every time (each run gets its own animation).
        layer.setActionForKey(u"opacity"_s, linear(1.0));
        for (int run = 0; run < 2; ++run) {
            const double target = run == 0 ? 0.0 : 1.0;
            layer.setOpacity(target);
            clock.advance(0.5);
            QVERIFY2(qAbs(layer.presentationOpacity() - 0.5) < 1e-6, qPrintable(QString::number(run)));
            clock.advance(0.5);
            QCOMPARE(layer.presentationOpacity(), target);
        }

        // The delegate's answer comes first; a null action switches the animation off.
        FixedDelegate delegate;
        delegate.key = u"opacity"_s;
        delegate.action = nullptr;
        layer.setDelegate(&delegate);
        layer.setOpacity(0.3);
        QCOMPARE(layer.presentationOpacity(), 0.3);
        layer.setDelegate(nullptr);
        layer.setActionForKey(u"opacity"_s, nullptr);
        layer.setOpacity(0.7);
        QCOMPARE(layer.presentationOpacity(), 0.7);
    }

    void explicitAnimationDrivesTheOpacityProperty()
    {
        VLManualClock clock;
        VLLayer layer;
        auto fade = VLBasicAnimation::animationWithPropertyNamed(kVLLayerOpacity);
        fade->setToValue(0.0);
        fade->setDuration(0.2);
        fade->setTimingFunction(VLTimingFunction::functionWithName(VLTimingFunctionName::Linear));
        VLAnimator::addAnimationForKey(&layer, fade, u"fade"_s);
        clock.advance(0.1);
        QVERIFY(qAbs(layer.opacity() - 0.5) < 1e-6);
        QCOMPARE(layer.presentationOpacity(), layer.opacity()); // no implicit animation behind it
        clock.advance(0.1);
        QCOMPARE(layer.presentationOpacity(), 0.0);
    }

    void pathsOfOtherShapesChangeAtOnce()
    {
        VLManualClock clock;
        VLShapeLayer layer;
        VLPath line;
        line.moveTo({0, 0}).lineTo({10, 0});
        layer.setPath(line);
        QCOMPARE(layer.presentationPath(), line); // from nothing: no morph

        VLPath moved;
        moved.moveTo({0, 10}).lineTo({10, 10});
        layer.setPath(moved);
        QCOMPARE(layer.presentationPath(), line);
        clock.advance(0.125);
        QCOMPARE(layer.presentationPath().elements.at(1).point, QPointF(10, 5));

        VLPath triangle;
        triangle.moveTo({0, 0}).lineTo({10, 0}).lineTo({5, 5});
        layer.setPath(triangle);
        QCOMPARE(layer.presentationPath(), triangle);
        QVERIFY(!VLAnimator::animationForKey(&layer, u"path"_s));
        clock.advance(0.25);
        QCOMPARE(layer.presentationPath(), triangle); // the interrupted morph does not come back
    }

    void opacityAppliesToTheLayerAsAWhole()
    {
        QWidget host;
        host.resize(40, 20);
        VLLayer root;
        root.setFrame(QRectF(0, 0, 40, 20));
        VLLayer *left = new VLLayer;
        left->setFrame(QRectF(0, 0, 25, 20));
        left->setBackgroundColor(Qt::black);
        VLLayer *right = new VLLayer;
        right->setFrame(QRectF(15, 0, 25, 20));
        right->setBackgroundColor(Qt::black);
        root.addSublayer(left);
        root.addSublayer(right);
        root.setOpacityWithoutAction(0.5);

        QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            root.renderInContext(painter);
        }
        const int alone = qGray(image.pixel(5, 10));
        const int overlap = qGray(image.pixel(20, 10));
        QVERIFY2(qAbs(alone - 127) <= 2, qPrintable(QString::number(alone)));
        QCOMPARE(overlap, alone);
    }

    void layerDestroyedWhileAnimating()
    {
        VLManualClock clock;
        auto *layer = new VLLayer;
        layer->setOpacity(0.0);
        clock.advance(0.1);
        delete layer;
        clock.advance(0.2); // nothing left to write to
        QCOMPARE(VLAnimator::instance()->runningAnimationCount(), 0);
    }
};

QTEST_MAIN(TestLayer)
#include "tst_layer.moc"
