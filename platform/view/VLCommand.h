#pragma once

#include <QString>

namespace platform {

// The commands the key bindings and the text menus send along the responder chain, one for each
// Cocoa action they stand for. A responder answers one by an invokable method of its name.
enum class Command {
    moveLeft,
    moveLeftAndModifySelection,
    moveRight,
    moveRightAndModifySelection,
    moveWordLeft,
    moveWordLeftAndModifySelection,
    moveWordRight,
    moveWordRightAndModifySelection,
    moveUp,
    moveUpAndModifySelection,
    moveDown,
    moveDownAndModifySelection,
    moveToBeginningOfLine,
    moveToBeginningOfLineAndModifySelection,
    moveToEndOfLine,
    moveToEndOfLineAndModifySelection,
    moveToBeginningOfParagraph,
    moveToBeginningOfParagraphAndModifySelection,
    moveToEndOfParagraph,
    moveToEndOfParagraphAndModifySelection,
    moveToBeginningOfDocument,
    moveToBeginningOfDocumentAndModifySelection,
    moveToEndOfDocument,
    moveToEndOfDocumentAndModifySelection,
    scrollPageUp,
    scrollPageDown,
    pageUpAndModifySelection,
    pageDownAndModifySelection,
    deleteBackward,
    deleteForward,
    deleteWordBackward,
    deleteWordForward,
    deleteToBeginningOfLine,
    deleteToEndOfLine,
    deleteSelection, // "delete:"
    insertNewline,
    insertTab,
    insertBacktab,
    insertText,
    cancelOperation,
    selectAll,
    copy,
    cut,
    paste,
    yank,
    showGuessPanel,
    checkSpelling,
    toggleContinuousSpellChecking,
    toggleGrammarChecking,
    toggleAutomaticSpellingCorrection,
    orderFrontSubstitutionsPanel,
    toggleSmartInsertDelete,
    toggleAutomaticQuoteSubstitution,
    toggleAutomaticDashSubstitution,
    toggleAutomaticLinkDetection,
    toggleAutomaticTextReplacement,
    uppercaseWord,
    lowercaseWord,
    capitalizeWord,
    startSpeaking,
    stopSpeaking,
};

// The command's Cocoa name ("cancelOperation:"): the name of the method that answers it, and
// its text in logs and test output.
QString commandName(Command command);

} // namespace platform
