#include "companion/SWAnalyticsTracker.h"

#include "companion/VLABTester.h"
#include "engine/files/NSStringAdditions.h"
#include "platform/core/Log.h"
#include "platform/net/HttpSender.h"
#include "platform/settings/Defaults.h"
#include "platform/view/DisplayMetrics.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace {

const QString eventHit = QStringLiteral("event");
const QString viewHit = QStringLiteral("appview");

QByteArray escaped(const QString &text)
{
    return QUrl::toPercentEncoding(text);
}

bool isNullValue(const QVariant &value)
{
    return !value.isValid() || value.typeId() == QMetaType::Nullptr;
}

} // namespace

SWAnalyticsEvents &SWAnalyticsEvents::center()
{
    static SWAnalyticsEvents events;
    return events;
}

namespace {
QPointer<SWAnalyticsTracker> &replacedDefaultTracker()
{
    static QPointer<SWAnalyticsTracker> tracker;
    return tracker;
}
} // namespace

void SWAnalyticsTracker::setDefaultTracker(SWAnalyticsTracker *tracker)
{
    replacedDefaultTracker() = tracker;
}

SWAnalyticsTracker &SWAnalyticsTracker::defaultTracker()
{
    if (SWAnalyticsTracker *replaced = replacedDefaultTracker())
        return *replaced;
    // Owned by the application object, so its worker thread stops before the application goes.
    static SWAnalyticsTracker *tracker = new SWAnalyticsTracker(Configuration{}, QCoreApplication::instance());
    return *tracker;
}

