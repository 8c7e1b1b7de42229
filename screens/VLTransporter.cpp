#include "screens/VLTransporter.h"

#include "engine/files/KXAdditions.h"
#include "engine/files/NBFileSizer.h"
#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "screens/VLTransportWindowController.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLErrorsHandler.h"
#include "windowing/windows/VLSheetRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

VLError errorOf(const QVariantMap &information)
{
    return information.value(KXAdditions::errorKey).value<VLError>();
}

// The item itself when it exists, else the nearest folder above it that does.
QString nearestExistingPath(const QString &path)
{
    QString candidate = QDir::cleanPath(path);
    while (!candidate.isEmpty() && !QFileInfo::exists(candidate)) {
        const QString parent = QFileInfo(candidate).path();
        if (parent == candidate)
            break;
        candidate = parent;
    }
    return candidate;
}

} // namespace

// One transfer with progress; its handler runs on the transfer's background thread, the window
// lives on the main thread.
struct VLTransporter::Transport
{
    std::shared_ptr<VLTransporter> transporter;
    // Held while the transfer keeps this handler.
    std::shared_ptr<void> running;
    QUrl source;
    bool cancelReported = false;
    QUrl destination;
    bool usesWindow = false;
    // Background thread only.
    QUrl landedURL;
    // Main thread only.
    std::unique_ptr<VLTransportWindowController> windowController;

    void beginSheet(quint64 totalSize)
    {
        windowController = std::make_unique<VLTransportWindowController>();
        windowController->setSourceURL(source);
        windowController->setDestinationURL(destination);
        windowController->setTotalSize(totalSize);
        QDialog *sheet = windowController->window();
        VLSheetRegistry::instance().beginSheet(transporter->hostWindow(), sheet, {});
        sheet->activateWindow();
    }

    void endSheetAndClose()
    {
        if (!windowController)
            return;
        if (windowController->isWindowLoaded())
            windowController->window()->done(QDialog::Accepted);
        windowController->close();
        windowController.reset();
    }

    void handle(quint64 state, bool *cancel, const QVariantMap &information)
    {
        bool windowCancelled = false;
        switch (state) {
        case KXAdditions::TransferStarted:
            landedURL = information.value(KXAdditions::destinationURLKey).toUrl();
            if (usesWindow) {
                // Sized here, off the main thread: a large tree takes a while to add up.
                const quint64 totalSize = NBFileSizer::itemSizeAtURL(source);
                transporter->runOnMain([&] {
                    beginSheet(totalSize);
                    windowCancelled = windowController->isCancelled();
                });
            }
            break;
        case KXAdditions::TransferProgress:
            if (usesWindow) {
                const quint64 moved = information.value(KXAdditions::bytesMovedKey).toULongLong();
                transporter->runOnMain([&] {
                    if (!windowController)
                        return;
                    windowController->setMovedSize(moved);
                    windowCancelled = windowController->isCancelled();
                });
            }
            break;
        case KXAdditions::TransferFailed: {
            const VLError error = errorOf(information);
            platform::log(u"[Transporter]: move error: "_qs + error.description());
            // Nothing of it must outlive this report: the transfer lets go of the handler after it.
            platform::dispatchToMain([self = transporter, windowController = windowController.release(), error] {
                std::unique_ptr<VLTransportWindowController> owned(windowController);
                if (owned) {
                    if (owned->isWindowLoaded())
                        owned->window()->done(QDialog::Accepted);
                    owned->close();
                }
                owned.reset();
                // An owner that cancelled has moved on; the failure is in the log.
                if (!self->isCancelled())
                    VLErrorsHandler::showAlertWithErrorWindowCompletionHandler(error, self->hostWindow(), {});
            });
            reportFailure();
            return;
        }
        case KXAdditions::TransferFinished: {
            if (landedURL.isEmpty())
                landedURL = information.value(KXAdditions::destinationURLKey).toUrl();
            transporter->runOnMain([&] {
                endSheetAndClose();
                transporter->sendToDelegate([&](VLTransporterDelegate *delegate) {
                    delegate->transporterDidFinishTransportationWithURL(transporter.get(), landedURL);
                });
            });
            return;
        }
        default:
            break;
        }

        if (windowCancelled || transporter->isCancelled()) {
            if (usesWindow)
                transporter->runOnMain([&] { endSheetAndClose(); });
            if (cancel)
                *cancel = true;
            // A transfer the user cancelled left the item where it was; its owner must know that
            // as it knows of a failure (once: the transfer stops at this report).
            if (!transporter->isCancelled() && !std::exchange(cancelReported, true))
                reportFailure();
        }
    }

