#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>

class QTimer;
class QWidget;
class VLStartViewController;
class VLWindow;

// Owns the single main window for the whole run: puts the screens into it, hands files from
// outside to the screen that takes them, and tells the quit state machine which screen may
// delay quitting.
class VLContentWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLContentWindowController)

public:
    explicit VLContentWindowController(QObject *parent = nullptr);
    ~VLContentWindowController() override;

    // The main window, made on first use.
    VLWindow *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    void showWindow();

    // Entries are path strings or URLs; anything else is dropped. The files reach the root
    // screen only while it is on top; otherwise they are ignored.
    void processAddedFiles(const QVariantList &files);
    void processAddedFiles(const QStringList &paths);
    bool canProcessNewFiles() const;

    // Turns the entries into file URLs, in order, dropping what is neither a path nor a URL.
    static QList<QUrl> fileURLsFromEntries(const QVariantList &files);

    // Asks the rating prompt to show when its criteria are met; requested 0.4 s after the
    // window shows and cancelled when files arrive first.
    void promptAppStoreReview();
    bool isAppStoreReviewPending() const;

    QWidget *contentContainerView() const { return m_contentContainerView; }
    QWidget *overlayContainerView() const { return m_overlayContainerView; }
    QWidget *overlayRootView() const { return m_overlayRootView; }

    // Content size of the main window.
    static QSize windowContentSize();

private:
    void windowDidLoad();

    QPointer<VLWindow> m_window;
    QPointer<QWidget> m_contentContainerView;
    QPointer<QWidget> m_overlayContainerView;
    QPointer<QWidget> m_overlayRootView;
    VLStartViewController *m_rootScreen = nullptr;
    QTimer *m_reviewTimer = nullptr;
};
