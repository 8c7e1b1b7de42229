#include "windowing/navigation/VLViewController.h"

#include "platform/desktop/Beep.h"
#include "windowing/navigation/VLInterfaceRegistry.h"
#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLNavigationController.h"

#include <QVariant>

namespace {

constexpr char kViewControllerProperty[] = "vl_viewController";

void deleteOwnedView(QPointer<QWidget> &view)
{
    if (view)
        delete view.data();
}

} // namespace

VLViewController::VLViewController(QObject *parent) : QObject(parent)
{
    vlTeachResponderChainControllers();
}

VLViewController::~VLViewController()
{
    removeFromParentViewController();
    for (const QPointer<VLViewController> &child : std::as_const(m_childViewControllers)) {
        if (child)
            child->m_parentViewController = nullptr;
    }
    deleteOwnedView(m_overlayView);
    deleteOwnedView(m_overlayBackgroundView);
    deleteOwnedView(m_view);
}

QString VLViewController::nibName() const
{
    return QString::fromLatin1(metaObject()->className());
}

QWidget *VLViewController::view()
{
    if (!m_viewLoaded) {
        loadView();
        if (!m_view)
            setView(new QWidget);
        m_viewLoaded = true;
        viewDidLoad();
    }
    return m_view;
}

void VLViewController::loadView()
{
    auto *view = new QWidget;
    const QString name = nibName();
    if (!name.isEmpty()) {
        if (const VLInterfaceRegistry::Setup setup = VLInterfaceRegistry::setupForName(name))
            setup(view, this);
    }
    setView(view);
}

void VLViewController::setView(QWidget *view)
{
    if (m_view == view)
        return;
    if (m_view)
        m_view->setProperty(kViewControllerProperty, QVariant());
    m_view = view;
    if (view)
        view->setProperty(kViewControllerProperty, QVariant::fromValue(QPointer<QObject>(this)));
}

VLViewController *VLViewController::viewController(const QWidget *view)
{
    if (!view)
        return nullptr;
    return qobject_cast<VLViewController *>(view->property(kViewControllerProperty).value<QPointer<QObject>>());
}

VLNavigationController *VLViewController::navigationController() const
{
    if (m_navigationController)
        return static_cast<VLNavigationController *>(m_navigationController.data());
    return m_parentViewController ? m_parentViewController->navigationController() : nullptr;
}

void VLViewController::setNavigationController(VLNavigationController *navigationController)
{
    m_navigationController = navigationController;
}

QList<VLViewController *> VLViewController::childViewControllers() const
{
    QList<VLViewController *> children;
    for (const QPointer<VLViewController> &child : m_childViewControllers) {
        if (child)
            children.append(child);
    }
    return children;
}

void VLViewController::addChildViewController(VLViewController *child)
{
    // Not QObject parenthood: screens are shared by the navigation stack, which owns them.
    if (!child || child == this || child->m_parentViewController == this)
        return;
    child->removeFromParentViewController();
    child->m_parentViewController = this;
    m_childViewControllers.append(child);
}

void VLViewController::removeFromParentViewController()
{
    if (!m_parentViewController)
        return;
    m_parentViewController->m_childViewControllers.removeAll(QPointer<VLViewController>(this));
    m_parentViewController = nullptr;
}

void VLViewController::setOverlayView(QWidget *view)
{
    if (m_overlayView == view)
        return;
    if (m_overlayView && !m_overlayView->parentWidget())
        m_overlayView->deleteLater();
    m_overlayView = view;
}

void VLViewController::setOverlayBackgroundView(QWidget *view)
{
    if (m_overlayBackgroundView == view)
        return;
    if (m_overlayBackgroundView && !m_overlayBackgroundView->parentWidget())
        m_overlayBackgroundView->deleteLater();
    m_overlayBackgroundView = view;
}

bool VLViewController::hasValidInitialFirstResponder() const
{
    QWidget *responder = initialFirstResponder();
    // The own view would ask this controller again, without end; it is the fallback anyway.
    if (!responder || responder == m_view)
        return false;
    return vlAcceptsFirstResponder(responder) && vlCanBecomeKeyView(responder);
}

QWidget *VLViewController::firstValidResponder()
{
    if (hasValidInitialFirstResponder())
        return initialFirstResponder();
    return view();
}

void VLViewController::insertTab()
{
    QWidget *responder = firstValidResponder();
    if (!responder)
        return;
    if (responder == m_view)
        platform::beep();
    vlMakeFirstResponder(responder->window(), responder);
}

QList<QWidget *> VLViewController::keyViewRoots()
{
    QList<QWidget *> roots{view()};
    if (m_overlayView)
        roots.append(m_overlayView);
    return roots;
}

std::shared_ptr<VLNavigationControllerAnimatedTransitioning>
VLViewController::navigationControllerAnimationControllerForOperationToViewController(VLNavigationController *,
                                                                                      VLNavigationControllerOperation,
                                                                                      VLViewController *)
{
    return nullptr;
}
