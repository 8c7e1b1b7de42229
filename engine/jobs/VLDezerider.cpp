#include "engine/jobs/VLDezerider.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/VLPathComponents.h"
#include "platform/core/BundleInfo.h"

#include <QDir>

namespace {

namespace keys = VLEncryptedArchiveConstants;

} // namespace

const QByteArray VLDezerider::specialScenarioHmac = QByteArray::fromHex(
    "9d2f47a103be5c68e4710f2d8a6b93c51f07d2e9b6483a0c72e5d91f4c08ab36");

void VLDezeriderDelegate::dezeriderDidStartedWithArchiveURL(VLDezerider *, const QUrl &)
{
}
void VLDezeriderDelegate::dezeriderDidFailedWithError(VLDezerider *, const VLError &)
{
}
void VLDezeriderDelegate::dezeriderDidFinishedWithResultURL(VLDezerider *, const QUrl &)
{
}
void VLDezeriderDelegate::dezeriderDidUpdateProgress(VLDezerider *, float)
{
}
void VLDezeriderDelegate::dezeriderDidUpdateEstimationTime(VLDezerider *, const QString &)
{
}

std::shared_ptr<VLDezerider> VLDezerider::dezeriderWithArchiveURL(const QUrl &archiveURL)
{
    if (archiveURL.isEmpty())
        return nullptr;
    return std::shared_ptr<VLDezerider>(new VLDezerider(archiveURL));
}

VLDezerider::VLDezerider(QUrl archiveURL) : VLArchiveJob(keys::operationExtraction), m_archiveURL(std::move(archiveURL))
{
}

VLDezerider::~VLDezerider()
{
    detach();
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

void VLDezerider::decryptWithPassword(const QString &password)
{
    const QString folder = beginInFreshWorkFolder(VLError(QString::fromLatin1(platform::bundle::identifier), 0));
    if (folder.isEmpty())
        return;
    runInBackground(shared_from_this(), [this, password, folder]() mutable { work(std::move(password), folder); });
}

void VLDezerider::work(QString password, const QString &workFolder)
{
    // Opened without a delegate: a failed opening shows as the extraction's "not opened".
    archive()->setPassword(password);
    archive()->openArchive(m_archiveURL.toLocalFile());

    const QList<VLEncryptedArchiveItemPtr> top = archive()->childRecordsAtPath(QStringLiteral("/"));
    const QString archiveName = VLPathComponents::lastPathComponent(m_archiveURL.toLocalFile());
    QString target = workFolder;
    {
        std::lock_guard lock(m_stateMutex);
        m_hint = archive()->passwordHint();
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
        archive()->setDelegate(this);
        archive()->extractAllItems(target);
    }
    archive()->closeArchive();
}

VLEncryptedArchiveDelegate::Callbacks VLDezerider::answeredCallbacks() const
{
    return VLArchiveJob::answeredCallbacks() | Callback::HMACMismatch;
}

void VLDezerider::encryptedArchiveHMACMismatch(VLEncryptedArchive *archive, const VLEncryptedArchiveItemPtr &,
                                               quint64 &action)
{
    if (archive != this->archive())
        return;
    stopChronometer();
    sendFailure(VLError(keys::errorDomain, VLArchiveErrorDirectoryHmac));
    // The container gives the item up and ends the extraction with its own error.
    action = 1;
}

void VLDezerider::reportStarted(VLDezeriderDelegate *delegate)
{
    delegate->dezeriderDidStartedWithArchiveURL(this, m_archiveURL);
}

void VLDezerider::reportFinished(VLDezeriderDelegate *delegate, const QUrl &url)
{
    delegate->dezeriderDidFinishedWithResultURL(this, url);
}

void VLDezerider::reportFailure(VLDezeriderDelegate *delegate, const VLError &error)
{
    delegate->dezeriderDidFailedWithError(this, error);
}

void VLDezerider::reportProgress(VLDezeriderDelegate *delegate, float progress)
{
    delegate->dezeriderDidUpdateProgress(this, progress);
}

void VLDezerider::reportEstimation(VLDezeriderDelegate *delegate, const QString &estimation)
{
    delegate->dezeriderDidUpdateEstimationTime(this, estimation);
}
