#include "app/shell/VLArchiveOpener.h"

#include "app/shell/VLErrorsHandler.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/metadata/VLPreviewDiscriminator.h"
#include "platform/dispatch/Dispatch.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

#include <atomic>
#include <mutex>

namespace {

using Semaphore = platform::Semaphore;

std::atomic<int> runningOpens{0};

// The icon the desktop shows for a type identifier (or a bare extension), 128 x 128.
QImage iconForFileType(const QString &typeIdentifier)
{
    static const QHash<QString, QString> extensions{
        {QStringLiteral("public.plain-text"), QStringLiteral("txt")},
        {QStringLiteral("public.jpeg"), QStringLiteral("jpg")},
        {QStringLiteral("public.png"), QStringLiteral("png")},
        {QStringLiteral("public.tiff"), QStringLiteral("tiff")},
        {QStringLiteral("com.compuserve.gif"), QStringLiteral("gif")},
        {QStringLiteral("com.adobe.pdf"), QStringLiteral("pdf")},
        {QStringLiteral("public.html"), QStringLiteral("html")},
        {QStringLiteral("public.zip-archive"), QStringLiteral("zip")},
        {QStringLiteral("public.mp3"), QStringLiteral("mp3")},
        {QStringLiteral("public.mpeg-4"), QStringLiteral("mp4")},
    };
    QIcon icon;
    if (typeIdentifier == u"public.folder" || typeIdentifier == u"public.directory") {
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    } else {
        const QString extension = typeIdentifier.contains(u'.') ? extensions.value(typeIdentifier) : typeIdentifier;
        QMimeDatabase mimes;
        const QMimeType type = extension.isEmpty()
                                   ? mimes.mimeTypeForName(QStringLiteral("application/octet-stream"))
                                   : mimes.mimeTypeForFile(u"x." + extension, QMimeDatabase::MatchExtension);
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        if (icon.isNull())
            icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    }
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!icon.isNull()) {
        const QPixmap pixmap = icon.pixmap(128, 128);
        image = pixmap.toImage().scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

} // namespace

// Everything the background open and the main thread share. The open holds it (and not the
// opener), so a discarded opener never leaves the background thread with a dangling delegate.
struct VLArchiveOpener::Shared final : public VLEncryptedArchiveDelegate
{
    QString archivePath;
    QPointer<QWidget> window;

    std::mutex mutex;
    VLEncryptedArchive *archive = nullptr; // of the open under way or parked; owned by that open
    std::shared_ptr<Semaphore> passChecking;
    std::shared_ptr<Semaphore> passValidation;
    bool validationResult = false;
    bool released = false;
    int openCount = 0;

    // Known after a right password.
    std::optional<QByteArray> previewData;
    QString previewTypeIdentifier;
    bool containsApplication = false;
    qint64 creatorSystem = 0;

    Callbacks answeredCallbacks() const override
    {
        return Callback::PasswordNeeded | Callback::OperationError | Callback::FinishedOperation;
    }

    bool isCurrent(VLEncryptedArchive *sender) { return sender && sender == archive; }

    static bool isOpening(const QVariantMap &info)
    {
        return info.value(VLEncryptedArchiveConstants::keyOperation).toString()
               == VLEncryptedArchiveConstants::operationOpening;
    }

    void encryptedArchivePasswordNeeded(VLEncryptedArchive *sender, bool &cancel) override
    {
        std::shared_ptr<Semaphore> validation;
        {
            std::lock_guard lock(mutex);
            if (!isCurrent(sender))
                return;
            if (released) {
                cancel = true;
                return;
            }
            validationResult = false;
            passValidation = std::make_shared<Semaphore>();
            validation = passValidation;
            passChecking->signal();
        }
        // Parked until the next check has stored its password, or the opener goes away.
        validation->wait();
        std::lock_guard lock(mutex);
        if (released)
            cancel = true;
    }

