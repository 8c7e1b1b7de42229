// The spelling side of VLTextField: checks after every layout pass, misspelling marks, automatic
// corrections, and the context menu with guesses, the change-back item and the editing items.

#include "controls/VLTextField.h"

#include "controls/VLTextFieldLayer.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/localization/Localization.h"
#include "platform/spelling/SpellChecker.h"

#include <QContextMenuEvent>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>

using platform::TextCheckingResult;
using platform::TextCheckingType;
using platform::TextCheckingTypes;

namespace {

// Marks our misspelling formats, so that removing them leaves an input method's formats alone.
constexpr int misspellingProperty = QTextFormat::UserProperty + 0x5c;

// The menu titles, looked up by their English text.
[[maybe_unused]] constexpr const char *menuTexts[] = {
    QT_TRANSLATE_NOOP("Localizable", "Change Back to \"%@\""),
    QT_TRANSLATE_NOOP("Localizable", "No guesses"),
    QT_TRANSLATE_NOOP("Localizable", "Cut"),
    QT_TRANSLATE_NOOP("Localizable", "Copy"),
    QT_TRANSLATE_NOOP("Localizable", "Paste"),
    QT_TRANSLATE_NOOP("Localizable", "Delete"),
    QT_TRANSLATE_NOOP("Localizable", "Select All"),
    QT_TRANSLATE_NOOP("Localizable", "Spelling and Grammar"),
    QT_TRANSLATE_NOOP("Localizable", "Show Spelling and Grammar"),
    QT_TRANSLATE_NOOP("Localizable", "Check Document Now"),
    QT_TRANSLATE_NOOP("Localizable", "Check Spelling While Typing"),
    QT_TRANSLATE_NOOP("Localizable", "Check Grammar With Spelling"),
    QT_TRANSLATE_NOOP("Localizable", "Correct Spelling Automatically"),
    QT_TRANSLATE_NOOP("Localizable", "Substitutions"),
    QT_TRANSLATE_NOOP("Localizable", "Show Substitutions"),
    QT_TRANSLATE_NOOP("Localizable", "Smart Copy/Paste"),
    QT_TRANSLATE_NOOP("Localizable", "Smart Quotes"),
    QT_TRANSLATE_NOOP("Localizable", "Smart Dashes"),
    QT_TRANSLATE_NOOP("Localizable", "Smart Links"),
    QT_TRANSLATE_NOOP("Localizable", "Text Replacement"),
    QT_TRANSLATE_NOOP("Localizable", "Transformations"),
    QT_TRANSLATE_NOOP("Localizable", "Make Upper Case"),
    QT_TRANSLATE_NOOP("Localizable", "Make Lower Case"),
    QT_TRANSLATE_NOOP("Localizable", "Capitalize"),
    QT_TRANSLATE_NOOP("Localizable", "Speech"),
    QT_TRANSLATE_NOOP("Localizable", "Start Speaking"),
    QT_TRANSLATE_NOOP("Localizable", "Stop Speaking"),
};

struct MenuItem
{
    const char *title; // nullptr: a separator
    platform::Command command;
};

struct Submenu
{
    const char *title;
    std::initializer_list<MenuItem> items;
};

using C = platform::Command;

const Submenu standardSubmenus[] = {
    {"Spelling and Grammar",
     {{"Show Spelling and Grammar", C::showGuessPanel},
      {"Check Document Now", C::checkSpelling},
      {nullptr, {}},
      {"Check Spelling While Typing", C::toggleContinuousSpellChecking},
      {"Check Grammar With Spelling", C::toggleGrammarChecking},
      {"Correct Spelling Automatically", C::toggleAutomaticSpellingCorrection}}},
    {"Substitutions",
     {{"Show Substitutions", C::orderFrontSubstitutionsPanel},
      {nullptr, {}},
      {"Smart Copy/Paste", C::toggleSmartInsertDelete},
      {"Smart Quotes", C::toggleAutomaticQuoteSubstitution},
      {"Smart Dashes", C::toggleAutomaticDashSubstitution},
      {"Smart Links", C::toggleAutomaticLinkDetection},
      {"Text Replacement", C::toggleAutomaticTextReplacement}}},
    {"Transformations",
     {{"Make Upper Case", C::uppercaseWord}, {"Make Lower Case", C::lowercaseWord}, {"Capitalize", C::capitalizeWord}}},
    {"Speech", {{"Start Speaking", C::startSpeaking}, {"Stop Speaking", C::stopSpeaking}}},
};

platform::Command commandOf(const QAction *item)
{
    return item->data().value<platform::Command>();
}

VLTextRange rangeOf(const TextCheckingResult &result)
{
    return {result.location, result.length};
}

bool contains(VLTextRange range, qsizetype index)
{
    return range.location <= index && index <= range.end();
}

// The text of a range, or nothing when the range does not lie inside the text.
std::optional<QString> textInRange(const QString &text, VLTextRange range)
{
    if (range.location < 0 || range.length < 0 || range.end() > text.size())
        return std::nullopt;
    return text.mid(range.location, range.length);
}

// The word the caret is in or at either end of; (0, 0) when there is none.
VLTextRange caretWordRange(const QString &text, qsizetype caret)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.toEnd();
    qsizetype wordEnd = -1;
    for (qsizetype at = finder.position(); at >= 0; at = finder.toPreviousBoundary()) {
        const QTextBoundaryFinder::BoundaryReasons reasons = finder.boundaryReasons();
        if ((reasons & QTextBoundaryFinder::StartOfItem) && wordEnd >= 0) {
            if (at <= caret && caret <= wordEnd)
                return {at, wordEnd - at};
            wordEnd = -1;
        }
        if (reasons & QTextBoundaryFinder::EndOfItem)
            wordEnd = at;
    }
    return {0, 0};
}

