#pragma once

#include "companion/SWTrackingEnvironment.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QRecursiveMutex>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <optional>

class VLABTester;

namespace platform {
class Defaults;
class HttpSender;
struct HttpRequest;
} // namespace platform

// Measurement Protocol parameter keys.
namespace SWAnalyticsKey {
inline const QString hitType = QStringLiteral("t");
inline const QString eventCategory = QStringLiteral("ec");
inline const QString eventAction = QStringLiteral("ea");
inline const QString eventLabel = QStringLiteral("el");
inline const QString eventValue = QStringLiteral("ev");
inline const QString contentDescription = QStringLiteral("cd");
inline const QString timingCategory = QStringLiteral("utc");
inline const QString timingVariable = QStringLiteral("utv");
inline const QString timingTime = QStringLiteral("utt");
inline const QString timingLabel = QStringLiteral("utl");
inline const QString customDimension1 = QStringLiteral("cd1");
} // namespace SWAnalyticsKey

// The defaults key that holds the user's analytics decision.
inline const QString SWAnalyticsTrackAppKey = QStringLiteral("VLTrackApp");

// Where every event hit is announced as the tracker builds it, whichever tracker builds it
// (the "AnalyticsEvent" notification). Emitted on the thread that tracks the event.
class SWAnalyticsEvents final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SWAnalyticsEvents)

public:
    static inline const QString notificationName = QStringLiteral("AnalyticsEvent");
    static SWAnalyticsEvents &center();

signals:
    // The hit's parameters plus "gaid" (the property identifier) and "postponed" (bool).
    void analyticsEvent(const QVariantMap &userInfo);

private:
    SWAnalyticsEvents() = default;
};

// Sends usage events and screen views as Measurement Protocol hits, one request at a time.
// Until the user decides, hits are held in memory and sent with their age once the user agrees;
// after the user declined, new hits are dropped. Call it from the interface thread.
class SWAnalyticsTracker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SWAnalyticsTracker)

public:
    static inline const QUrl productionCollectEndpoint = QUrl(
        QStringLiteral("https://www.google-analytics.com/collect"));
    static inline const QString productionPropertyIdentifier = QStringLiteral("UA-27182818-4");
    static inline const QString applicationName = QStringLiteral("Vaultine");

    struct Configuration
    {
        QUrl collectEndpoint = productionCollectEndpoint;
        QString propertyIdentifier = productionPropertyIdentifier;
        platform::Defaults *defaults = nullptr;           // the standard defaults when null
        VLABTester *abTester = nullptr;                   // the shared tester when null
        std::optional<SWTrackingEnvironment> environment; // the system's when empty
        // How long one synchronous hit (the quit hit, each postponed hit) may take.
        std::chrono::milliseconds synchronousDeadline{3000};
    };

    static SWAnalyticsTracker &defaultTracker();
    // Puts another tracker in the default one's place (a test's, talking to a local server);
    // null brings the standard one back. The caller keeps ownership.
    static void setDefaultTracker(SWAnalyticsTracker *tracker);
    explicit SWAnalyticsTracker(Configuration configuration, QObject *parent = nullptr);
    ~SWAnalyticsTracker() override;

    // Event hits. The parameters are Measurement Protocol keys; a null QVariant removes its key.
    void trackEventWithParameters(const QVariantMap &parameters);
    // Sent on the caller's thread, waiting at most the synchronous deadline (the quit hit).
    void trackSynchronouslyEventWithParameters(const QVariantMap &parameters);
    void trackTimingWithParameters(const QVariantMap &parameters);
    // Shorthands for {"ec", "ea", "el" (left out when null), "ev"}.
    void trackEvent(const QString &category, const QString &action, const QString &label = QString(), int value = 1);
    void trackSynchronouslyEvent(const QString &category, const QString &action, const QString &label = QString(),
                                 int value = 1);
    static QVariantMap eventParameters(const QString &category, const QString &action, const QString &label = QString(),
                                       int value = 1);

    // Screen views. A null name sends "cd" as "" and clears the current screen.
    void trackView(const QString &name);
    void trackModalView(const QString &name);
    void switchToModalView(const QString &name);
    void stopTrackingModalView();

    void duplicateEventsForCategoryToGAID(const QString &category, const QString &gaid);
    void stopDuplicatingEventsForCategory(const QString &category);
    void duplicateViewsToGAID(const QString &gaid);
    void stopDuplicatingViews();

    void trackPurchase();

    // Consent. Enabling sends the held hits before it returns.
    void setEnabled(bool enabled);
    void setEnabledNotifyUserDefaults(bool enabled, bool notifyUserDefaults);
    bool isEnabled() const;
    bool hasDecided() const;
    bool hasPostponed() const;

    // The shell reports these moments.
    void applicationDidFinishLaunching();
    void windowWillEnterFullScreen();

    QString analyticsGAID() const { return m_configuration.propertyIdentifier; }
    QString applicationVersion() const;
    QString cid() const { return m_cid; }
    QString currentScreen() const { return m_currentScreen; }
    QStringList modalScreens() const { return m_modalScreens; }
    QDateTime launchDate() const { return m_launchDate; }
    bool isBeta() const { return m_isBeta; }
    int postponedCount() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PostponedHit
    {
        QByteArray url;
        QElapsedTimer age;
    };

    QString contentDescription() const;
    QVariantMap filteredDictionaryForParameters(const QVariantMap &parameters, const QString &hitType,
                                                bool includeContentDescription) const;
    void sendAnalyticsWithParameters(const QVariantMap &parameters, bool useSynchronousRequest);
    QByteArray requestURLFor(const QString &gaid, const QVariantMap &parameters) const;
    platform::HttpRequest requestFor(const QByteArray &url) const;
    void debugEventIsPostponedForGAID(const QVariantMap &parameters, bool postponed, const QString &gaid);
    void sendPostponedRequests();
    void defaultsChanged(const QString &key);

    Configuration m_configuration;
    SWTrackingEnvironment m_environment;
    platform::Defaults &m_defaults;
    VLABTester &m_abTester;
    std::unique_ptr<platform::HttpSender> m_connectionQueue; // one request in flight, first in first out

    mutable QRecursiveMutex m_lock;
    bool m_enabled = false;
    bool m_postponed = false;
    QList<PostponedHit> m_postponedRequests;
    mutable std::optional<QString> m_applicationVersion;

    QHash<QString, QString> m_additionalIdentifiers;
    QString m_additionalViewsIdentifier;
    QString m_cid;
    QDateTime m_launchDate;
    QString m_currentScreen;
    QStringList m_modalScreens;
    bool m_isBeta = false;
};
