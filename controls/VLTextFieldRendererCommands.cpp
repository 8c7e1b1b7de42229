#include "controls/VLTextFieldRenderer.h"

#include "controls/VLTextField.h"
#include "engine/files/NSStringAdditions.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <unordered_map>

// The editing commands of the key bindings, the kill buffer and mouse selection.

namespace {

std::optional<QString> &killBuffer()
{
    static std::optional<QString> buffer;
    return buffer;
}

using EditingMethod = void (VLTextFieldRenderer::*)();

// The editing commands the renderer answers, by the command the key bindings send. Vertical
// moves act on the one line; paragraph and document forms are the line's.
const std::unordered_map<platform::Command, EditingMethod> &commandTable()
{
    using R = VLTextFieldRenderer;
    using C = platform::Command;
    static const std::unordered_map<platform::Command, EditingMethod> table = {
        {C::moveUp, &R::moveToBeginningOfLine},
        {C::moveDown, &R::moveToEndOfLine},
        {C::moveUpAndModifySelection, &R::moveToBeginningOfLineAndModifySelection},
        {C::moveDownAndModifySelection, &R::moveToEndOfLineAndModifySelection},
        {C::moveRight, &R::moveRight},
        {C::moveLeft, &R::moveLeft},
        {C::moveRightAndModifySelection, &R::moveRightAndModifySelection},
        {C::moveLeftAndModifySelection, &R::moveLeftAndModifySelection},
        {C::moveWordRight, &R::moveWordRight},
        {C::moveWordLeft, &R::moveWordLeft},
        {C::moveWordRightAndModifySelection, &R::moveWordRightAndModifySelection},
        {C::moveWordLeftAndModifySelection, &R::moveWordLeftAndModifySelection},
        {C::moveToBeginningOfLine, &R::moveToBeginningOfLine},
        {C::moveToBeginningOfDocument, &R::moveToBeginningOfLine},
        {C::moveToBeginningOfParagraph, &R::moveToBeginningOfLine},
        {C::moveToEndOfLine, &R::moveToEndOfLine},
        {C::moveToEndOfDocument, &R::moveToEndOfLine},
        {C::moveToEndOfParagraph, &R::moveToEndOfLine},
        {C::moveToBeginningOfLineAndModifySelection, &R::moveToBeginningOfLineAndModifySelection},
        {C::moveToBeginningOfParagraphAndModifySelection, &R::moveToBeginningOfLineAndModifySelection},
        {C::moveToBeginningOfDocumentAndModifySelection, &R::moveToBeginningOfLineAndModifySelection},
        {C::moveToEndOfLineAndModifySelection, &R::moveToEndOfLineAndModifySelection},
        {C::moveToEndOfParagraphAndModifySelection, &R::moveToEndOfLineAndModifySelection},
        {C::moveToEndOfDocumentAndModifySelection, &R::moveToEndOfLineAndModifySelection},
        {C::insertNewline, &R::insertNewline},
        {C::insertTab, &R::insertTab},
        {C::insertBacktab, &R::insertBacktab},
        {C::deleteBackward, &R::deleteBackward},
        {C::deleteSelection, &R::deleteBackward},
        {C::deleteForward, &R::deleteForward},
        {C::deleteToBeginningOfLine, &R::deleteToBeginningOfLine},
        {C::deleteToEndOfLine, &R::deleteToEndOfLine},
        {C::deleteWordForward, &R::deleteWordForward},
        {C::deleteWordBackward, &R::deleteWordBackward},
        {C::yank, &R::yank},
        {C::selectAll, &R::selectAll},
        {C::paste, &R::paste},
    };
    return table;
}

} // namespace

const std::optional<QString> &VLTextFieldKillBuffer::contents()
{
    return killBuffer();
}

void VLTextFieldKillBuffer::setContents(const QString &text)
{
    killBuffer() = text;
}

void VLTextFieldKillBuffer::clear()
{
    killBuffer().reset();
}

bool VLTextFieldRenderer::respondsToCommand(platform::Command command) const
{
    return commandTable().contains(command) || command == platform::Command::copy || command == platform::Command::cut;
}

bool VLTextFieldRenderer::performCommand(platform::Command command)
{
    if (command == platform::Command::copy)
        return copy();
    if (command == platform::Command::cut)
        return cut();
    const auto found = commandTable().find(command);
    if (found == commandTable().end())
        return false;
    (this->*found->second)();
    return true;
}

void VLTextFieldRenderer::moveRight()
{
    const qsizetype hi = std::max(m_selectionStart, m_selectionEnd);
    setCaret(std::min(m_store.string.size(), m_selectionStart == m_selectionEnd ? nextCharacterBoundary(hi) : hi));
    textDidChange();
}

void VLTextFieldRenderer::moveLeft()
{
    const qsizetype lo = std::min(m_selectionStart, m_selectionEnd);
    setCaret(std::max<qsizetype>(0, m_selectionStart == m_selectionEnd ? previousCharacterBoundary(lo) : lo));
    textDidChange();
}

void VLTextFieldRenderer::moveRightAndModifySelection()
{
    m_selectionEnd = std::min(nextCharacterBoundary(m_selectionEnd), m_store.string.size());
    textDidChange();
}

void VLTextFieldRenderer::moveLeftAndModifySelection()
{
    m_selectionEnd = std::max<qsizetype>(previousCharacterBoundary(m_selectionEnd), 0);
    textDidChange();
}

void VLTextFieldRenderer::moveWordRight()
{
    setCaret(NSStringAdditions::wb_endOfWordGivenCursor(wordText(), std::max(m_selectionStart, m_selectionEnd)));
    textDidChange();
}

