#include "engine/files/NSStringAdditions.h"

#include "platform/core/Log.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <QUrl>

namespace NSStringAdditions {

namespace {

QString removingCharacters(const QString &self, QStringView characters)
{
    QString result;
    result.reserve(self.size());
    for (const QChar c : self) {
        if (!characters.contains(c))
            result.append(c);
    }
    return result;
}

// Unreserved characters stay; everything else, reserved delimiters included, is escaped from UTF-8.
QString percentEncoded(const QString &self)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(self));
}

} // namespace

std::optional<QString> volumePath(const QString &self)
{
    if (self.isEmpty())
        return std::nullopt;
    const QStorageInfo storage(self);
    if (!storage.isValid() || storage.rootPath().isEmpty())
        return std::nullopt;
    return storage.rootPath();
}

bool isSubpathOf(const QString &self, const QString &path)
{
    if (self.size() < path.size() || !self.contains(path))
        return false;
    if (path == u"/")
        return true;
    return QString(self + u'/').contains(QString(path + u'/'));
}

QString stringByRemovingSpaces(const QString &self)
{
    return removingCharacters(self, u" -_,.:;\n");
}

QString stringByRemovingSpacesAndNumbers(const QString &self)
{
    return removingCharacters(self, u" -_,.:;\n0123456789");
}

QString stringWithSubstituteForCharactersFromSet(const QString &self, const QString &substitute,
                                                 const QString &characters)
{
    bool any = false;
    QString result;
    for (const QChar c : self) {
        if (characters.contains(c)) {
            result.append(substitute);
            any = true;
        } else {
            result.append(c);
        }
    }
    return any ? result : self;
}

QString trimWhiteSpace(const QString &self)
{
    return self.trimmed();
}

QString ellipsizeAfterNWords(const QString &self, qint32 n)
{
    const QStringList words = self.split(u' ', Qt::SkipEmptyParts);
    if (n < 0 || words.size() < n)
        return self;
    return words.mid(0, n).join(u' ');
}

QString stripHTML(const QString &self)
{
    // Nested tags count as one; a ">" that closes no tag is ordinary text.
    QString result;
    int depth = 0;
    for (const QChar c : self) {
        if (c == u'<') {
            if (depth == 0)
                result.append(u' ');
            ++depth;
        } else if (c == u'>' && depth > 0) {
            --depth;
        } else if (depth == 0) {
            result.append(c);
        }
    }
    return result;
}

bool stringIsEmpty(const QString &string)
{
    return string.isNull() || string.isEmpty() || trimWhiteSpace(string).isEmpty();
}

bool isNumeric(const QString &self)
{
    return std::all_of(self.begin(), self.end(), [](QChar c) { return c.isDigit(); });
}

int compareApplicationResourceNameByWordsWithSeparator(const QString &self, const QString &otherName,
                                                       const QString &separator)
{
    // The receiver goes into the pattern unescaped: names are compared as patterns on purpose.
    const QRegularExpression numbered(QStringLiteral("(%1)( )*[0-9]+").arg(self),
                                      QRegularExpression::CaseInsensitiveOption);
    if (numbered.isValid() && numbered.match(otherName).hasMatch())
        return -1;
    const QStringList words = self.toLower().split(separator);
    const QStringList otherWords = otherName.toLower().split(separator);
    for (const QString &word : words) {
        if (!otherWords.contains(word))
            return -1;
    }
    return 0;
}

QString stringByDeletingRealPathExtension(const QString &self)
{
    const QFileInfo info(self);
    if (info.isDir())
        return self;
    const QString suffix = info.suffix();
    const qsizetype slash = self.lastIndexOf(u'/');
    if (suffix.isEmpty() || self.size() - suffix.size() - 1 <= slash + 1)
        return self;
    return self.left(self.size() - suffix.size() - 1);
}

QString stringByEncodingURLEscapes(const QString &self)
{
    return percentEncoded(self);
}

QString stringByDecodingURLEscapes(const QString &self)
{
    QString plusless = self;
    plusless.replace(u'+', u' ');
    return QUrl::fromPercentEncoding(plusless.toUtf8());
}

QString stringByReplacingOccurrencesOfStringWithString(const QString &self, const QString &target,
                                                       const QString &replacement)
{
    // An empty target would otherwise insert the replacement between every character.
    if (target.isEmpty())
        return self;
    QString result = self;
    result.replace(target, replacement, Qt::CaseSensitive);
    return result;
}

QString stringWithCapitalizedFirstLetter(const QString &self)
{
    if (self.isEmpty())
        return self;
    return self.left(1).toUpper() + self.mid(1);
}

