#include "controls/VLTextFieldRenderer.h"

#include "controls/VLTextField.h"
#include "engine/files/NSStringAdditions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHash>

#include <algorithm>

// The editing commands of the key bindings, the kill buffer and mouse selection.

namespace {

std::optional<QString> &killBuffer()
{
    static std::optional<QString> buffer;
    return buffer;
}

using Command = void (VLTextFieldRenderer::*)();

// The editing commands the renderer answers, by the selector the key bindings send. Vertical
// moves act on the one line; paragraph and document forms are the line's.
const QHash<QString, Command> &commandTable()
{
    using R = VLTextFieldRenderer;
    static const QHash<QString, Command> table = {
        {QStringLiteral("moveUp:"), &R::moveToBeginningOfLine},
        {QStringLiteral("moveDown:"), &R::moveToEndOfLine},
        {QStringLiteral("moveUpAndModifySelection:"), &R::moveToBeginningOfLineAndModifySelection},
        {QStringLiteral("moveDownAndModifySelection:"), &R::moveToEndOfLineAndModifySelection},
        {QStringLiteral("moveRight:"), &R::moveRight},
        {QStringLiteral("moveLeft:"), &R::moveLeft},
        {QStringLiteral("moveRightAndModifySelection:"), &R::moveRightAndModifySelection},
        {QStringLiteral("moveLeftAndModifySelection:"), &R::moveLeftAndModifySelection},
        {QStringLiteral("moveWordRight:"), &R::moveWordRight},
        {QStringLiteral("moveWordLeft:"), &R::moveWordLeft},
        {QStringLiteral("moveWordRightAndModifySelection:"), &R::moveWordRightAndModifySelection},
        {QStringLiteral("moveWordLeftAndModifySelection:"), &R::moveWordLeftAndModifySelection},
        {QStringLiteral("moveToBeginningOfLine:"), &R::moveToBeginningOfLine},
        {QStringLiteral("moveToBeginningOfDocument:"), &R::moveToBeginningOfLine},
        {QStringLiteral("moveToBeginningOfParagraph:"), &R::moveToBeginningOfLine},
        {QStringLiteral("moveToEndOfLine:"), &R::moveToEndOfLine},
        {QStringLiteral("moveToEndOfDocument:"), &R::moveToEndOfLine},
        {QStringLiteral("moveToEndOfParagraph:"), &R::moveToEndOfLine},
        {QStringLiteral("moveToBeginningOfLineAndModifySelection:"), &R::moveToBeginningOfLineAndModifySelection},
        {QStringLiteral("moveToBeginningOfParagraphAndModifySelection:"), &R::moveToBeginningOfLineAndModifySelection},
        {QStringLiteral("moveToBeginningOfDocumentAndModifySelection:"), &R::moveToBeginningOfLineAndModifySelection},
        {QStringLiteral("moveToEndOfLineAndModifySelection:"), &R::moveToEndOfLineAndModifySelection},
        {QStringLiteral("moveToEndOfParagraphAndModifySelection:"), &R::moveToEndOfLineAndModifySelection},
        {QStringLiteral("moveToEndOfDocumentAndModifySelection:"), &R::moveToEndOfLineAndModifySelection},
        {QStringLiteral("insertNewline:"), &R::insertNewline},
        {QStringLiteral("insertTab:"), &R::insertTab},
        {QStringLiteral("insertBacktab:"), &R::insertBacktab},
        {QStringLiteral("deleteBackward:"), &R::deleteBackward},
        {QStringLiteral("delete:"), &R::deleteBackward},
        {QStringLiteral("deleteForward:"), &R::deleteForward},
        {QStringLiteral("deleteToBeginningOfLine:"), &R::deleteToBeginningOfLine},
        {QStringLiteral("deleteToEndOfLine:"), &R::deleteToEndOfLine},
        {QStringLiteral("deleteWordForward:"), &R::deleteWordForward},
        {QStringLiteral("deleteWordBackward:"), &R::deleteWordBackward},
        {QStringLiteral("yank:"), &R::yank},
        {QStringLiteral("selectAll:"), &R::selectAll},
        {QStringLiteral("paste:"), &R::paste},
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

bool VLTextFieldRenderer::respondsToCommand(const QString &selector) const
{
    return commandTable().contains(selector) || selector == QStringLiteral("copy:")
           || selector == QStringLiteral("cut:");
}

bool VLTextFieldRenderer::performCommand(const QString &selector)
{
    if (selector == QStringLiteral("copy:"))
        return copy();
    if (selector == QStringLiteral("cut:"))
        return cut();
    const auto found = commandTable().constFind(selector);
    if (found == commandTable().constEnd())
        return false;
    (this->*found.value())();
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
