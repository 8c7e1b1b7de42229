#pragma once

#include "companion/SWAnalyticsTracker.h"
#include "companion/VLABTester.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/settings/Defaults.h"
#include "tests/companion/LocalHttpServer.h"
#include "tests/companion/TestEnvironment.h"
#include "windowing/windows/VLAlertHandler.h"
#include "windowing/windows/VLContentWindowController.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <memory>

// One analytics hit as the collector received it: the hit type and the event's fields, decoded.
struct SentHit
{
    QString type;     // "event" or "appview"
    QString category; // ec
    QString action;   // ea
    QString label;    // el; null when the hit had none
    QString screen;   // cd

    friend bool operator==(const SentHit &, const SentHit &) = default;
};

inline SentHit eventHit(const QString &category, const QString &action, const QString &label = QString())
{
    return {QStringLiteral("event"), category, action, label, QString()};
}

inline char *toString(const SentHit &hit)
{
    return QTest::toString(
        QStringLiteral("%1 %2/%3/%4 %5").arg(hit.type, hit.category, hit.action, hit.label, hit.screen));
}

// The default analytics tracker pointed at a collector on 127.0.0.1, with the user's consent, so
// that every event a screen sends arrives there.
class AnalyticsCollector
{
public:
    AnalyticsCollector()
        : m_defaults(std::make_unique<platform::Defaults>(m_dir.filePath(QStringLiteral("defaults.ini"))))
        , m_tester(std::make_unique<VLABTester>(*m_defaults))
    {
        m_defaults->setValue(SWAnalyticsTrackAppKey, true);
        SWAnalyticsTracker::Configuration configuration;
        configuration.collectEndpoint = m_server.url(QStringLiteral("/collect"));
        configuration.propertyIdentifier = QStringLiteral("UA-12345678-9");
        configuration.defaults = m_defaults.get();
        configuration.abTester = m_tester.get();
        configuration.environment = testEnvironment();
        m_tracker = std::make_unique<SWAnalyticsTracker>(configuration);
        SWAnalyticsTracker::setDefaultTracker(m_tracker.get());
    }

    ~AnalyticsCollector() { SWAnalyticsTracker::setDefaultTracker(nullptr); }
    Q_DISABLE_COPY_MOVE(AnalyticsCollector)

    QList<SentHit> hits() const
    {
        QList<SentHit> result;
        for (const LocalHttpServer::Request &request : m_server.requests()) {
            const QUrlQuery query(QString::fromLatin1(request.query));
            const auto value = [&query](const QString &key) {
                return query.hasQueryItem(key) ? query.queryItemValue(key, QUrl::FullyDecoded) : QString();
            };
            result << SentHit{value(QStringLiteral("t")), value(QStringLiteral("ec")), value(QStringLiteral("ea")),
                              value(QStringLiteral("el")), value(QStringLiteral("cd"))};
        }
        return result;
    }

    QList<SentHit> events() const
    {
        QList<SentHit> result;
        for (SentHit hit : hits()) {
            if (hit.type == u"event") {
                hit.screen.clear();
                result << hit;
            }
        }
        return result;
    }

    QStringList views() const
    {
        QStringList result;
        for (const SentHit &hit : hits()) {
            if (hit.type == u"appview")
                result << hit.screen;
        }
        return result;
    }

    int count() const { return m_server.requestCount(); }

private:
    QTemporaryDir m_dir;
    LocalHttpServer m_server;
    std::unique_ptr<platform::Defaults> m_defaults;
    std::unique_ptr<VLABTester> m_tester;
    std::unique_ptr<SWAnalyticsTracker> m_tracker;
};

// The work-folder area's entries.
inline QStringList workFolders()
{
    return QDir(VLTempCleaner::workFolderArea()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

inline bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}
