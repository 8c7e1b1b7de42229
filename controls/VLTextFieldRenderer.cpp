#include "controls/VLTextFieldRenderer.h"

#include "controls/VLTextField.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace {

constexpr QChar kBullet(0x2022);

// Formats after replacing [a, b) by n units: what lay before stays, what lay after moves, what
// lay inside goes (the new text takes the default attributes).
QList<QTextLayout::FormatRange> formatsAfterReplacing(const QList<QTextLayout::FormatRange> &formats, qsizetype a,
                                                      qsizetype b, qsizetype n)
{
    const qsizetype delta = n - (b - a);
    QList<QTextLayout::FormatRange> result;
    for (const QTextLayout::FormatRange &range : formats) {
        const qsizetype s = range.start;
        const qsizetype e = range.start + range.length;
        if (s < a) {
            QTextLayout::FormatRange before = range;
            before.length = int(std::min(e, a) - s);
            result.append(before);
        }
        if (e > b) {
            QTextLayout::FormatRange after = range;
            after.start = int(std::max(s, b) + delta);
            after.length = int(e + delta - after.start);
            result.append(after);
        }
    }
    return result;
}

} // namespace

// One laid-out line of text and its typographic measures.
struct VLTextFieldRenderer::Line
{
    QTextLayout layout;
    QTextLine line;
    // Length of the stored text the line shows.
    qsizetype length = 0;
    // Where each drawn unit starts in the stored text, plus its end, when they differ (one bullet
    // stands for a whole grapheme cluster); empty when the line is the stored text itself.
    QList<qsizetype> storeOffsets;

    // The line's cursor for a stored index; an index inside a cluster goes to the cluster's start.
    int cursorForIndex(qsizetype index) const
    {
        if (storeOffsets.isEmpty())
            return int(index);
        const auto after = std::upper_bound(storeOffsets.cbegin(), storeOffsets.cend(), index);
        return int(std::max<qsizetype>(0, after - storeOffsets.cbegin() - 1));
    }
    qsizetype indexForCursor(int cursor) const
    {
        if (storeOffsets.isEmpty())
            return cursor;
        return storeOffsets.value(std::clamp<qsizetype>(cursor, 0, storeOffsets.size() - 1), length);
    }

    double width() const { return line.isValid() ? line.naturalTextWidth() : 0.0; }
    double height() const { return line.isValid() ? line.ascent() + line.descent() + line.leading() : 0.0; }
};

VLTextFieldRenderer::VLTextFieldRenderer(VLTextField *textField) : m_textField(textField)
{
    QColor selection = QGuiApplication::palette().color(QPalette::Highlight);
    selection.setAlphaF(0.35f);
    m_selectionColor = selection;
}

VLTextFieldRenderer::~VLTextFieldRenderer() = default;

void VLTextFieldRenderer::setSecure(bool secure)
{
    m_secure = secure;
    textDidChange();
}

void VLTextFieldRenderer::setString(const QString &string)
{
    m_store = {string, {}};
    unmarkText();
    setSelectedRange({m_store.string.size(), 0});
    textDidChange();
}

void VLTextFieldRenderer::setAttributedString(const VLAttributedText &text)
{
    m_store = text;
}

VLAttributedText VLTextFieldRenderer::drawingAttributedString() const
{
    if (m_secure)
        return {QString(graphemeBoundaries().size() - 1, kBullet), {}};
    return m_store;
}

QList<qsizetype> VLTextFieldRenderer::graphemeBoundaries() const
{
    QList<qsizetype> boundaries{0};
    const QString &text = m_store.string;
    if (text.isEmpty())
        return boundaries;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary())
        boundaries.append(next);
    if (boundaries.last() != text.size())
        boundaries.append(text.size());
    return boundaries;
}

QString VLTextFieldRenderer::wordText() const
{
    // Bullets are no words: a secure text is one run with the stored text's length.
    return m_secure ? QString(m_store.string.size(), kBullet) : m_store.string;
}

void VLTextFieldRenderer::setDefaultAttributes(const VLTextFieldAttributes &attributes)
{
    m_defaultAttributes = attributes;
    resetLine();
    resetFakeLine();
}

QString VLTextFieldRenderer::selectedString() const
{
    const VLTextRange range = selectedRange();
    return m_store.string.mid(range.location, range.length);
}

