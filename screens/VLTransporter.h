#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class VLTransporter;

// Told where a transported item landed. Both callbacks are optional (they do nothing here).
class VLTransporterDelegate
{
public:
    virtual ~VLTransporterDelegate() = default;
    // Where the item now is: the requested URL, or a free name beside it when not overwriting.
    // After a transfer with progress on the main thread, after a plain move or copy on the
    // background thread that ran it.
    virtual void transporterDidFinishTransportationWithURL(VLTransporter *transporter, const QUrl &url)
    {
        Q_UNUSED(transporter)
        Q_UNUSED(url)
    }
    // A transfer failed (after its alert was queued) or the user cancelled it in the progress
    // window; the URL is the source's. On the background thread. A transfer cancelled through
    // cancel() reports nothing.
    virtual void transporterDidFailedTransportationWithURL(VLTransporter *transporter, const QUrl &url)
    {
        Q_UNUSED(transporter)
        Q_UNUSED(url)
    }
};

// Carries a finished result from its work folder to the place the user chose: a plain move or
// copy, or a transfer that shows the progress window as a sheet when it goes to another volume
// or keeps the source and lasts longer than a quarter of a second. Failures are shown as alerts.
// Every transfer call returns at once; the work runs on the background queue and keeps the
// transporter alive until it has ended, so callers may let go of theirs. An owner that goes away
// (or empties the work folder) while a transfer runs cancels it, clears the delegate and waits
// with waitUntilStopped(); no callback arrives after cancel().
class VLTransporter final : public std::enable_shared_from_this<VLTransporter>
{
    struct Private
    {
    };

public:
    // The tags the result screens give a save made before starting over and before quitting.
    static constexpr quint64 startOverTag = 88;
    static constexpr quint64 quitTag = 99;

    static std::shared_ptr<VLTransporter> create();
    explicit VLTransporter(Private);
    ~VLTransporter();
    Q_DISABLE_COPY_MOVE(VLTransporter)

    // Destination URLs are the full path the item is to have; overwrite replaces an existing
    // item there, otherwise a free name beside it is taken ("report 2.vault").
    void moveItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite);
    void copyItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite);
    void copyItemWithProgressFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite);
    // A plain move on the same volume, a move with progress to another one.
    void transportItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite);
    void transportItemFromURLToURLOverwriteLeaveOriginal(const QUrl &source, const QUrl &destination, bool overwrite,
                                                         bool leaveOriginal);
    // A transfer with progress stops at its next report and removes what it wrote; a plain move
    // or copy runs to its end. Either way the delegate hears nothing more.
    void cancel();
    // Waits, at most `bound`, until no transfer of this transporter runs any more, doing the
    // transfers' work on the main thread (their progress window) meanwhile, so that a main thread
    // that waits here never blocks a transfer that waits for it. Main thread only. True when none
    // runs (also when none ever ran).
    bool waitUntilStopped(std::chrono::milliseconds bound);
    bool isRunning() const;
    void transferItemFromURLToURLOverwriteCopy(const QUrl &source, const QUrl &destination, bool overwrite, bool copy);

    quint64 tag() const { return m_tag.load(); }
    void setTag(quint64 tag) { m_tag = tag; }
    // A plain reference: the caller keeps the delegate alive while a transfer runs, or clears
    // it first. Once setDelegate returns, a callback in progress has finished with the old one.
    VLTransporterDelegate *delegate() const { return m_delegate.load(); }
    void setDelegate(VLTransporterDelegate *delegate);
    // Host of the progress sheet and of alerts (held weakly, used on the main thread); the
    // application's main window when none is set.
    QWidget *window() const { return m_window; }
    void setWindow(QWidget *window) { m_window = window; }
    bool isCancelled() const { return m_cancelled.load(); }
    void setIsCancelled(bool cancelled) { m_cancelled = cancelled; }

    // Whether the destination lies on another volume than the work folders (the source's).
    static bool isDestinationOnAnotherVolume(const QUrl &source, const QUrl &destination);

private:
    struct Transport;
    struct MainWork
    {
        std::function<void()> work;
        bool done = false;
    };
    QWidget *hostWindow() const;
    // Calls the delegate, unless there is none or the transporter was cancelled.
    void sendToDelegate(const std::function<void(VLTransporterDelegate *)> &call);
    // Runs work on the main thread and returns once it has run (see waitUntilStopped()).
    void runOnMain(const std::function<void()> &work);
    void drainMainWork();
    void transferBegan();
    void transferEnded();
    // Ends the transfer's count when the transfer lets go of its handler.
    std::shared_ptr<void> runningToken();

    std::recursive_mutex m_delegateMutex;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_running = 0;
    std::deque<std::shared_ptr<MainWork>> m_mainWork;

    std::atomic<quint64> m_tag{0};
    std::atomic<VLTransporterDelegate *> m_delegate{nullptr};
    QPointer<QWidget> m_window;
    std::atomic<bool> m_cancelled{false};
};
