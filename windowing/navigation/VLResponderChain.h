#pragma once

#include "platform/view/VLCommand.h"

#include <QString>

class QObject;

// Sends a command (Command::cancelOperation, Command::copy) along the responder chain that follows
// a responder (VLKeyViewLoop.h: explicit next responder, controller, superview ...): the first one
// with an invokable method of the command's name, taking the sender (QObject *) or nothing,
// performs it. Answers whether one did.
bool vlTryToPerform(const QObject *from, platform::Command command, QObject *sender);

// Calls the method of the selector's name on the receiver alone; false when it has none.
bool vlPerformSelector(QObject *receiver, const QString &selector, QObject *sender);
