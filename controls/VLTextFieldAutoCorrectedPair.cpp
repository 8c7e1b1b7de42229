#include "controls/VLTextFieldAutoCorrectedPair.h"

VLTextFieldAutoCorrectedPair::VLTextFieldAutoCorrectedPair(platform::TextCheckingResult correctionResult,
                                                           QString sourceString)
    : m_correctionResult(std::move(correctionResult))
    , m_sourceString(std::move(sourceString))
{
}

bool VLTextFieldAutoCorrectedPair::operator==(const VLTextFieldAutoCorrectedPair &other) const
{
    return m_sourceString == other.m_sourceString && m_correctionResult.location == other.m_correctionResult.location
           && m_correctionResult.length == other.m_correctionResult.length;
}

size_t qHash(const VLTextFieldAutoCorrectedPair &pair, size_t seed) noexcept
{
    const platform::TextCheckingResult &result = pair.correctionResult();
    return qHash(pair.sourceString(), seed) ^ size_t(result.location) ^ size_t(result.length);
}
