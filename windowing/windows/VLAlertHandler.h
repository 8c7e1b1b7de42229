#pragma once

#include "windowing/windows/VLAlert.h"

#include <QPointer>

#include <functional>
#include <optional>

class QMessageBox;
class QWidget;

// Shows alerts as sheets of a window (window-modal message boxes opened with open(), one per
// window at a time, further ones queued) and reports the code of the button that ended them.
// Main thread only; the errors handler moves callers from other threads here.
class VLAlertHandler final
{
public:
    using CompletionHandler = std::function<void(int returnCode)>;

    VLAlertHandler() = delete;

    // Begins the alert as a sheet of the window and returns at once; the completion (may be
    // empty) gets the return code of the button that was pressed. A null window means the main
    // window, or an application-modal alert when there is none.
    static void beginSheetModalForWindowWithAlertCompletionHandler(QWidget *window, const VLAlert &alert,
                                                                   CompletionHandler completion);

    // True while the window shows an alert or any other sheet, or has one queued.
    static bool isSheetOpen(QWidget *window);

    // The message box the window shows now, or null.
    static QMessageBox *currentAlert(QWidget *window);

    // The window alerts go to when their caller names none (set by the main window controller).
    static void setMainWindow(QWidget *window);
    static QWidget *mainWindow();

    // Test hooks: the next alerts begun are answered with these codes, in order, without being
    // shown (the completion still runs later, never inside the call that began the alert).
    static void setNextAnswer(int returnCode);
    // The alert most recently begun, shown or answered.
    static std::optional<VLAlert> lastAlert();
    static void clearLastAlert();
};
