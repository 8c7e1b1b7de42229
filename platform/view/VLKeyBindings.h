#pragma once

#include "platform/view/VLCommand.h"

#include <QString>

#include <optional>

class QKeyEvent;

namespace platform {

// What a key press means to a text-handling view: a command (Command::moveWordLeft,
// Command::cancelOperation ...), or text to insert (Command::insertText with `text`). A press
// that means neither has no command.
struct VLKeyCommand
{
    std::optional<Command> command;
    QString text;

    bool isEmpty() const { return !command; }
    bool isInsertText() const { return command == Command::insertText; }
};

// The one key-binding table of the application (Linux conventions: Ctrl+Left/Right by words,
// Home/End by lines, Ctrl+Backspace a word back, Ctrl+K/U/Y kill and yank, Ctrl+A/C/X/V).
VLKeyCommand keyCommandForEvent(const QKeyEvent &event);

// The receiving side of interpretKeyEvents: views answer the commands they know and leave the
// rest to whoever they chain to.
class VLKeyBindingClient
{
public:
    virtual ~VLKeyBindingClient() = default;
    virtual void insertText(const QString &text) = 0;
    virtual void doCommandBySelector(Command command) = 0;
};

// Sends the event's command or text to the client. Answers false when the press means
// nothing, so the caller can pass the event on.
bool interpretKeyEvents(const QKeyEvent &event, VLKeyBindingClient &client);

} // namespace platform