SWAnalyticsTracker::SWAnalyticsTracker(Configuration configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_environment(m_configuration.environment.value_or(SWTrackingEnvironment::current()))
    , m_defaults(m_configuration.defaults ? *m_configuration.defaults : platform::Defaults::standard())
    , m_abTester(m_configuration.abTester ? *m_configuration.abTester : VLABTester::instance())
    , m_connectionQueue(std::make_unique<platform::HttpSender>())
{
    // A machine without a serial number writes the text for a missing object, as the links do.
    m_cid = NSStringAdditions::md5Hash(m_environment.serialNumber.value_or(SWNilText) + m_environment.userName);
    m_isBeta = m_environment.buildVersion.toLower().contains(u'b');
    m_enabled = m_defaults.boolValue(SWAnalyticsTrackAppKey);
    m_postponed = !hasDecided();
    // Direct, so that a change stored from inside setEnabled is applied before it returns.
    connect(&m_defaults, &platform::Defaults::changed, this, &SWAnalyticsTracker::defaultsChanged,
            Qt::DirectConnection);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

SWAnalyticsTracker::~SWAnalyticsTracker() = default;

// Events

QVariantMap SWAnalyticsTracker::eventParameters(const QString &category, const QString &action, const QString &label,
                                                int value)
{
    QVariantMap parameters{{SWAnalyticsKey::eventCategory, category},
                           {SWAnalyticsKey::eventAction, action},
                           {SWAnalyticsKey::eventValue, value}};
    if (!label.isNull())
        parameters.insert(SWAnalyticsKey::eventLabel, label);
    return parameters;
}

void SWAnalyticsTracker::trackEvent(const QString &category, const QString &action, const QString &label, int value)
{
    trackEventWithParameters(eventParameters(category, action, label, value));
}

void SWAnalyticsTracker::trackSynchronouslyEvent(const QString &category, const QString &action, const QString &label,
                                                 int value)
{
    trackSynchronouslyEventWithParameters(eventParameters(category, action, label, value));
}

void SWAnalyticsTracker::trackEventWithParameters(const QVariantMap &parameters)
{
    sendAnalyticsWithParameters(filteredDictionaryForParameters(parameters, eventHit, true), false);
}

void SWAnalyticsTracker::trackSynchronouslyEventWithParameters(const QVariantMap &parameters)
{
    sendAnalyticsWithParameters(filteredDictionaryForParameters(parameters, eventHit, true), true);
}

void SWAnalyticsTracker::trackTimingWithParameters(const QVariantMap &parameters)
{
    sendAnalyticsWithParameters(filteredDictionaryForParameters(parameters, QStringLiteral("timing"), false), false);
}

// Screens

void SWAnalyticsTracker::trackView(const QString &name)
{
    m_currentScreen = name;
    sendAnalyticsWithParameters({{SWAnalyticsKey::hitType, viewHit},
                                 {SWAnalyticsKey::contentDescription, name.isNull() ? QStringLiteral("") : name}},
                                false);
}

void SWAnalyticsTracker::trackModalView(const QString &name)
{
    if (m_modalScreens.contains(name))
        return;
    m_modalScreens.prepend(name);
    sendAnalyticsWithParameters({{SWAnalyticsKey::hitType, viewHit}, {SWAnalyticsKey::contentDescription, name}},
                                false);
}

void SWAnalyticsTracker::switchToModalView(const QString &name)
{
    if (m_modalScreens.isEmpty())
        m_modalScreens.prepend(name);
    else
        m_modalScreens.first() = name;
}

void SWAnalyticsTracker::stopTrackingModalView()
{
    if (!m_modalScreens.isEmpty())
        m_modalScreens.removeFirst();
    if (m_modalScreens.isEmpty())
        trackView(m_currentScreen);
}

QString SWAnalyticsTracker::contentDescription() const
{
    return m_modalScreens.isEmpty() ? m_currentScreen : m_modalScreens.first();
}

// Extra properties

void SWAnalyticsTracker::duplicateEventsForCategoryToGAID(const QString &category, const QString &gaid)
{
    if (!category.isNull() && !gaid.isNull())
        m_additionalIdentifiers.insert(category, gaid);
}

void SWAnalyticsTracker::stopDuplicatingEventsForCategory(const QString &category)
{
    if (!category.isNull())
        m_additionalIdentifiers.remove(category);
}

void SWAnalyticsTracker::duplicateViewsToGAID(const QString &gaid)
{
    if (!gaid.isNull())
        m_additionalViewsIdentifier = gaid;
}

void SWAnalyticsTracker::stopDuplicatingViews()
{
    m_additionalViewsIdentifier.clear();
}

void SWAnalyticsTracker::trackPurchase()
{
    const QString transaction = QStringLiteral("NBCRYPTIQUE-") + m_cid;
    const QString currency = QStringLiteral("USD");
    sendAnalyticsWithParameters({{SWAnalyticsKey::hitType, QStringLiteral("transaction")},
                                 {QStringLiteral("ti"), transaction},
                                 {QStringLiteral("tr"), 39.95},
                                 {QStringLiteral("cu"), currency}},
                                false);
    sendAnalyticsWithParameters({{SWAnalyticsKey::hitType, QStringLiteral("item")},
                                 {QStringLiteral("ti"), transaction},
                                 {QStringLiteral("in"), QStringLiteral("Cryptique")},
                                 {QStringLiteral("ic"), QStringLiteral("com.nimbrel.Cryptique")},
                                 {QStringLiteral("ip"), 39.95},
                                 {QStringLiteral("iq"), 1},
                                 {QStringLiteral("cu"), currency}},
                                false);
}

// Hits

QVariantMap SWAnalyticsTracker::filteredDictionaryForParameters(const QVariantMap &parameters, const QString &hitType,
                                                                bool includeContentDescription) const
{
    QVariantMap filtered = parameters;
    filtered.insert(SWAnalyticsKey::hitType, hitType);
    const QString screen = contentDescription();
    if (includeContentDescription && !screen.isNull() && !filtered.contains(SWAnalyticsKey::contentDescription))
        filtered.insert(SWAnalyticsKey::contentDescription, screen);
    for (auto it = filtered.begin(); it != filtered.end();)
        it = isNullValue(it.value()) ? filtered.erase(it) : std::next(it);
    return filtered;
}

QString SWAnalyticsTracker::applicationVersion() const
{
    const QMutexLocker locker(&m_lock);
    if (!m_applicationVersion)
        m_applicationVersion = m_environment.shortVersion + u'-' + m_abTester.humanReadableValues();
    return *m_applicationVersion;
}

QByteArray SWAnalyticsTracker::requestURLFor(const QString &gaid, const QVariantMap &parameters) const
{
    QByteArray query = "v=1&tid=" + escaped(gaid) + "&an=" + escaped(applicationName)
                       + "&av=" + escaped(applicationVersion()) + "&cid=" + escaped(m_cid);
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        query += '&' + escaped(it.key()) + '=' + escaped(SWQueryValueText(it.value()));
    const QSize screen = platform::mainScreenSize();
    const QSize window = platform::mainWindowSize();
    query += "&sr=" + QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height());
    query += "&vp=" + QByteArray::number(window.width()) + 'x' + QByteArray::number(window.height());
    query += "&ul=" + escaped(m_environment.preferredLanguages.value(0));
    return m_configuration.collectEndpoint.toEncoded() + '?' + query;
}

platform::HttpRequest SWAnalyticsTracker::requestFor(const QByteArray &url) const
{
    const platform::SystemVersion version = m_environment.systemVersion.value_or(platform::SystemVersion{});
    const QString agent = QStringLiteral("%1/%2 (Macintosh; Intel Mac OS X %3_%4_%5)")
                              .arg(applicationName, applicationVersion())
                              .arg(version.major)
                              .arg(version.minor)
                              .arg(version.patch);
    platform::HttpRequest request(QUrl::fromEncoded(url, QUrl::StrictMode), {{"User-Agent", agent.toUtf8()}});
    request.timeout = std::chrono::seconds(60);
    return request;
}

void SWAnalyticsTracker::sendAnalyticsWithParameters(const QVariantMap &parameters, bool useSynchronousRequest)
{
    const QMutexLocker locker(&m_lock);
    // Hits are held only while the user has not decided; once declined, they are dropped.
    const bool holding = !m_enabled && m_postponed && !hasDecided();
    if (!m_enabled && !holding)
        return;
    if (parameters.value(SWAnalyticsKey::eventValue).toLongLong() < 0)
        return;

    QStringList identifiers{m_configuration.propertyIdentifier};
    const QString category = parameters.value(SWAnalyticsKey::eventCategory).toString();
    const bool isView = parameters.value(SWAnalyticsKey::hitType) == viewHit;
    if (!category.isNull() && m_additionalIdentifiers.contains(category))
        identifiers << m_additionalIdentifiers.value(category);
    else if (isView && !m_additionalViewsIdentifier.isEmpty())
        identifiers << m_additionalViewsIdentifier;

    for (const QString &gaid : identifiers) {
        const QByteArray url = requestURLFor(gaid, parameters);
        const platform::HttpRequest request = requestFor(url);
        if (!request.url.isValid()) {
            platform::log(QStringLiteral("[Analytics]: malformed hit address, nothing sent"));
            continue;
        }
        if (parameters.value(SWAnalyticsKey::hitType) == eventHit)
            debugEventIsPostponedForGAID(parameters, holding, gaid);
        if (holding) {
            PostponedHit hit{url, {}};
            hit.age.start();
            m_postponedRequests << hit;
        } else if (useSynchronousRequest) {
            const platform::HttpResponse response = m_connectionQueue->sendSynchronously(
                request, m_configuration.synchronousDeadline);
            if (!response.answered()) {
                platform::log(QStringLiteral("[Analytics]: hit not sent: ") + response.errorString);
                return; // the next property's copy would only wait out the same failure
            }
        } else {
            m_connectionQueue->send(request);
        }
    }
}

void SWAnalyticsTracker::debugEventIsPostponedForGAID(const QVariantMap &parameters, bool postponed,
                                                      const QString &gaid)
{
    QVariantMap userInfo = parameters;
    userInfo.insert(QStringLiteral("gaid"), gaid);
    userInfo.insert(QStringLiteral("postponed"), postponed);
    emit SWAnalyticsEvents::center().analyticsEvent(userInfo);
}

// Consent

void SWAnalyticsTracker::setEnabled(bool enabled)
{
    setEnabledNotifyUserDefaults(enabled, true);
}

void SWAnalyticsTracker::setEnabledNotifyUserDefaults(bool enabled, bool notifyUserDefaults)
{
    const QMutexLocker locker(&m_lock);
    m_enabled = enabled;
    if (enabled && m_postponed) {
        sendPostponedRequests();
        m_postponed = false;
    }
    if (notifyUserDefaults)
        m_defaults.setValue(SWAnalyticsTrackAppKey, enabled);
}

void SWAnalyticsTracker::sendPostponedRequests()
{
    const QList<PostponedHit> hits = std::exchange(m_postponedRequests, {});
    for (qsizetype i = 0; i < hits.size(); ++i) {
        const PostponedHit &hit = hits.at(i);
        const QByteArray url = hit.url + "&qt=" + QByteArray::number(quint64(hit.age.elapsed()));
        const platform::HttpResponse response = m_connectionQueue->sendSynchronously(
            requestFor(url), m_configuration.synchronousDeadline);
        if (!response.answered()) {
            // Waiting out the same failure for every held hit would freeze the interface.
            platform::log(QStringLiteral("[Analytics]: held hits not sent (%1 dropped): %2")
                              .arg(hits.size() - i)
                              .arg(response.errorString));
            return;
        }
    }
}

bool SWAnalyticsTracker::isEnabled() const
{
    const QMutexLocker locker(&m_lock);
    return m_enabled;
}

bool SWAnalyticsTracker::hasDecided() const
{
    return m_defaults.contains(SWAnalyticsTrackAppKey);
}

bool SWAnalyticsTracker::hasPostponed() const
{
    const QMutexLocker locker(&m_lock);
    return m_postponed;
}

int SWAnalyticsTracker::postponedCount() const
{
    const QMutexLocker locker(&m_lock);
    return int(m_postponedRequests.size());
}

void SWAnalyticsTracker::defaultsChanged(const QString &key)
{
    if (key == SWAnalyticsTrackAppKey) {
        // A removed value reads as off.
        setEnabledNotifyUserDefaults(m_defaults.boolValue(SWAnalyticsTrackAppKey), false);
    } else if (key == VLABTester::valuesDefaultsKey) {
        const QMutexLocker locker(&m_lock);
        m_applicationVersion.reset();
    }
}

// Application moments

void SWAnalyticsTracker::applicationDidFinishLaunching()
{
    m_launchDate = QDateTime::currentDateTime();
}

void SWAnalyticsTracker::windowWillEnterFullScreen()
{
    trackEvent(QStringLiteral("Interaction"), QStringLiteral("Full Screen"), contentDescription());
}

bool SWAnalyticsTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->isWindow()) {
            // The state change can be reported more than once per transition; count each entry once.
            static const char mark[] = "vl_analyticsFullScreen";
            const bool fullScreen = widget->windowState() & Qt::WindowFullScreen;
            const bool marked = widget->property(mark).toBool();
            if (fullScreen != marked) {
                widget->setProperty(mark, fullScreen);
                if (fullScreen)
                    windowWillEnterFullScreen();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
