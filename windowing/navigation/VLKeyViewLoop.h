#pragma once

class QObject;
class QWidget;
class VLViewController;

// Qt focus is the first responder. The key-view loop of a window is the focus chain of its root
// controller's key-view roots (the top screen's view, then its overlay view); tabbing past the
// last key view returns to the root controller's firstValidResponder, Backtab past the first goes
// to the last. While a controller is presented over the window (VLWindowPresentation.h), the
// loop is that controller's.

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

// The responder that hears what a view does not handle (a screen controller behind its overlay
// root view, for instance); weak. Null when unset: then the Qt parent's chain applies.
void vlSetNextResponder(QWidget *view, QObject *responder);
QObject *vlNextResponder(const QWidget *view);

// The responder chain that commands a view does not handle travel along: a view's explicit next
// responder when it has one, else its controller when it is a controller's view, else its
// superview; a controller hands on to its view's superview. Null after the window.
QObject *vlResponderFollowing(const QObject *responder);

// Gives the window's focus to the responder; null (or the window) ends editing in the window.
void vlMakeFirstResponder(QWidget *window, QWidget *responder);

// Moves the focus to the next (or previous) key view of the window's loop. Answers false when the
// window has no root view controller, so the caller can fall back on Qt's own focus chain.
bool vlSelectNextKeyView(QWidget *window, bool forward);
