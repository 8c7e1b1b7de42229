#pragma once

#include "windowing/windows/VLAlert.h"
#include "windowing/windows/VLAlertHandler.h"

#include "platform/core/VLError.h"

#include <QCoreApplication>

class QWidget;

// Turns failures into alerts the user can read: a short title and an explanation chosen by
// the error's code alone (never its domain), shown as a sheet of a window. Also builds the
// confirmation alerts of the flows.
class VLErrorsHandler final
{
    Q_DECLARE_TR_FUNCTIONS(VLErrorsHandler)

public:
    using CompletionHandler = VLAlertHandler::CompletionHandler;

    VLErrorsHandler() = delete;

    // A null error shows the "unknown error" alert. Callable from any thread: the texts are
    // made on the caller's thread, the sheet is shown on the main thread (later, when called
    // from elsewhere; the call returns at once).
    static void showAlertWithErrorWindowCompletionHandler(const VLError &error, QWidget *window,
                                                          CompletionHandler completion);
    // rootItem is the name of the file the user works on; empty when there is none.
    static void showAlertWithErrorRootItemWindowCompletionHandler(const VLError &error, const QString &rootItem,
                                                                  QWidget *window, CompletionHandler completion);

    // The error the alert is made from: for a code of the table, a new error of the bundle's
    // domain with code 0 carrying title and message; any other error unchanged.
    static VLError presentableError(const VLError &error, const QString &rootItem);
    // The alert that showAlertWithError... shows.
    static VLAlert alertForError(const VLError &error, const QString &rootItem);

    // Confirmation alerts; show them with VLAlertHandler. Codes: default 1, alternate 0, other -1.
    static VLAlert unsavedItemAlertBeforeQuitting(const QString &itemName);
    static VLAlert unsavedItemAlertBeforeStartingOver(const QString &itemName);
    static VLAlert unfinishedItemAlert(const QString &itemName);
    static VLAlert applicationsInArchiveAlert();

    // Makes these alerts the ones the controls' errors show (controls/VLErrorPresentation.h).
    static void presentControlErrors();

    // The information keys the presentable error carries its texts under.
    static inline const QString &localizedDescriptionKey = VLError::localizedDescriptionKey;
    static inline const QString &localizedRecoverySuggestionKey = VLError::localizedRecoverySuggestionKey;
};
