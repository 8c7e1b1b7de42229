#include "engine/jobs/VLArchiveJob.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/KXAdditions.h"
#include "platform/dispatch/Dispatch.h"

namespace {

namespace keys = VLEncryptedArchiveConstants;

} // namespace

template <typename Delegate>
VLArchiveJob<Delegate>::VLArchiveJob(QString operation)
    : m_operation(std::move(operation))
    , m_archive(VLEncryptedArchive::newArchive())
    , m_chronometer(std::make_unique<VLChronometer>())
{
    m_chronometer->setDelegate(this);
}

template <typename Delegate>
void VLArchiveJob<Delegate>::detach()
{
    if (m_archive->delegate() == this)
        m_archive->setDelegate(nullptr);
    m_archive->closeArchive();
    if (m_chronometer->delegate() == this)
        m_chronometer->setDelegate(nullptr);
}

template <typename Delegate>
Delegate *VLArchiveJob<Delegate>::delegate() const
{
    std::lock_guard lock(m_delegateMutex);
    return m_delegate;
}

template <typename Delegate>
void VLArchiveJob<Delegate>::setDelegate(Delegate *delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}

template <typename Delegate>
QUrl VLArchiveJob<Delegate>::destinationURL() const
{
    std::lock_guard lock(m_stateMutex);
    return m_destinationURL;
}

template <typename Delegate>
void VLArchiveJob<Delegate>::sendFailure(const VLError &error)
{
    send([this, &error](Delegate *d) { reportFailure(d, error); });
}

template <typename Delegate>
QString VLArchiveJob<Delegate>::beginInFreshWorkFolder(const VLError &failure)
{
    if (std::exchange(m_started, true))
        return {};
    const QString folder = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
    if (folder.isEmpty())
        sendFailure(failure);
    return folder;
}

template <typename Delegate>
void VLArchiveJob<Delegate>::runInBackground(std::shared_ptr<VLArchiveJob> self, std::function<void()> work)
{
    {
        std::lock_guard lock(m_stateMutex);
        m_running = true;
    }
    platform::dispatchAsync(platform::QueuePriority::Background, [self = std::move(self), work = std::move(work)] {
        work();
        self->workerStopped();
    });
}

template <typename Delegate>
void VLArchiveJob<Delegate>::cancel()
{
    {
        // Under the delegate lock, so that no callback is in progress once this returns.
        std::lock_guard lock(m_delegateMutex);
        m_isCancelled.store(true);
    }
    stopChronometer();
}

template <typename Delegate>
bool VLArchiveJob<Delegate>::waitUntilStopped(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_stateMutex);
    return m_stopped.wait_for(lock, bound, [this] { return !m_running; });
}

template <typename Delegate>
bool VLArchiveJob<Delegate>::isRunning() const
{
    std::lock_guard lock(m_stateMutex);
    return m_running;
}

template <typename Delegate>
void VLArchiveJob<Delegate>::workerStopped()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_running = false;
    }
    m_stopped.notify_all();
}

template <typename Delegate>
void VLArchiveJob<Delegate>::stopChronometer()
{
    if (m_chronometer->isMeasuring())
        m_chronometer->stop();
}

template <typename Delegate>
VLEncryptedArchiveDelegate::Callbacks VLArchiveJob<Delegate>::answeredCallbacks() const
{
    return Callback::StartedOperation | Callback::FinishedOperation | Callback::OperationProgress
           | Callback::OperationError;
}

template <typename Delegate>
void VLArchiveJob<Delegate>::encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != m_operation)
        return;
    m_chronometer->start();
    send([this](Delegate *d) { reportStarted(d); });
}

template <typename Delegate>
void VLArchiveJob<Delegate>::encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != m_operation)
        return;
    stopChronometer();
    const QUrl result = destinationURL();
    send([this, &result](Delegate *d) { reportFinished(d, result); });
}

template <typename Delegate>
void VLArchiveJob<Delegate>::encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info,
                                                               bool &cancel)
{
    if (archive != m_archive.get())
        return;
    cancel = isCancelled();
    if (cancel)
        return;
    const double total = info.value(keys::keyTotalProgress).toDouble();
    m_chronometer->updateProgress(total);
    send([this, total](Delegate *d) { reportProgress(d, float(total)); });
}

template <typename Delegate>
void VLArchiveJob<Delegate>::encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != m_operation)
        return;
    stopChronometer();
    if (isCancelled())
        return;
    // The container names the item and the system's reason apart from its code; the job delegate
    // gets them in one.
    const VLError cause = info.value(keys::keyError).value<VLError>();
    QVariantMap userInfo = cause.userInfo();
    if (info.contains(keys::keyItem))
        userInfo.insert(keys::keyItem, info.value(keys::keyItem));
    if (info.contains(keys::keyUnderlyingError))
        userInfo.insert(keys::keyUnderlyingError, info.value(keys::keyUnderlyingError));
    sendFailure(VLError(cause.domain(), cause.code(), userInfo));
}

template <typename Delegate>
void VLArchiveJob<Delegate>::chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double)
{
    if (chronometer != m_chronometer.get())
        return;
    const QString text = chronometer->remainingTimeString();
    send([this, &text, chronometer](Delegate *d) {
        // A tick that raced the end of the job stays silent.
        if (chronometer->isMeasuring())
            reportEstimation(d, text);
    });
}

template class VLArchiveJob<VLVedidadorDelegate>;
template class VLArchiveJob<VLDezeriderDelegate>;
