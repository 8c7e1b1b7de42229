#include "screens/decrypt/VLArchiveOpener.h"

#include "windowing/windows/VLErrorsHandler.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/metadata/VLPreviewDiscriminator.h"
#include "platform/dispatch/Dispatch.h"

#include "engine/archive/VLTypeIdentifier.h"
#include "platform/files/ThemeIcons.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

using Semaphore = platform::Semaphore;

std::atomic<int> runningOpens{0};

// The MIME type behind a type identifier. Public identifiers are found through the engine's own
// naming of files, so the two directions cannot drift apart: the type is the one whose suffix the
// engine names with that identifier. A bare extension names its file type directly.
QMimeType mimeTypeForTypeIdentifier(const QString &typeIdentifier)
{
    static const QMimeDatabase mimes;
    if (!typeIdentifier.contains(u'.'))
        return mimes.mimeTypeForFile(u"x." + typeIdentifier, QMimeDatabase::MatchExtension);
    static const QHash<QString, QString> typesByIdentifier = [] {
        QHash<QString, QString> table;
        QList<QMimeType> types = mimes.allMimeTypes();
        std::sort(types.begin(), types.end(),
                  [](const QMimeType &a, const QMimeType &b) { return a.name() < b.name(); });
        for (const QMimeType &type : types) {
            for (const QString &suffix : type.suffixes()) {
                const QString fileName = u"x." + suffix;
                const QString identifier = VLTypeIdentifierForPath(fileName, false);
                if (identifier.contains(u'.') && !table.contains(identifier))
                    table.insert(identifier, mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name());
            }
        }
        return table;
    }();
    return mimes.mimeTypeForName(typesByIdentifier.value(typeIdentifier));
}

QStringList iconNamesForTypeIdentifier(const QString &typeIdentifier)
{
    if (typeIdentifier == u"public.folder")
        return {QStringLiteral("folder"), QStringLiteral("inode-directory")};
    QStringList names;
    const QMimeType type = mimeTypeForTypeIdentifier(typeIdentifier);
    if (type.isValid()) {
        static const QMimeDatabase mimes;
        names << type.iconName() << type.genericIconName();
        for (const QString &ancestor : type.allAncestors()) {
            const QMimeType parent = mimes.mimeTypeForName(ancestor);
            names << parent.iconName() << parent.genericIconName();
        }
    }
    names << QStringLiteral("application-x-generic") << QStringLiteral("text-x-generic");
    names.removeAll(QString());
    names.removeDuplicates();
    return names;
}

// The desktop's icon for a type identifier (or a bare extension), centred on a 128 x 128 image;
// read from the icon theme's files, so it may be made on the background open's thread.
QImage iconForFileType(const QString &typeIdentifier)
{
    constexpr int side = 128;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (const QString &name : iconNamesForTypeIdentifier(typeIdentifier)) {
        const QString file = platform::themeIconFile(name, side);
        if (file.isEmpty())
            continue;
        QImageReader reader(file);
        const QSize natural = reader.size();
        if (natural.isValid() && !natural.isEmpty())
            reader.setScaledSize(natural.scaled(side, side, Qt::KeepAspectRatio));
        QImage icon = reader.read();
        if (icon.isNull())
            continue;
        if (icon.width() != side && icon.height() != side)
            icon = icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&image);
        painter.drawImage((side - icon.width()) / 2, (side - icon.height()) / 2, icon);
        break;
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
    QImage preview;
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
        const std::optional<QByteArray> previewData = sender->preview();
        preview = previewData && !previewData->isEmpty() ? QImage::fromData(*previewData) : QImage();
        if (preview.isNull()) {
            const QList<VLEncryptedArchiveItemPtr> topLevel = sender->childRecordsAtPath();
            if (!topLevel.isEmpty())
                preview = iconForFileType(topLevel.size() == 1 ? topLevel.first()->UTI()
                                                               : QStringLiteral("public.folder"));
        }
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
        const std::shared_ptr<Semaphore> checking = passChecking;
        lock.unlock();
        // The alert is handed over while the main thread still waits, so the window cannot go
        // away between being read here and being watched by the hand-over.
        if (show) {
            const VLError error = info.value(VLEncryptedArchiveConstants::keyError).value<VLError>();
            VLErrorsHandler::showAlertWithErrorRootItemWindowCompletionHandler(error, QFileInfo(archivePath).fileName(),
                                                                               target.data(), {});
        }
        checking->signal();
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
                    std::lock_guard sharedLock(shared->mutex);
                    shared->archive = &archive;
                }
                archive.openArchive(shared->archivePath);
                {
                    std::lock_guard sharedLock(shared->mutex);
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
    return m_shared->preview;
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
