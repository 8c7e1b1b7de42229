#include "companion/VLRatingPrompter.h"

#include "companion/SWLinkBuilder.h"
#include "platform/core/BundleInfo.h"
#include "platform/core/Log.h"
#include "platform/settings/Defaults.h"
#include "windowing/windows/VLAlertHandler.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QWidget>

namespace {

constexpr double secondsPerDay = 24.0 * 60.0 * 60.0;

double daysSince(const QDateTime &moment)
{
    if (!moment.isValid())
        return 0.0;
    return double(moment.secsTo(QDateTime::currentDateTimeUtc())) / secondsPerDay;
}

} // namespace

VLRatingPrompter &VLRatingPrompter::sharedInstance()
{
    static VLRatingPrompter *prompter = new VLRatingPrompter(platform::Defaults::standard(),
                                                             QCoreApplication::instance());
    return *prompter;
}

VLRatingPrompter::VLRatingPrompter(platform::Defaults &defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_applicationVersion(QString::fromLatin1(platform::bundle::shortVersion))
{
}

void VLRatingPrompter::applicationLaunched()
{
    if (!m_defaults.contains(firstUsedKey))
        m_defaults.setValue(firstUsedKey, QDateTime::currentDateTimeUtc());
    m_defaults.setValue(useCountKey, usesCount() + 1);
    if (m_promptAtLaunch)
        promptIfAllCriteriaMet();
}

int VLRatingPrompter::usesCount() const
{
    return int(m_defaults.integerValue(useCountKey));
}

bool VLRatingPrompter::ratedThisVersion() const
{
    return m_defaults.stringValue(ratedVersionKey) == m_applicationVersion;
}

void VLRatingPrompter::setRatedThisVersion(bool rated)
{
    if (rated)
        m_defaults.setValue(ratedVersionKey, m_applicationVersion);
    else if (ratedThisVersion())
        m_defaults.remove(ratedVersionKey);
}

bool VLRatingPrompter::declinedThisVersion() const
{
    return m_defaults.stringValue(declinedVersionKey) == m_applicationVersion;
}

void VLRatingPrompter::setDeclinedThisVersion(bool declined)
{
    if (declined)
        m_defaults.setValue(declinedVersionKey, m_applicationVersion);
    else if (declinedThisVersion())
        m_defaults.remove(declinedVersionKey);
}

bool VLRatingPrompter::shouldPromptForRating() const
{
    if (ratedThisVersion() || declinedThisVersion())
        return false;
    if (usesCount() < m_usesUntilPrompt)
        return false;
    if (daysSince(m_defaults.value(firstUsedKey).toDateTime()) < m_daysUntilPrompt)
        return false;
    const QDateTime reminded = m_defaults.value(lastRemindedKey).toDateTime();
    return !reminded.isValid() || daysSince(reminded) >= m_remindPeriod;
}

QWidget *VLRatingPrompter::mainWindow() const
{
    return m_mainWindow ? m_mainWindow() : VLAlertHandler::mainWindow();
}

void VLRatingPrompter::promptIfAllCriteriaMet()
{
    if (m_prompting || !shouldPromptForRating())
        return;
    QWidget *window = mainWindow();
    if (m_onlyPromptIfMainWindowIsAvailable && (!window || !window->isVisible()))
        return;
    promptForRating();
}

void VLRatingPrompter::promptForRating()
{
    if (m_prompting)
        return;
    m_prompting = true;
    const VLAlert alert = VLAlert::withMessageText(
        tr("Rate Vaultine"), tr("Rate Now"), tr("Remind Me Later"), tr("No, Thanks"),
        tr("If Vaultine keeps your files safe, would you take a moment to rate it? It takes no more than a minute. "
           "Thank you for your support!"));
    QPointer<VLRatingPrompter> self(this);
    VLAlertHandler::beginSheetModalForWindowWithAlertCompletionHandler(mainWindow(), alert, [self](int returnCode) {
        if (self)
            self->answered(returnCode);
    });
}

void VLRatingPrompter::answered(int returnCode)
{
    m_prompting = false;
    switch (returnCode) {
    case rateReturn:
        emit userDidAttemptToRateApp();
        openRatingsPageInAppStore();
        setRatedThisVersion(true);
        break;
    case declineReturn:
        emit userDidDeclineToRateApp();
        setDeclinedThisVersion(true);
        break;
    default:
        emit userDidRequestReminderToRateApp();
        m_defaults.setValue(lastRemindedKey, QDateTime::currentDateTimeUtc());
        break;
    }
}

QUrl VLRatingPrompter::ratingsURL() const
{
    QVariantMap params;
    if (!m_appStoreID.isEmpty())
        params.insert(QStringLiteral("appid"), m_appStoreID);
    return SWLinkBuilder::standartTdsURLWithActionParams(QStringLiteral("rate"), params);
}

void VLRatingPrompter::openRatingsPageInAppStore()
{
    const QUrl url = ratingsURL();
    if (!QDesktopServices::openUrl(url))
        platform::log(QStringLiteral("[Rating]: could not open %1").arg(url.toString()));
}
