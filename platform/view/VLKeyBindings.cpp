#include "platform/view/VLKeyBindings.h"

#include <QKeyEvent>

namespace platform {
namespace {

QString withSelection(const char *base, bool shift)
{
    return QString::fromLatin1(base) + (shift ? QStringLiteral("AndModifySelection:") : QStringLiteral(":"));
}

QString movementCommand(int key, bool control, bool shift)
{
    switch (key) {
    case Qt::Key_Left:
        return withSelection(control ? "moveWordLeft" : "moveLeft", shift);
    case Qt::Key_Right:
        return withSelection(control ? "moveWordRight" : "moveRight", shift);
    case Qt::Key_Up:
        return withSelection("moveUp", shift);
    case Qt::Key_Down:
        return withSelection("moveDown", shift);
    case Qt::Key_Home:
        return withSelection(control ? "moveToBeginningOfDocument" : "moveToBeginningOfLine", shift);
    case Qt::Key_End:
        return withSelection(control ? "moveToEndOfDocument" : "moveToEndOfLine", shift);
    case Qt::Key_PageUp:
        return shift ? QStringLiteral("pageUpAndModifySelection:") : QStringLiteral("scrollPageUp:");
    case Qt::Key_PageDown:
        return shift ? QStringLiteral("pageDownAndModifySelection:") : QStringLiteral("scrollPageDown:");
    default:
        return {};
    }
}

QString editingCommand(int key, bool control)
{
    switch (key) {
    case Qt::Key_Backspace:
        return control ? QStringLiteral("deleteWordBackward:") : QStringLiteral("deleteBackward:");
    case Qt::Key_Delete:
        return control ? QStringLiteral("deleteWordForward:") : QStringLiteral("deleteForward:");
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("insertNewline:");
    case Qt::Key_Tab:
        return QStringLiteral("insertTab:");
    case Qt::Key_Backtab:
        return QStringLiteral("insertBacktab:");
    case Qt::Key_Escape:
        return QStringLiteral("cancelOperation:");
    default:
        return {};
    }
}

QString controlLetterCommand(int key)
{
    switch (key) {
    case Qt::Key_A:
        return QStringLiteral("selectAll:");
    case Qt::Key_C:
        return QStringLiteral("copy:");
    case Qt::Key_X:
        return QStringLiteral("cut:");
    case Qt::Key_V:
        return QStringLiteral("paste:");
    case Qt::Key_K:
        return QStringLiteral("deleteToEndOfLine:");
    case Qt::Key_U:
        return QStringLiteral("deleteToBeginningOfLine:");
    case Qt::Key_Y:
        return QStringLiteral("yank:");
    default:
        return {};
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
        if (const QString command = movementCommand(key, control, shift); !command.isEmpty())
            return {command, {}};
        if (const QString command = editingCommand(key, control); !command.isEmpty())
            return {command, {}};
        if (control && !shift) {
            if (const QString command = controlLetterCommand(key); !command.isEmpty())
                return {command, {}};
        }
    }
    // Shortcuts with Ctrl, Alt or Meta belong to menus; AltGr compositions arrive as text
    // with both Ctrl and Alt on some layouts, so those are still typed.
    const bool altGr = control && alt;
    if ((control || alt || meta) && !altGr)
        return {};
    if (isPrintable(event.text()))
        return {VLKeyCommand::insertTextSelector(), event.text()};
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
        client.doCommandBySelector(command.selector);
    return true;
}

} // namespace platform