VLTextRange VLTextFieldRenderer::selectedRange() const
{
    const qsizetype lo = std::min(m_selectionStart, m_selectionEnd);
    const qsizetype hi = std::max(m_selectionStart, m_selectionEnd);
    switch (m_granularity) {
    case Granularity::Character:
        return {lo, hi - lo};
    case Granularity::Word: {
        const VLTextRange a = wordRangeAtIndex(lo);
        const VLTextRange b = wordRangeAtIndex(hi);
        return {a.location, b.end() - a.location};
    }
    case Granularity::Everything:
        return {0, m_store.string.size()};
    }
    return {0, 0};
}

void VLTextFieldRenderer::setSelectedRange(VLTextRange range)
{
    m_granularity = Granularity::Character;
    m_selectionStart = range.location;
    m_selectionEnd = range.end();
}

void VLTextFieldRenderer::setBounds(const QRectF &bounds)
{
    m_bounds = bounds;
}

void VLTextFieldRenderer::resetLine()
{
    m_textLine.reset();
}

void VLTextFieldRenderer::resetFakeLine()
{
    m_fakeTextLine.reset();
}

std::unique_ptr<VLTextFieldRenderer::Line> VLTextFieldRenderer::makeLine(const VLAttributedText &text) const
{
    auto line = std::make_unique<Line>();
    line->length = text.string.size();
    line->layout.setText(text.string);
    line->layout.setFont(m_defaultAttributes.font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    line->layout.setTextOption(option);
    line->layout.setFormats(text.formats);
    line->layout.setCacheEnabled(true);
    line->layout.beginLayout();
    line->line = line->layout.createLine();
    if (line->line.isValid())
        line->line.setPosition(QPointF(0, 0));
    line->layout.endLayout();
    return line;
}

const VLTextFieldRenderer::Line &VLTextFieldRenderer::textLine() const
{
    if (!m_textLine) {
        VLAttributedText text = drawingAttributedString();
        if (hasMarkedText() && !m_secure) {
            // Composed text shows underlined, unless the input method styled it itself.
            const bool styled = std::any_of(text.formats.cbegin(), text.formats.cend(), [this](const auto &range) {
                return range.start < m_markedRange.end() && range.start + range.length > m_markedRange.location;
            });
            if (!styled) {
                QTextLayout::FormatRange underline;
                underline.start = int(m_markedRange.location);
                underline.length = int(m_markedRange.length);
                underline.format.setFontUnderline(true);
                underline.format.setUnderlineColor(m_defaultAttributes.underlineColor);
                text.formats.append(underline);
            }
        }
        m_textLine = makeLine(text);
        m_textLine->length = m_store.string.size();
        if (m_secure)
            m_textLine->storeOffsets = graphemeBoundaries();
    }
    return *m_textLine;
}

const VLTextFieldRenderer::Line &VLTextFieldRenderer::fakeTextLine() const
{
    if (!m_fakeTextLine)
        m_fakeTextLine = makeLine({QStringLiteral("M"), {}});
    return *m_fakeTextLine;
}

qsizetype VLTextFieldRenderer::maximumLength() const
{
    return m_textField ? m_textField->length() : 0;
}

VLTextRange VLTextFieldRenderer::clampedRange(VLTextRange range) const
{
    const qsizetype length = m_store.string.size();
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    const qsizetype end = std::clamp<qsizetype>(range.location + std::max<qsizetype>(range.length, 0), start, length);
    return {start, end - start};
}

VLTextRange VLTextFieldRenderer::targetRange(VLTextRange replacementRange) const
{
    // Ranges from input methods are cut to the text rather than trusted.
    if (!replacementRange.isNotFound())
        return clampedRange(replacementRange);
    if (hasMarkedText())
        return clampedRange(m_markedRange);
    return clampedRange(selectedRange());
}

void VLTextFieldRenderer::replaceInStore(VLTextRange range, const QString &text)
{
    m_store.formats = formatsAfterReplacing(m_store.formats, range.location, range.end(), text.size());
    m_store.string.replace(range.location, range.length, text);
}

void VLTextFieldRenderer::replaceCharactersInRange(VLTextRange range, const QString &text)
{
    replaceInStore(clampedRange(range), text);
}

void VLTextFieldRenderer::setCaret(qsizetype index)
{
    m_selectionStart = index;
    m_selectionEnd = index;
}

qsizetype VLTextFieldRenderer::nextCharacterBoundary(qsizetype index) const
{
    const QString &text = m_store.string;
    if (index >= text.size())
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(std::max<qsizetype>(index, 0));
    const qsizetype next = finder.toNextBoundary();
    return next < 0 ? text.size() : next;
}

qsizetype VLTextFieldRenderer::previousCharacterBoundary(qsizetype index) const
{
    const QString &text = m_store.string;
    if (index <= 0)
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(std::min(index, text.size()));
    const qsizetype previous = finder.toPreviousBoundary();
    return previous < 0 ? 0 : previous;
}

void VLTextFieldRenderer::insertText(const QString &text)
{
    insertTextReplacementRange(text, {VLTextRange::notFound, 0});
}

void VLTextFieldRenderer::insertTextReplacementRange(const QString &text, VLTextRange replacementRange)
{
    if (text.isNull())
        return;
    const qsizetype maximum = maximumLength();
    if (!hasMarkedText() && maximum != 0 && m_store.string.size() >= maximum)
        return;
    const VLTextRange target = targetRange(replacementRange);
    replaceInStore(target, text);
    setSelectedRange({target.location + text.size(), 0});
    unmarkText();
    textDidChange();
}

void VLTextFieldRenderer::deleteCharactersInRange(VLTextRange range)
{
    if (range.length == 0)
        return;
    const VLTextRange cut = clampedRange(range);
    const qsizetype end = cut.end();
    VLTextRange &m = m_markedRange;
    if (hasMarkedText()) {
        if (m.location <= end && end < m.end()) {
            m = {cut.location, m.length - (end - m.location)};
        } else if (m.location > cut.location) {
            // Marked text after the deletion moves left with it; what is left of marked text the
            // deletion reached into ends at its old end.
            const qsizetype newStart = std::max(cut.location, m.location - cut.length);
            m = {newStart, std::max<qsizetype>(0, m.end() - cut.length - newStart)};
        }
    }
    if (m.length == 0)
        unmarkText();
    replaceInStore(cut, QString());
    setSelectedRange({cut.location, 0});
    textDidChange();
}

void VLTextFieldRenderer::setMarkedTextSelectedRangeReplacementRange(const QString &text, VLTextRange selectedRange,
                                                                     VLTextRange replacementRange,
                                                                     const QList<QTextLayout::FormatRange> &formats)
{
    const VLTextRange target = targetRange(replacementRange);
    if (!text.isEmpty()) {
        replaceInStore(target, text);
        m_markedRange = {target.location, text.size()};
        for (QTextLayout::FormatRange range : formats) {
            range.start += int(target.location);
            m_store.formats.append(range);
        }
    } else {
        replaceInStore(target, QString());
        unmarkText();
    }
    const VLTextRange selection = clampedRange({target.location + selectedRange.location, selectedRange.length});
    setSelectedRange(selection);
    textDidChange();
}

void VLTextFieldRenderer::unmarkText()
{
    const bool wasMarked = hasMarkedText();
    if (wasMarked) {
        // The composition's look goes with it.
        m_store.formats = formatsAfterReplacing(m_store.formats, m_markedRange.location, m_markedRange.end(),
                                                m_markedRange.length);
    }
    m_markedRange = {VLTextRange::notFound, 0};
    if (wasMarked && m_textField)
        m_textField->discardMarkedText();

    const qsizetype maximum = maximumLength();
    if (maximum != 0 && m_store.string.size() > maximum) {
        // Cut at a character boundary, so a surrogate pair at the limit goes whole.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, m_store.string);
        finder.setPosition(maximum);
        const qsizetype cut = finder.isAtBoundary() ? maximum : std::max<qsizetype>(0, finder.toPreviousBoundary());
        replaceInStore({cut, m_store.string.size() - cut}, QString());
        const VLTextRange selection = selectedRange();
        if (selection.end() > cut)
            setSelectedRange({cut, 0});
    }
}

VLAttributedText VLTextFieldRenderer::attributedSubstringForProposedRangeActualRange(VLTextRange range,
                                                                                     VLTextRange *actualRange) const
{
    const VLTextRange cut = clampedRange(range);
    if (actualRange)
        *actualRange = cut;
    VLAttributedText result{m_store.string.mid(cut.location, cut.length), {}};
    for (QTextLayout::FormatRange format : m_store.formats) {
        const qsizetype s = std::max<qsizetype>(format.start, cut.location);
        const qsizetype e = std::min<qsizetype>(format.start + format.length, cut.end());
        if (s < e) {
            format.start = int(s - cut.location);
            format.length = int(e - s);
            result.formats.append(format);
        }
    }
    return result;
}

QRectF VLTextFieldRenderer::firstRectForCharacterRangeActualRange(VLTextRange range, VLTextRange *actualRange) const
{
    const VLTextRange cut = clampedRange(range);
    if (actualRange)
        *actualRange = cut;
    return firstRectForCharacterRange(cut);
}

qsizetype VLTextFieldRenderer::characterIndexForPoint(QPointF point) const
{
    return stringIndexForPoint(point.x());
}

void VLTextFieldRenderer::resetSelection()
{
    setCaret(m_store.string.size());
    m_granularity = Granularity::Character;
    textDidChange();
}

void VLTextFieldRenderer::textDidChange()
{
    if (m_textField)
        m_textField->invalidateCharacterCoordinates();
    resetLine();
    if (m_textField)
        m_textField->textDidChange();
}

double VLTextFieldRenderer::lineTop(const Line &line) const
{
    return std::max(0.0, (m_bounds.height() - line.height()) * 0.5);
}

QRectF VLTextFieldRenderer::rangeRectInLine(const Line &line, VLTextRange range) const
{
    if (!line.line.isValid() || range.location < 0 || range.location > line.length)
        return {};
    const qsizetype end = std::min(range.end(), line.length);
    const double x = line.line.cursorToX(line.cursorForIndex(range.location));
    const double right = line.line.cursorToX(line.cursorForIndex(end));
    return {x, lineTop(line), right - x, line.height()};
}

QRectF VLTextFieldRenderer::firstRectForCharacterRange(VLTextRange range) const
{
    return rangeRectInLine(textLine(), range);
}

qsizetype VLTextFieldRenderer::stringIndexForPoint(double x) const
{
    const Line &line = textLine();
    if (line.length == 0 || !line.line.isValid())
        return 0;
    return line.indexForCursor(line.line.xToCursor(x, QTextLine::CursorBetweenCharacters));
}

VLTextRange VLTextFieldRenderer::wordRangeAtIndex(qsizetype index) const
{
    const qsizetype at = clampToValidRange(index);
    if (at < 0)
        return {0, 0};
    // A secure field is one run: a double click selects all of it and gives away nothing of the
    // password's words.
    if (m_secure)
        return {0, m_store.string.size()};
    const QString &text = m_store.string;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        if (at < next)
            return {start, next - start};
        start = next;
    }
    return {start, text.size() - start};
}

