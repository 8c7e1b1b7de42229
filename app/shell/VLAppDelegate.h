#pragma once

#include "app/shell/VLInstanceChannel.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class QMenuBar;
class VLContentWindowController;
class VLServiceProvider;

// The application's delegate: opens the log, installs the quit hook, owns the main window
// controller for the whole run and takes files from outside (the command line, a second launch,
// the "Encrypt with Vaultine" action).
class VLAppDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLAppDelegate)

public:
    explicit VLAppDelegate(QObject *parent = nullptr);
    ~VLAppDelegate() override;

    // The one delegate of the running application (null before it is made).
    static VLAppDelegate *instance();

    // "Logs/vaultine.log" inside the Library, as a file URL.
    static QUrl logFileURL();
    // Points standard error and standard output at the log file (appending; the file is kept
    // private to the user) and writes the start lines. False when the file cannot be opened;
    // the process then keeps logging to its original streams.
    static bool setupLogSystem(const QStringList &arguments);
    // The bundle's build version, the one the start line names.
    static QString fullVersion();

    void applicationDidFinishLaunching();

    // Files from open-documents events: queued until the main window controller exists.
    void applicationOpenFiles(const QStringList &paths);
    // Files from the Services hand-over: the same, without the analytics event.
    void handleFinderServiceFiles(const QStringList &paths);

    // Files handed over by a launch: open-documents files, or Services files, which go through
    // the services provider.
    void deliverFiles(VLInstanceChannel::Kind kind, const QStringList &paths);
    // A later launch's message: its files, if any, and the main window brought forward.
    void handOverFromAnotherLaunch(VLInstanceChannel::Kind kind, const QStringList &paths);

    // The analytics label of an "Add Items" event for these paths.
    static QString addItemsAnalyticsLabel(const QStringList &paths);

    VLContentWindowController *dropWindowController() const { return m_dropWindowController.get(); }
    QStringList queuedFiles() const { return m_queuedFiles; }

    // Runs once when the quit gets past the screens; true lets the quit finish now.
    bool preTerminationHook();

private:
    void processFiles(const QStringList &paths);
    void buildMenus();

    std::unique_ptr<VLContentWindowController> m_dropWindowController;
    std::unique_ptr<VLServiceProvider> m_servicesProvider;
    QStringList m_queuedFiles;
    bool m_launched = false;
};
