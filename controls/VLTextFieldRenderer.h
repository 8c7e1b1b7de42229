#pragma once

#include "platform/view/VLCommand.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <optional>

class QPainter;
class VLTextField;
class VLTextFieldLayer;

// A range of UTF-16 units, as the input methods and the field's commands count them. A location
// of notFound means "no range" (no marked text, no replacement).
struct VLTextRange
{
    static constexpr qsizetype notFound = -1;

    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool isNotFound() const { return location == notFound; }
    bool operator==(const VLTextRange &) const = default;
};

// Text with formats over parts of it; the field's default attributes lie under all of it.
struct VLAttributedText
{
    QString string;
    QList<QTextLayout::FormatRange> formats;
};

// The attributes typed text gets: the field's font, colour and alignment, and the colour of the
// underline that marks text an input method is composing.
struct VLTextFieldAttributes
{
    QFont font;
    QColor foregroundColor = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft;
    QColor underlineColor = Qt::blue;
};

// The text of the last deleteToEndOfLine of any field, which yank inserts in any field.
class VLTextFieldKillBuffer final
{
public:
    VLTextFieldKillBuffer() = delete;
    static const std::optional<QString> &contents();
    static void setContents(const QString &text);
    // For tests: the buffer as at start-up.
    static void clear();
};

// The text model and drawing of VLTextField: the text, the selection with the granularity of the
// click that made it, the marked text of an input method, the secure (bullet) display, every
// editing command of the key bindings, mouse selection, and the one laid-out line with its
// hit-testing and drawing. Owned by its field; main thread only.
//
// Coordinates are the text layer's: x from the start of the line, y from the top of `bounds`, in
// which the line is centred vertically. Moves and deletions go by grapheme clusters, so a
// surrogate pair or a combining sequence is never cut in half.
class VLTextFieldRenderer final
{
public:
    enum class Granularity { Character = 0, Word = 1, Everything = 2 };

    explicit VLTextFieldRenderer(VLTextField *textField);
    ~VLTextFieldRenderer();
    Q_DISABLE_COPY_MOVE(VLTextFieldRenderer)

    bool isSecure() const { return m_secure; }
    void setSecure(bool secure);

    // Replaces the text, drops marked text and puts the caret after the last character.
    void setString(const QString &string);
    QString string() const { return m_store.string; }
    // Replaces the store and nothing else (no selection change, no layout pass).
    void setAttributedString(const VLAttributedText &text);
    const VLAttributedText &attributedString() const { return m_store; }
    // What is drawn: one bullet per grapheme cluster while secure, else the store.
    VLAttributedText drawingAttributedString() const;

    const VLTextFieldAttributes &defaultAttributes() const { return m_defaultAttributes; }
    void setDefaultAttributes(const VLTextFieldAttributes &attributes);

    QString selectedString() const;
    VLTextRange selectedRange() const;
    // A plain selection (granularity character), without a layout pass.
    void setSelectedRange(VLTextRange range);
    qsizetype selectionStart() const { return m_selectionStart; }
    qsizetype selectionEnd() const { return m_selectionEnd; }
    Granularity selectionGranularity() const { return m_granularity; }

    QColor selectionColor() const { return m_selectionColor; }
    void setSelectionColor(const QColor &color) { m_selectionColor = color; }

    QRectF bounds() const { return m_bounds; }
    void setBounds(const QRectF &bounds);

    VLTextFieldLayer *textLayer() const { return m_textLayer; }
    void setTextLayer(VLTextFieldLayer *layer) { m_textLayer = layer; }

    void resetLine();
    void resetFakeLine();

    // Text input (typing, the input method's commit).
    void insertText(const QString &text);
    void insertTextReplacementRange(const QString &text, VLTextRange replacementRange);
    void deleteCharactersInRange(VLTextRange range);
    // Replaces a range of the store and nothing else: no selection change, no layout pass.
    void replaceCharactersInRange(VLTextRange range, const QString &text);
    // Composition: the text replaces the target range and becomes the marked text; the selected
    // range is relative to it. formats are the input method's, relative to the text.
    void setMarkedTextSelectedRangeReplacementRange(const QString &text, VLTextRange selectedRange,
                                                    VLTextRange replacementRange,
                                                    const QList<QTextLayout::FormatRange> &formats = {});
    // Ends composition, keeping the text; cuts the text back to the field's maximum.
    void unmarkText();
    bool hasMarkedText() const { return !m_markedRange.isNotFound(); }
    VLTextRange markedRange() const { return m_markedRange; }
    // The range is cut to the text; actualRange receives the cut range.
    VLAttributedText attributedSubstringForProposedRangeActualRange(VLTextRange range, VLTextRange *actualRange) const;
    QRectF firstRectForCharacterRangeActualRange(VLTextRange range, VLTextRange *actualRange) const;
    qsizetype characterIndexForPoint(QPointF point) const;

