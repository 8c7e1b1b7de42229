#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

// The save panel of the flows: a window-modal, non-native file dialog begun as a sheet of a
// window, proposing a name, able to create folders and saving with one allowed extension.
class VLSavePanel final
{
public:
    // Codes of the panel's end, as the platform's panels report them.
    static constexpr int okButton = 1;
    static constexpr int cancelButton = 0;

    using CompletionHandler = std::function<void(int result, const QUrl &url)>;

    VLSavePanel() = delete;

    // Begins the panel and returns at once. The chosen URL always carries the allowed extension
    // (appended when the user left it out). A null window means the main window.
    static void beginSheetModalForWindow(QWidget *window, const QString &nameFieldStringValue,
                                         const QString &allowedFileType, CompletionHandler completion);

    // The name proposed for a save, with the allowed extension appended when it has not got it.
    static QString proposedName(const QString &name, const QString &allowedFileType);

    // The folder a panel opens in: the one last saved to while it still exists, else the home
    // folder.
    static QString initialFolder();

    // Test hooks: the next panel begun is answered with this path (OK), or, with an empty path,
    // cancelled, without being shown; the completion runs later, never inside the call.
    static void setNextFileName(const QString &path);
    // The name the most recent panel proposed.
    static std::optional<QString> lastProposedName();
    static void clearLastProposedName();
};
