#pragma once

#include "companion/VLIssuesReporter.h"
#include "companion/VLTutorialWindowController.h"
#include "controls/VLAnalyticsApprovalPanel.h"
#include "platform/channel/VLInstanceChannel.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class NBGDPRWindowController;
class VLAboutWindowController;
class SWAnalyticsTracker;
class VLContentWindowController;
class VLPreferencesWindowController;
class VLRatingPrompter;
class VLServiceProvider;

// The application's delegate: runs the launch sequence (the privacy consent first), opens the
// log, owns the main window controller and the secondary windows for the whole run, takes files
// from outside (the command line, a second launch, the "Encrypt with Vaultine" action), answers
// the menus and supplies the quit hook (the last analytics event, clean-up, the analytics
// question of a user who never answered it).
class VLAppDelegate final : public QObject, public VLTutorialWindowControllerDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLAppDelegate)

public:
    static inline const QString privacyPolicyAcceptedKey = QStringLiteral("NBPrivacyPolicyAccepted");
    static inline const QString launchCountKey = QStringLiteral("QuennetLaunchCount");
    static inline const QString showDebugMenuKey = QStringLiteral("ShowDebugMenu");
    // The store identifier the rating link names.
    static inline const QString appStoreID = QStringLiteral("1104215482");

    // The services the delegate talks to; the production ones unless a test gives its own.
    struct Configuration
    {
        SWAnalyticsTracker *tracker = nullptr; // the default tracker when null
        QString crashReportDSN = VLIssuesReporter::productionDSN;
        VLIssuesReporter::Configuration crashReports;
        VLTutorialWindowController::Configuration tutorial; // its tracker is this one's
        VLRatingPrompter *ratingPrompter = nullptr;         // the shared prompter when null
    };

    explicit VLAppDelegate(QObject *parent = nullptr);
    explicit VLAppDelegate(Configuration configuration, QObject *parent = nullptr);
    ~VLAppDelegate() override;

    // The one delegate of the running application (null before it is made).
    static VLAppDelegate *instance();

    // "Logs/vaultine.log" inside the Library, as a file URL.
    static QUrl logFileURL();
    // Points standard error and standard output at the log file (appending; the file is kept
    // private to the user) and writes the start lines. False when the file cannot be opened;
    // the process then keeps logging to its original streams.
    static bool setupLogSystem(const QStringList &arguments);
    // The bundle's build version, the one the start line names.
    static QString fullVersion();

    // The fixed links of the consent window.
    static QUrl privacyPolicyURL();
    static QUrl termsOfServiceURL();

    // The launch sequence. Runs from inside the main loop: while the consent window waits, a
    // Quit ends the main loop too. Does nothing the second time.
    void applicationDidFinishLaunching();
    bool isLaunched() const { return m_launched; }

    // Files from open-documents events: queued until the main window controller exists.
    void applicationOpenFiles(const QStringList &paths);
    // Files from the Services hand-over: the same, without the analytics event.
    void handleFinderServiceFiles(const QStringList &paths);

    // Files handed over by a launch: open-documents files, or Services files, which go through
    // the services provider.
    void deliverFiles(VLInstanceChannel::Kind kind, const QStringList &paths);
    // A later launch's message: its files, if any, and the main window brought forward with the
    // activation token that launch was given.
    void handOverFromAnotherLaunch(VLInstanceChannel::Kind kind, const QStringList &paths,
                                   const QString &activationToken = QString());

    // The analytics label of an "Add Items" event for these paths.
    static QString addItemsAnalyticsLabel(const QStringList &paths);

    VLContentWindowController *dropWindowController() const { return m_dropWindowController.get(); }
    VLTutorialWindowController *tutorialController() const { return m_tutorialController.get(); }
    VLPreferencesWindowController *preferencesController() const { return m_preferencesController.get(); }
    VLAboutWindowController *aboutWindowController() const { return m_aboutWindowController.get(); }
    NBGDPRWindowController *gdprWindowController() const { return m_gdprWindowController.get(); }
    VLIssuesReporter *issuesReporter() const { return m_issuesReporter.get(); }
    VLAnalyticsApprovalPanel *analyticsSheet() const { return m_analyticsSheet; }
    QStringList queuedFiles() const { return m_queuedFiles; }

    // The tutorial: shown at launch until the user subscribed to or skipped the newsletter.
    void showTutorial();
    void tutorialControllerDidFinishSuccessful(VLTutorialWindowController *controller, bool successful) override;

    // The menu actions.
    void showPreferences();
    void showAboutWindow();
    void showTutorialFromMenu();
    // A button switches tracking to its state; anything else (a menu item) inverts it.
    void toggleAnalytics(QObject *sender);
    void showFaq();
    void suggestFeature();
    void showFeedback();
    void contactSupport();
    void rateOnMacAppStore();
    // The close button of the quit-time analytics question: the quit goes on.
    void endAnalyticsSheet();
    // Whether a menu item can be used now.
    bool validateMenuItem(const QAction *item) const;

    // Runs once when the quit gets past the screens; true lets the quit finish now.
    bool preTerminationHook();

private:
    bool askForAcceptanceIfNeeded();
    void initializeRatingPrompter();
    void showMainWindow();
    void buildMenus();
    void addDebugMenu();
    // Gives a window the application's menus; a menu made later reaches every such window.
    void offerMenusIn(QWidget *window);
    void offerMenu(QMenu *menu);
    void offerMenuIn(QMenu *menu, QWidget *window);
    void trackLaunch();
    void processFiles(const QStringList &paths);
    void openLink(const QString &action);
    void showAnalyticsSheet();
    SWAnalyticsTracker &tracker() const;
    VLRatingPrompter &ratingPrompter() const;
    QMenuBar *menuBar() const;

    Configuration m_configuration;
    std::unique_ptr<NBGDPRWindowController> m_gdprWindowController;
    std::unique_ptr<VLIssuesReporter> m_issuesReporter;
    std::unique_ptr<VLContentWindowController> m_dropWindowController;
    std::unique_ptr<VLTutorialWindowController> m_tutorialController;
    std::unique_ptr<VLPreferencesWindowController> m_preferencesController;
    std::unique_ptr<VLAboutWindowController> m_aboutWindowController;
    QPointer<VLAnalyticsApprovalPanel> m_analyticsSheet;
    QList<QMenu *> m_menus;
    QList<QPointer<QWidget>> m_menuWindows; // besides the main window
    std::unique_ptr<VLServiceProvider> m_servicesProvider;
    QStringList m_queuedFiles;
    bool m_launching = false;
    bool m_launched = false;
};
