#include "engine/jobs/VLVedidador.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLPathComponents.h"
#include "engine/metadata/VLPNGRepresentation.h"
#include "platform/core/BundleInfo.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/FileOperations.h"

#include <QDir>
#include <QSet>

namespace {

namespace keys = VLEncryptedArchiveConstants;

QString bundleDomain()
{
    return QString::fromLatin1(platform::bundle::identifier);
}

// Packages keep their icon as the preview; on this platform that is known by the extension.
bool isBundleOrPackageExtension(const QString &extension)
{
    static const QSet<QString> packages = {QStringLiteral("app"), QStringLiteral("appex"), QStringLiteral("bundle"),
        QStringLiteral("framework"), QStringLiteral("plugin"), QStringLiteral("kext"), QStringLiteral("rtfd"),
        QStringLiteral("pkg"), QStringLiteral("mpkg"), QStringLiteral("xcodeproj"), QStringLiteral("xcworkspace"),
        QStringLiteral("playground"), QStringLiteral("key"), QStringLiteral("pages"), QStringLiteral("numbers"),
        QStringLiteral("photoslibrary")};
    return packages.contains(extension.toLower());
}

} // namespace

void VLVedidadorDelegate::vedidadorDidStartedWithURLs(VLVedidador *, const QList<QUrl> &) {}
void VLVedidadorDelegate::vedidadorDidFailedWithError(VLVedidador *, const VLError &) {}
void VLVedidadorDelegate::vedidadorDidFinishedWithResultURL(VLVedidador *, const QUrl &) {}
void VLVedidadorDelegate::vedidadorDidUpdateProgress(VLVedidador *, float) {}
void VLVedidadorDelegate::vedidadorDidUpdateEstimationTime(VLVedidador *, const QString &) {}

std::shared_ptr<VLVedidador> VLVedidador::vedidadorWithSourceURLs(const QList<QUrl> &sourceURLs)
{
    if (sourceURLs.isEmpty())
        return nullptr;
    return std::shared_ptr<VLVedidador>(new VLVedidador(sourceURLs));
}

VLVedidador::VLVedidador(QList<QUrl> sourceURLs)
    : m_sourceURLs(std::move(sourceURLs))
    , m_archive(VLEncryptedArchive::newArchive())
    , m_chronometer(std::make_unique<VLChronometer>())
{
    m_archive->setDelegate(this);
    m_chronometer->setDelegate(this);
}

VLVedidador::~VLVedidador()
{
    if (m_archive->delegate() == this)
        m_archive->setDelegate(nullptr);
    m_archive->closeArchive();
    if (m_chronometer->delegate() == this)
        m_chronometer->setDelegate(nullptr);
}

QString VLVedidador::outputNameForSourceURLs(const QList<QUrl> &sourceURLs)
{
    if (sourceURLs.size() >= 2)
        return QStringLiteral("Encrypted Archive.vault");
    const QString name =
        sourceURLs.isEmpty() ? QString() : VLPathComponents::lastPathComponent(sourceURLs.first().toLocalFile());
    return VLPathComponents::deletingPathExtension(name) + QStringLiteral(".vault");
}

template<typename Call>
void VLVedidador::send(Call call)
{
    std::lock_guard lock(m_delegateMutex);
    if (m_delegate && !isCancelled())
        call(m_delegate);
}

VLVedidadorDelegate *VLVedidador::delegate() const
{
    std::lock_guard lock(m_delegateMutex);
    return m_delegate;
}

void VLVedidador::setDelegate(VLVedidadorDelegate *delegate)
{
    std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}

QUrl VLVedidador::destinationURL() const
{
    std::lock_guard lock(m_stateMutex);
    return m_destinationURL;
}

