#include "platform/view/WindowActivation.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef VAULTINE_HAVE_XCB_XKB
#include <QRegularExpression>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#endif

namespace platform {

namespace {

#ifdef VAULTINE_HAVE_XCB_XKB
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

QByteArray quotedStartupValue(const QString &value)
{
    QByteArray quoted = value.toUtf8();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

// The startup id of an X11 launcher ends in the time of the user's request ("_TIME<n>"); a window
// manager that prevents focus stealing brings a running program's window forward only for that
// time. The launcher's startup sequence is then ended, as the program it started would end it.
void activateOnX11(QWidget *window, const QString &startupId)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = xcb_window_t(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;

    static const QRegularExpression timePattern(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch time = timePattern.match(startupId);
    if (time.hasMatch()) {
        const uint32_t timestamp = time.captured(1).toUInt();
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_USER_TIME"),
                            XCB_ATOM_CARDINAL, 32, 1, &timestamp);
        xcb_client_message_event_t request{};
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = id;
        request.type = internAtom(connection, "_NET_ACTIVE_WINDOW");
        request.data.data32[0] = 1; // asked by an application
        request.data.data32[1] = timestamp;
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&request));
    }

    // The message goes in pieces of 20 bytes, the first of another type, the last ending in NUL.
    const QByteArray message = "remove: ID=" + quotedStartupValue(startupId) + '\0';
    const xcb_atom_t begin = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(connection, "_NET_STARTUP_INFO");
    for (qsizetype offset = 0; offset < message.size(); offset += 20) {
        xcb_client_message_event_t piece{};
        piece.response_type = XCB_CLIENT_MESSAGE;
        piece.format = 8;
        piece.window = id;
        piece.type = offset == 0 ? begin : more;
        std::memcpy(piece.data.data8, message.constData() + offset,
                    size_t(std::min<qsizetype>(20, message.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&piece));
    }
    xcb_flush(connection);
}
#endif

} // namespace

void activateWindowWithToken(QWidget *window, const QString &token)
{
    if (!window)
        return;
    // Qt's Wayland client presents the token from this variable with the next activation
    // request and then clears it.
    if (!token.isEmpty() && QGuiApplication::platformName() == u"wayland")
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    window->raise();
    window->activateWindow();
#ifdef VAULTINE_HAVE_XCB_XKB
    if (!token.isEmpty() && QGuiApplication::platformName() == u"xcb")
        activateOnX11(window, token);
#endif
}

} // namespace platform
