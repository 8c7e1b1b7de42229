#include "engine/archive/VLTypeIdentifier.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

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
    // The database answers under one lock for the whole process, and a type's aliases take it
    // again: sections made on every core would queue for it, so each thread keeps the aliases
    // of the few types it meets.
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
