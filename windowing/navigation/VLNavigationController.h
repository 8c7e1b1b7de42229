#pragma once

#include "windowing/navigation/VLNavigationControllerTransitioning.h"
#include "windowing/navigation/VLNavigationControllerView.h"
#include "windowing/navigation/VLViewController.h"

#include <QList>
#include <QPointer>

#include <optional>

// The stack of screens of one window and every change between them. A change refuses further
// requests until its transition has completed; requests made meanwhile are dropped.
class VLNavigationController final : public VLViewController, public VLNavigationControllerViewDelegate
{
    Q_OBJECT

public:
    // With no root, a plain controller with an empty view becomes the root.
    explicit VLNavigationController(VLViewControllerPtr rootViewController = {}, QObject *parent = nullptr);
    ~VLNavigationController() override;

    QString nibName() const override { return {}; }

    bool isViewCreated() const { return m_viewCreated; }
    bool canNavigate() const { return m_canNavigate; }

    VLNavigationControllerDelegate *delegate() const;
    // Weak: a delegate that is a QObject is forgotten when it is destroyed.
    void setDelegate(VLNavigationControllerDelegate *delegate);

    VLNavigationControllerView *navigationView();

    VLViewControllerPtr topViewController() const;
    VLViewControllerPtr rootViewController() const;
    QList<VLViewControllerPtr> viewControllers() const { return m_viewControllers; }
    // Finds the shared handle of a controller on the stack, or null.
    VLViewControllerPtr sharedViewController(const VLViewController *controller) const;

    void setViewControllers(const QList<VLViewControllerPtr> &viewControllers);
    void setViewControllersAnimated(QList<VLViewControllerPtr> viewControllers, bool animated);
    void pushViewControllerAnimated(const VLViewControllerPtr &viewController, bool animated);
    // Null when refused (a transition runs, or fewer than two screens).
    VLViewControllerPtr popViewControllerAnimated(bool animated);
    // The removed screens; an empty list when there was nothing to remove; nullopt when refused.
    std::optional<QList<VLViewControllerPtr>> popToRootViewControllerAnimated(bool animated);
    std::optional<QList<VLViewControllerPtr>> popToViewControllerAnimated(const VLViewControllerPtr &viewController,
                                                                          bool animated);

    QWidget *initialFirstResponder() const override;
    QWidget *firstValidResponder() override;
    QList<QWidget *> keyViewRoots() override;

    void controllerViewDidMoveToWindow(VLNavigationControllerView *view, QWidget *window) override;

protected:
    void loadView() override;

private:
    void navigateFromViewControllerToViewControllerAnimatedPush(const VLViewControllerPtr &from,
                                                                const VLViewControllerPtr &to, bool animated,
                                                                bool push);
    void addControllerToHierarchyToStack(const VLViewControllerPtr &controller, bool toStack);
    void removeControllerFromHierarchyFromStack(const VLViewControllerPtr &controller, bool fromStack);
    VLAnimatedTransitioningPtr transitionFor(VLViewController *from, VLViewController *to, bool push);

    bool m_viewCreated = false;
    bool m_canNavigate = true;
    VLNavigationControllerDelegate *m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;
    QPointer<VLNavigationControllerView> m_navigationView;
    QList<VLViewControllerPtr> m_viewControllers;
};

using VLNavigationControllerPtr = QSharedPointer<VLNavigationController>;
