#include "app/shell/VLAppDelegate.h"

#include "app/shell/VLContentWindowController.h"
#include "app/shell/VLLegacyWindow.h"
#include "app/shell/VLServiceProvider.h"
#include "app/shell/VLTerminatorProxy.h"
#include "app/shell/VLWindow.h"

#include "engine/access/VLDriveAccessController.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

VLAppDelegate *&sharedDelegate()
{
    static VLAppDelegate *delegate = nullptr;
    return delegate;
}

// The argument list as the platform prints an array: one quoted entry per line.
QString describeArguments(const QStringList &arguments)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_]+$"));
    QString text = QStringLiteral("(");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString entry = arguments.at(i);
        if (!bare.match(entry).hasMatch()) {
            entry.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
            entry = u'"' + entry + u'"';
        }
        text += QStringLiteral("\n    ") + entry + (i + 1 < arguments.size() ? QStringLiteral(",") : QString());
    }
    return text + QStringLiteral("\n)");
}

} // namespace

VLAppDelegate::VLAppDelegate(QObject *parent)
    : QObject(parent),
      m_servicesProvider(std::make_unique<VLServiceProvider>())
{
    sharedDelegate() = this;
}

VLAppDelegate::~VLAppDelegate()
{
    // The proxy outlives the delegate; its hook must not call into a delegate that is gone.
    if (m_launched)
        VLTerminatorProxy::sharedInstance()->setPreTerminationHook({});
    if (sharedDelegate() == this)
        sharedDelegate() = nullptr;
}

VLAppDelegate *VLAppDelegate::instance()
{
    return sharedDelegate();
}

QUrl VLAppDelegate::logFileURL()
{
    return QUrl::fromLocalFile(platform::libraryPath() + QStringLiteral("/Logs/vaultine.log"));
}

QString VLAppDelegate::fullVersion()
{
    return QString::fromLatin1(platform::bundle::buildVersion);
}

bool VLAppDelegate::setupLogSystem(const QStringList &arguments)
{
    if (platform::libraryFolder(QStringLiteral("Logs")).isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(logFileURL().toLocalFile());
    // Create the file private to the user before the streams open it, and keep it so when an
    // older file was laxer.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    ::close(fd);

    if (!std::freopen(path.constData(), "a+", stderr))
        return false;
    if (!std::freopen(path.constData(), "a+", stdout))
        return false;
    std::puts("\n");
    std::fflush(stdout);

    platform::log(QString(62, u'='));
    platform::log(
        QStringLiteral("Vaultine v. %1 started with arguments %2").arg(fullVersion(), describeArguments(arguments)));
    return true;
}

QString VLAppDelegate::addItemsAnalyticsLabel(const QStringList &paths)
{
    if (paths.size() < 2 && !paths.isEmpty()) {
        const QString &first = paths.first();
        const QFileInfo info(first);
        if (info.suffix() == u"vault")
            return QStringLiteral("Decrypt – Icon Drag");
        if (info.isDir())
            return QStringLiteral("Folder – Icon Drag");
    }
    return QStringLiteral("Files – Icon Drag");
}

void VLAppDelegate::applicationDidFinishLaunching()
{
    // Work folders left by an earlier run that ended abruptly still hold plaintext.
    VLTempCleaner::sharedInstance().clean();
    VLTerminatorProxy::sharedInstance()->setPreTerminationHook([this] { return preTerminationHook(); });
    // Closing the last window quits through the same path as the menu. (The main window never
    // closes itself; this is for a run whose last window is another one.)
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        connect(app, &QGuiApplication::lastWindowClosed, this,
                [] { VLTerminatorProxy::sharedInstance()->terminate(); });
    }

    m_dropWindowController = std::make_unique<VLContentWindowController>();
    buildMenus();
    // The tutorial, which would otherwise come first for a user who has not yet subscribed to
    // or skipped the newsletter, is not part of this build: the main window shows at once.
    m_dropWindowController->showWindow();
    if (!m_queuedFiles.isEmpty()) {
        m_dropWindowController->processAddedFiles(m_queuedFiles);
        m_queuedFiles.clear();
    }
    m_launched = true;
}

void VLAppDelegate::buildMenus()
{
    VLWindow *window = m_dropWindowController->window();
    auto *appMenu = new QMenu(tr("&Vaultine"), window);
    appMenu->setObjectName(QStringLiteral("applicationMenu"));
    appMenu->setPalette(window->palette()); // a popup does not take its window's dark palette
    QAction *quit = appMenu->addAction(tr("&Quit Vaultine"));
    quit->setObjectName(QStringLiteral("quitAction"));
    // Platforms without a standard quit key (the headless one) still get Ctrl+Q.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty())
        quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit->setShortcuts(quitKeys);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [] { VLTerminatorProxy::sharedInstance()->terminate(); });
    if (qobject_cast<VLLegacyWindow *>(window)) {
        // The drawn chrome has no room for a menu bar: the window takes the shortcuts itself.
        window->addActions(appMenu->actions());
    } else {
        window->menuBar()->addMenu(appMenu);
    }
}

void VLAppDelegate::applicationOpenFiles(const QStringList &paths)
{
    // The "Workflow" / "Add Items" event goes out with this label once the tracker is built in.
    const QString label = addItemsAnalyticsLabel(paths);
    Q_UNUSED(label);
    processFiles(paths);
}

void VLAppDelegate::handleFinderServiceFiles(const QStringList &paths)
{
    processFiles(paths);
}

void VLAppDelegate::deliverFiles(VLInstanceChannel::Kind kind, const QStringList &paths)
{
    if (kind == VLInstanceChannel::Kind::ServiceFiles) {
        QMimeData pasteboard;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        pasteboard.setUrls(urls);
        QString error;
        m_servicesProvider->encryptFilesUserDataError(pasteboard, QString(), &error);
        if (!error.isEmpty())
            platform::log(QStringLiteral("[Launch]: ") + error);
    } else {
        applicationOpenFiles(paths);
    }
}

void VLAppDelegate::handOverFromAnotherLaunch(VLInstanceChannel::Kind kind, const QStringList &paths)
{
    // A plain second launch only brings the running window forward.
    if (!paths.isEmpty()) {
        platform::log(QStringLiteral("[Launch]: %1 from another launch: %2")
                          .arg(kind == VLInstanceChannel::Kind::ServiceFiles ? QStringLiteral("service files")
                                                                             : QStringLiteral("files"),
                               paths.join(QStringLiteral(", "))));
        deliverFiles(kind, paths);
    }
    if (m_dropWindowController) {
        VLWindow *window = m_dropWindowController->window();
        if (!window->isVisible())
            m_dropWindowController->showWindow();
        window->raise();
        window->activateWindow();
    }
}

void VLAppDelegate::processFiles(const QStringList &paths)
{
    if (m_dropWindowController)
        m_dropWindowController->processAddedFiles(paths);
    else
        m_queuedFiles = paths;
}

bool VLAppDelegate::preTerminationHook()
{
    // Screens that own a running job have cancelled and waited for it before letting the quit
    // through, so the work folders can be emptied now without pulling files from under a worker.
    platform::log(QStringLiteral("[Terminator]: cleaning temp folder..."));
    VLTempCleaner::sharedInstance().sync_clean();
    platform::log(QStringLiteral("[Terminator]: cleaning temp folder finished."));
    VLDriveAccessController::sharedInstance().stopAccess();
    // The "App Quit" event and the analytics question join here with the tracker.
    return true;
}