// The selection after a range was replaced by a text of another length: it moves with the text
// when the range lies before it, stays when the range lies after it, and becomes a caret after
// the new text when the two overlap.
VLTextRange selectionAfterReplacing(VLTextRange selection, VLTextRange range, qsizetype newLength)
{
    if (range.end() <= selection.location)
        return {selection.location + newLength - range.length, selection.length};
    if (range.location >= selection.end())
        return selection;
    return {range.location + newLength, 0};
}

// The formats without our misspelling marks over a range (those outside it stay).
QList<QTextLayout::FormatRange> withoutMisspellingMarks(const QList<QTextLayout::FormatRange> &formats,
                                                        VLTextRange range)
{
    QList<QTextLayout::FormatRange> kept;
    for (const QTextLayout::FormatRange &format : formats) {
        const qsizetype start = format.start;
        const qsizetype end = format.start + format.length;
        if (!format.format.hasProperty(misspellingProperty) || end <= range.location || start >= range.end()) {
            kept.append(format);
            continue;
        }
        if (start < range.location)
            kept.append({int(start), int(range.location - start), format.format});
        if (end > range.end())
            kept.append({int(range.end()), int(end - range.end()), format.format});
    }
    return kept;
}

QTextLayout::FormatRange misspellingMark(VLTextRange range)
{
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::DotLine);
    format.setUnderlineColor(Qt::red);
    format.setProperty(misspellingProperty, true);
    return {int(range.location), int(range.length), format};
}

QString describe(const TextCheckingResult &result)
{
    return QStringLiteral("{%1, %2} \"%3\"").arg(result.location).arg(result.length).arg(result.replacementString);
}

} // namespace

void VLTextField::checkSpelling()
{
    // A password shown with Show is still a password: once secure, never checked.
    if (isSecure())
        m_heldSecureText = true;
    if (m_heldSecureText || !m_spellCheckEnabled)
        return;
    platform::SpellChecker &checker = platform::SpellChecker::shared();
    TextCheckingTypes types = TextCheckingType::Spelling;
    if (checker.isAutomaticTextReplacementEnabled())
        types |= TextCheckingType::Replacement;
    if (checker.isAutomaticSpellingCorrectionEnabled())
        types |= TextCheckingType::Correction;
    const QString text = m_renderer->string();
    const QPointer<VLTextField> self(this);
    m_spellCheckToken = checker.requestChecking(
        text, 0, text.size(), types,
        [self, text](qint64 number, const QList<TextCheckingResult> &results, const QString &, int) {
            // The selection and the store are read and changed on the main thread only.
            platform::dispatchToMain([self, text, number, results] {
                if (self)
                    self->applySpellCheckAnswer(number, results, text);
            });
        });
}

