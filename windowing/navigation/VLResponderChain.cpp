#include "windowing/navigation/VLResponderChain.h"

#include "windowing/navigation/VLKeyViewLoop.h"

#include <QMetaMethod>
#include <QObject>

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
