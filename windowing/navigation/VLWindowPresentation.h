#pragma once

#include "windowing/navigation/VLViewController.h"

#include <QList>

// Slides a controller's view up over a window's content with a spring, one at a time, and back
// down again. The window keeps the presented controllers until they are dismissed.

// Does nothing while any controller is presented on the window. The animated flag is not used:
// a presentation always animates.
void vlPresentViewControllerAnimated(QWidget *window, const VLViewControllerPtr &controller, bool animated);
// Does nothing for a controller that is not presented on the window.
void vlDismissViewControllerAnimated(QWidget *window, VLViewController *controller, bool animated);
QList<VLViewControllerPtr> vlPresentedViewControllers(const QWidget *window);
