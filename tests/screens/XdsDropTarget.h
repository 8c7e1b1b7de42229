#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <xcb/xcb.h>

#include <poll.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

// A file manager's folder window on its own X connection and thread: it takes part in XDND and,
// when asked to, in the direct-save protocol, as Thunar, Files or ROX do. On a drop of a
// direct-save offer it names the file in its folder on the source window, asks the source to
// save it there and finishes the drop; otherwise it fetches the dropped URIs, as a file manager
// does before it copies or moves the files itself.
class XdsDropTarget final
{
public:
    enum class Mode { DirectSave, UriList };

    // Opens a connection to the display; ready() tells whether that worked.
    XdsDropTarget(Mode mode, const QString &folder, const QRect &geometry, const QByteArray &host = {})
        : m_mode(mode)
        , m_folder(QDir(folder).absolutePath())
        , m_host(host)
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        const uint32_t values[] = {screen->white_pixel, 1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, int16_t(geometry.x()),
                          int16_t(geometry.y()), uint16_t(geometry.width()), uint16_t(geometry.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        const uint32_t version = 5;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, atom("XdndAware"), XCB_ATOM_ATOM, 32, 1,
                            &version);
        xcb_map_window(m_connection, m_window);
        xcb_flush(m_connection);
        // The window is on the screen once the server has answered a request made after the map.
        std::free(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), nullptr));
        m_thread = std::thread([this] { run(); });
    }
    ~XdsDropTarget()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        xcb_disconnect(m_connection);
    }
    XdsDropTarget(const XdsDropTarget &) = delete;
    XdsDropTarget &operator=(const XdsDropTarget &) = delete;

    bool ready() const { return m_thread.joinable(); }
    // The pointer is over the window and the drop would be taken.
    bool accepting() const { return m_accepting; }
    bool finished() const { return m_finished; }

    struct Outcome
    {
        QStringList offeredTypes;
        QByteArray nameOnSource; // the direct-save property as the source set it
        QByteArray sourceAnswer; // "S", "F" or "E"; empty when the protocol was not used
        QByteArray droppedUris;  // the text/uri-list data, for a plain drop
    };
    Outcome outcome() const
    {
        std::lock_guard lock(m_mutex);
        return m_outcome;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        const auto cookie = xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name);
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }
    QByteArray atomName(xcb_atom_t value)
    {
        xcb_get_atom_name_reply_t *reply = xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, value),
                                                                   nullptr);
        QByteArray name;
        if (reply)
            name = QByteArray(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        std::free(reply);
        return name;
    }
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t *type = nullptr)
    {
        const auto cookie = xcb_get_property(m_connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(m_connection, cookie, nullptr);
        QByteArray value;
        if (reply) {
            value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply) * (reply->format / 8));
            if (type)
                *type = reply->type;
        }
        std::free(reply);
        return value;
    }
    void sendToSource(xcb_window_t source, const char *type, uint32_t d1, uint32_t d2, uint32_t d3, uint32_t d4)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = source;
        message.type = atom(type);
        message.data.data32[0] = m_window;
        message.data.data32[1] = d1;
        message.data.data32[2] = d2;
        message.data.data32[3] = d3;
        message.data.data32[4] = d4;
        xcb_send_event(m_connection, 0, source, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
        xcb_flush(m_connection);
    }

    // The next event, or null once the target is told to stop.
    xcb_generic_event_t *nextEvent()
    {
        while (!m_stop) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
                return event;
            if (xcb_connection_has_error(m_connection))
                return nullptr;
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&descriptor, 1, 50);
        }
        return nullptr;
    }

    // The drag's selection converted to a type, read from this window.
    QByteArray convert(const char *target, uint32_t time)
    {
        const xcb_atom_t result = atom("VAULTINE_TEST_RESULT");
        xcb_convert_selection(m_connection, m_window, atom("XdndSelection"), atom(target), result, time);
        xcb_flush(m_connection);
        while (xcb_generic_event_t *event = nextEvent()) {
            const bool notify = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
            const bool answered = notify
                                  && reinterpret_cast<xcb_selection_notify_event_t *>(event)->property != XCB_ATOM_NONE;
            std::free(event);
            if (notify)
                return answered ? property(m_window, result) : QByteArray();
        }
        return {};
    }

    void run()
    {
        const xcb_atom_t enter = atom("XdndEnter");
        const xcb_atom_t position = atom("XdndPosition");
        const xcb_atom_t drop = atom("XdndDrop");
        const xcb_atom_t leave = atom("XdndLeave");
        const xcb_atom_t directSave = atom("XdndDirectSave0");
        while (xcb_generic_event_t *event = nextEvent()) {
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
                std::free(event);
                continue;
            }
            const auto message = *reinterpret_cast<xcb_client_message_event_t *>(event);
            std::free(event);
            const xcb_window_t source = message.data.data32[0];
            if (message.type == enter) {
                QList<xcb_atom_t> types;
                if (message.data.data32[1] & 1) {
                    const QByteArray list = property(source, atom("XdndTypeList"));
                    for (qsizetype i = 0; i + 4 <= list.size(); i += 4)
                        types << *reinterpret_cast<const xcb_atom_t *>(list.constData() + i);
                } else {
                    for (int i = 2; i < 5; ++i)
                        if (message.data.data32[i])
                            types << message.data.data32[i];
                }
                QStringList names;
                for (xcb_atom_t type : types)
                    names << QString::fromLatin1(atomName(type));
                std::lock_guard lock(m_mutex);
                m_outcome.offeredTypes = names;
            } else if (message.type == position) {
                // Accepts with the action the source proposes, and wants every further position.
                sendToSource(source, "XdndStatus", 3, 0, 0, message.data.data32[4]);
                m_accepting = true;
            } else if (message.type == leave) {
                m_accepting = false;
            } else if (message.type == drop) {
                handleDrop(source, message.data.data32[2], directSave);
                m_finished = true;
            }
        }
    }

    void handleDrop(xcb_window_t source, uint32_t time, xcb_atom_t directSave)
    {
        const bool offered = outcome().offeredTypes.contains(QStringLiteral("XdndDirectSave0"));
        if (m_mode == Mode::DirectSave && offered) {
            xcb_atom_t type = XCB_ATOM_NONE;
            const QByteArray name = property(source, directSave, &type);
            QByteArray uri = QUrl::fromLocalFile(m_folder + u'/' + QString::fromUtf8(name)).toEncoded();
            if (!m_host.isEmpty())
                uri.insert(int(std::strlen("file://")), m_host);
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, source, directSave, type, 8, uint32_t(uri.size()),
                                uri.constData());
            const QByteArray answer = convert("XdndDirectSave0", time);
            {
                std::lock_guard lock(m_mutex);
                m_outcome.nameOnSource = name;
                m_outcome.sourceAnswer = answer;
            }
            sendToSource(source, "XdndFinished", answer == "S" ? 1 : 0, answer == "S" ? atom("XdndActionCopy") : 0, 0,
                         0);
            return;
        }
        const QByteArray uris = convert("text/uri-list", time);
        {
            std::lock_guard lock(m_mutex);
            m_outcome.droppedUris = uris;
        }
        sendToSource(source, "XdndFinished", 1, atom("XdndActionCopy"), 0, 0);
    }

    const Mode m_mode;
    const QString m_folder;
    const QByteArray m_host;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_accepting{false};
    std::atomic<bool> m_finished{false};
    mutable std::mutex m_mutex;
    Outcome m_outcome;
};
