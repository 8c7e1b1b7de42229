#pragma once

#include "platform/spelling/TextChecking.h"

#include <QHashFunctions>
#include <QString>

// A correction the text field applied: the checker's result and the text it replaced. Two pairs
// are the same correction when they replaced the same text at the same range, whatever the
// replacement, so that a correction the user changed back is known when it is offered again.
class VLTextFieldAutoCorrectedPair final
{
public:
    VLTextFieldAutoCorrectedPair() = default;
    VLTextFieldAutoCorrectedPair(platform::TextCheckingResult correctionResult, QString sourceString);

    const platform::TextCheckingResult &correctionResult() const { return m_correctionResult; }
    void setCorrectionResult(const platform::TextCheckingResult &result) { m_correctionResult = result; }
    QString sourceString() const { return m_sourceString; }
    void setSourceString(const QString &source) { m_sourceString = source; }

    bool operator==(const VLTextFieldAutoCorrectedPair &other) const;

private:
    platform::TextCheckingResult m_correctionResult;
    QString m_sourceString;
};

size_t qHash(const VLTextFieldAutoCorrectedPair &pair, size_t seed = 0) noexcept;
