#include "platform/view/ViewAlpha.h"

#include <QGraphicsOpacityEffect>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr const char *alphaKey = "_vl_alpha";
constexpr const char *ownedEffectKey = "_vl_alphaEffect";

QGraphicsOpacityEffect *ownedEffect(const QWidget *view)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(view->graphicsEffect());
    return effect && effect->property(ownedEffectKey).toBool() ? effect : nullptr;
}
} // namespace

double vlAlphaValue(const QWidget *view)
{
    if (!view)
        return 1.0;
    const QVariant stored = view->property(alphaKey);
    return stored.isValid() ? stored.toDouble() : 1.0;
}

void vlSetAlphaValue(QWidget *view, double alpha)
{
    if (!view)
        return;
    alpha = std::isnan(alpha) ? 0.0 : std::clamp(alpha, 0.0, 1.0);
    if (alpha >= 1.0) {
        view->setProperty(alphaKey, QVariant());
        if (ownedEffect(view))
            view->setGraphicsEffect(nullptr); // deletes the effect
        else
            view->update();
        return;
    }
    view->setProperty(alphaKey, alpha);
    if (QGraphicsOpacityEffect *effect = ownedEffect(view)) {
        effect->setOpacity(alpha);
    } else if (!view->graphicsEffect()) {
        auto *created = new QGraphicsOpacityEffect(view);
        created->setProperty(ownedEffectKey, true);
        created->setOpacity(alpha);
        view->setGraphicsEffect(created); // the view owns it
    } else {
        view->update();
    }
}
