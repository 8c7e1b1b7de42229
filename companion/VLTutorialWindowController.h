#pragma once

#include "companion/SWTrackingEnvironment.h"
#include "companion/VLEmailSubscriber.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

class QKeyEvent;
class QMenu;
class QTimer;
class QWebChannel;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;
class SWAnalyticsTracker;
class VLTutorialScriptBridge;
class VLTutorialWindowController;

class VLTutorialWindowControllerDelegate
{
public:
    virtual ~VLTutorialWindowControllerDelegate() = default;
    // The tutorial has ended and its window is closed; successful is true when the user subscribed.
    virtual void tutorialControllerDidFinishSuccessful(VLTutorialWindowController *controller, bool successful) = 0;

protected:
    VLTutorialWindowControllerDelegate() = default;
    VLTutorialWindowControllerDelegate(const VLTutorialWindowControllerDelegate &) = default;
    VLTutorialWindowControllerDelegate &operator=(const VLTutorialWindowControllerDelegate &) = default;
};

// The first-run tutorial: a page of slides in a web view, whose last slide offers the
// newsletter sign-up. The page drives the controller through its script bridge (page changes,
// sign-up, launch); the controller answers by calling the page's script functions. When the
// tutorial ends, the window fades out and the delegate hears of it.
//
// The web engine needs prepareWebEngine() before the QApplication is made.
class VLTutorialWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLTutorialWindowController)
    Q_PROPERTY(int currentPage READ currentPage WRITE setCurrentPage NOTIFY currentPageChanged)

public:
    // Reaching this slide counts as completing the tutorial.
    static constexpr int completingPage = 4;
    // The sign-up slide.
    static constexpr int signUpPage = 5;
    // How long after a sign-up the tutorial ends by itself, in milliseconds.
    static constexpr int launchAfterSubscribeDelay = 1500;
    // The fade-out, as long as the platform's default animation.
    static constexpr double fadeDuration = 0.25;

    struct Configuration
    {
        QUrl signUpBackend = VLEmailSubscriber::productionBackend;
        std::optional<SWTrackingEnvironment> environment; // the system's when empty
        SWAnalyticsTracker *tracker = nullptr;            // the default tracker when null
    };

    // Sets what the web engine needs before the QApplication exists (shared OpenGL contexts).
    static void prepareWebEngine();
    // "welcome_tutorial.html" in the resources' "Tutorial" folder.
    static QUrl tutorialPageURL();

    VLTutorialWindowController();
    explicit VLTutorialWindowController(Configuration configuration, QObject *parent = nullptr);
    ~VLTutorialWindowController() override;

    // The interface-file name: the class name, or its "-Legacy" variant on older systems.
    static QString windowNibName();

    // Not owned; the delegate clears itself before it goes.
    VLTutorialWindowControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(VLTutorialWindowControllerDelegate *delegate) { m_delegate = delegate; }

    // The window, loaded on first use.
    QWidget *window();
    // One of the application's menus, in the window's menu bar (or as shortcuts where the
    // window has no bar).
    void addApplicationMenu(QMenu *menu);
    bool isWindowLoaded() const { return m_window != nullptr; }
    QWebEngineView *webView() const;

    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);

    std::shared_ptr<VLEmailSubscriber> subscriber() const;
    void setSubscriber(std::shared_ptr<VLEmailSubscriber> subscriber);

    // Shows the window; shown again (from the menu), the tutorial starts over on its first slide.
    void showWindow();
    // The close button, the Close item or Escape (sender: the controller itself). On the
    // sign-up slide the tutorial ends; elsewhere it slides to the sign-up.
    void performClose(QObject *sender);
    // Escape closes as performClose does; other keys do nothing.
    void keyDown(QKeyEvent *event);
    void slideToPage(int page);
    void launchAfterSubscribe();
    // Sends the opt-in of a sign-up whose delayed launch has not come yet, and drops that launch.
    void sendPendingOptIn();

    // The operations of the page's script bridge.
    void selectPage(int page);
    void email(const QString &address);
    void launch();
    void launchAfterSkip();

    // True from the moment the tutorial starts to end until it is shown again.
    bool isEnding() const { return m_ending; }

signals:
    void currentPageChanged(int page);

private:
    static void setUpInterface(QWidget *view, QObject *owner);
    void loadWindow();
    void awakeFromNib();
    void windowDidLoad();
    void installScriptBridge();
    void webViewDidFinishLoad(bool ok);
    void selectionDidChange();
    void evaluateScript(const QString &script);
    void animateWindowAlpha(double alpha, std::function<void()> completion);
    void tutorialDidFadeOut();
    SWAnalyticsTracker &tracker() const;

    Configuration m_configuration;
    VLTutorialWindowControllerDelegate *m_delegate = nullptr;
    std::unique_ptr<QWidget> m_window;
    QPointer<QWebEngineView> m_webView;
    QWebEngineProfile *m_profile = nullptr;
    QWebChannel *m_channel = nullptr;
    VLTutorialScriptBridge *m_bridge = nullptr;
    QTimer *m_launchTimer = nullptr;
    int m_currentPage = 1;
    bool m_ending = false;

    mutable QMutex m_subscriberLock;
    std::shared_ptr<VLEmailSubscriber> m_subscriber;
};
