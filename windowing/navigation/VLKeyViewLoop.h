#pragma once

#include "platform/view/VLResponderChain.h"

class QObject;
class QWidget;
class VLViewController;

// Qt focus is the first responder; the responder chain lives below, in platform/view, and this
// layer teaches it its controllers and the key-view loop. The key-view loop of a window is the
// focus chain of its root controller's key-view roots (the top screen's view, then its overlay
// view); tabbing past the last key view returns to the root controller's firstValidResponder,
// Backtab past the first goes to the last. While a controller is presented over the window
// (VLWindowPresentation.h), the loop is that controller's.

// The window's root view controller (weak): the one whose firstValidResponder ends the loop.
void vlSetRootViewController(QWidget *window, VLViewController *controller);
VLViewController *vlRootViewController(const QWidget *window);

// Full keyboard access: Tab reaches every control, not only text fields. A control that should
// be a key view only then takes Qt::TabFocus; text fields take Qt::StrongFocus.
bool vlFullKeyboardAccess();

// A controller's own view accepts the focus (and is a key view) unless its controller has a valid
// initialFirstResponder, so that the focus goes to that control instead.
bool vlAcceptsFirstResponder(const QWidget *view);
bool vlCanBecomeKeyView(const QWidget *view);

// Hands the responder chain the controllers and the key-view loop (vlSelectNextKeyView). The
// first controller made does it, once: before that no controller exists that the chain could miss.
void vlTeachResponderChainControllers();
