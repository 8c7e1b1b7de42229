#include "platform/view/WindowActivation.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace {

// An X server of the test's own, without a window manager, started before the application
// connects to it.
class VirtualDisplay
{
public:
    bool start()
    {
        for (int number = 100 + int(::getpid() % 100); number < 300; ++number) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (QFile::exists(socket) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            m_server.start(QStringLiteral("Xvfb"),
                           {QStringLiteral(":%1").arg(number), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x480x24")});
            if (!m_server.waitForStarted(5000))
                return false;
            const QDeadlineTimer deadline(10000);
            while (!QFile::exists(socket) && !deadline.hasExpired() && m_server.state() == QProcess::Running)
                ::usleep(20000);
            if (QFile::exists(socket)) {
                name = QStringLiteral(":%1").arg(number).toLatin1();
                return true;
            }
            m_server.kill();
            m_server.waitForFinished(5000);
        }
        return false;
    }
    ~VirtualDisplay()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    QByteArray name;

private:
    QProcess m_server;
};

QByteArray g_display;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace

// What a window manager and the launcher see on the root window when a running program brings
// its window forward for another launch.
class TestWindowActivation : public QObject
{
    Q_OBJECT

    xcb_connection_t *m_observer = nullptr;
    xcb_window_t m_root = 0;

    struct Seen
    {
        QList<QList<uint32_t>> activeWindowRequests; // window, source, time
        QByteArray startupMessage;
        bool startupMessageComplete = false;
    };

    // Collects the root window's messages until the startup message is whole, or for the time
    // given when stopAtStartupMessage is false.
    Seen watch(int milliseconds, bool stopAtStartupMessage)
    {
        Seen seen;
        const xcb_atom_t active = atom(m_observer, "_NET_ACTIVE_WINDOW");
        const xcb_atom_t begin = atom(m_observer, "_NET_STARTUP_INFO_BEGIN");
        const xcb_atom_t more = atom(m_observer, "_NET_STARTUP_INFO");
        const QDeadlineTimer deadline(milliseconds);
        while (!deadline.hasExpired() && !(stopAtStartupMessage && seen.startupMessageComplete)) {
            QCoreApplication::processEvents();
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(m_observer),
                                                                             &std::free);
            if (!event) {
                ::usleep(5000);
                continue;
            }
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
                continue;
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event.get());
            if (message->type == active) {
                seen.activeWindowRequests
                    << QList<uint32_t>{message->window, message->data.data32[0], message->data.data32[1]};
            } else if (message->type == begin || message->type == more) {
                if (message->type == begin)
                    seen.startupMessage.clear();
                const char *bytes = reinterpret_cast<const char *>(message->data.data8);
                const qsizetype length = qsizetype(strnlen(bytes, 20));
                seen.startupMessage.append(bytes, length);
                seen.startupMessageComplete = length < 20;
            }
        }
        return seen;
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs Xvfb, to run on an X server of its own");
        m_observer = xcb_connect(g_display.constData(), nullptr);
        QVERIFY(!xcb_connection_has_error(m_observer));
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_observer)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_observer, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_observer);
    }

    void cleanupTestCase()
    {
        if (m_observer)
            xcb_disconnect(m_observer);
    }

    void theLaunchersTimeBringsTheWindowForwardAndEndsItsStartup()
    {
        QWidget window;
        window.resize(120, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString startupId = QStringLiteral("nautilus-1234-host-vaultine-share-7_TIME98765");
        platform::activateWindowWithToken(&window, startupId);

        const Seen seen = watch(20000, true);
        const auto id = uint32_t(window.winId());
        QVERIFY2(seen.activeWindowRequests.contains(QList<uint32_t>{id, 1, 98765}),
                 "no request with the launcher's time");
        QVERIFY(seen.startupMessageComplete);
        QCOMPARE(seen.startupMessage, "remove: ID=\"" + startupId.toLatin1() + '"');

        xcb_get_property_reply_t *property = xcb_get_property_reply(
            m_observer,
            xcb_get_property(m_observer, 0, id, atom(m_observer, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        QVERIFY(property && xcb_get_property_value_length(property) == 4);
        QCOMPARE(*static_cast<const uint32_t *>(xcb_get_property_value(property)), uint32_t(98765));
        std::free(property);
    }

    void withoutATokenThereIsNoStartupToEnd()
    {
        QWidget window;
        window.resize(120, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        platform::activateWindowWithToken(&window, QString());
        const Seen seen = watch(500, false);
        QVERIFY(seen.startupMessage.isEmpty());
        QVERIFY(window.isVisible());
    }
};

int main(int argc, char **argv)
{
    VirtualDisplay display;
    if (display.start()) {
        g_display = display.name;
        qputenv("DISPLAY", display.name);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        TestWindowActivation test;
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "tst_windowactivation.moc"
