#include "engine/jobs/VLDezerider.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/VLPathComponents.h"
#include "platform/core/BundleInfo.h"
#include "platform/dispatch/Dispatch.h"

#include <QDir>

namespace {

namespace keys = VLEncryptedArchiveConstants;

} // namespace

const QByteArray VLDezerider::specialScenarioHmac =
    QByteArray::fromHex("9d2f47a103be5c68e4710f2d8a6b93c51f07d2e9b6483a0c72e5d91f4c08ab36");

void VLDezeriderDelegate::dezeriderDidStartedWithArchiveURL(VLDezerider *, const QUrl &) {}
void VLDezeriderDelegate::dezeriderDidFailedWithError(VLDezerider *, const VLError &) {}
void VLDezeriderDelegate::dezeriderDidFinishedWithResultURL(VLDezerider *, const QUrl &) {}
void VLDezeriderDelegate::dezeriderDidUpdateProgress(VLDezerider *, float) {}
void VLDezeriderDelegate::dezeriderDidUpdateEstimationTime(VLDezerider *, const QString &) {}

std::shared_ptr<VLDezerider> VLDezerider::dezeriderWithArchiveURL(const QUrl &archiveURL)
{
    if (archiveURL.isEmpty())
        return nullptr;
    return std::shared_ptr<VLDezerider>(new VLDezerider(archiveURL));
}

VLDezerider::VLDezerider(QUrl archiveURL)
    : m_archiveURL(std::move(archiveURL))
    , m_archive(std::make_unique<VLEncryptedArchive>())
    , m_chronometer(std::make_unique<VLChronometer>())
{
    m_chronometer->setDelegate(this);
}

VLDezerider::~VLDezerider()
{
    if (m_archive->delegate() == this)
        m_archive->setDelegate(nullptr);
    m_archive->closeArchive();
    if (m_chronometer->delegate() == this)
        m_chronometer->setDelegate(nullptr);
}

template<typename Call>
void VLDezerider::send(Call call)
{
    std::lock_guard lock(m_delegateMutex);
    if (m_delegate && !isCancelled())
        call(m_delegate);
}

VLDezeriderDelegate *VLDezerider::delegate() const
{
    std::lock_guard lock(m_delegateMutex);
    return m_delegate;
}

void VLDezerider::setDelegate(VLDezeriderDelegate *delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}

bool VLDezerider::specialScenario() const
{
    std::lock_guard lock(m_stateMutex);
    return m_specialScenario;
}

QString VLDezerider::rootName() const
{
    std::lock_guard lock(m_stateMutex);
    return m_rootName;
}

QString VLDezerider::hint() const
{
    std::lock_guard lock(m_stateMutex);
    return m_hint;
}

QUrl VLDezerider::destinationURL() const
{
    std::lock_guard lock(m_stateMutex);
    return m_destinationURL;
}

void VLDezerider::decryptWithPassword(const QString &password)
{
    if (std::exchange(m_started, true))
        return;
    const QString folder = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
    if (folder.isEmpty()) {
        send([this](VLDezeriderDelegate *d) {
            d->dezeriderDidFailedWithError(this, VLError(QString::fromLatin1(platform::bundle::identifier), 0));
        });
        return;
    }
    {
        std::lock_guard lock(m_stateMutex);
        m_running = true;
    }
    platform::dispatchAsync(
        platform::QueuePriority::Background, [self = shared_from_this(), password, folder]() mutable {
            self->work(std::move(password), folder);
            self->workerStopped();
        });
}

void VLDezerider::cancel()
{
    {
        std::lock_guard lock(m_delegateMutex);
        m_isCancelled.store(true);
    }
    stopChronometer();
}

bool VLDezerider::waitUntilStopped(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_stateMutex);
    return m_stopped.wait_for(lock, bound, [this] { return !m_running; });
}

bool VLDezerider::isRunning() const
{
    std::lock_guard lock(m_stateMutex);
    return m_running;
}

void VLDezerider::workerStopped()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_running = false;
    }
    m_stopped.notify_all();
}

void VLDezerider::stopChronometer()
{
    if (m_chronometer->isMeasuring())
        m_chronometer->stop();
}

