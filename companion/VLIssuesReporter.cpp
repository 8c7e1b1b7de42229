#include "companion/VLIssuesReporter.h"

#include "platform/core/BundleInfo.h"
#include "platform/core/CrashHandler.h"
#include "platform/core/Library.h"
#include "platform/core/Log.h"
#include "platform/net/HttpSender.h"
#include "platform/settings/Defaults.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>

namespace {

const QString sentryLog = QStringLiteral("[Sentry]: ");
const QByteArray clientName = QByteArrayLiteral("vaultine/") + platform::bundle::shortVersion;

QString releaseName()
{
    return QStringLiteral("Vaultine@%1+%2")
        .arg(QString::fromLatin1(platform::bundle::shortVersion), QString::fromLatin1(platform::bundle::buildVersion));
}

// The lines every report starts with: what the service needs to group crashes, nothing more.
QByteArray reportHeader()
{
    return QStringLiteral("Vaultine crash report\nversion: %1 (%2)\nsystem: %3 %4\nkernel: %5 %6\narchitecture: %7\n")
        .arg(QString::fromLatin1(platform::bundle::shortVersion), QString::fromLatin1(platform::bundle::buildVersion),
             QSysInfo::productType(), QSysInfo::productVersion(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
             QSysInfo::currentCpuArchitecture())
        .toUtf8();
}

// One line of the stack as the C library writes it: "binary(symbol+0x1f) [0x55d1c0a0b1c2]".
QJsonObject frameForLine(const QString &line)
{
    static const QRegularExpression shape(QStringLiteral(R"(^(.*)\(([^)]*)\)\s*\[(0x[0-9a-fA-F]+)\]$)"));
    QJsonObject frame;
    const QRegularExpressionMatch match = shape.match(line.trimmed());
    if (!match.hasMatch()) {
        frame.insert(QStringLiteral("function"), line.trimmed());
        return frame;
    }
    frame.insert(QStringLiteral("package"), match.captured(1));
    frame.insert(QStringLiteral("instruction_addr"), match.captured(3));
    const QString symbol = match.captured(2);
    const qsizetype plus = symbol.lastIndexOf(u'+');
    const QString function = plus >= 0 ? symbol.left(plus) : symbol;
    if (!function.isEmpty())
        frame.insert(QStringLiteral("function"), function);
    return frame;
}

} // namespace

std::optional<VLIssuesReporter::ServiceAddress> VLIssuesReporter::ServiceAddress::fromDSN(const QString &dsn)
{
    const QUrl url(dsn, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http") || url.host().isEmpty()
        || url.userName().isEmpty())
        return std::nullopt;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString project = path.mid(slash + 1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (slash < 0 || !digits.match(project).hasMatch())
        return std::nullopt;

    ServiceAddress address;
    address.publicKey = url.userName();
    address.projectID = project;
    QUrl store;
    store.setScheme(url.scheme());
    store.setHost(url.host());
    store.setPort(url.port());
    store.setPath(path.left(slash) + QStringLiteral("/api/") + project + QStringLiteral("/store/"));
    address.storeEndpoint = store;
    return address;
}

VLIssuesReporter::VLIssuesReporter(const QString &dsn, QObject *parent) : VLIssuesReporter(dsn, Configuration{}, parent)
{
}

VLIssuesReporter::VLIssuesReporter(const QString &dsn, Configuration configuration, QObject *parent)
    : QObject(parent)
    , m_dsn(dsn)
    , m_address(ServiceAddress::fromDSN(dsn))
    , m_reportsFolder(configuration.reportsFolder.isEmpty() ? platform::libraryFolder(QStringLiteral("CrashReports"))
                                                            : configuration.reportsFolder)
    , m_defaults(configuration.defaults ? *configuration.defaults : platform::Defaults::standard())
{
    if (!m_address)
        platform::log(sentryLog
                      + QStringLiteral("could not init Sentry client with error: the address \"%1\" is not a valid DSN")
                            .arg(dsn));
}

VLIssuesReporter::~VLIssuesReporter() = default;

bool VLIssuesReporter::enableReporter()
{
    m_defaults.registerDefaults({{crashOnExceptionsKey, true}});
    if (!m_address || m_reportsFolder.isEmpty())
        return false;
    QDir().mkpath(m_reportsFolder);
    if (!platform::installCrashHandler(m_reportsFolder, reportHeader())) {
        platform::log(sentryLog + QStringLiteral("could not install the crash handler in %1").arg(m_reportsFolder));
        return false;
    }
    sendPendingReports();
    return true;
}

QStringList VLIssuesReporter::pendingReports() const
{
    QDir folder(m_reportsFolder);
    QStringList names = folder.entryList({QStringLiteral("*") + reportSuffix}, QDir::Files, QDir::Name);
    QStringList paths;
    for (const QString &name : std::as_const(names))
        paths << folder.filePath(name);
    return paths;
}

void VLIssuesReporter::sendPendingReports()
{
    if (!m_address)
        return;
    // Reports cut short by a second crash while writing are never finished.
    QDir folder(m_reportsFolder);
    for (const QString &name :
         folder.entryList({QStringLiteral("*") + reportSuffix + QStringLiteral(".tmp")}, QDir::Files))
        folder.remove(name);

    QStringList reports = pendingReports();
    while (reports.size() > keptReports) {
        platform::log(sentryLog
                      + QStringLiteral("dropped the old report %1").arg(QFileInfo(reports.first()).fileName()));
        QFile::remove(reports.takeFirst());
    }
    if (reports.isEmpty() || m_inFlight > 0) {
        if (m_inFlight == 0)
            emit pendingReportsProcessed();
        return;
    }
    // Until the user accepts the privacy policy the reports stay where they are.
    if (!m_defaults.boolValue(privacyPolicyAcceptedKey)) {
        platform::log(sentryLog
                      + QStringLiteral("%1 report(s) wait for the privacy policy to be accepted").arg(reports.size()));
        emit pendingReportsProcessed();
        return;
    }
    if (!m_sender)
        m_sender = std::make_unique<platform::HttpSender>();
    for (const QString &path : std::as_const(reports)) {
        QFile file(path);
        const QByteArray event = file.open(QIODevice::ReadOnly) ? eventForReport(file.readAll()) : QByteArray();
        if (event.isEmpty()) {
            platform::log(sentryLog
                          + QStringLiteral("removed the unreadable report %1").arg(QFileInfo(path).fileName()));
            QFile::remove(path);
            continue;
        }
        platform::HttpRequest request(m_address->storeEndpoint,
                                      {{QByteArrayLiteral("X-Sentry-Auth"), authenticationHeader()},
                                       {QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")},
                                       {QByteArrayLiteral("User-Agent"), clientName}});
        request.body = event;
        request.timeout = std::chrono::seconds(30);
        ++m_inFlight;
        m_sender->send(std::move(request), this, [this, path](const platform::HttpResponse &response) {
            if (response.succeeded()) {
                QFile::remove(path);
                platform::log(sentryLog + QStringLiteral("sent the report %1").arg(QFileInfo(path).fileName()));
            } else {
                platform::log(sentryLog
                              + QStringLiteral("could not send the report %1 (%2); it stays for the next launch")
                                    .arg(QFileInfo(path).fileName(), response.answered()
                                                                         ? QString::number(response.statusCode)
                                                                         : response.errorString));
            }
            finishOne();
        });
    }
    if (m_inFlight == 0)
        emit pendingReportsProcessed();
}

void VLIssuesReporter::finishOne()
{
    if (--m_inFlight == 0)
        emit pendingReportsProcessed();
}

QByteArray VLIssuesReporter::authenticationHeader() const
{
    if (!m_address)
        return {};
    return QStringLiteral("Sentry sentry_version=7, sentry_client=%1, sentry_timestamp=%2, sentry_key=%3")
        .arg(QString::fromLatin1(clientName), QString::number(QDateTime::currentSecsSinceEpoch()), m_address->publicKey)
        .toLatin1();
}

QByteArray VLIssuesReporter::eventForReport(const QByteArray &report) const
{
    const QStringList lines = QString::fromUtf8(report).split(u'\n');
    if (lines.isEmpty() || lines.first() != u"Vaultine crash report")
        return {};
    QMap<QString, QString> fields;
    QJsonArray frames;
    bool inStack = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (inStack) {
            if (!line.trimmed().isEmpty())
                frames.prepend(frameForLine(line)); // the service lists the outermost call first
        } else if (line == u"stack:") {
            inStack = true;
        } else if (const qsizetype colon = line.indexOf(QStringLiteral(": ")); colon > 0) {
            fields.insert(line.left(colon), line.mid(colon + 2));
        }
    }
    if (!fields.contains(QStringLiteral("signal")))
        return {};

    const QStringList signal = fields.value(QStringLiteral("signal")).split(u' ');
    const QString signalName = signal.value(1, QStringLiteral("SIGNAL"));
    const QString exceptionType = fields.value(QStringLiteral("exception"));
    QJsonObject exception{
        {QStringLiteral("type"), signalName},
        {QStringLiteral("value"), exceptionType.isEmpty()
                                      ? QStringLiteral("Fatal signal %1").arg(signal.value(0))
                                      : QStringLiteral("Uncaught exception of type %1").arg(exceptionType)},
        {QStringLiteral("mechanism"),
         QJsonObject{{QStringLiteral("type"), QStringLiteral("signalhandler")}, {QStringLiteral("handled"), false}}},
        {QStringLiteral("stacktrace"), QJsonObject{{QStringLiteral("frames"), frames}}}};

    // The report's own content decides the identifier, so a report sent twice is one event.
    const QByteArray eventID = QCryptographicHash::hash(report, QCryptographicHash::Md5).toHex();
    QJsonObject event{
        {QStringLiteral("event_id"), QString::fromLatin1(eventID)},
        {QStringLiteral("timestamp"), fields.value(QStringLiteral("time")).toLongLong()},
        {QStringLiteral("platform"), QStringLiteral("native")},
        {QStringLiteral("level"), QStringLiteral("fatal")},
        {QStringLiteral("release"), releaseName()},
        {QStringLiteral("exception"), QJsonObject{{QStringLiteral("values"), QJsonArray{exception}}}},
        {QStringLiteral("contexts"),
         QJsonObject{{QStringLiteral("os"),
                      QJsonObject{{QStringLiteral("name"), fields.value(QStringLiteral("system"))},
                                  {QStringLiteral("kernel_version"), fields.value(QStringLiteral("kernel"))}}},
                     {QStringLiteral("device"),
                      QJsonObject{{QStringLiteral("arch"), fields.value(QStringLiteral("architecture"))}}}}}};
    return QJsonDocument(event).toJson(QJsonDocument::Compact);
}
