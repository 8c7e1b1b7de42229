#pragma once

#include <QString>

class QObject;

// Sends a command ("cancelOperation:", "copy:") along the responder chain that follows a
// responder (VLKeyViewLoop.h: explicit next responder, controller, superview ...): the first one
// with an invokable method of the selector's name, taking the sender (QObject *) or nothing,
// performs it. Answers whether one did.
bool vlTryToPerform(const QObject *from, const QString &selector, QObject *sender);

// Calls the method of the selector's name on the receiver alone; false when it has none.
bool vlPerformSelector(QObject *receiver, const QString &selector, QObject *sender);
