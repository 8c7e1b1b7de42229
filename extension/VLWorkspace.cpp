#include "extension/VLWorkspace.h"

#include "platform/channel/VLInstanceChannel.h"
#include "platform/core/BundleInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace {

const QString workspaceErrorDomain = QStringLiteral("NSCocoaErrorDomain");
constexpr qint64 fileNoSuchFileError = 4;
constexpr qint64 executableLoadError = 3587;
constexpr unsigned long openPollIntervalMs = 100;

void setError(VLError *error, qint64 code, const QString &description)
{
    if (error)
        *error = VLError(workspaceErrorDomain, code, {{QStringLiteral("NSLocalizedDescription"), description}});
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// The program of an Exec line: its first word, which may be quoted ("..." with backslash
// escapes) as the desktop entry format allows.
QString firstExecWord(const QString &exec)
{
    const QString line = exec.trimmed();
    if (!line.startsWith(u'"'))
        return line.section(u' ', 0, 0);
    QString word;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'\\' && i + 1 < line.size()) {
            word += line.at(++i);
        } else if (c == u'"') {
            return word;
        } else {
            word += c;
        }
    }
    return {}; // unterminated quote: not a usable line
}

} // namespace

VLRunningApplication::VLRunningApplication(QUrl bundleURL, qint64 processIdentifier, bool launchedNow)
    : m_bundleURL(std::move(bundleURL))
    , m_processIdentifier(processIdentifier)
    , m_launchedNow(launchedNow)
{
}

bool VLRunningApplication::activateWithOptions(quint32 options) const
{
    Q_UNUSED(options);
    return m_launchedNow || VLWorkspace::isApplicationRunning();
}

VLWorkspace &VLWorkspace::sharedWorkspace()
{
    static VLWorkspace workspace;
    return workspace;
}

VLWorkspace::VLWorkspace() : VLWorkspace(Configuration{})
{
}

VLWorkspace::VLWorkspace(Configuration configuration) : m_configuration(std::move(configuration))
{
    if (m_configuration.applicationFolders.isEmpty() && QCoreApplication::instance())
        m_configuration.applicationFolders << QCoreApplication::applicationDirPath();
}

QString VLWorkspace::programForBundleIdentifier(const QString &bundleIdentifier)
{
    if (bundleIdentifier == QLatin1String(platform::bundle::identifier))
        return QStringLiteral(VAULTINE_APPLICATION_PROGRAM);
    return {};
}

QString VLWorkspace::programOfDesktopEntry(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // Only the main group counts; actions have Exec lines of their own. TryExec names the
    // program itself where Exec may start with a wrapper such as "env".
    bool inMainGroup = false;
    QString tryExec;
    QString exec;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        if (line.startsWith(u"TryExec="))
            tryExec = line.mid(8).trimmed();
        else if (line.startsWith(u"Exec="))
            exec = firstExecWord(line.mid(5));
    }
    const QString program = tryExec.isEmpty() ? exec : tryExec;
    if (program.isEmpty())
        return {};
    if (QFileInfo(program).isAbsolute())
        return isExecutableFile(program) ? program : QString();
    return QStandardPaths::findExecutable(program);
}

QUrl VLWorkspace::URLForApplicationWithBundleIdentifier(const QString &bundleIdentifier) const
{
    // The copy installed with this helper first, so a build tree or a second installation
    // hands its files to its own application.
    const QString program = programForBundleIdentifier(bundleIdentifier);
    if (!program.isEmpty()) {
        for (const QString &folder : m_configuration.applicationFolders) {
            const QString candidate = QDir(folder).filePath(program);
            if (isExecutableFile(candidate))
                return QUrl::fromLocalFile(QFileInfo(candidate).absoluteFilePath());
        }
    }
    // The desktop entry's file name is the identifier, as the application registers itself.
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                                 bundleIdentifier + QStringLiteral(".desktop"));
    if (entry.isEmpty())
        return {};
    const QString entryProgram = programOfDesktopEntry(entry);
    return entryProgram.isEmpty() ? QUrl() : QUrl::fromLocalFile(entryProgram);
}

bool VLWorkspace::isApplicationRunning()
{
    const QString path = VLInstanceChannel::serverPath();
    if (path.isEmpty())
        return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool answered = probe.waitForConnected(500);
    probe.abort();
    return answered;
}

std::optional<VLRunningApplication> VLWorkspace::launchApplicationAtURLOptionsConfigurationError(
    const QUrl &url, quint32 options, const QVariantMap &configuration, VLError *error) const
{
    // Every launch here is asynchronous: the helper never waits for the application to exit.
    Q_UNUSED(options);
    if (!url.isLocalFile() || !isExecutableFile(url.toLocalFile())) {
        setError(error, fileNoSuchFileError, QStringLiteral("The application could not be found."));
        return std::nullopt;
    }
    if (isApplicationRunning())
        return VLRunningApplication(url, 0, false);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QVariantMap extra = configuration.value(VLWorkspaceLaunchConfigurationEnvironment).toMap();
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        environment.insert(it.key(), it.value().toString());
    QProcess process;
    process.setProgram(url.toLocalFile());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::homePath());
    qint64 processIdentifier = 0;
    if (!process.startDetached(&processIdentifier)) {
        setError(error, executableLoadError, process.errorString());
        return std::nullopt;
    }
    return VLRunningApplication(url, processIdentifier, true);
}

bool VLWorkspace::openURLsWithApplicationAtURLOptionsConfigurationError(const QList<QUrl> &urls,
                                                                        const QUrl &applicationURL, quint32 options,
                                                                        const QVariantMap &configuration,
                                                                        VLError *error) const
{
    Q_UNUSED(options);
    Q_UNUSED(configuration);
    if (applicationURL.isEmpty()) {
        setError(error, fileNoSuchFileError, QStringLiteral("No application to open the files with."));
        return false;
    }
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    // A just-launched application takes a moment to listen. The message goes out once, only
    // after someone answers, so it is never delivered twice.
    const auto deadline = std::chrono::steady_clock::now() + m_configuration.openTimeout;
    while (!isApplicationRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            setError(error, executableLoadError, QStringLiteral("The application did not answer."));
            return false;
        }
        QThread::msleep(openPollIntervalMs);
    }
    if (!VLInstanceChannel::sendToRunningInstance(VLInstanceChannel::Kind::OpenFiles, paths)) {
        setError(error, executableLoadError, QStringLiteral("The application did not take the files."));
        return false;
    }
    return true;
}
