#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

// The open panel of the drop screen's Add button: files and folders, several at once, symbolic
// links taken as they are (not resolved). Shown as a sheet of a window.
class VLFilesOpenPanel final
{
public:
    using CompletionHandler = std::function<void(bool accepted, const QList<QUrl> &urls)>;

    VLFilesOpenPanel() = delete;

    // Begins the panel and returns at once; the completion runs when the user has chosen or
    // cancelled, never inside this call.
    static void beginSheetModalForWindow(QWidget *window, CompletionHandler completion);

    // Test hook: the next panel is answered with these paths (cancelled for an empty list)
    // without being shown.
    static void setNextFileNames(const QStringList &paths);
};
