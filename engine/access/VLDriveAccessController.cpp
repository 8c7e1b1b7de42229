#include "engine/access/VLDriveAccessController.h"

#include "engine/files/KXAdditions.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/core/Sandbox.h"
#include "platform/files/FileOperations.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

VLDriveAccessController::PanelRunner &panelRunner()
{
    static VLDriveAccessController::PanelRunner runner;
    return runner;
}

QString preferencesPath(const QString &name)
{
    const QString folder = platform::libraryFolder(QStringLiteral("Preferences"));
    return (folder.isEmpty() ? platform::libraryPath() + u"/Preferences"_qs : folder) + u'/' + name;
}

QUrl folderURL(const QString &path)
{
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

} // namespace

VLDriveAccessController &VLDriveAccessController::sharedInstance()
{
    static VLDriveAccessController instance;
    return instance;
}

VLDriveAccessController::VLDriveAccessController() = default;

VLDriveAccessController::~VLDriveAccessController()
{
    stopAccess();
}

QString VLDriveAccessController::rootBookmarkPath()
{
    return preferencesPath(QStringLiteral(".rootBook.dat"));
}

QString VLDriveAccessController::decBookmarkPath()
{
    return preferencesPath(QStringLiteral(".decBook.dat"));
}

bool VLDriveAccessController::startGrantAccess(VLError *error)
{
    if (!m_rootURL.isEmpty())
        return true;
    if (!platform::isSandboxed()) {
        m_rootURL = folderURL(KXAdditions::com_nimbrel_vaultine_homeDir());
        m_accessingRoot = true;
        return true;
    }
    QUrl resolved;
    const bool started = startBookmarkAccessingResolvedURL(rootBookmarkPath(), &resolved, error);
    m_rootURL = started ? resolved : QUrl();
    m_accessingRoot = started;
    return started;
}

bool VLDriveAccessController::startDecFolderAccess(VLError *error, QUrl *resolvedURL)
{
    QUrl resolved;
    const bool started = startBookmarkAccessingResolvedURL(decBookmarkPath(), &resolved, error);
    m_decFolderURL = started ? resolved : QUrl();
    m_accessingDecFolder = started;
    if (resolvedURL)
        *resolvedURL = m_decFolderURL;
    return started;
}

bool VLDriveAccessController::startBookmarkAccessingResolvedURL(const QString &bookmarkFilePath, QUrl *resolvedURL,
                                                                VLError *error)
{
    platform::PosixFile file = platform::PosixFile::openForReading(bookmarkFilePath);
    if (!file.isOpen()) {
        if (error)
            *error = VLError::posix(file.lastError());
        return false;
    }
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const std::int64_t read = file.read(buffer, sizeof buffer);
        if (read < 0) {
            if (error)
                *error = VLError::posix(file.lastError());
            return false;
        }
        if (read == 0)
            break;
        data.append(buffer, qsizetype(read));
    }

    const QString path = QString::fromUtf8(data);
    const QFileInfo folder(path);
    if (path.isEmpty() || !folder.isAbsolute() || !folder.isDir()) {
        const VLError resolution = VLError::posix(path.isEmpty() || !folder.isAbsolute() ? EINVAL : ENOENT);
        platform::log(u"[AC]: cant resolve bookmark "_qs + resolution.description());
        if (error)
            *error = resolution;
        return false;
    }
    if (!platform::isReadableItemAtPath(path, true)) {
        platform::log(u"[AC]: start bookmark accessing failed."_qs);
        return false;
    }
    if (resolvedURL)
        *resolvedURL = folderURL(path);
    return true;
}

void VLDriveAccessController::stopAccess()
{
    m_accessingRoot = false;
    m_accessingDecFolder = false;
}

bool VLDriveAccessController::askGrantAccessWindow(VLError *error, QWidget *window)
{
    m_rootURL = folderURL(KXAdditions::com_nimbrel_vaultine_homeDir());
    if (!platform::isSandboxed()) {
        m_accessingRoot = true;
        return true;
    }
    return askAccessForURLBookmarkFilePathResultURLWindowError(m_rootURL, rootBookmarkPath(), nullptr, window, error);
}

bool VLDriveAccessController::askDecFolderAccessWindowError(QWidget *window, VLError *error, QUrl *resultURL)
{
    QUrl chosen;
    const bool granted = askAccessForURLBookmarkFilePathResultURLWindowError(QUrl(), decBookmarkPath(), &chosen, window,
                                                                             error);
    if (!chosen.isEmpty())
        m_decFolderURL = chosen;
    if (resultURL)
        *resultURL = chosen;
    return granted;
}

bool VLDriveAccessController::askAccessForURLBookmarkFilePathResultURLWindowError(const QUrl &allowedURL,
                                                                                  const QString &bookmarkFilePath,
                                                                                  QUrl *resultURL, QWidget *window,
                                                                                  VLError *error)
{
    // The panel waits in a loop of its own; a second request meanwhile is refused, not nested.
    if (m_asking)
        return false;
    m_asking = true;
    m_currentAllowedURL = allowedURL.isEmpty() ? QUrl() : folderURL(allowedURL.toLocalFile());

    bool written = false;
    std::optional<QString> chosen;
    if (const PanelRunner &run = panelRunner()) {
        chosen = run(window, m_currentAllowedURL.toLocalFile(),
                     [this](const QUrl &url) { return panelShouldEnableURL(url); });
    } else {
        platform::log(u"[AC]: no panel to ask for access"_qs);
    }
    if (chosen) {
        const QString path = QDir::cleanPath(*chosen);
        if (resultURL)
            *resultURL = folderURL(path);
        const QByteArray bookmark = path.toUtf8();
        if (bookmark.isEmpty()) {
            const VLError failure = VLError::posix(EINVAL);
            platform::log(u"[AC]: cant get bookmark for path "_qs + failure.description());
            if (error)
                *error = failure;
        } else {
            QSaveFile file(bookmarkFilePath);
            if (file.open(QIODevice::WriteOnly) && file.write(bookmark) == bookmark.size() && file.commit()) {
                written = true;
            } else {
                const VLError failure = VLError::posix(EIO);
                platform::log(u"[AC]: cant write bookmark to file "_qs + failure.description() + u" ("_qs
                              + file.errorString() + u')');
                if (error)
                    *error = failure;
            }
        }
    }
    m_asking = false;
    return written;
}

bool VLDriveAccessController::panelShouldEnableURL(const QUrl &url) const
{
    return m_currentAllowedURL.isEmpty() || folderURL(url.toLocalFile()) == m_currentAllowedURL;
}

void VLDriveAccessController::setPanelRunner(PanelRunner runner)
{
    panelRunner() = std::move(runner);
}
