#pragma once

#include "platform/view/VLKeyBindings.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

#include <functional>

class SWAnalyticsTracker;
class VLNavigationController;
class VLViewController;

// What every flow screen shares: the tracker it reports to and a root view that hands the key
// presses no control took to the screen's commands.
namespace VLFlowScreen {

// The default tracker unless a test has pointed the flow screens at another one.
SWAnalyticsTracker &tracker();
void setTracker(SWAnalyticsTracker *tracker);

// A label of the flow screens: DejaVu Sans at the pixel size, centred, plain text.
QLabel *makeLabel(QWidget *parent, const QString &objectName, int pixelSize, bool bold = false);

// Runs a change of screen on the screen's navigation controller once it can navigate: a job or a
// transfer may end while the transition that showed the screen still runs, and the change must
// not be lost then. Dropped when the screen goes first.
void navigateWhenPossible(VLViewController *screen, std::function<void(VLNavigationController *)> change);

} // namespace VLFlowScreen
