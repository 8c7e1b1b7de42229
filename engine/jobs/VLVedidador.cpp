#include "engine/jobs/VLVedidador.h"

#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/files/KXAdditions.h"
#include "engine/files/VLFileImageComposer.h"
#include "engine/files/VLPathComponents.h"
#include "engine/jobs/VLTreeAdder.h"
#include "engine/metadata/VLPNGRepresentation.h"
#include "platform/core/BundleInfo.h"

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
    static const QSet<QString> packages = {
        QStringLiteral("app"),          QStringLiteral("appex"),       QStringLiteral("bundle"),
        QStringLiteral("framework"),    QStringLiteral("plugin"),      QStringLiteral("kext"),
        QStringLiteral("rtfd"),         QStringLiteral("pkg"),         QStringLiteral("mpkg"),
        QStringLiteral("xcodeproj"),    QStringLiteral("xcworkspace"), QStringLiteral("playground"),
        QStringLiteral("key"),          QStringLiteral("pages"),       QStringLiteral("numbers"),
        QStringLiteral("photoslibrary")};
    return packages.contains(extension.toLower());
}

} // namespace

void VLVedidadorDelegate::vedidadorDidStartedWithURLs(VLVedidador *, const QList<QUrl> &)
{
}
void VLVedidadorDelegate::vedidadorDidFailedWithError(VLVedidador *, const VLError &)
{
}
void VLVedidadorDelegate::vedidadorDidFinishedWithResultURL(VLVedidador *, const QUrl &)
{
}
void VLVedidadorDelegate::vedidadorDidUpdateProgress(VLVedidador *, float)
{
}
void VLVedidadorDelegate::vedidadorDidUpdateEstimationTime(VLVedidador *, const QString &)
{
}

std::shared_ptr<VLVedidador> VLVedidador::vedidadorWithSourceURLs(const QList<QUrl> &sourceURLs)
{
    if (sourceURLs.isEmpty())
        return nullptr;
    return std::shared_ptr<VLVedidador>(new VLVedidador(sourceURLs));
}

VLVedidador::VLVedidador(QList<QUrl> sourceURLs)
    : VLArchiveJob(keys::operationSaving)
    , m_sourceURLs(std::move(sourceURLs))
{
    archive()->setDelegate(this);
}

VLVedidador::~VLVedidador()
{
    detach();
}

QString VLVedidador::outputNameForSourceURLs(const QList<QUrl> &sourceURLs)
{
    if (sourceURLs.size() >= 2)
        return QStringLiteral("Encrypted Archive.vault");
    const QString name = sourceURLs.isEmpty() ? QString()
                                              : VLPathComponents::lastPathComponent(sourceURLs.first().toLocalFile());
    return VLPathComponents::deletingPathExtension(name) + QStringLiteral(".vault");
}

void VLVedidador::encryptWithPasswordHint(const QString &password, const QString &hint)
{
    const QString folder = beginInFreshWorkFolder(VLError(bundleDomain(), 101));
    if (folder.isEmpty())
        return;
    const QString rootPath = KXAdditions::com_nimbrel_vaultine_rootPathForURLs(m_sourceURLs);
    {
        std::lock_guard lock(m_stateMutex);
        m_destinationURL = QUrl::fromLocalFile(folder + u'/' + outputNameForSourceURLs(m_sourceURLs));
    }
    runInBackground(shared_from_this(),
                    [this, password, hint, rootPath]() mutable { work(std::move(password), hint, rootPath); });
}

void VLVedidador::work(QString password, const QString &hint, const QString &rootPath)
{
    VLError error;
    QSet<QString> intermediates; // a folder shared by several sources enters once
    for (const QUrl &url : m_sourceURLs) {
        if (isCancelled())
            return;
        const QString source = QDir::cleanPath(url.toLocalFile());

        // Stopped at a cancel: a large tree must not hold the job up once it has been cancelled.
        QString unreadable;
        if (!KXAdditions::vl_checkSourceReadabilityFailedFile(url, &unreadable, [this] { return isCancelled(); })) {
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
                if (!archive()->addItemFromRoot(running, rootPath))
                    error = VLError(bundleDomain(), 101);
            }
            if (error)
                break;
        }

        VLTreeAdder adder(*archive());
        const VLTreeAdder::Outcome added = adder.addTree(source, rootPath, [this] { return isCancelled(); });
        if (added == VLTreeAdder::Outcome::Stopped)
            return;
        // A walk that met an error entry has not added the whole source: saving what there is
        // would report a partial container as a success.
        if (added == VLTreeAdder::Outcome::EntryFailed
            || (added == VLTreeAdder::Outcome::WalkIncomplete && !isCancelled())) {
            error = VLError(bundleDomain(), 101);
            break;
        }
    }
    if (error) {
        sendFailure(error);
        return;
    }
    if (isCancelled())
        return;

    archive()->setPassword(password);
    archive()->setPasswordHint(hint);
    if (m_sourceURLs.size() == 1)
        archive()->setPreview(previewForSource(m_sourceURLs.first()));
    archive()->save(destinationURL().toLocalFile());
}

std::optional<QByteArray> VLVedidador::previewForSource(const QUrl &source) const
{
    bool typeIcon = false;
    const QImage image = VLFileImageComposer::composeImageFromURLsWithImageSizeIsTypeIcon({source}, QSize(128, 128),
                                                                                          &typeIcon);
    if (image.isNull())
        return std::nullopt;
    if (typeIcon && !isBundleOrPackageExtension(VLPathComponents::pathExtension(source.toLocalFile())))
        return std::nullopt;
    const QByteArray png = VLPNGRepresentation::PNGRepresentation(image);
    if (png.isEmpty())
        return std::nullopt;
    return png;
}

void VLVedidador::reportStarted(VLVedidadorDelegate *delegate)
{
    delegate->vedidadorDidStartedWithURLs(this, m_sourceURLs);
}

void VLVedidador::reportFinished(VLVedidadorDelegate *delegate, const QUrl &url)
{
    delegate->vedidadorDidFinishedWithResultURL(this, url);
}

void VLVedidador::reportFailure(VLVedidadorDelegate *delegate, const VLError &error)
{
    delegate->vedidadorDidFailedWithError(this, error);
}

void VLVedidador::reportProgress(VLVedidadorDelegate *delegate, float progress)
{
    delegate->vedidadorDidUpdateProgress(this, progress);
}

void VLVedidador::reportEstimation(VLVedidadorDelegate *delegate, const QString &estimation)
{
    delegate->vedidadorDidUpdateEstimationTime(this, estimation);
}
