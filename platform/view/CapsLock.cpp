#include "platform/view/CapsLock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QObject>
#include <QWindow>

#ifdef VAULTINE_HAVE_XCB_XKB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
// The XKB header names a member "explicit", a C++ keyword; it is spelled differently while the
// header is read.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <cstdlib>
#endif

namespace platform {
namespace {

std::optional<bool> &capsLockOverride()
{
    static std::optional<bool> value;
    return value;
}

// Follows Caps Lock presses application-wide, for platforms that cannot be asked.
class CapsLockFollower final : public QObject
{
public:
    bool on = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_CapsLock && !key->isAutoRepeat() && watched == QGuiApplication::focusWindow())
                on = !on;
        }
        return false;
    }
};

bool followedCapsLock()
{
    static CapsLockFollower *follower = [] {
        auto *created = new CapsLockFollower;
        if (QCoreApplication *app = QCoreApplication::instance()) {
            created->setParent(app);
            app->installEventFilter(created);
        }
        return created;
    }();
    return follower->on;
}

#ifdef VAULTINE_HAVE_XCB_XKB
// The locked Lock modifier of the core keyboard; nullopt when not on X11 or without XKB.
std::optional<bool> askedCapsLock()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    static const bool extensionReady = [connection] {
        const auto cookie = xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION);
        xcb_xkb_use_extension_reply_t *reply = xcb_xkb_use_extension_reply(connection, cookie, nullptr);
        const bool supported = reply && reply->supported;
        std::free(reply);
        return supported;
    }();
    if (!extensionReady)
        return std::nullopt;
    const auto cookie = xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD);
    xcb_xkb_get_state_reply_t *state = xcb_xkb_get_state_reply(connection, cookie, nullptr);
    if (!state)
        return std::nullopt;
    const bool on = (state->lockedMods & XCB_MOD_MASK_LOCK) != 0;
    std::free(state);
    return on;
}
#else
std::optional<bool> askedCapsLock()
{
    return std::nullopt;
}
#endif

} // namespace

bool isCapsLockOn()
{
    if (const std::optional<bool> &forced = capsLockOverride())
        return *forced;
    const bool followed = followedCapsLock(); // keeps following, whichever answer is used
    if (const std::optional<bool> asked = askedCapsLock())
        return *asked;
    return followed;
}

void setCapsLockOverride(std::optional<bool> on)
{
    capsLockOverride() = on;
}

} // namespace platform