QSizeF VLTextFieldRenderer::textSize() const
{
    const Line &line = textLine();
    if (line.length == 0)
        return {0, 0};
    return {std::ceil(line.width()), std::ceil(line.height())};
}

QRectF VLTextFieldRenderer::selectionFrame() const
{
    const QRectF range = m_store.string.isEmpty() ? rangeRectInLine(fakeTextLine(), {0, 0})
                                                  : rangeRectInLine(textLine(), selectedRange());
    return VLRectIntegral(range);
}

QRectF VLTextFieldRenderer::cursorFrame() const
{
    return VLRectWithWidth(selectionFrame(), cursorWidth());
}

qsizetype VLTextFieldRenderer::clampToValidRange(qsizetype index) const
{
    if (index < 0)
        return 0;
    return std::min(index, m_store.string.size() - 1);
}

void VLTextFieldRenderer::drawInContext(QPainter &painter, const QRectF &frame) const
{
    Q_UNUSED(frame)
    painter.save();
    const Line &line = textLine();
    const VLTextRange selection = selectedRange();
    if (selection.length > 0) {
        const QRectF range = rangeRectInLine(line, selection).adjusted(0.0, -1.0, 0.0, 1.0);
        painter.fillRect(range, m_selectionColor);
    }
    painter.setPen(m_defaultAttributes.foregroundColor);
    line.layout.draw(&painter, QPointF(0.0, lineTop(line)));
    painter.restore();
}