    // Caret after the last character, character granularity, a layout pass.
    void resetSelection();
    // Ends every change: the input method learns the geometry changed, the line is rebuilt and
    // the field runs its layout pass.
    void textDidChange();

    QRectF firstRectForCharacterRange(VLTextRange range) const;
    qsizetype stringIndexForPoint(double x) const;
    VLTextRange wordRangeAtIndex(qsizetype index) const;
    // (0, 0) for an empty text.
    QSizeF textSize() const;
    QRectF selectionFrame() const;
    QRectF cursorFrame() const;
    double cursorWidth() const { return 1.0; }
    qsizetype clampToValidRange(qsizetype index) const;

    // The editing commands of the key bindings, by their selector ("moveWordLeft:").
    bool respondsToCommand(platform::Command command) const;
    // False when the renderer does not answer the selector.
    bool performCommand(platform::Command command);

    void moveRight();
    void moveLeft();
    void moveRightAndModifySelection();
    void moveLeftAndModifySelection();
    void moveWordRight();
    void moveWordLeft();
    void moveWordRightAndModifySelection();
    void moveWordLeftAndModifySelection();
    void moveToBeginningOfLine();
    void moveToEndOfLine();
    void moveToBeginningOfLineAndModifySelection();
    void moveToEndOfLineAndModifySelection();
    void insertNewline();
    void insertTab();
    void insertBacktab();
    void deleteBackward();
    void deleteForward();
    void deleteToBeginningOfLine();
    void deleteToEndOfLine();
    void deleteWordForward();
    void deleteWordBackward();
    void yank();
    void selectAll();
    // Answer false when nothing was copied (an empty selection), so the command can go on.
    bool copy();
    bool cut();
    void paste();

    // Mouse selection; positions in text-layer coordinates.
    void mouseDown(QPointF position, int clickCount, bool extend);
    void mouseDragged(QPointF position);
    void mouseUp();

    void drawInContext(QPainter &painter, const QRectF &frame) const;

private:
    // Every grapheme-cluster boundary of the store, 0 and its length included.
    QList<qsizetype> graphemeBoundaries() const;
    // The text word moves look at: never the words of a secure text.
    QString wordText() const;
    // Grapheme-cluster neighbours of an index.
    qsizetype nextCharacterBoundary(qsizetype index) const;
    qsizetype previousCharacterBoundary(qsizetype index) const;
    // Replaces a range of the store, moving or cutting the formats over it.
    void replaceInStore(VLTextRange range, const QString &text);
    VLTextRange targetRange(VLTextRange replacementRange) const;
    qsizetype maximumLength() const;
    VLTextRange clampedRange(VLTextRange range) const;
    void setCaret(qsizetype index);

    struct Line;
    const Line &textLine() const;
    const Line &fakeTextLine() const;
    std::unique_ptr<Line> makeLine(const VLAttributedText &text) const;
    QRectF rangeRectInLine(const Line &line, VLTextRange range) const;
    double lineTop(const Line &line) const;

    VLTextField *m_textField;
    VLTextFieldLayer *m_textLayer = nullptr;
    bool m_secure = false;
    Granularity m_granularity = Granularity::Character;
    QColor m_selectionColor;
    VLTextFieldAttributes m_defaultAttributes;
    qsizetype m_selectionStart = 0;
    qsizetype m_selectionEnd = 0;
    mutable std::unique_ptr<Line> m_textLine;
    mutable std::unique_ptr<Line> m_fakeTextLine;
    VLAttributedText m_store;
    VLTextRange m_markedRange{VLTextRange::notFound, 0};
    QRectF m_bounds;
};
