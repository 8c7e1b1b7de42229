#include "engine/archive/VLTypeIdentifier.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace {

const QHash<QString, QString> &identifiersOfMimeTypes()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("text/plain"), QStringLiteral("public.plain-text")},
        {QStringLiteral("text/html"), QStringLiteral("public.html")},
        {QStringLiteral("text/xml"), QStringLiteral("public.xml")},
        {QStringLiteral("application/xml"), QStringLiteral("public.xml")},
        {QStringLiteral("application/json"), QStringLiteral("public.json")},
        {QStringLiteral("text/rtf"), QStringLiteral("public.rtf")},
        {QStringLiteral("application/rtf"), QStringLiteral("public.rtf")},
        {QStringLiteral("text/csv"), QStringLiteral("public.comma-separated-values-text")},
        {QStringLiteral("text/x-csrc"), QStringLiteral("public.c-source")},
        {QStringLiteral("text/x-chdr"), QStringLiteral("public.c-header")},
        {QStringLiteral("text/x-c++src"), QStringLiteral("public.c-plus-plus-source")},
        {QStringLiteral("application/x-shellscript"), QStringLiteral("public.shell-script")},
        {QStringLiteral("text/x-python"), QStringLiteral("public.python-script")},
        {QStringLiteral("text/x-python3"), QStringLiteral("public.python-script")},
        {QStringLiteral("application/pdf"), QStringLiteral("com.adobe.pdf")},
        {QStringLiteral("image/png"), QStringLiteral("public.png")},
        {QStringLiteral("image/jpeg"), QStringLiteral("public.jpeg")},
        {QStringLiteral("image/gif"), QStringLiteral("com.compuserve.gif")},
        {QStringLiteral("image/tiff"), QStringLiteral("public.tiff")},
        {QStringLiteral("image/bmp"), QStringLiteral("com.microsoft.bmp")},
        {QStringLiteral("image/svg+xml"), QStringLiteral("public.svg-image")},
        {QStringLiteral("image/heic"), QStringLiteral("public.heic")},
        {QStringLiteral("audio/mpeg"), QStringLiteral("public.mp3")},
        {QStringLiteral("audio/x-wav"), QStringLiteral("com.microsoft.waveform-audio")},
        {QStringLiteral("audio/aac"), QStringLiteral("public.aac-audio")},
        {QStringLiteral("video/mp4"), QStringLiteral("public.mpeg-4")},
        {QStringLiteral("video/quicktime"), QStringLiteral("com.apple.quicktime-movie")},
        {QStringLiteral("video/x-msvideo"), QStringLiteral("public.avi")},
        {QStringLiteral("application/zip"), QStringLiteral("public.zip-archive")},
        {QStringLiteral("application/gzip"), QStringLiteral("org.gnu.gnu-zip-archive")},
        {QStringLiteral("application/x-tar"), QStringLiteral("public.tar-archive")},
        {QStringLiteral("application/msword"), QStringLiteral("com.microsoft.word.doc")},
        {QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
         QStringLiteral("org.openxmlformats.wordprocessingml.document")},
        {QStringLiteral("application/vnd.ms-excel"), QStringLiteral("com.microsoft.excel.xls")},
        {QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
         QStringLiteral("org.openxmlformats.spreadsheetml.sheet")},
        {QStringLiteral("application/x-apple-diskimage"), QStringLiteral("com.apple.disk-image-udif")},
    };
    return table;
}

// Most of the database's name patterns are a plain extension ("*.txt"). A name that none of the
// others could match has the type of its extension alone, the same for every such name.
bool isPlainExtensionPattern(QStringView pattern)
{
    if (pattern.size() < 3 || !pattern.startsWith(u"*."))
        return false;
    for (const QChar c : pattern.mid(2)) {
        if (c == u'*' || c == u'?' || c == u'[' || c == u']' || c == u'.' || c == u'\\')
            return false;
    }
    return true;
}

