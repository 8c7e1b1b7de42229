#include "platform/view/VLResponderChain.h"

#include <QMetaMethod>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char kNextResponderProperty[] = "vl_nextResponder";

VLResponderControllers &responderControllers()
{
    static VLResponderControllers controllers;
    return controllers;
}

} // namespace

void vlSetResponderControllers(const VLResponderControllers &controllers)
{
    responderControllers() = controllers;
}

bool vlPerformSelector(QObject *receiver, const QString &selector, QObject *sender)
{
    if (!receiver)
        return false;
    QByteArray name = selector.toLatin1();
    if (name.endsWith(':'))
        name.chop(1);
    const QMetaObject *meta = receiver->metaObject();
    int index = meta->indexOfMethod(QByteArray(name + "(QObject*)").constData());
    if (index >= 0)
        return meta->method(index).invoke(receiver, Qt::DirectConnection, Q_ARG(QObject *, sender));
    index = meta->indexOfMethod(QByteArray(name + "()").constData());
    if (index >= 0)
        return meta->method(index).invoke(receiver, Qt::DirectConnection);
    return false;
}

bool vlTryToPerform(const QObject *from, platform::Command command, QObject *sender)
{
    const QString selector = platform::commandName(command);
    for (QObject *responder = vlResponderFollowing(from); responder; responder = vlResponderFollowing(responder)) {
        if (vlPerformSelector(responder, selector, sender))
            return true;
    }
    return false;
}

void vlSetNextResponder(QWidget *view, QObject *responder)
{
    if (view)
        view->setProperty(kNextResponderProperty, QVariant::fromValue(QPointer<QObject>(responder)));
}

QObject *vlNextResponder(const QWidget *view)
{
    return view ? view->property(kNextResponderProperty).value<QPointer<QObject>>().data() : nullptr;
}

QObject *vlResponderFollowing(const QObject *responder)
{
    const VLResponderControllers &controllers = responderControllers();
    QObject *following = nullptr;
    if (controllers.followingController && controllers.followingController(responder, &following))
        return following;
    const auto *view = qobject_cast<const QWidget *>(responder);
    if (!view)
        return nullptr;
    if (QObject *next = vlNextResponder(view))
        return next;
    if (controllers.controllerOfView) {
        if (QObject *controller = controllers.controllerOfView(view))
            return controller;
    }
    return view->isWindow() ? nullptr : view->parentWidget();
}

void vlMakeFirstResponder(QWidget *window, QWidget *responder)
{
    if (!window)
        return;
    QWidget *target = responder ? responder : window;
    if (target->window() != window->window())
        return;
    target->setFocus(Qt::OtherFocusReason);
}

bool vlSelectNextKeyView(QWidget *window, bool forward)
{
    const VLResponderControllers &controllers = responderControllers();
    return controllers.selectNextKeyView && controllers.selectNextKeyView(window, forward);
}
