#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <utility>

class VLNavigationController;
class VLNavigationControllerAnimatedTransitioning;

enum class VLNavigationControllerOperation { Push = 0, Pop = 1 };

// The screens' base: a QObject that owns a lazily loaded view and takes part in navigation and
// in the overlay panel. The navigation controller calls the lifecycle hooks; screens override them.
//
// Ownership: the controller deletes its view and its overlay views when it goes (unless a parent
// widget deleted them first). Screens on a navigation stack are shared with a deleteLater
// deleter (see create()), so a popped screen lives until its transition has completed.
class VLViewController : public QObject
{
    Q_OBJECT

public:
    explicit VLViewController(QObject *parent = nullptr);
    ~VLViewController() override;
    Q_DISABLE_COPY_MOVE(VLViewController)

    template <class T, class... Args>
    static QSharedPointer<T> create(Args &&...args)
    {
        return QSharedPointer<T>(new T(std::forward<Args>(args)...), &QObject::deleteLater);
    }

    // The interface file the view is built from: the class name unless a subclass answers
    // another. An empty name means the view is made in code only.
    virtual QString nibName() const;

    // Loads the view on first use (loadView, then viewDidLoad).
    QWidget *view();
    void setView(QWidget *view);
    bool isViewLoaded() const { return m_viewLoaded; }

    // The controller whose view this widget is, or null.
    static VLViewController *viewController(const QWidget *view);

    // The navigation controller holding this screen; when unset, the parent controller's.
    VLNavigationController *navigationController() const;
    void setNavigationController(VLNavigationController *navigationController);

    VLViewController *parentViewController() const { return m_parentViewController; }
    QList<VLViewController *> childViewControllers() const;
    void addChildViewController(VLViewController *child);
    void removeFromParentViewController();

    // The panel frame this screen wants, in bottom-left coordinates as the layouts state it;
    // a component of -1 (kVLViewNoIntrinsicMetric) is filled from the window content by the
    // overlay transition. The null rectangle when unset.
    QRectF overlayFrame() const { return m_overlayFrame; }
    void setOverlayFrame(const QRectF &frame) { m_overlayFrame = frame; }

    QWidget *overlayView() const { return m_overlayView; }
    void setOverlayView(QWidget *view);
    QWidget *overlayBackgroundView() const { return m_overlayBackgroundView; }
    void setOverlayBackgroundView(QWidget *view);
    // The panel the overlay transition put this screen's overlay view in (weak).
    QWidget *overlayContainer() const { return m_overlayContainer; }
    void setOverlayContainer(QWidget *container) { m_overlayContainer = container; }

    // The control that should get the focus when the screen shows (weak).
    virtual QWidget *initialFirstResponder() const { return m_initialFirstResponder; }
    void setInitialFirstResponder(QWidget *responder) { m_initialFirstResponder = responder; }
    // initialFirstResponder when it accepts the focus and can be a key view, else the view.
    virtual QWidget *firstValidResponder();
    bool hasValidInitialFirstResponder() const;
    // Tab arriving at the controller: focus firstValidResponder, beeping first when that is the
    // controller's own view (there is nothing else to go to).
    void insertTab();

    // The window this controller is presented on (see VLWindowPresentation.h); weak.
    QWidget *presentingWindow() const { return m_presentingWindow; }
    void setPresentingWindow(QWidget *window) { m_presentingWindow = window; }

    // The views whose focus chains make up the key-view loop while this controller is shown.
    virtual QList<QWidget *> keyViewRoots();

    // Lifecycle hooks, empty here.
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated) }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated) }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated) }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated) }

    // A screen being left may offer the transition; null leaves the choice to the delegate.
    virtual std::shared_ptr<VLNavigationControllerAnimatedTransitioning>
    navigationControllerAnimationControllerForOperationToViewController(VLNavigationController *navigationController,
                                                                        VLNavigationControllerOperation operation,
                                                                        VLViewController *toViewController);

protected:
    // Makes the view: a plain widget, set up by the interface registered under nibName() if any.
    // An override must end with setView().
    virtual void loadView();

private:
    QPointer<QWidget> m_view;
    bool m_viewLoaded = false;
    QPointer<VLViewController> m_navigationController;
    QPointer<VLViewController> m_parentViewController;
    QList<QPointer<VLViewController>> m_childViewControllers;
    QRectF m_overlayFrame;
    QPointer<QWidget> m_overlayView;
    QPointer<QWidget> m_overlayBackgroundView;
    QPointer<QWidget> m_overlayContainer;
    QPointer<QWidget> m_initialFirstResponder;
    QPointer<QWidget> m_presentingWindow;
};

using VLViewControllerPtr = QSharedPointer<VLViewController>;

// The layouts' "no intrinsic metric" marker in a rectangle component.
inline constexpr qreal kVLViewNoIntrinsicMetric = -1.0;
