#include "windowing/windows/VLErrorsHandler.h"

#include "controls/VLErrorPresentation.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveItem.h"
#include "platform/core/BundleInfo.h"
#include "platform/dispatch/Dispatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <cerrno>

namespace {

QString abbreviatedWithTilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (!home.isEmpty() && home != u"/" && path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

// The path text of the error's item: its real path when it has one, else its stored path.
QString itemPathText(const QVariant &item)
{
    QString path;
    if (item.metaType() == QMetaType::fromType<VLEncryptedArchiveItemPtr>()) {
        if (const VLEncryptedArchiveItemPtr record = item.value<VLEncryptedArchiveItemPtr>()) {
            path = record->realPath();
            if (path.isEmpty())
                path = record->path();
        }
    } else if (item.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = item.toMap();
        path = map.value(QStringLiteral("realPath")).toString();
        if (path.isEmpty())
            path = map.value(QStringLiteral("path")).toString();
    } else if (item.typeId() == QMetaType::QUrl) {
        path = item.toUrl().toLocalFile();
    } else if (item.typeId() == QMetaType::QString) {
        path = item.toString();
    }
    return abbreviatedWithTilde(path);
}

struct Texts
{
    QString title;
    QString message;
};

// Inserts a name into a text that quotes it; without a name the quoted name is left out and
// the sentence names "this file" or "this item" instead, so no placeholder ever shows.
QString withName(const char *format, const char *formatWithoutName, const QString &name)
{
    return name.isEmpty() ? VLErrorsHandler::tr(formatWithoutName) : VLErrorsHandler::tr(format).arg(name);
}

std::optional<Texts> textsForCode(qint64 code, const QString &itemPath, const QString &rootItem)
{
    switch (code) {
    case 1001:
    case 1004:
    case 1006:
    case 9:
    case 101:
    case 28:
        return Texts{
            VLErrorsHandler::tr("The .vault file cannot be created."),
            VLErrorsHandler::tr("Please make sure that you have enough disk space and read/write permissions.")};
    case 1002:
    case 1003:
        return Texts{
            VLErrorsHandler::tr("Vaultine cannot access this item."),
            withName(
                QT_TRANSLATE_NOOP("VLErrorsHandler",
                                  "Vaultine cannot process \"%1\". Please make sure you have read/write permissions."),
                QT_TRANSLATE_NOOP(
                    "VLErrorsHandler",
                    "Vaultine cannot process this item. Please make sure you have read/write permissions."),
                itemPath)};
    case 104:
    case 1102:
        return Texts{VLErrorsHandler::tr("This file cannot be opened."),
                     withName(QT_TRANSLATE_NOOP("VLErrorsHandler",
                                                "\"%1\" is not a .vault file and cannot be decrypted with Vaultine."),
                              QT_TRANSLATE_NOOP("VLErrorsHandler",
                                                "This is not a .vault file and cannot be decrypted with Vaultine."),
                              rootItem)};
    case 106:
    case 1105:
        return Texts{VLErrorsHandler::tr("This file cannot be opened in this version."),
                     VLErrorsHandler::tr("To decrypt this file, update Vaultine to the latest version.")};
    case 105:
    case 1101:
    case 1103:
    case 1104:
    case 1106:
    case 1107:
    case 1201:
    case 1203:
    case 1204:
    case 1205:
    case 1207:
    case 1208:
        return Texts{
            withName(QT_TRANSLATE_NOOP("VLErrorsHandler", "\"%1\" is corrupted."),
                     QT_TRANSLATE_NOOP("VLErrorsHandler", "This file is corrupted."), rootItem),
            VLErrorsHandler::tr("Unfortunately, the structure of this file is damaged and it cannot be decrypted.")};
    case 107:
    case 1009:
        return Texts{
            VLErrorsHandler::tr("File verification failed."),
            withName(
                QT_TRANSLATE_NOOP("VLErrorsHandler", "\"%1\" cannot be decrypted due to file verification fail."),
                QT_TRANSLATE_NOOP("VLErrorsHandler", "This file cannot be decrypted due to file verification fail."),
                rootItem)};
    default:
        return std::nullopt;
    }
}

VLError underlyingError(const VLError &error)
{
    return error.userInfo().value(VLEncryptedArchiveConstants::keyUnderlyingError).value<VLError>();
}

// The system error of a write into the work folders that failed, when that is what the error
// is: the container could not be written (1001), or a restored item could not be made or
// written (1207 with the system's reason, directly or through 1204). Errors that speak of the
// names an item was to take stay container faults.
VLError failedWrite(const VLError &error)
{
    VLError cause = underlyingError(error);
    if (error.code() == 1207 && cause.domain() != VLError::posixDomain && cause.code() == 1204)
        cause = underlyingError(cause);
    if (cause.domain() != VLError::posixDomain)
        return {};
    if (error.code() == 1001)
        return cause;
    if (error.code() != 1207)
        return {};
    switch (cause.code()) {
    case EEXIST:
    case ENOTDIR:
    case EISDIR:
    case ELOOP:
    case EINVAL:
    case ENAMETOOLONG:
        return {};
    default:
        return cause;
    }
}

Texts textsForFailedWrite(const VLError &cause)
{
    if (cause.code() == ENOSPC || cause.code() == EDQUOT) {
        return Texts{VLErrorsHandler::tr("There is not enough free space on the disk."),
                     VLErrorsHandler::tr(
                         "The disk that holds Vaultine's work folders is full. Free some space on it and try again. "
                         "Your files have not been changed.")};
    }
    return Texts{VLErrorsHandler::tr("Vaultine cannot write to the disk."),
                 VLErrorsHandler::tr(
                     "Writing to the disk that holds Vaultine's work folders failed: %1. Your files have not been "
                     "changed.")
                     .arg(cause.systemMessage())};
}

VLError errorWithTexts(const Texts &texts)
{
    return VLError(QString::fromLatin1(platform::bundle::identifier), 0,
                   {{VLErrorsHandler::localizedDescriptionKey, texts.title},
                    {VLErrorsHandler::localizedRecoverySuggestionKey, texts.message}});
}

} // namespace

VLError VLErrorsHandler::presentableError(const VLError &error, const QString &rootItem)
{
    if (error.isNull()) {
        return errorWithTexts(
            {tr("An unknown error has occurred."), tr("Vaultine failed due to an unknown error. Please try again.")});
    }
    if (const VLError cause = failedWrite(error))
        return errorWithTexts(textsForFailedWrite(cause));
    // A bare system error is a copy or move to a place the user chose (a save, a drop) that
    // failed; a full disk there is named as such, not as a container that cannot be made.
    if (error.domain() == VLError::posixDomain && (error.code() == ENOSPC || error.code() == EDQUOT)) {
        return errorWithTexts({tr("There is not enough free space on the disk."),
                               tr("The item could not be saved there. Free some space on that disk and try again.")});
    }
    const QString itemPath = itemPathText(error.userInfo().value(VLEncryptedArchiveConstants::keyItem));
    if (const std::optional<Texts> texts = textsForCode(error.code(), itemPath, rootItem))
        return errorWithTexts(*texts);
    return error;
}

VLAlert VLErrorsHandler::alertForError(const VLError &error, const QString &rootItem)
{
    return VLAlert::withError(presentableError(error, rootItem));
}

void VLErrorsHandler::showAlertWithErrorWindowCompletionHandler(const VLError &error, QWidget *window,
                                                                CompletionHandler completion)
{
    showAlertWithErrorRootItemWindowCompletionHandler(error, QString(), window, std::move(completion));
}

void VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(const VLError &error, const QString &rootItem,
                                                                        QWidget *window, CompletionHandler completion)
{
    const VLAlert alert = alertForError(error, rootItem);
    if (!QCoreApplication::instance())
        return;
    if (platform::isMainThread()) {
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(window, alert, std::move(completion));
        return;
    }
    // A window that goes away while the alert travels leaves it to the main window.
    QPointer<QWidget> target(window);
    platform::dispatchToMain([alert, target, completion = std::move(completion)]() mutable {
        VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(target.data(), alert, std::move(completion));
    });
}

void VLErrorsHandler::presentControlErrors()
{
    vlSetErrorPresenter(&VLErrorsHandler::showAlertWithErrorWindowCompletionHandler);
}

VLAlert VLErrorsHandler::unsavedItemAlertBeforeQuitting(const QString &itemName)
{
    return VLAlert::withMessageText(
        withName(QT_TRANSLATE_NOOP("VLErrorsHandler", "Do you want to save a copy of \"%1\" before quitting?"),
                 QT_TRANSLATE_NOOP("VLErrorsHandler", "Do you want to save a copy of this file before quitting?"),
                 itemName),
        tr("Save"), tr("Don't Save"), VLAlert::cancelTitle(),
        tr("This file will be lost if you quit before saving it to a location."));
}

VLAlert VLErrorsHandler::unsavedItemAlertBeforeStartingOver(const QString &itemName)
{
    Q_UNUSED(itemName); // the question does not show the name
    return VLAlert::withMessageText(tr("Are you sure you want to start over?"), tr("Save"), tr("Don't Save"),
                                    VLAlert::cancelTitle(),
                                    tr("This file will be lost if you start over before saving it to a location."));
}

VLAlert VLErrorsHandler::unfinishedItemAlert(const QString &itemName)
{
    Q_UNUSED(itemName); // the question does not show the name
    return VLAlert::withMessageText(
        tr("Are you sure you want to quit?"), tr("Quit Anyway"), VLAlert::cancelTitle(), QString(),
        tr("Vaultine is currently processing a file. All of the current progress will be lost if you quit now."));
}

VLAlert VLErrorsHandler::applicationsInArchiveAlert()
{
    return VLAlert::withMessageText(
        tr("An application has been detected in this .vault file."), tr("Locate"), tr("Decrypt Anyway"), QString(),
        tr("Vaultine needs your permission to make the changes necessary for the enclosed app to work correctly once "
           "it has been decrypted. Please locate your home folder to allow for this."));
}
