#pragma once

#include <QList>
#include <QObject>
#include <QWidget>

class VLRecordedAlphas;
class VLTimingFunction;
class VLViewController;

// Small pieces the content transitions share.
namespace vltransition {

// The controller's view (loaded on demand), or null without a controller.
QWidget *viewOf(VLViewController *controller);
// The titled screen's still views; none for other screens.
QList<QWidget *> nonanimatableViewsOf(VLViewController *controller);
QList<QObject *> asObjects(const QList<QWidget *> &views);
// The views not already fully transparent. A group fade writes one value to all its views, so a
// hidden view in it would show during the fade; it is at the fade's end value anyway.
QList<QWidget *> visibleViews(const QList<QWidget *> &views);
// Fades each recorded view that was not transparent back in to its recorded alpha, from
// beginTime (0: at once).
void fadeInToRecordedAlphas(const VLRecordedAlphas &alphas, const VLTimingFunction &timing, double duration,
                            double beginTime, const QString &key);

} // namespace vltransition
