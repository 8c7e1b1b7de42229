#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

namespace platform {
class Defaults;
class HttpSender;
} // namespace platform

// Reports crashes to the crash-report service. A fatal signal or an uncaught exception writes a
// report file (the signal, the stack, the version and the system, nothing of the user's data);
// the next launch sends the reports in the service's own format and deletes each one the
// service took. Nothing leaves the machine before the user has accepted the privacy policy.
class VLIssuesReporter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLIssuesReporter)

public:
    static inline const QString productionDSN = QStringLiteral(
        "https://5f0e3c7a9b1d4e2f8a6c0b3d7e9f1a2c@sentry.io/1384620");
    static inline const QString crashOnExceptionsKey = QStringLiteral("NSApplicationCrashOnExceptions");
    static inline const QString privacyPolicyAcceptedKey = QStringLiteral("NBPrivacyPolicyAccepted");
    // Reports waiting for the service; older ones are dropped first.
    static constexpr int keptReports = 5;
    static inline const QString reportSuffix = QStringLiteral(".crash");

    // The service address "scheme://key@host[:port][/path]/project" taken apart.
    struct ServiceAddress
    {
        QString publicKey;
        QString projectID;
        QUrl storeEndpoint;
        static std::optional<ServiceAddress> fromDSN(const QString &dsn);
    };

    struct Configuration
    {
        QString reportsFolder;                  // the Library's "CrashReports" when empty
        platform::Defaults *defaults = nullptr; // the standard defaults when null
    };

    explicit VLIssuesReporter(const QString &dsn, QObject *parent = nullptr);
    VLIssuesReporter(const QString &dsn, Configuration configuration, QObject *parent = nullptr);
    ~VLIssuesReporter() override;

    QString dsn() const { return m_dsn; }
    // False when the address could not be understood; the reporter then does nothing.
    bool hasClient() const { return m_address.has_value(); }
    QString reportsFolder() const { return m_reportsFolder; }

    // Installs the crash handler (fatal signals and std::terminate) and sends what earlier runs
    // left behind. False when there is no client.
    bool enableReporter();

    // The reports on disk, oldest first.
    QStringList pendingReports() const;
    // Drops the oldest reports beyond the kept number, then sends the rest, one at a time.
    void sendPendingReports();

    // The service's event for one report file's text (empty when the text is no report).
    QByteArray eventForReport(const QByteArray &report) const;
    // The value of the service's authentication header.
    QByteArray authenticationHeader() const;

signals:
    // Every report of the last sendPendingReports() has been answered or has failed.
    void pendingReportsProcessed();

private:
    void finishOne();

    QString m_dsn;
    std::optional<ServiceAddress> m_address;
    QString m_reportsFolder;
    platform::Defaults &m_defaults;
    std::unique_ptr<platform::HttpSender> m_sender;
    int m_inFlight = 0;
};
