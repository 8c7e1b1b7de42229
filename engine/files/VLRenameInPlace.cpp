#include "engine/files/VLRenameInPlace.h"

#include "platform/files/FileOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

VLRenameInPlaceResult vlRenameItemInPlace(const QString &path, const QString &name, const QString &extension)
{
    const QString fileName = extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
    const QString destination = QFileInfo(path).dir().filePath(fileName);
    if (destination == path)
        return {path, {}};
    const int error = platform::renameItem(path, destination, false);
    if (error == 0)
        return {destination, {}};
    if (error == EEXIST) {
        const QString description = QCoreApplication::translate(
                                        "VLRenameInPlace",
                                        "“%1” couldn’t be renamed because an item with the same name already exists.")
                                        .arg(fileName);
        return {path, VLError(QStringLiteral("NSCocoaErrorDomain"), 516,
                              {{QStringLiteral("NSLocalizedDescription"), description},
                               {QStringLiteral("NSFilePath"), destination}})};
    }
    return {path, VLError::posix(error)};
}