    void reportFailure()
    {
        transporter->sendToDelegate([this](VLTransporterDelegate *delegate) {
            delegate->transporterDidFailedTransportationWithURL(transporter.get(), source);
        });
    }
};

std::shared_ptr<VLTransporter> VLTransporter::create()
{
    return std::make_shared<VLTransporter>(Private{});
}

VLTransporter::VLTransporter(Private)
{
}

VLTransporter::~VLTransporter() = default;

QWidget *VLTransporter::hostWindow() const
{
    return m_window ? m_window.data() : VLAlertHandler::mainWindow();
}

void VLTransporter::moveItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite)
{
    transferItemFromURLToURLOverwriteCopy(source, destination, overwrite, false);
}

void VLTransporter::copyItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite)
{
    transferItemFromURLToURLOverwriteCopy(source, destination, overwrite, true);
}

void VLTransporter::copyItemWithProgressFromURLToURLOverwrite(const QUrl &source, const QUrl &destination,
                                                              bool overwrite)
{
    transportItemFromURLToURLOverwriteLeaveOriginal(source, destination, overwrite, true);
}

void VLTransporter::transportItemFromURLToURLOverwrite(const QUrl &source, const QUrl &destination, bool overwrite)
{
    transportItemFromURLToURLOverwriteLeaveOriginal(source, destination, overwrite, false);
}

bool VLTransporter::isDestinationOnAnotherVolume(const QUrl &source, const QUrl &destination)
{
    // What matters is whether a rename can carry the item: the work folders may lie on another
    // volume than "/" here, so the destination is compared with the source's volume.
    const QString destinationPath = destination.toLocalFile();
    const QStorageInfo destinationVolume(nearestExistingPath(destinationPath));
    const QStorageInfo sourceVolume(nearestExistingPath(source.toLocalFile()));
    if (!destinationVolume.isValid() || !sourceVolume.isValid()) {
        for (const QString &mounts : {u"/Volumes/"_qs, u"/media/"_qs, u"/run/media/"_qs, u"/mnt/"_qs}) {
            if (destinationPath.startsWith(mounts))
                return true;
        }
        return false;
    }
    return destinationVolume.rootPath() != sourceVolume.rootPath()
           || destinationVolume.device() != sourceVolume.device();
}

void VLTransporter::transportItemFromURLToURLOverwriteLeaveOriginal(const QUrl &source, const QUrl &destination,
                                                                    bool overwrite, bool leaveOriginal)
{
    const bool anotherVolume = isDestinationOnAnotherVolume(source, destination);
    const quint64 mode = overwrite ? KXAdditions::TransferReplace : KXAdditions::TransferFreeName;
    const quint64 type = leaveOriginal   ? KXAdditions::TransferCopyWithProgress
                         : anotherVolume ? KXAdditions::TransferMoveAcrossVolumes
                                         : KXAdditions::TransferMove;

    auto transport = std::make_shared<Transport>();
    transport->transporter = shared_from_this();
    transport->running = runningToken();
    transport->source = source;
    transport->destination = destination;
    transport->usesWindow = leaveOriginal || anotherVolume;
    KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
        source, destination, mode, type, [transport](quint64 state, bool *cancel, const QVariantMap &information) {
            transport->handle(state, cancel, information);
        });
}

