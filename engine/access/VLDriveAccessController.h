#pragma once

#include "platform/core/VLError.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;

// Asks for, keeps and releases the grant of the user's home folder (and of a second,
// user-chosen folder). A grant is a file in the Library's "Preferences/" that keeps the granted
// folder's path. Outside a sandbox every folder is reachable, so the home-folder grant counts
// as held and no panel is shown.
class VLDriveAccessController final : public QObject
{
    Q_OBJECT

public:
    static VLDriveAccessController &sharedInstance();

    VLDriveAccessController();
    ~VLDriveAccessController() override;
    Q_DISABLE_COPY_MOVE(VLDriveAccessController)

    static QString rootBookmarkPath(); // ".../Preferences/.rootBook.dat"
    static QString decBookmarkPath();  // ".../Preferences/.decBook.dat"

    QString currentDecryptionFolderPath() const { return m_decFolderURL.toLocalFile(); }

    // True at once when rootURL is set; otherwise reopens the stored home-folder grant into rootURL.
    [[nodiscard]] bool startGrantAccess(VLError *error = nullptr);
    [[nodiscard]] bool startDecFolderAccess(VLError *error, QUrl *resolvedURL = nullptr);
    // Reads a grant file, resolves the folder it names and starts using it.
    [[nodiscard]] bool startBookmarkAccessingResolvedURL(const QString &bookmarkFilePath, QUrl *resolvedURL,
                                                         VLError *error);
    // Ends the use of the granted folders; the URLs stay.
    void stopAccess();

    // Sets rootURL to the real home folder and asks the user to confirm it in the panel.
    [[nodiscard]] bool askGrantAccessWindow(VLError *error, QWidget *window);
    [[nodiscard]] bool askDecFolderAccessWindowError(QWidget *window, VLError *error, QUrl *resultURL = nullptr);
    // The request: a window-modal folder panel on the window that lets only allowedURL be chosen
    // (any folder when empty); true when the grant file was written. Blocks until the panel ends.
    [[nodiscard]] bool askAccessForURLBookmarkFilePathResultURLWindowError(const QUrl &allowedURL,
                                                                           const QString &bookmarkFilePath,
                                                                           QUrl *resultURL, QWidget *window,
                                                                           VLError *error);
    // Whether the panel lets the user confirm a folder.
    bool panelShouldEnableURL(const QUrl &url) const;

    QUrl rootURL() const { return m_rootURL; }
    void setRootURL(const QUrl &url) { m_rootURL = url; }
    QUrl decFolderURL() const { return m_decFolderURL; }
    void setDecFolderURL(const QUrl &url) { m_decFolderURL = url; }
    QUrl currentAllowedURL() const { return m_currentAllowedURL; }
    void setCurrentAllowedURL(const QUrl &url) { m_currentAllowedURL = url; }

    // True while the folders' use is started.
    bool isAccessingRoot() const { return m_accessingRoot; }
    bool isAccessingDecFolder() const { return m_accessingDecFolder; }

    // The panel a request asks through: window-modal on the window, folders only, opened in the
    // directory (when not empty), confirming only a folder that shouldEnableURL lets through.
    // Blocks until the panel ends; answers the chosen folder's path, or nothing when the panel
    // was cancelled or went with its window. The window layer installs the real panel; without
    // one every request ends as a cancelled one.
    using PanelRunner = std::function<std::optional<QString>(
        QWidget *window, const QString &directory, const std::function<bool(const QUrl &url)> &shouldEnableURL)>;
    static void setPanelRunner(PanelRunner runner);

private:
    QUrl m_rootURL;
    QUrl m_decFolderURL;
    QUrl m_currentAllowedURL;
    bool m_accessingRoot = false;
    bool m_accessingDecFolder = false;
    bool m_asking = false;
};
