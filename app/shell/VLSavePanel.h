#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// A save panel shown as a sheet of a window (a window-modal, non-native file dialog opened with
// open()), answering with the chosen URL or, for Cancel, an empty one. Main thread only.
class VLSavePanel final
{
public:
    struct Options
    {
        // The name field's text.
        QString nameFieldStringValue;
        // The one extension the name must end in (added when missing); empty allows any name.
        QString allowedExtension;
        bool canCreateDirectories = true;
    };
    using Completion = std::function<void(const QUrl &url)>;

    VLSavePanel() = delete;

    static void beginSheetModalForWindow(QWidget *window, const Options &options, Completion completion);

    // Tests: the next panel is answered with this path (an empty one cancels it) without being
    // shown; the completion still runs later, never inside the call that began the panel.
    static void setNextFileName(const QString &path);
    // The options of the panel most recently begun.
    static Options lastOptions();
};