void VLDezerider::work(QString password, const QString &workFolder)
{
    // Opened without a delegate: a failed opening shows as the extraction's "not opened".
    m_archive->setPassword(password);
    m_archive->openArchive(m_archiveURL.toLocalFile());

    const QList<VLEncryptedArchiveItemPtr> top = m_archive->childRecordsAtPath(QStringLiteral("/"));
    const QString archiveName = VLPathComponents::lastPathComponent(m_archiveURL.toLocalFile());
    QString target = workFolder;
    {
        std::lock_guard lock(m_stateMutex);
        m_hint = m_archive->passwordHint();
        if (top.size() == 1) {
            const VLEncryptedArchiveItemPtr &first = top.first();
            m_rootName = VLPathComponents::lastPathComponent(first->path());
            m_destinationURL = QUrl::fromLocalFile(workFolder + u'/' + m_rootName);
            const std::optional<QByteArray> hmac = first->hmac();
            m_specialScenario = hmac && *hmac == specialScenarioHmac;
        } else if (top.isEmpty()) {
            // Nothing to name the result after; the extraction fails as "not opened" or ends empty.
            m_rootName = archiveName;
            m_destinationURL = QUrl::fromLocalFile(workFolder);
        } else {
            m_rootName = archiveName;
            target = workFolder + u'/' + VLPathComponents::deletingPathExtension(archiveName);
            QDir().mkpath(target);
            m_destinationURL = QUrl::fromLocalFile(target);
        }
    }
    if (!isCancelled()) {
        m_archive->setDelegate(this);
        m_archive->extractAllItems(target);
    }
    m_archive->closeArchive();
}

VLEncryptedArchiveDelegate::Callbacks VLDezerider::answeredCallbacks() const
{
    return Callback::StartedOperation | Callback::FinishedOperation | Callback::OperationProgress
        | Callback::OperationError | Callback::HMACMismatch;
}

void VLDezerider::encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationExtraction)
        return;
    m_chronometer->start();
    send([this](VLDezeriderDelegate *d) { d->dezeriderDidStartedWithArchiveURL(this, m_archiveURL); });
}

void VLDezerider::encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationExtraction)
        return;
    stopChronometer();
    const QUrl result = destinationURL();
    send([this, &result](VLDezeriderDelegate *d) { d->dezeriderDidFinishedWithResultURL(this, result); });
}

void VLDezerider::encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel)
{
    if (archive != m_archive.get())
        return;
    cancel = isCancelled();
    if (cancel)
        return;
    const double total = info.value(keys::keyTotalProgress).toDouble();
    m_chronometer->updateProgress(total);
    send([this, total](VLDezeriderDelegate *d) { d->dezeriderDidUpdateProgress(this, float(total)); });
}

void VLDezerider::encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationExtraction)
        return;
    stopChronometer();
    if (isCancelled())
        return;
    const VLError cause = info.value(keys::keyError).value<VLError>();
    QVariantMap userInfo = cause.userInfo();
    if (info.contains(keys::keyItem))
        userInfo.insert(keys::keyItem, info.value(keys::keyItem));
    const VLError error(cause.domain(), cause.code(), userInfo);
    send([this, &error](VLDezeriderDelegate *d) { d->dezeriderDidFailedWithError(this, error); });
}

void VLDezerider::encryptedArchiveHMACMismatch(
    VLEncryptedArchive *archive, const VLEncryptedArchiveItemPtr &, quint64 &action)
{
    if (archive != m_archive.get())
        return;
    stopChronometer();
    const VLError error(keys::errorDomain, VLArchiveErrorDirectoryHmac);
    send([this, &error](VLDezeriderDelegate *d) { d->dezeriderDidFailedWithError(this, error); });
    // The container gives the item up and ends the extraction with its own error.
    action = 1;
}

void VLDezerider::chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double)
{
    if (chronometer != m_chronometer.get())
        return;
    const QString text = chronometer->remainingTimeString();
    send([this, &text, chronometer](VLDezeriderDelegate *d) {
        // A tick that raced the end of the job stays silent.
        if (chronometer->isMeasuring())
            d->dezeriderDidUpdateEstimationTime(this, text);
    });
}