QString swp_stringEncodedAsURL(const QString &self)
{
    // The escaping already covers "&"; the replacement keeps that guarantee explicit.
    return stringByReplacingOccurrencesOfStringWithString(percentEncoded(self), QStringLiteral("&"),
                                                          QStringLiteral("%26"));
}

QString stringByDividingIntoPartsWithSize(const QString &self, qint32 n)
{
    if (n <= 0)
        return self;
    QString result;
    for (qsizetype i = 0; i < self.size(); i += n) {
        if (i > 0)
            result.append(u'-');
        result.append(self.mid(i, n));
    }
    return result;
}

std::optional<QString> stringByEncodingWithNumericCode(const QString &self)
{
    static const QRegularExpression allowed(QStringLiteral("\\A[a-zA-Z0-9.\\-_]+\\z"));
    if (!allowed.match(self).hasMatch()) {
        platform::log(QStringLiteral("Incompatible characters in user name."));
        return std::nullopt;
    }
    QString result;
    for (const QChar c : self) {
        const int code = c.unicode() - 40;
        if (code > 99) {
            platform::log(QStringLiteral("code with more than two digits detected"));
            return std::nullopt;
        }
        result.append(code < 10 ? QStringLiteral("0%1").arg(code) : QString::number(code));
    }
    return result;
}

QString stringByDecodingWithNumericCode(const QString &self)
{
    QString result;
    for (qsizetype i = 0; i + 1 < self.size(); i += 2)
        result.append(QChar(self.mid(i, 2).toInt() + 40));
    return result;
}

QString md5Hash(const QString &self)
{
    return QString::fromLatin1(QCryptographicHash::hash(self.toUtf8(), QCryptographicHash::Md5).toHex());
}

std::optional<QByteArray> base64helperTransform(const QByteArray &data, const Transform &transform)
{
    if (!transform)
        return std::nullopt;
    return transform(data);
}

QString base64enc(const QByteArray &data)
{
    const auto encoded = base64helperTransform(data, [](const QByteArray &in) { return std::optional(in.toBase64()); });
    return encoded ? QString::fromLatin1(*encoded) : QString();
}

std::optional<QByteArray> base64dec(const QString &self)
{
    return base64helperTransform(self.toUtf8(), [](const QByteArray &in) -> std::optional<QByteArray> {
        auto decoded = QByteArray::fromBase64Encoding(in, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return *decoded;
    });
}

QString substringWithRangeProtected(const QString &self, qsizetype location, qsizetype length)
{
    if (location < 0 || length < 0 || location > self.size() || length > self.size() - location)
        return QStringLiteral("");
    return self.mid(location, length);
}

bool isMatchedByRegex(const QString &self, const QString &pattern)
{
    const QRegularExpression expression(pattern);
    return expression.isValid() && expression.match(self).hasMatch();
}

QString stringByRemovingSemicolonSeparatedString(const QString &self, const QString &item)
{
    QStringList kept;
    for (const QString &part : self.split(u':')) {
        const QString trimmed = part.trimmed();
        if (trimmed != item)
            kept << trimmed;
    }
    return kept.join(u':');
}

namespace {

struct WordRange
{
    qsizetype location;
    qsizetype length;
};

QList<WordRange> words(const QString &text)
{
    QList<WordRange> result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = -1;
    for (qsizetype at = finder.position(); at >= 0; at = finder.toNextBoundary()) {
        const QTextBoundaryFinder::BoundaryReasons reasons = finder.boundaryReasons();
        if ((reasons & QTextBoundaryFinder::EndOfItem) && start >= 0) {
            result.append({start, at - start});
            start = -1;
        }
        if (reasons & QTextBoundaryFinder::StartOfItem)
            start = at;
    }
    return result;
}

} // namespace

qsizetype wb_endOfWordGivenCursor(const QString &self, qsizetype cursor)
{
    for (const WordRange &word : words(self)) {
        if (word.location + word.length > cursor)
            return word.location + word.length;
    }
    return self.size();
}

qsizetype wb_beginningOfWordGivenCursor(const QString &self, qsizetype cursor)
{
    const QList<WordRange> found = words(self);
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        if (it->location < cursor)
            return it->location;
    }
    return 0;
}

} // namespace NSStringAdditions

QString VLMD5HexOfString(const QString &string)
{
    return NSStringAdditions::md5Hash(string);
}

QString VLBase64EncodedString(const QString &string)
{
    const bool latin1 = std::all_of(string.begin(), string.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (!latin1)
        return QString();
    return QString::fromUtf8(string.toLatin1().toBase64());
}