void VLTextField::applySpellCheckAnswer(qint64 sequenceNumber, const QList<TextCheckingResult> &results,
                                        const QString &checkedText)
{
    if (sequenceNumber != m_spellCheckToken)
        return;
    m_answeredSpellCheckToken = sequenceNumber;
    if (isSecure() || m_heldSecureText || !m_spellCheckEnabled)
        return;
    const VLTextRange selection = m_renderer->selectedRange();
    if (results == m_spellCheckResults && checkedText == m_spellCheckedText && selection == m_spellCheckedSelection)
        return;

    const QString original = m_renderer->string();
    VLAttributedText store = m_renderer->attributedString();
    store.formats = withoutMisspellingMarks(store.formats, {0, original.size()});
    m_renderer->setAttributedString(store);

    const bool caret = selection.length == 0;
    const VLTextRange caretWord = caret ? caretWordRange(original, selection.location) : VLTextRange{};
    // Right after an apostrophe the word may go on ("don'" of "don't"): nothing is shown yet.
    const bool afterApostrophe = caret && selection.location > 0 && selection.location <= original.size()
                                 && original.at(selection.location - 1) == u'\'';
    const auto addMark = [this](VLTextRange range) {
        VLAttributedText marked = m_renderer->attributedString();
        marked.formats = withoutMisspellingMarks(marked.formats, range);
        marked.formats.append(misspellingMark(range));
        m_renderer->setAttributedString(marked);
    };
    VLTextRange newSelection = selection;
    qsizetype shift = 0; // what corrections so far added to the text before the next result
    bool changed = false;
    for (const TextCheckingResult &result : afterApostrophe ? QList<TextCheckingResult>() : results) {
        const VLTextRange range{result.location + shift, result.length};
        if (caret && range == caretWord)
            continue;
        // Only a result whose words still stand where they were checked is shown or applied.
        const std::optional<QString> checkedWord = textInRange(checkedText, rangeOf(result));
        const std::optional<QString> currentWord = textInRange(m_renderer->string(), range);
        const bool fits = checkedWord && currentWord && *checkedWord == *currentWord;
        switch (result.resultType) {
        case TextCheckingType::Spelling:
            if (fits)
                addMark(range);
            break;
        case TextCheckingType::Correction:
        case TextCheckingType::Replacement: {
            if (!fits) {
                platform::log(QStringLiteral("Autocorrection result that's out of range: %1").arg(describe(result)));
                break;
            }
            // Corrections follow typing: with a selection (the whole text, selected as the field
            // gained focus, as when a file name is to be renamed) words are only marked, so a text
            // the user has not typed in is never changed behind their back. A composition in
            // progress keeps its place; nothing is replaced under it.
            if (!caret || m_renderer->hasMarkedText()) {
                if (!caret)
                    addMark(range);
                break;
            }
            const VLTextFieldAutoCorrectedPair pair(result, *currentWord);
            if (m_autoCorrectedResults.contains(pair))
                break;
            store = m_renderer->attributedString();
            store.formats = withoutMisspellingMarks(store.formats, range);
            m_renderer->setAttributedString(store);
            m_autoCorrectedResults.insert(pair, *currentWord);
            m_renderer->replaceCharactersInRange(range, result.replacementString);
            newSelection = selectionAfterReplacing(newSelection, range, result.replacementString.size());
            shift += result.replacementString.size() - result.length;
            changed = true;
            break;
        }
        }
    }

    m_spellCheckResults = results;
    m_spellCheckedText = checkedText;
    m_spellCheckedSelection = selection;
    if (changed) {
        m_renderer->setSelectedRange(newSelection);
        // A full pass: the delegate hears of the new text and the new text is checked.
        m_renderer->textDidChange();
        return;
    }
    m_renderer->resetLine();
    if (m_textLayer)
        m_textLayer->setNeedsDisplay();
    update();
}

void VLTextField::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_contextMenu)
        m_contextMenu->close();
    std::unique_ptr<QMenu> menu = menuForEvent(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_contextMenu = menu.release();
    m_contextMenu->popup(event->globalPos());
    event->accept();
}

