#pragma once

#include "windowing/navigation/VLNavigationController.h"
#include "windowing/windows/VLWindow.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>

#include <functional>

class QTimer;
class QWidget;

// Owns the single main window for the whole run: puts the navigation stack into it with the
// root screen, chooses the animated transition for every change of screen, tells the quit state
// machine which screen may delay quitting, hands files from outside to the root screen and
// lowers sheets under the window's title area.
class VLContentWindowController final : public QObject, public VLNavigationControllerDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLContentWindowController)

public:
    explicit VLContentWindowController(QObject *parent = nullptr);
    ~VLContentWindowController() override;

    // The screen at the bottom of the stack. The program sets the drop screen here; without one
    // an empty screen stands in (it takes no files).
    using RootViewControllerFactory = std::function<VLViewControllerPtr()>;
    static void setRootViewControllerFactory(RootViewControllerFactory factory);

    // The main window, made on first use: a modern window, or the legacy one on older systems.
    VLWindow *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    void showWindow();

    VLNavigationController *navigationController() const { return m_navigationController.get(); }
    QWidget *contentContainerView() const { return m_contentContainerView; }
    QWidget *overlayContainerView() const { return m_overlayContainerView; }
    QWidget *overlayRootView() const { return m_overlayRootView; }

    // Entries are path strings or URLs; anything else is dropped. The files reach the root
    // screen only while it is on top, and only when some are left; otherwise they are ignored.
    void processAddedFiles(const QVariantList &files);
    void processAddedFiles(const QStringList &paths);
    bool canProcessNewFiles() const;
    // The entries as file URLs, in order, without what is neither a path nor a URL.
    static QList<QUrl> fileURLsFromEntries(const QVariantList &files);

    // Asks the rating prompt to show if its criteria are met; requested 0.4 s after the window
    // shows, and cancelled by files that arrive first.
    void promptAppStoreReview();
    // What promptAppStoreReview() asks (the application delegate gives the rating prompt).
    void setAppStoreReviewPrompt(std::function<void()> prompt) { m_appStoreReviewPrompt = std::move(prompt); }
    bool isAppStoreReviewPending() const;

    // A group of a content transition and an overlay transition for this change of screen.
    VLAnimatedTransitioningPtr navigationControllerAnimationControllerForOperationFromViewControllerToViewController(
        VLNavigationController *navigationController, VLNavigationControllerOperation operation,
        VLViewController *fromViewController, VLViewController *toViewController) override;
    // The arriving screen becomes the quit state machine's terminator when it can hold a quit.
    void navigationControllerWillShowViewControllerAnimated(VLNavigationController *navigationController,
                                                            VLViewController *viewController, bool animated) override;

    // Where a sheet of the window goes: below the title area on current systems.
    QRect windowWillPositionSheetUsingRect(const QRect &rect) const;

    static QSize windowContentSize();

private:
    void windowDidLoad();

    VLNavigationControllerPtr m_navigationController;
    QPointer<VLWindow> m_window;
    QPointer<QWidget> m_contentContainerView;
    QPointer<QWidget> m_overlayContainerView;
    QPointer<QWidget> m_overlayRootView;
    QTimer *m_reviewTimer = nullptr;
    std::function<void()> m_appStoreReviewPrompt;
};