void VLVedidador::encryptWithPasswordHint(const QString &password, const QString &hint)
{
    if (std::exchange(m_started, true))
        return;
    const QString folder = KXAdditions::com_nimbrel_vaultine_createUniqueDirectoryAtTempPath();
    if (folder.isEmpty()) {
        send([this](VLVedidadorDelegate *d) { d->vedidadorDidFailedWithError(this, VLError(bundleDomain(), 101)); });
        return;
    }
    const QString rootPath = KXAdditions::com_nimbrel_vaultine_rootPathForURLs(m_sourceURLs);
    {
        std::lock_guard lock(m_stateMutex);
        m_destinationURL = QUrl::fromLocalFile(folder + u'/' + outputNameForSourceURLs(m_sourceURLs));
        m_running = true;
    }
    platform::dispatchAsync(
        platform::QueuePriority::Background, [self = shared_from_this(), password, hint, rootPath]() mutable {
            self->work(std::move(password), hint, rootPath);
            self->workerStopped();
        });
}

void VLVedidador::cancel()
{
    {
        // Under the delegate lock, so that no callback is in progress once this returns.
        std::lock_guard lock(m_delegateMutex);
        m_isCancelled.store(true);
    }
    stopChronometer();
}

bool VLVedidador::waitUntilStopped(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_stateMutex);
    return m_stopped.wait_for(lock, bound, [this] { return !m_running; });
}

bool VLVedidador::isRunning() const
{
    std::lock_guard lock(m_stateMutex);
    return m_running;
}

void VLVedidador::workerStopped()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_running = false;
    }
    m_stopped.notify_all();
}

void VLVedidador::stopChronometer()
{
    if (m_chronometer->isMeasuring())
        m_chronometer->stop();
}

void VLVedidador::work(QString password, const QString &hint, const QString &rootPath)
{
    VLError error;
    QSet<QString> intermediates; // a folder shared by several sources enters once
    for (const QUrl &url : m_sourceURLs) {
        if (isCancelled())
            return;
        const QString source = QDir::cleanPath(url.toLocalFile());

        QString unreadable;
        if (!checkSourceReadability(url, &unreadable)) {
            auto item = std::make_shared<VLEncryptedArchiveItem>();
            item->setPath(unreadable);
            error = VLError(bundleDomain(), 1003, {{keys::keyItem, QVariant::fromValue(item)}});
            break;
        }

        // The folders between the root and the source, so that sources from different
        // folders keep their layout inside the container.
        const qsizetype rootLength = rootPath.endsWith(u'/') ? rootPath.size() : rootPath.size() + 1;
        if (source.size() > rootPath.size() + 1) {
            QStringList components = source.mid(rootLength).split(u'/', Qt::SkipEmptyParts);
            components.removeLast();
            QString running = rootPath;
            for (const QString &component : std::as_const(components)) {
                running = running.endsWith(u'/') ? QString(running + component) : QString(running + u'/' + component);
                if (intermediates.contains(running))
                    continue;
                intermediates.insert(running);
                if (!m_archive->addItemFromRoot(running, rootPath))
                    error = VLError(bundleDomain(), 101);
            }
            if (error)
                break;
        }

        const bool complete = KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            source, [&](const QString &path, bool, qint64, bool &stop) {
                if (isCancelled()) {
                    stop = true;
                    return;
                }
                if (!m_archive->addItemFromRoot(path, rootPath)) {
                    error = VLError(bundleDomain(), 101);
                    stop = true;
                }
            });
        if (error)
            break;
        // A walk that met an error entry has not added the whole source: saving what there is
        // would report a partial container as a success.
        if (!complete && !isCancelled()) {
            error = VLError(bundleDomain(), 101);
            break;
        }
    }
    if (error) {
        send([this, &error](VLVedidadorDelegate *d) { d->vedidadorDidFailedWithError(this, error); });
        return;
    }
    if (isCancelled())
        return;

    m_archive->setPassword(password);
    m_archive->setPasswordHint(hint);
    if (m_sourceURLs.size() == 1)
        m_archive->setPreview(previewForSource(m_sourceURLs.first()));
    m_archive->save(destinationURL().toLocalFile());
}

