#include "platform/view/VLKeyBindings.h"

#include <QKeyEvent>

namespace platform {
namespace {

std::optional<Command> movementCommand(int key, bool control, bool shift)
{
    const auto withSelection = [shift](Command plain, Command modifying) { return shift ? modifying : plain; };
    switch (key) {
    case Qt::Key_Left:
        return control ? withSelection(Command::moveWordLeft, Command::moveWordLeftAndModifySelection)
                       : withSelection(Command::moveLeft, Command::moveLeftAndModifySelection);
    case Qt::Key_Right:
        return control ? withSelection(Command::moveWordRight, Command::moveWordRightAndModifySelection)
                       : withSelection(Command::moveRight, Command::moveRightAndModifySelection);
    case Qt::Key_Up:
        return withSelection(Command::moveUp, Command::moveUpAndModifySelection);
    case Qt::Key_Down:
        return withSelection(Command::moveDown, Command::moveDownAndModifySelection);
    case Qt::Key_Home:
        return control
                   ? withSelection(Command::moveToBeginningOfDocument,
                                   Command::moveToBeginningOfDocumentAndModifySelection)
                   : withSelection(Command::moveToBeginningOfLine, Command::moveToBeginningOfLineAndModifySelection);
    case Qt::Key_End:
        return control ? withSelection(Command::moveToEndOfDocument, Command::moveToEndOfDocumentAndModifySelection)
                       : withSelection(Command::moveToEndOfLine, Command::moveToEndOfLineAndModifySelection);
    case Qt::Key_PageUp:
        return withSelection(Command::scrollPageUp, Command::pageUpAndModifySelection);
    case Qt::Key_PageDown:
        return withSelection(Command::scrollPageDown, Command::pageDownAndModifySelection);
    default:
        return std::nullopt;
    }
}

std::optional<Command> editingCommand(int key, bool control)
{
    switch (key) {
    case Qt::Key_Backspace:
        return control ? Command::deleteWordBackward : Command::deleteBackward;
    case Qt::Key_Delete:
        return control ? Command::deleteWordForward : Command::deleteForward;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Command::insertNewline;
    case Qt::Key_Tab:
        return Command::insertTab;
    case Qt::Key_Backtab:
        return Command::insertBacktab;
    case Qt::Key_Escape:
        return Command::cancelOperation;
    default:
        return std::nullopt;
    }
}

std::optional<Command> controlLetterCommand(int key)
{
    switch (key) {
    case Qt::Key_A:
        return Command::selectAll;
    case Qt::Key_C:
        return Command::copy;
    case Qt::Key_X:
        return Command::cut;
    case Qt::Key_V:
        return Command::paste;
    case Qt::Key_K:
        return Command::deleteToEndOfLine;
    case Qt::Key_U:
        return Command::deleteToBeginningOfLine;
    case Qt::Key_Y:
        return Command::yank;
    default:
        return std::nullopt;
    }
}

bool isPrintable(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace

VLKeyCommand keyCommandForEvent(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    const bool meta = modifiers & Qt::MetaModifier;
    const int key = event.key();

    if (!alt && !meta) {
        if (const std::optional<Command> command = movementCommand(key, control, shift))
            return {command, {}};
        if (const std::optional<Command> command = editingCommand(key, control))
            return {command, {}};
        if (control && !shift) {
            if (const std::optional<Command> command = controlLetterCommand(key))
                return {command, {}};
        }
    }
    // Shortcuts with Ctrl, Alt or Meta belong to menus; AltGr compositions arrive as text
    // with both Ctrl and Alt on some layouts, so those are still typed.
    const bool altGr = control && alt;
    if ((control || alt || meta) && !altGr)
        return {};
    if (isPrintable(event.text()))
        return {Command::insertText, event.text()};
    return {};
}

bool interpretKeyEvents(const QKeyEvent &event, VLKeyBindingClient &client)
{
    const VLKeyCommand command = keyCommandForEvent(event);
    if (command.isEmpty())
        return false;
    if (command.isInsertText())
        client.insertText(command.text);
    else
        client.doCommandBySelector(*command.command);
    return true;
}

} // namespace platform
