#pragma once

#include "controls/VLProgressIndicator.h"
#include "engine/files/VLChronometer.h"

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <atomic>
#include <memory>

// The small window the transporter shows as a sheet while a transfer with progress runs: the
// item's name, the destination folder's name, a bar in bytes, a status line with the bytes
// moved, the total and the time left, and Cancel. The transporter creates, feeds, polls and
// closes it; the window never touches files. Main thread only, except isCancelled().
class VLTransportWindowController final : public QObject, public VLChronometerDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLTransportWindowController)

public:
    explicit VLTransportWindowController(QObject *parent = nullptr);
    ~VLTransportWindowController() override;

    // The interface-file name of the window.
    static QString windowNibName();

    // The window, loaded from its interface file on first use (windowDidLoad() follows).
    QDialog *window();
    bool isWindowLoaded() const { return m_window != nullptr; }

    QUrl sourceURL() const { return m_sourceURL; }
    void setSourceURL(const QUrl &url) { m_sourceURL = url; }
    // The item's final path (not its folder).
    QUrl destinationURL() const { return m_destinationURL; }
    void setDestinationURL(const QUrl &url) { m_destinationURL = url; }
    // Bytes; set before the window loads.
    quint64 totalSize() const { return m_totalSize; }
    void setTotalSize(quint64 size) { m_totalSize = size; }
    quint64 movedSize() const { return m_movedSize; }
    // Stores the bytes moved, hands the whole percentage to the chronometer and refreshes the
    // status line.
    void setMovedSize(quint64 size);
    // Set by Cancel, never cleared; readable from any thread.
    bool isCancelled() const { return m_cancelled.load(); }

    const std::shared_ptr<VLChronometer> &chromoneter() const { return m_chromoneter; }
    void setChromoneter(std::shared_ptr<VLChronometer> chronometer);

    VLProgressIndicator *progressIndicator() const { return m_progressIndicator; }
    QLabel *sourceTextField() const { return m_sourceTextField; }
    QLabel *destinationTextField() const { return m_destinationTextField; }
    QLabel *statusTextField() const { return m_statusTextField; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds) override;

    // Queues a refresh of the bar and the status line to the main thread; each shows the values
    // current when it runs.
    void redrawSateTextFiled();

    // The Cancel button (and Escape, and the window's close button): marks the transfer as
    // cancelled and stops the time estimate. The window stays until the transporter closes it.
    void cancel();
    // Hides the window and stops the time estimate.
    void close();

    // The status line for these values ("%@ from %@ – %@..."); an empty remaining text reads
    // "Estimating...".
    static QString statusText(quint64 movedSize, quint64 totalSize, const QString &remainingTime);

private:
    void loadWindow();
    void windowDidLoad();
    void refreshNow();

    QPointer<QDialog> m_window;
    QUrl m_sourceURL;
    QUrl m_destinationURL;
    quint64 m_totalSize = 0;
    quint64 m_movedSize = 0;
    std::atomic<bool> m_cancelled{false};
    std::shared_ptr<VLChronometer> m_chromoneter;
    QPointer<VLProgressIndicator> m_progressIndicator;
    QPointer<QLabel> m_sourceTextField;
    QPointer<QLabel> m_destinationTextField;
    QPointer<QLabel> m_statusTextField;
    QPointer<QPushButton> m_cancelButton;
};
