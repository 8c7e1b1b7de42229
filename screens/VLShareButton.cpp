#include "screens/VLShareButton.h"

#include "platform/desktop/Beep.h"

#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace {

constexpr double kMenuShadeOpacity = 0.1;

} // namespace

VLShareButton::VLShareButton(QWidget *parent) : VLRoundedButton(parent)
{
}

void VLShareButton::setMenuDelegateOf(QMenu *menu)
{
    connect(menu, &QMenu::aboutToShow, this, &VLShareButton::menuWillOpen);
    connect(menu, &QMenu::aboutToHide, this, &VLShareButton::menuDidClose);
}

void VLShareButton::menuWillOpen()
{
    shadeLayer()->setOpacity(kMenuShadeOpacity);
}

void VLShareButton::menuDidClose()
{
    shadeLayer()->setOpacity(0.0);
}

void VLShareButton::insertText(const QString &text)
{
    if (text == u" ")
        performSingleClick();
    else
        platform::beep();
}

void VLShareButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        VLRoundedButton::mousePressEvent(event);
        return;
    }
    event->accept();
    if (isEnabled())
        performSingleClick();
}

void VLShareButton::mouseReleaseEvent(QMouseEvent *event)
{
    // The press did the work; there is no tracking to end.
    event->accept();
}

void VLShareButton::performSingleClick()
{
    QObject *receiver = target();
    if (!receiver || m_singleClickSelector.isEmpty())
        return;
    // On the next turn, so the menu the action opens does not run inside this event.
    const QByteArray method = m_singleClickSelector.toLatin1();
    QTimer::singleShot(0, receiver, [receiver, method, self = QPointer<VLShareButton>(this)] {
        if (self)
            QMetaObject::invokeMethod(receiver, method.constData(), Q_ARG(QObject *, self.data()));
    });
}
