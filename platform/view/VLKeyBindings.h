#pragma once

#include <QString>

class QKeyEvent;

namespace platform {

// What a key press means to a text-handling view: a command named like the Cocoa action it
// stands for ("moveWordLeft:", "deleteToEndOfLine:", "cancelOperation:" ...), or text to insert
// ("insertText:" with `text`). A press that means neither has an empty selector.
struct VLKeyCommand
{
    QString selector;
    QString text;

    bool isEmpty() const { return selector.isEmpty(); }
    bool isInsertText() const { return selector == insertTextSelector(); }
    static QString insertTextSelector() { return QStringLiteral("insertText:"); }
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
    virtual void doCommandBySelector(const QString &selector) = 0;
};

// Sends the event's command or text to the client. Answers false when the press means
// nothing, so the caller can pass the event on.
bool interpretKeyEvents(const QKeyEvent &event, VLKeyBindingClient &client);

} // namespace platform
