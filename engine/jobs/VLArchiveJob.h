#pragma once

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "engine/files/VLChronometer.h"
#include "platform/core/VLError.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// What the encryption and the decryption job share: the container and its chronometer, the job
// delegate behind a lock, the cancel flag and the running state of the work thread. The
// container's callbacks for the job's own operation become the job delegate's started, progress,
// finished and failure calls, which each job makes through its report hooks.
template <typename Delegate>
class VLArchiveJob : public VLEncryptedArchiveDelegate, public VLChronometerDelegate
{
public:
    ~VLArchiveJob() override = default;
    Q_DISABLE_COPY_MOVE(VLArchiveJob)

    // Stops the job at its next step. No callback is sent once this has returned; the work
    // folder and a partly written container stay until the owner empties the work folders,
    // which it should do only after waitUntilStopped.
    void cancel();
    // Waits, at most `bound`, until the work thread has stopped touching the work folder. True
    // when it has (also for a job that never started).
    bool waitUntilStopped(std::chrono::milliseconds bound);
    bool isRunning() const;

    bool isCancelled() const { return m_isCancelled.load(); }
    Delegate *delegate() const;
    // A plain reference: the owner clears it before it goes away. Once setDelegate returns, a
    // callback in progress has finished with the old delegate.
    void setDelegate(Delegate *delegate);
    VLEncryptedArchive *archive() const { return m_archive.get(); }
    VLChronometer *chronometer() const { return m_chronometer.get(); }
    // The job's result, which the finished call hands over.
    QUrl destinationURL() const;

    // The container's callbacks.
    Callbacks answeredCallbacks() const override;
    void encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info) override;
    void encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel) override;
    void encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info) override;
    // The chronometer's tick.
    void chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double seconds) override;

protected:
    // `operation` is the container operation whose start, end and errors the job reports.
    explicit VLArchiveJob(QString operation);
    // Called first in the job's destructor, while the whole job is still alive.
    void detach();

    // The fresh work folder of a job that starts now; empty, after the failure has been
    // reported, when it cannot be made, and for a job that has started before.
    QString beginInFreshWorkFolder(const VLError &failure);
    // Runs `work` on a background work thread; `self` keeps the job alive until it has stopped.
    void runInBackground(std::shared_ptr<VLArchiveJob> self, std::function<void()> work);
    void stopChronometer();

    // Calls the delegate under the delegate lock, unless there is none or the job is cancelled.
    template <typename Call>
    void send(Call call)
    {
        std::lock_guard lock(m_delegateMutex);
        if (m_delegate && !isCancelled())
            call(m_delegate);
    }
    void sendFailure(const VLError &error);

    // The job delegate's calls for this job.
    virtual void reportStarted(Delegate *delegate) = 0;
    virtual void reportFinished(Delegate *delegate, const QUrl &url) = 0;
    virtual void reportFailure(Delegate *delegate, const VLError &error) = 0;
    virtual void reportProgress(Delegate *delegate, float progress) = 0;
    virtual void reportEstimation(Delegate *delegate, const QString &estimation) = 0;

    // Also guards the job's own results.
    mutable std::mutex m_stateMutex;
    QUrl m_destinationURL;

private:
    void workerStopped();

    const QString m_operation;
    std::unique_ptr<VLEncryptedArchive> m_archive;
    std::unique_ptr<VLChronometer> m_chronometer;
    std::atomic<bool> m_isCancelled = false;
    bool m_started = false;

    mutable std::recursive_mutex m_delegateMutex;
    Delegate *m_delegate = nullptr;

    std::condition_variable m_stopped;
    bool m_running = false;
};

class VLVedidadorDelegate;
class VLDezeriderDelegate;
extern template class VLArchiveJob<VLVedidadorDelegate>;
extern template class VLArchiveJob<VLDezeriderDelegate>;