// Whether a lower-cased pattern could match a lower-cased name: a character class stands for any
// one character, so that the answer is never "no" where the database's would be "yes".
bool mayMatch(QStringView pattern, QStringView name)
{
    qsizetype p = 0, n = 0, star = -1, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const QChar c = pattern[p];
            if (c == u'*') {
                star = p++;
                starName = n;
                continue;
            }
            const qsizetype close = c == u'[' ? pattern.indexOf(u']', p + 1) : -1;
            if (close > 0) {
                p = close + 1;
                ++n;
                continue;
            }
            if (c == u'?' || c == name[n]) {
                ++p;
                ++n;
                continue;
            }
        }
        if (star < 0)
            return false;
        p = star + 1;
        n = ++starName;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// The patterns that are not a plain extension, lower-cased: a few dozen among more than a
// thousand. They are read from the glob lists beside the database's caches, which name every
// type's patterns in a few kilobytes; asking the database for each type's patterns would have it
// parse every type's description, under its lock, and keep them. Only without such lists (a
// database built into Qt) is it asked.
const QStringList &otherPatterns(const QMimeDatabase &database)
{
    static const QStringList patterns = [&database] {
        QStringList result;
        const auto keep = [&result](const QString &pattern) {
            if (!pattern.isEmpty() && !isPlainExtensionPattern(pattern))
                result << pattern.toLower();
        };
        const QStringList lists = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                            QStringLiteral("mime/globs2"));
        for (const QString &path : lists) {
            QFile list(path);
            if (!list.open(QIODevice::ReadOnly))
                continue;
            // Lines of weight:type:pattern, some with :flags after the pattern: a pattern that
            // itself holds a colon is kept both whole and cut there, which can only add patterns.
            while (!list.atEnd()) {
                const QByteArray line = list.readLine().trimmed();
                if (line.isEmpty() || line.startsWith('#'))
                    continue;
                const qsizetype first = line.indexOf(':');
                const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
                if (second < 0)
                    continue;
                const QString rest = QString::fromUtf8(line.mid(second + 1));
                keep(rest);
                keep(rest.section(u':', 0, 0));
            }
        }
        if (lists.isEmpty()) {
            for (const QMimeType &type : database.allMimeTypes()) {
                for (const QString &pattern : type.globPatterns())
                    keep(pattern);
            }
        }
        result.removeDuplicates();
        return result;
    }();
    return patterns;
}

QString identifierFromDatabase(const QMimeDatabase &database, const QString &fileName, const QString &extension)
{
    // A type's aliases take the database's lock again: each thread keeps those of the few types
    // it meets.
    thread_local QHash<QString, QStringList> aliasesOfTypes;
    for (const QMimeType &type : database.mimeTypesForFileName(fileName)) {
        const auto found = identifiersOfMimeTypes().constFind(type.name());
        if (found != identifiersOfMimeTypes().constEnd())
            return found.value();
        auto aliases = aliasesOfTypes.constFind(type.name());
        if (aliases == aliasesOfTypes.constEnd())
            aliases = aliasesOfTypes.insert(type.name(), type.aliases());
        for (const QString &alias : *aliases) {
            const auto aliased = identifiersOfMimeTypes().constFind(alias);
            if (aliased != identifiersOfMimeTypes().constEnd())
                return aliased.value();
        }
    }
    return extension;
}

} // namespace

QString VLTypeIdentifierForPath(const QString &path, bool isFolder)
{
    if (isFolder)
        return QStringLiteral("public.folder");
    const QString fileName = QFileInfo(path).fileName();
    const QString extension = QFileInfo(path).suffix();
    if (extension.isEmpty())
        return {};
    if (extension.compare(u"app", Qt::CaseInsensitive) == 0)
        return QStringLiteral("com.apple.application-bundle");
    static const QMimeDatabase database;
    // The database answers under one lock for the whole process: sections made on every core
    // would queue for it for every file. Each thread keeps the answer for each extension it met
    // on names that only a plain extension pattern matches, which is the same for all of them.
    const QString lowerName = fileName.toLower();
    const QStringList &others = otherPatterns(database);
    const bool plain = std::none_of(others.cbegin(), others.cend(),
                                    [&lowerName](const QString &pattern) { return mayMatch(pattern, lowerName); });
    if (!plain)
        return identifierFromDatabase(database, fileName, extension);
    thread_local QHash<QString, QString> identifiersOfExtensions;
    auto known = identifiersOfExtensions.constFind(extension);
    if (known == identifiersOfExtensions.constEnd())
        known = identifiersOfExtensions.insert(extension, identifierFromDatabase(database, fileName, extension));
    return known.value();
}
