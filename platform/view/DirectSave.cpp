#include "platform/view/DirectSave.h"

#include "platform/core/Log.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QSysInfo>
#include <QTimer>

#ifdef VAULTINE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace platform {

#ifdef VAULTINE_HAVE_XCB

namespace {

// A target that takes the drop asks for the save at once; one that says nothing for this long
// is not going to.
constexpr int kTargetSilenceMs = 3000;

// The local file a target named, or nothing when the URI names another machine (empty path) or
// is no file URI at all (nullopt).
std::optional<QString> localPathOfTargetURI(const QByteArray &value)
{
    const QUrl url = QUrl::fromEncoded(value.trimmed());
    if (!url.isValid() || url.scheme() != u"file")
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(u"localhost", Qt::CaseInsensitive) != 0
        && host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return QString();
    QUrl local = url;
    local.setHost(QString());
    return local.toLocalFile();
}

xcb_connection_t *x11Connection()
{
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = application ? application->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

// Sees the target's XdndFinished before Qt handles it: however the target took the drop, it is
// over then.
struct DirectSaveOffer::X11State final : QAbstractNativeEventFilter
{
    xcb_connection_t *connection = nullptr;
    xcb_atom_t selection = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t textPlain = XCB_ATOM_NONE;
    xcb_atom_t finishedMessage = XCB_ATOM_NONE;
    xcb_window_t sourceWindow = XCB_WINDOW_NONE;
    bool finished = false;
    QPointer<QEventLoop> waitLoop;

    X11State() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~X11State() override
    {
        if (QCoreApplication *application = QCoreApplication::instance())
            application->removeNativeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(X11State)

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override
    {
        Q_UNUSED(result)
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (client->type == finishedMessage && client->window == sourceWindow && sourceWindow != XCB_WINDOW_NONE) {
            finished = true;
            if (waitLoop)
                waitLoop->quit();
        }
        return false;
    }

    // The property's current value on the source window, as the target left it.
    QByteArray readProperty() const
    {
        const auto cookie = xcb_get_property(connection, 0, sourceWindow, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
        QByteArray value;
        if (reply && reply->format == 8)
            value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return value;
    }
};

std::shared_ptr<DirectSaveOffer> DirectSaveOffer::create(const QString &fileName, Saver saver)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || fileName.isEmpty() || !saver)
        return nullptr;
    auto x11 = std::make_unique<X11State>();
    x11->connection = connection;
    x11->selection = internAtom(connection, "XdndSelection");
    x11->property = internAtom(connection, "XdndDirectSave0");
    x11->textPlain = internAtom(connection, "text/plain");
    x11->finishedMessage = internAtom(connection, "XdndFinished");
    if (x11->selection == XCB_ATOM_NONE || x11->property == XCB_ATOM_NONE)
        return nullptr;
    return std::shared_ptr<DirectSaveOffer>(new DirectSaveOffer(fileName, std::move(saver), std::move(x11)));
}

void DirectSaveOffer::dragStarted()
{
    if (m_closed || m_x11->sourceWindow != XCB_WINDOW_NONE)
        return;
    // Qt names its own drag window in XdndEnter and makes it the owner of the drag selection as
    // the drag starts; the target reads the property there.
    xcb_connection_t *connection = m_x11->connection;
    const auto cookie = xcb_get_selection_owner(connection, m_x11->selection);
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(connection, cookie, nullptr);
    m_x11->sourceWindow = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(reply);
    if (m_x11->sourceWindow == XCB_WINDOW_NONE)
        return;
    const QByteArray name = m_fileName.toUtf8();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, m_x11->sourceWindow, m_x11->property, m_x11->textPlain, 8,
                        static_cast<uint32_t>(name.size()), name.constData());
    xcb_flush(connection);
}

QByteArray DirectSaveOffer::answerSaveRequest()
{
    // A target may ask more than once; the item is saved once.
    if (m_answer)
        return *m_answer;
    if (m_closed || m_x11->sourceWindow == XCB_WINDOW_NONE)
        return QByteArrayLiteral("E");

    const QByteArray named = m_x11->readProperty();
    const std::optional<QString> path = localPathOfTargetURI(named);
    QByteArray answer;
    if (path && path->isEmpty()) {
        answer = QByteArrayLiteral("F");
    } else {
        const QFileInfo destination(path.value_or(QString()));
        const QString name = destination.fileName();
        const bool usable = path && QDir::isAbsolutePath(*path) && !name.isEmpty() && name != u"." && name != u".."
                            && destination.absoluteDir().exists();
        if (usable && m_saver(QDir::cleanPath(*path))) {
            m_savedURL = QUrl::fromLocalFile(QDir::cleanPath(*path));
            answer = QByteArrayLiteral("S");
        } else {
            log(QStringLiteral("[Drag]: The drop target's place could not take the item: %1")
                    .arg(QString::fromUtf8(named)));
            answer = QByteArrayLiteral("E");
        }
    }
    m_answer = answer;
    if (m_x11->waitLoop)
        m_x11->waitLoop->quit();
    return answer;
}

void DirectSaveOffer::waitForTarget()
{
    if (m_closed || m_answer || m_x11->finished || m_x11->sourceWindow == XCB_WINDOW_NONE)
        return;
    // Input waits, so that no second drag or click starts while this one is being finished.
    QEventLoop loop;
    m_x11->waitLoop = &loop;
    QTimer::singleShot(kTargetSilenceMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_x11->waitLoop = nullptr;
}

void DirectSaveOffer::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_saver = {};
    if (m_x11->sourceWindow != XCB_WINDOW_NONE) {
        xcb_delete_property(m_x11->connection, m_x11->sourceWindow, m_x11->property);
        xcb_flush(m_x11->connection);
    }
}

#else

struct DirectSaveOffer::X11State
{
};

std::shared_ptr<DirectSaveOffer> DirectSaveOffer::create(const QString &fileName, Saver saver)
{
    Q_UNUSED(fileName)
    Q_UNUSED(saver)
    return nullptr;
}

void DirectSaveOffer::dragStarted()
{
}

QByteArray DirectSaveOffer::answerSaveRequest()
{
    return QByteArrayLiteral("E");
}

void DirectSaveOffer::waitForTarget()
{
}

void DirectSaveOffer::close()
{
    m_closed = true;
}

#endif

DirectSaveOffer::DirectSaveOffer(const QString &fileName, Saver saver, std::unique_ptr<X11State> x11)
    : m_fileName(fileName)
    , m_saver(std::move(saver))
    , m_x11(std::move(x11))
{
}

DirectSaveOffer::~DirectSaveOffer()
{
    close();
}

} // namespace platform
