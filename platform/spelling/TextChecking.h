#pragma once

#include <QFlags>
#include <QList>
#include <QString>

#include <functional>

namespace platform {

// The kinds of text checking. The values are those of the platform's checking types, so a set
// of them reads the same as there.
enum class TextCheckingType : quint32 {
    Spelling = 1u << 1,
    Replacement = 1u << 8,
    Correction = 1u << 9,
};
Q_DECLARE_FLAGS(TextCheckingTypes, TextCheckingType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TextCheckingTypes)

// One finding of a check: a range of the checked text in UTF-16 units and, for a correction or a
// replacement, the text that should take its place.
struct TextCheckingResult
{
    TextCheckingType resultType = TextCheckingType::Spelling;
    qsizetype location = 0;
    qsizetype length = 0;
    QString replacementString;

    qsizetype end() const { return location + length; }
    bool operator==(const TextCheckingResult &) const = default;
};

// Receives the answer to one checking request: its sequence number, the findings in the order of
// their ranges, the orthography the text was checked in (the dictionary's name, "en_US") and the
// number of words checked.
using TextCheckingHandler = std::function<void(qint64 sequenceNumber, const QList<TextCheckingResult> &results,
                                               const QString &orthography, int wordCount)>;

} // namespace platform
