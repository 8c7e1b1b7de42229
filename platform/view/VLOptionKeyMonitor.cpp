#include "platform/view/VLOptionKeyMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

// X11 and Wayland (evdev + 8) scan code of the right Alt key, which is not the left Option.
constexpr quint32 rightAltScanCode = 108;

} // namespace

VLOptionKeyMonitor::VLOptionKeyMonitor(QObject *parent) : QObject(parent)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

VLOptionKeyMonitor::~VLOptionKeyMonitor()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool VLOptionKeyMonitor::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // A key event reaches the window first and then its widgets; count it once, at the window.
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->key() == Qt::Key_Alt && !key->isAutoRepeat() && key->nativeScanCode() != rightAltScanCode) {
            m_released = !m_released;
            if (m_released) {
                if (m_delegate)
                    m_delegate->monitorOptionDidToggle(this);
                emit optionDidToggle();
            }
        }
    }
    return false;
}
