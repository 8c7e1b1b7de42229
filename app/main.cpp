#include "app/VLAppDelegate.h"
#include "companion/VLTutorialWindowController.h"
#include "controls/VLTextFieldAdditions.h"
#include "platform/channel/VLInstanceChannel.h"
#include "screens/VLDropViewController.h"
#include "windowing/windows/VLContentWindowController.h"

#include "platform/core/Library.h"
#include "platform/core/Log.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace {

struct LaunchRequest
{
    VLInstanceChannel::Kind kind = VLInstanceChannel::Kind::OpenFiles;
    QStringList paths;
};

// Paths arrive as command-line arguments (the desktop entry passes them), made absolute here
// because a running instance may have another working folder. "--service" marks the
// "Encrypt with Vaultine" action; "--" ends the options.
LaunchRequest parseArguments(const QStringList &arguments)
{
    LaunchRequest request;
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (options && argument == u"--") {
            options = false;
            continue;
        }
        if (options && argument == u"--service") {
            request.kind = VLInstanceChannel::Kind::ServiceFiles;
            continue;
        }
        if (options && argument.startsWith(u'-'))
            continue;
        const QUrl url(argument);
        const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
        request.paths << QFileInfo(path).absoluteFilePath();
    }
    return request;
}

} // namespace

int main(int argc, char *argv[])
{
    VLTutorialWindowController::prepareWebEngine();
    QApplication app(argc, argv);
    platform::setApplicationIdentity();
    QApplication::setDesktopFileName(QStringLiteral("com.nimbrel.Vaultine"));
    // Quitting goes through the quit state machine only; the main window never closes itself.
    QApplication::setQuitOnLastWindowClosed(false);

    const LaunchRequest request = parseArguments(QApplication::arguments());
    if (VLInstanceChannel::sendToRunningInstance(request.kind, request.paths))
        return 0;

    VLInstanceChannel channel;
    const bool listening = channel.listen();

    VLAppDelegate::setupLogSystem(QApplication::arguments());
    // Before any interface file is loaded, so the letter spacing they set applies.
    VLTextFieldAdditions::install();
    // The drop screen is the root of the main window, where files from every source arrive.
    VLContentWindowController::setRootViewControllerFactory(
        [] { return VLViewControllerPtr(VLViewController::create<VLDropViewController>()); });
    VLAppDelegate delegate;
    if (!listening)
        platform::log(QStringLiteral("[Launch]: could not listen for files from later launches."));

    QObject::connect(&channel, &VLInstanceChannel::messageReceived, &delegate,
                     &VLAppDelegate::handOverFromAnotherLaunch);
    if (!request.paths.isEmpty())
        delegate.deliverFiles(request.kind, request.paths);
    // The launch runs inside the main loop, so that a Quit in the consent window ends it.
    QTimer::singleShot(0, &delegate, &VLAppDelegate::applicationDidFinishLaunching);

    return QApplication::exec();
}