std::unique_ptr<QMenu> VLTextField::menuForEvent(QPointF position)
{
    const qsizetype index = m_renderer->stringIndexForPoint(textLayerPoint(position).x());
    const QString text = m_renderer->string();
    m_selectedTextCheckingResult.reset();
    std::optional<VLTextFieldAutoCorrectedPair> selectedPair;
    const bool checked = !isSecure() && !m_heldSecureText;
    if (checked) {
        for (const TextCheckingResult &result : std::as_const(m_spellCheckResults)) {
            const std::optional<QString> word = textInRange(text, rangeOf(result));
            if (contains(rangeOf(result), index) && word && word == textInRange(m_spellCheckedText, rangeOf(result))) {
                m_selectedTextCheckingResult = result;
                m_selectedCheckedText = *word;
                break;
            }
        }
    }
    if (checked && !m_selectedTextCheckingResult) {
        // A correction can be changed back while its replacement still stands where it was put.
        for (auto it = m_autoCorrectedResults.cbegin(); it != m_autoCorrectedResults.cend(); ++it) {
            TextCheckingResult corrected = it.key().correctionResult();
            corrected.length = corrected.replacementString.size();
            if (contains(rangeOf(corrected), index)
                && textInRange(text, rangeOf(corrected)) == corrected.replacementString) {
                m_selectedTextCheckingResult = corrected;
                m_selectedCheckedText = corrected.replacementString;
                selectedPair = it.key();
                break;
            }
        }
    }

    auto menu = std::make_unique<QMenu>(this);
    if (m_selectedTextCheckingResult && checked) {
        if (selectedPair && m_selectedTextCheckingResult->resultType == TextCheckingType::Correction) {
            const QString source = selectedPair->sourceString();
            const QString title = platform::formatWithObjects(platform::localizedString("Change Back to \"%@\""),
                                                              {source});
            connect(menu->addAction(title), &QAction::triggered, this,
                    [this, source] { replaceAutoCorrectedWord(source); });
            menu->addSeparator();
        }
        const QStringList guesses = platform::SpellChecker::shared().guessesForWordRange(
            m_selectedTextCheckingResult->location, m_selectedTextCheckingResult->length, text);
        for (const QString &guess : guesses)
            connect(menu->addAction(guess), &QAction::triggered, this, [this, guess] { replaceMisspelledWord(guess); });
        if (guesses.isEmpty())
            menu->addAction(platform::localizedString("No guesses"))->setEnabled(false);
        menu->addSeparator();
    }
    standardMenuWithMenu(*menu);
    return menu;
}

void VLTextField::standardMenuWithMenu(QMenu &menu)
{
    const auto addItem = [this](QMenu &to, const char *title, platform::Command command) {
        QAction *item = to.addAction(platform::localizedString(title));
        item->setData(QVariant::fromValue(command));
        if (command == C::toggleAutomaticSpellingCorrection) {
            item->setCheckable(true);
            item->setChecked(platform::SpellChecker::shared().isAutomaticSpellingCorrectionEnabled());
            connect(item, &QAction::triggered, this,
                    [](bool on) { platform::SpellChecker::shared().setAutomaticSpellingCorrectionEnabled(on); });
        } else {
            connect(item, &QAction::triggered, this, [this, command] { doCommandBySelector(command); });
        }
        item->setEnabled(validateMenuItem(item));
    };
    addItem(menu, "Cut", C::cut);
    addItem(menu, "Copy", C::copy);
    addItem(menu, "Paste", C::paste);
    if (isSecure()) {
        addItem(menu, "Delete", C::deleteSelection);
        addItem(menu, "Select All", C::selectAll);
        return;
    }
    menu.addSeparator();
    for (const Submenu &submenu : standardSubmenus) {
        QMenu *items = menu.addMenu(platform::localizedString(submenu.title));
        for (const MenuItem &item : submenu.items) {
            if (item.title)
                addItem(*items, item.title, item.command);
            else
                items->addSeparator();
        }
    }
}

bool VLTextField::validateMenuItem(const QAction *item) const
{
    const platform::Command command = commandOf(item);
    if (command == C::deleteSelection || command == C::cut) {
        if (m_renderer->selectedRange().length == 0)
            return false;
    }
    return command == C::toggleAutomaticSpellingCorrection || respondsToCommand(command);
}

void VLTextField::replaceMisspelledWord(const QString &guess)
{
    replaceSelectedCheckingResult(guess);
}

void VLTextField::replaceAutoCorrectedWord(const QString &sourceString)
{
    // The correction stays remembered, so the same correction is not applied here again.
    replaceSelectedCheckingResult(sourceString);
}

void VLTextField::replaceSelectedCheckingResult(const QString &replacement)
{
    const std::optional<TextCheckingResult> selected = std::exchange(m_selectedTextCheckingResult, std::nullopt);
    // The text may have changed while the menu was open; a word no longer there is left alone.
    if (!selected || isSecure() || textInRange(m_renderer->string(), rangeOf(*selected)) != m_selectedCheckedText)
        return;
    const VLTextRange range = rangeOf(*selected);
    VLAttributedText store = m_renderer->attributedString();
    store.formats = withoutMisspellingMarks(store.formats, range);
    m_renderer->setAttributedString(store);
    m_renderer->replaceCharactersInRange(range, replacement);
    m_renderer->resetLine();
    m_renderer->setSelectedRange(selectionAfterReplacing(m_renderer->selectedRange(), range, replacement.size()));
    m_renderer->textDidChange();
}