    void encryptedArchiveFinishedOperation(VLEncryptedArchive *sender, const QVariantMap &info) override
    {
        std::lock_guard lock(mutex);
        if (!isCurrent(sender) || !isOpening(info))
            return;
        validationResult = true;
        previewData = sender->preview();
        const QList<VLEncryptedArchiveItemPtr> topLevel = sender->childRecordsAtPath();
        previewTypeIdentifier = topLevel.isEmpty()     ? QString()
                                : topLevel.size() == 1 ? topLevel.first()->UTI()
                                                       : QStringLiteral("public.folder");
        containsApplication = sender->includeApplications();
        creatorSystem = VLPreviewDiscriminator::discriminatePreviewData(previewData) == 1 ? 1 : 0;
        archive = nullptr; // closed by the open once it returns
        passChecking->signal();
    }

    void encryptedArchiveOperationError(VLEncryptedArchive *sender, const QVariantMap &info) override
    {
        std::unique_lock lock(mutex);
        if (!isCurrent(sender) || !isOpening(info))
            return;
        validationResult = false;
        archive = nullptr;
        const bool show = !released;
        const QPointer<QWidget> target = window;
        passChecking->signal();
        lock.unlock();
        if (show) {
            const VLError error = info.value(VLEncryptedArchiveConstants::keyError).value<VLError>();
            VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(error, QFileInfo(archivePath).fileName(),
                                                                               target.data(), {});
        }
    }
};

std::unique_ptr<VLArchiveOpener> VLArchiveOpener::openerWithArchivePath(const QString &archivePath)
{
    if (archivePath.isEmpty())
        return nullptr;
    return std::make_unique<VLArchiveOpener>(archivePath);
}

VLArchiveOpener::VLArchiveOpener(const QString &archivePath)
    : m_archivePath(archivePath)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->archivePath = archivePath;
    // The hint sits in the locator, before the password check; with no password and nobody to
    // ask, the open stops there.
    VLEncryptedArchive reader;
    reader.openArchive(archivePath);
    m_hint = reader.passwordHint();
    reader.closeArchive();
}

VLArchiveOpener::~VLArchiveOpener()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->released = true;
    // A parked open wakes up, is told to cancel and ends on its own.
    if (m_shared->archive && m_shared->passValidation) {
        m_shared->passValidation->signal();
        m_shared->passValidation.reset();
    }
}

bool VLArchiveOpener::checkPassword(const QString &password)
{
    std::shared_ptr<Semaphore> checking = std::make_shared<Semaphore>();
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->passChecking = checking;
        m_shared->window = m_window;
        if (m_shared->archive) {
            // The parked open retries with this password once woken.
            m_shared->archive->setPassword(password);
            if (m_shared->passValidation) {
                m_shared->passValidation->signal();
                m_shared->passValidation.reset();
            }
        } else {
            ++m_shared->openCount;
            ++runningOpens;
            platform::dispatchAsync(platform::QueuePriority::Default, [shared = m_shared, password] {
                VLEncryptedArchive archive;
                archive.setDelegate(shared.get());
                archive.setPassword(password);
                {
                    std::lock_guard lock(shared->mutex);
                    shared->archive = &archive;
                }
                archive.openArchive(shared->archivePath);
                {
                    std::lock_guard lock(shared->mutex);
                    if (shared->archive == &archive) {
                        // Ended without a callback the opener listens to: answer the check.
                        shared->archive = nullptr;
                        shared->validationResult = false;
                        shared->passChecking->signal();
                    }
                }
                archive.closeArchive();
                archive.setDelegate(nullptr);
                --runningOpens;
            });
        }
    }
    checking->wait();
    std::lock_guard lock(m_shared->mutex);
    return m_shared->validationResult;
}

QImage VLArchiveOpener::preview() const
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->previewData && !m_shared->previewData->isEmpty()) {
        const QImage stored = QImage::fromData(*m_shared->previewData);
        if (!stored.isNull())
            return stored;
    }
    if (m_shared->previewTypeIdentifier.isEmpty())
        return {};
    return iconForFileType(m_shared->previewTypeIdentifier);
}

bool VLArchiveOpener::containsApplication() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->containsApplication;
}

qint64 VLArchiveOpener::creatorSystem() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->creatorSystem;
}

bool VLArchiveOpener::validationResult() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->validationResult;
}

int VLArchiveOpener::backgroundOpenCount() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->openCount;
}

int VLArchiveOpener::runningBackgroundOpens()
{
    return runningOpens.load();
}

bool VLArchiveOpener::isOpenParked() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->archive != nullptr;
}