void VLTransporter::cancel()
{
    // Under the delegate's lock: a callback in progress ends before this returns, and none
    // starts after it.
    const std::lock_guard lock(m_delegateMutex);
    m_cancelled = true;
}

void VLTransporter::setDelegate(VLTransporterDelegate *delegate)
{
    const std::lock_guard lock(m_delegateMutex);
    m_delegate = delegate;
}

void VLTransporter::sendToDelegate(const std::function<void(VLTransporterDelegate *)> &call)
{
    const std::lock_guard lock(m_delegateMutex);
    if (VLTransporterDelegate *delegate = m_delegate.load(); delegate && !isCancelled())
        call(delegate);
}

void VLTransporter::transferBegan()
{
    const std::lock_guard lock(m_mutex);
    ++m_running;
}

void VLTransporter::transferEnded()
{
    {
        const std::lock_guard lock(m_mutex);
        --m_running;
    }
    m_changed.notify_all();
}

std::shared_ptr<void> VLTransporter::runningToken()
{
    transferBegan();
    // The token holds the transporter, so it is there to be told.
    return std::shared_ptr<void>(nullptr, [self = shared_from_this()](void *) { self->transferEnded(); });
}

bool VLTransporter::isRunning() const
{
    const std::lock_guard lock(m_mutex);
    return m_running > 0;
}

void VLTransporter::runOnMain(const std::function<void()> &work)
{
    if (platform::isMainThread()) {
        work();
        return;
    }
    auto item = std::make_shared<MainWork>();
    item->work = work;
    {
        const std::lock_guard lock(m_mutex);
        m_mainWork.push_back(item);
    }
    m_changed.notify_all();
    platform::dispatchToMain([self = shared_from_this()] { self->drainMainWork(); });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&item] { return item->done; });
}

void VLTransporter::drainMainWork()
{
    for (;;) {
        std::shared_ptr<MainWork> item;
        {
            const std::lock_guard lock(m_mutex);
            if (m_mainWork.empty())
                return;
            item = m_mainWork.front();
            m_mainWork.pop_front();
        }
        item->work();
        {
            const std::lock_guard lock(m_mutex);
            item->done = true;
        }
        m_changed.notify_all();
    }
}

bool VLTransporter::waitUntilStopped(std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock lock(m_mutex);
    while (m_running > 0) {
        if (!m_mainWork.empty()) {
            lock.unlock();
            drainMainWork();
            lock.lock();
            continue;
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout && m_mainWork.empty())
            return m_running == 0;
    }
    return true;
}

void VLTransporter::transferItemFromURLToURLOverwriteCopy(const QUrl &source, const QUrl &destination, bool overwrite,
                                                          bool copy)
{
    const quint64 mode = overwrite ? KXAdditions::TransferReplace : KXAdditions::TransferFreeName;
    const quint64 type = copy ? KXAdditions::TransferCopy : KXAdditions::TransferMove;
    KXAdditions::vl_transferItemFromURLToURLModeTypeHandler(
        source, destination, mode, type,
        [self = shared_from_this(), running = runningToken(), source](quint64 state, bool *,
                                                                      const QVariantMap &information) {
            if (state == KXAdditions::TransferFailed) {
                const VLError error = errorOf(information);
                // The host window is read on the main thread, where it lives.
                platform::dispatchToMain([self, error] {
                    if (!self->isCancelled())
                        VLErrorsHandler::showAlertWithErrorWindowCompletionHandler(error, self->hostWindow(), {});
                });
                platform::log(u"[Transporter]: transport error: "_qs + error.description());
                self->sendToDelegate([&](VLTransporterDelegate *delegate) {
                    delegate->transporterDidFailedTransportationWithURL(self.get(), source);
                });
            } else if (state == KXAdditions::TransferFinished) {
                self->sendToDelegate([&](VLTransporterDelegate *delegate) {
                    delegate->transporterDidFinishTransportationWithURL(
                        self.get(), information.value(KXAdditions::destinationURLKey).toUrl());
                });
            }
        });
}