void VLTextFieldRenderer::moveWordLeft()
{
    setCaret(NSStringAdditions::wb_beginningOfWordGivenCursor(wordText(), std::min(m_selectionStart, m_selectionEnd)));
    textDidChange();
}

void VLTextFieldRenderer::moveWordRightAndModifySelection()
{
    m_selectionEnd = NSStringAdditions::wb_endOfWordGivenCursor(wordText(), m_selectionEnd);
    textDidChange();
}

void VLTextFieldRenderer::moveWordLeftAndModifySelection()
{
    m_selectionEnd = NSStringAdditions::wb_beginningOfWordGivenCursor(wordText(), m_selectionEnd);
    textDidChange();
}

void VLTextFieldRenderer::moveToBeginningOfLine()
{
    setCaret(0);
    textDidChange();
}

void VLTextFieldRenderer::moveToEndOfLine()
{
    setCaret(m_store.string.size());
    textDidChange();
}

void VLTextFieldRenderer::moveToBeginningOfLineAndModifySelection()
{
    m_selectionEnd = 0;
    textDidChange();
}

void VLTextFieldRenderer::moveToEndOfLineAndModifySelection()
{
    m_selectionEnd = m_store.string.size();
    textDidChange();
}

void VLTextFieldRenderer::insertNewline()
{
    if (m_textField)
        m_textField->textDidEndEditing();
}

void VLTextFieldRenderer::insertTab()
{
    if (m_textField)
        m_textField->textDidMoveToNextKey();
}

void VLTextFieldRenderer::insertBacktab()
{
    if (m_textField)
        m_textField->textDidMoveToPrevKey();
}

void VLTextFieldRenderer::deleteBackward()
{
    const VLTextRange range = selectedRange();
    if (range == VLTextRange{0, 0})
        return;
    if (range.length > 0) {
        deleteCharactersInRange(range);
        return;
    }
    const qsizetype previous = previousCharacterBoundary(range.location);
    deleteCharactersInRange({previous, range.location - previous});
}

void VLTextFieldRenderer::deleteForward()
{
    const VLTextRange range = selectedRange();
    if (range.length == 0 && range.location >= m_store.string.size())
        return;
    if (range.length > 0) {
        deleteCharactersInRange(range);
        return;
    }
    deleteCharactersInRange({range.location, nextCharacterBoundary(range.location) - range.location});
}

void VLTextFieldRenderer::deleteToBeginningOfLine()
{
    if (m_selectionStart == m_selectionEnd)
        deleteCharactersInRange({0, m_selectionStart});
    else
        deleteBackward();
}

void VLTextFieldRenderer::deleteToEndOfLine()
{
    const VLTextRange selection = selectedRange();
    const VLTextRange range = selection.length > 0
                                  ? selection
                                  : VLTextRange{selection.location, m_store.string.size() - selection.location};
    // A secure field's text never reaches the kill buffer, where any field could yank it.
    if (!m_secure)
        VLTextFieldKillBuffer::setContents(m_store.string.mid(range.location, range.length));
    deleteCharactersInRange(range);
}

void VLTextFieldRenderer::deleteWordForward()
{
}

void VLTextFieldRenderer::deleteWordBackward()
{
    if (m_selectionStart == m_selectionEnd)
        m_selectionEnd = NSStringAdditions::wb_beginningOfWordGivenCursor(wordText(), m_selectionEnd);
    deleteBackward();
}

void VLTextFieldRenderer::yank()
{
    if (const std::optional<QString> &text = VLTextFieldKillBuffer::contents())
        insertText(*text);
}

void VLTextFieldRenderer::selectAll()
{
    m_selectionStart = 0;
    m_selectionEnd = m_store.string.size();
    m_granularity = Granularity::Character;
    textDidChange();
}

bool VLTextFieldRenderer::copy()
{
    const QString selected = selectedString();
    if (m_secure || selected.isEmpty())
        return false;
    QGuiApplication::clipboard()->setText(selected, QClipboard::Clipboard);
    return true;
}

bool VLTextFieldRenderer::cut()
{
    // Nothing copied, nothing deleted: a cut with an empty selection must not eat a character.
    if (!copy())
        return false;
    deleteBackward();
    return true;
}

void VLTextFieldRenderer::paste()
{
    QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    for (QChar &c : text) {
        if (c.isSpace())
            c = QLatin1Char(' ');
    }
    insertText(text);
}

void VLTextFieldRenderer::mouseDown(QPointF position, int clickCount, bool extend)
{
    m_granularity = clickCount == 2 ? Granularity::Word
                                    : (clickCount == 3 ? Granularity::Everything : Granularity::Character);
    const qsizetype index = stringIndexForPoint(position.x());
    if (!extend) {
        setCaret(index);
    } else if (index < m_selectionStart) {
        m_selectionStart = index;
    } else {
        m_selectionEnd = index;
    }
    if (m_textField && !m_textField->isFirstResponder())
        m_textField->becomeFirstResponderFromMouse();
    textDidChange();
}

void VLTextFieldRenderer::mouseDragged(QPointF position)
{
    m_selectionEnd = stringIndexForPoint(position.x());
    textDidChange();
}

void VLTextFieldRenderer::mouseUp()
{
    const VLTextRange range = selectedRange();
    const bool backwards = m_selectionEnd < m_selectionStart;
    m_selectionStart = backwards ? range.end() : range.location;
    m_selectionEnd = backwards ? range.location : range.end();
    m_granularity = Granularity::Character;
    textDidChange();
}
