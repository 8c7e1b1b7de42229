#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Small text utilities shared by the analytics tracker, the link builder and general callers.
// Each function takes the receiver string first; a missing result ("nil") is std::nullopt or,
// where a string is enough, a null QString.
namespace NSStringAdditions {

// Root path of the volume holding the path; nullopt when it cannot be determined.
std::optional<QString> volumePath(const QString &self);
bool isSubpathOf(const QString &self, const QString &path);
QString stringByRemovingSpaces(const QString &self);
QString stringByRemovingSpacesAndNumbers(const QString &self);
// Every character found in `characters` replaced by `substitute`.
QString stringWithSubstituteForCharactersFromSet(const QString &self, const QString &substitute,
                                                 const QString &characters);
QString trimWhiteSpace(const QString &self);
QString ellipsizeAfterNWords(const QString &self, qint32 n);
QString stripHTML(const QString &self);
// A null string counts as nil.
bool stringIsEmpty(const QString &string);
bool isNumeric(const QString &self);
int compareApplicationResourceNameByWordsWithSeparator(const QString &self, const QString &otherName,
                                                       const QString &separator);
QString stringByDeletingRealPathExtension(const QString &self);
QString stringByEncodingURLEscapes(const QString &self);
QString stringByDecodingURLEscapes(const QString &self);
QString stringByReplacingOccurrencesOfStringWithString(const QString &self, const QString &target,
                                                       const QString &replacement);
QString stringWithCapitalizedFirstLetter(const QString &self);
QString swp_stringEncodedAsURL(const QString &self);
QString stringByDividingIntoPartsWithSize(const QString &self, qint32 n);
std::optional<QString> stringByEncodingWithNumericCode(const QString &self);
QString stringByDecodingWithNumericCode(const QString &self);
QString md5Hash(const QString &self);

// A data transform (Base64 encode or decode); nullopt when it cannot run on its input.
using Transform = std::function<std::optional<QByteArray>(const QByteArray &)>;
std::optional<QByteArray> base64helperTransform(const QByteArray &data, const Transform &transform);
QString base64enc(const QByteArray &data);
// The decoded bytes; nullopt when the text is not valid Base64.
std::optional<QByteArray> base64dec(const QString &self);

QString substringWithRangeProtected(const QString &self, qsizetype location, qsizetype length);
bool isMatchedByRegex(const QString &self, const QString &pattern);
QString stringByRemovingSemicolonSeparatedString(const QString &self, const QString &item);

// Word boundaries for moving by words: the end of the first word that ends after the cursor (the
// length when none does), and the start of the last word that starts before it (0 when none
// does). Spaces and punctuation are not words.
qsizetype wb_endOfWordGivenCursor(const QString &self, qsizetype cursor);
qsizetype wb_beginningOfWordGivenCursor(const QString &self, qsizetype cursor);

} // namespace NSStringAdditions

// MD5 of the UTF-8 bytes as 32 lower-case hexadecimal digits.
QString VLMD5HexOfString(const QString &string);
// Standard Base64 of the Latin-1 bytes; empty when the text has characters outside Latin-1.
QString VLBase64EncodedString(const QString &string);