bool VLVedidador::checkSourceReadability(const QUrl &source, QString *failedFile) const
{
    // The file manager's check, which also stops at a cancel: a large tree must not hold the
    // job up once it has been cancelled (a cancelled check counts as passed; nothing follows it).
    using platform::FileKind;
    const QString path = QDir::cleanPath(source.toLocalFile());
    QString failed;
    if (path.isEmpty() || platform::fileKindAtPath(path) == FileKind::Missing) {
        failed = path;
    } else {
        KXAdditions::com_nimbrel_vaultine_FTSWalkAtPathHandler(
            path, [this, &failed](const QString &entry, bool, qint64, bool &stop) {
                if (isCancelled()) {
                    stop = true;
                    return;
                }
                const FileKind kind = platform::fileKindAtPath(entry);
                if (kind == FileKind::SymbolicLink)
                    return;
                if (!platform::isReadableItemAtPath(entry, kind == FileKind::Folder)) {
                    failed = entry;
                    stop = true;
                }
            });
    }
    if (failedFile)
        *failedFile = failed;
    return failed.isEmpty() && !path.isEmpty();
}

std::optional<QByteArray> VLVedidador::previewForSource(const QUrl &source) const
{
    bool typeIcon = false;
    const QImage image =
        VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon({source}, QSize(128, 128), &typeIcon);
    if (image.isNull())
        return std::nullopt;
    if (typeIcon && !isBundleOrPackageExtension(VLPathComponents::pathExtension(source.toLocalFile())))
        return std::nullopt;
    const QByteArray png = VLPNGRepresentation::PNGRepresentation(image);
    if (png.isEmpty())
        return std::nullopt;
    return png;
}

VLEncryptedArchiveDelegate::Callbacks VLVedidador::answeredCallbacks() const
{
    return Callback::StartedOperation | Callback::FinishedOperation | Callback::OperationProgress
        | Callback::OperationError;
}

void VLVedidador::encryptedArchiveStartedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationSaving)
        return;
    m_chronometer->start();
    send([this](VLVedidadorDelegate *d) { d->vedidadorDidStartedWithURLs(this, m_sourceURLs); });
}

void VLVedidador::encryptedArchiveFinishedOperation(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationSaving)
        return;
    stopChronometer();
    const QUrl result = destinationURL();
    send([this, &result](VLVedidadorDelegate *d) { d->vedidadorDidFinishedWithResultURL(this, result); });
}

void VLVedidador::encryptedArchiveOperationProgress(VLEncryptedArchive *archive, const QVariantMap &info, bool &cancel)
{
    if (archive != m_archive.get())
        return;
    cancel = isCancelled();
    if (cancel)
        return;
    const double total = info.value(keys::keyTotalProgress).toDouble();
    m_chronometer->updateProgress(total);
    send([this, total](VLVedidadorDelegate *d) { d->vedidadorDidUpdateProgress(this, float(total)); });
}

void VLVedidador::encryptedArchiveOperationError(VLEncryptedArchive *archive, const QVariantMap &info)
{
    if (archive != m_archive.get() || info.value(keys::keyOperation).toString() != keys::operationSaving)
        return;
    stopChronometer();
    if (isCancelled())
        return;
    const VLError cause = info.value(keys::keyError).value<VLError>();
    QVariantMap userInfo = cause.userInfo();
    if (info.contains(keys::keyItem))
        userInfo.insert(keys::keyItem, info.value(keys::keyItem));
    const VLError error(cause.domain(), cause.code(), userInfo);
    send([this, &error](VLVedidadorDelegate *d) { d->vedidadorDidFailedWithError(this, error); });
}

void VLVedidador::chronometerDidUpdateRemainingTime(VLChronometer *chronometer, double)
{
    if (chronometer != m_chronometer.get())
        return;
    const QString text = chronometer->remainingTimeString();
    send([this, &text, chronometer](VLVedidadorDelegate *d) {
        // A tick that raced the end of the job stays silent.
        if (chronometer->isMeasuring())
            d->vedidadorDidUpdateEstimationTime(this, text);
    });
}
