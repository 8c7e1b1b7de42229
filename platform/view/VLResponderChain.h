#pragma once

#include "platform/view/VLCommand.h"

#include <QString>

class QObject;
class QWidget;

// Qt focus is the first responder. Views alone make the responder chain here (a view's explicit
// next responder, else its superview); the view-controller layer above teaches it its
// controllers and the window's key-view loop (VLResponderControllers), so that controls can
// send commands and move the focus without knowing that layer.

// Sends a command (Command::cancelOperation, Command::copy) along the responder chain that follows
// a responder: the first one with an invokable method of the command's name, taking the sender
// (QObject *) or nothing, performs it. Answers whether one did.
bool vlTryToPerform(const QObject *from, platform::Command command, QObject *sender);

// Calls the method of the selector's name on the receiver alone; false when it has none.
bool vlPerformSelector(QObject *receiver, const QString &selector, QObject *sender);

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
// window has no loop (no root view controller), so the caller can fall back on Qt's own chain.
bool vlSelectNextKeyView(QWidget *window, bool forward);

// What the view-controller layer knows of its controllers. Installed once, before the first
// controller exists; until then there are no controllers, so the chain is the views' alone.
struct VLResponderControllers
{
    // Whether the responder is a view controller; then *following is the responder after it.
    bool (*followingController)(const QObject *responder, QObject **following) = nullptr;
    // The controller whose view this is, or null.
    QObject *(*controllerOfView)(const QWidget *view) = nullptr;
    // The window's key-view loop; false when the window has none.
    bool (*selectNextKeyView)(QWidget *window, bool forward) = nullptr;
};
void vlSetResponderControllers(const VLResponderControllers &controllers);
