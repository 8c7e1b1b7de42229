#include "app/VLServiceProvider.h"

#include "app/VLAppDelegate.h"
#include "platform/core/Log.h"

#include <QMimeData>
#include <QStringList>
#include <QUrl>

#include <exception>

void VLServiceProvider::encryptFilesUserDataError(const QMimeData &pasteboard, const QString &userData, QString *error)
{
    Q_UNUSED(userData)
    try {
        if (!pasteboard.hasUrls()) {
            if (error)
                *error = QStringLiteral("Error: Pasteboard doesn't contain a file path.");
            return;
        }
        QStringList paths;
        for (const QUrl &url : pasteboard.urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        if (paths.isEmpty()) {
            platform::log(QStringLiteral("Nothing to Encrypt with Vaultine."));
            return;
        }
        if (VLAppDelegate *delegate = VLAppDelegate::instance())
            delegate->handleFinderServiceFiles(paths);
    } catch (const std::exception &exception) {
        platform::log(
            QStringLiteral("Error while processing services request: %1").arg(QString::fromUtf8(exception.what())));
    }
}
