#pragma once

#include "platform/core/VLError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <chrono>
#include <optional>

// Launch options; only the asynchronous launch is used.
enum VLWorkspaceLaunchOptions : quint32 {
    VLWorkspaceLaunchDefault = 0,
    VLWorkspaceLaunchAsync = 0x10000,
};

// The configuration key whose value (a map of names to texts) is added to the environment of
// the launched application.
inline const QString VLWorkspaceLaunchConfigurationEnvironment = QStringLiteral(
    "NSWorkspaceLaunchConfigurationEnvironment");

enum VLApplicationActivationOptions : quint32 {
    VLApplicationActivateAllWindows = 1,
    VLApplicationActivateIgnoringOtherApps = 2,
};

// A running application as a launch gives it back: its process, when this launch started it.
class VLRunningApplication final
{
public:
    VLRunningApplication(QUrl bundleURL, qint64 processIdentifier, bool launchedNow);

    QUrl bundleURL() const { return m_bundleURL; }
    // 0 when the application was already running (its process is not ours to know).
    qint64 processIdentifier() const { return m_processIdentifier; }
    bool wasLaunchedNow() const { return m_launchedNow; }

    // Asks the application to come forward. A program cannot take the focus for another one on
    // this desktop: the application raises its own window when files arrive, and a process
    // launched here inherits the launcher's activation token. So there is nothing left to send;
    // true when the application was there to activate.
    bool activateWithOptions(quint32 options) const;

private:
    QUrl m_bundleURL;
    qint64 m_processIdentifier = 0;
    bool m_launchedNow = false;
};

// Finds, launches and hands files to applications, as the share helper needs it. An application
// is found by its identifier: its program beside this executable (the two are installed
// together, in the build tree too), else the program named by the desktop entry "<identifier>.desktop".
// A running application is the one answering on its single-instance channel.
class VLWorkspace final
{
public:
    struct Configuration
    {
        // Folders searched first for the application's program; the folder of this executable when empty.
        QStringList applicationFolders;
        // How long an open waits for a just-launched application to start listening.
        std::chrono::milliseconds openTimeout{15000};
    };

    static VLWorkspace &sharedWorkspace();
    VLWorkspace();
    explicit VLWorkspace(Configuration configuration);

    // A file URL of the application's program, or an empty URL when it is not to be found.
    QUrl URLForApplicationWithBundleIdentifier(const QString &bundleIdentifier) const;

    // Starts the program at the URL without waiting for it, with the configuration's
    // environment added, unless the application already runs; it is then reused. Nothing when
    // the program cannot be started.
    std::optional<VLRunningApplication> launchApplicationAtURLOptionsConfigurationError(
        const QUrl &url, quint32 options, const QVariantMap &configuration, VLError *error = nullptr) const;

    // Hands the files of the URLs to the application as one open-files message, waiting for an
    // application that is still starting. URLs that are not files are left out. False when the
    // application did not take the message.
    bool openURLsWithApplicationAtURLOptionsConfigurationError(const QList<QUrl> &urls, const QUrl &applicationURL,
                                                               quint32 options, const QVariantMap &configuration,
                                                               VLError *error = nullptr) const;

    // True when an application answers on the single-instance channel.
    static bool isApplicationRunning();

private:
    static QString programForBundleIdentifier(const QString &bundleIdentifier);
    static QString programOfDesktopEntry(const QString &path);

    Configuration m_configuration;
};
