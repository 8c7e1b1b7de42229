#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace platform {
class Defaults;
}

// Asks the user, now and then, to rate the application. It counts the uses (launches) and
// prompts once enough uses and days have passed, at most once per remind period and never again
// for a version the user rated or declined. The prompt is a sheet of the main window; rating
// opens the maker's rating link in the browser.
class VLRatingPrompter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLRatingPrompter)

public:
    // The answers of the prompt's sheet.
    static constexpr int rateReturn = 1;
    static constexpr int remindReturn = 0;
    static constexpr int declineReturn = -1;

    static inline const QString useCountKey = QStringLiteral("VLRatingUseCount");
    static inline const QString firstUsedKey = QStringLiteral("VLRatingFirstUsed");
    static inline const QString lastRemindedKey = QStringLiteral("VLRatingLastReminded");
    static inline const QString ratedVersionKey = QStringLiteral("VLRatingRatedVersion");
    static inline const QString declinedVersionKey = QStringLiteral("VLRatingDeclinedVersion");

    static VLRatingPrompter &sharedInstance();
    explicit VLRatingPrompter(platform::Defaults &defaults, QObject *parent = nullptr);

    bool onlyPromptIfMainWindowIsAvailable() const { return m_onlyPromptIfMainWindowIsAvailable; }
    void setOnlyPromptIfMainWindowIsAvailable(bool only) { m_onlyPromptIfMainWindowIsAvailable = only; }
    double remindPeriod() const { return m_remindPeriod; } // days
    void setRemindPeriod(double days) { m_remindPeriod = days; }
    double daysUntilPrompt() const { return m_daysUntilPrompt; }
    void setDaysUntilPrompt(double days) { m_daysUntilPrompt = days; }
    int usesUntilPrompt() const { return m_usesUntilPrompt; }
    void setUsesUntilPrompt(int uses) { m_usesUntilPrompt = uses; }
    bool promptAtLaunch() const { return m_promptAtLaunch; }
    void setPromptAtLaunch(bool prompt) { m_promptAtLaunch = prompt; }
    QString appStoreID() const { return m_appStoreID; }
    void setAppStoreID(const QString &identifier) { m_appStoreID = identifier; }
    // The version whose rating state is kept; the bundle's short version unless set.
    QString applicationVersion() const { return m_applicationVersion; }
    void setApplicationVersion(const QString &version) { m_applicationVersion = version; }

    // The window the prompt is a sheet of and whose visibility "main window available" means.
    void setMainWindowProvider(std::function<QWidget *()> provider) { m_mainWindow = std::move(provider); }

    // One more use of the application; prompts at once when promptAtLaunch is set.
    void applicationLaunched();
    int usesCount() const;

    bool ratedThisVersion() const;
    void setRatedThisVersion(bool rated);
    bool declinedThisVersion() const;
    void setDeclinedThisVersion(bool declined);

    // Whether uses, days, the remind period and the version's state allow a prompt now.
    bool shouldPromptForRating() const;
    // Shows the prompt when the criteria are met (and the main window is there, when asked).
    void promptIfAllCriteriaMet();
    void promptForRating();
    bool isPrompting() const { return m_prompting; }

    // Opens the rating link in the browser.
    void openRatingsPageInAppStore();
    QUrl ratingsURL() const;

signals:
    void userDidAttemptToRateApp();
    void userDidDeclineToRateApp();
    void userDidRequestReminderToRateApp();

private:
    void answered(int returnCode);
    QWidget *mainWindow() const;

    platform::Defaults &m_defaults;
    bool m_onlyPromptIfMainWindowIsAvailable = true;
    double m_remindPeriod = 1.0;
    double m_daysUntilPrompt = 10.0;
    int m_usesUntilPrompt = 10;
    bool m_promptAtLaunch = true;
    QString m_appStoreID;
    QString m_applicationVersion;
    std::function<QWidget *()> m_mainWindow;
    bool m_prompting = false;
};
