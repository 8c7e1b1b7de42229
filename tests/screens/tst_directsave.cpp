// Drags out of the result screens onto a file manager's folder window that takes part in the X
// direct-save protocol, on a real X server: the pointer is the server's own (XTest through
// xdotool), the drag is Qt's, the target a separate X client.
#include "controls/VLDragSourceView.h"
#include "engine/files/VLTempCleaner.h"
#include "platform/core/Library.h"
#include "screens/VLEncryptedView.h"
#include "screens/VLEncryptedViewController.h"
#include "screens/decrypt/VLDecryptCompletedViewController.h"
#include "screens/decrypt/VLDecryptedViewController.h"
#include "screens/decrypt/VLDecryptingViewController.h"
#include "tests/screens/FlowTestSupport.h"
#include "tests/screens/XdsDropTarget.h"
#include "tests/support/SmallTmpfs.h"
#include "windowing/windows/VLAlert.h"
#include "windowing/windows/VLAlertHandler.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool g_haveXServer = false;

// Where the main window and the target's window lie, side by side (no window manager moves them).
const QPoint kMainWindowPosition(420, 60);
const QRect kTargetGeometry(40, 60, 300, 300);

// Records the folders the desktop was asked to open.
class OpenedLinks final : public QObject
{
    Q_OBJECT

public:
    OpenedLinks() { QDesktopServices::setUrlHandler(u"file"_s, this, "open"); }
    ~OpenedLinks() override { QDesktopServices::unsetUrlHandler(u"file"_s); }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

bool sameFileSystem(const QString &a, const QString &b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(QFile::encodeName(a).constData(), &first) == 0
           && ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDirectSave : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QUrl m_singleFile; // a container of the one file a.txt
    QUrl m_folder;     // a container of the folder Holiday

    bool settleUntil(FlowWindow &window, const std::function<bool()> &condition)
    {
        QElapsedTimer clock;
        clock.start();
        const auto reached = [&] { return condition() && window.navigation()->canNavigate(); };
        while (!reached() && clock.elapsed() < 30000) {
            window.clock().advance(1.0 / 60.0);
            QTest::qWait(2);
        }
        return reached();
    }

    VLDecryptedViewController *decrypt(FlowWindow &window, const QUrl &container)
    {
        window.navigation()->pushViewControllerAnimated(VLViewController::create<VLDecryptingViewController>(
                                                            QList<QUrl>{container}, QImage(), QImage(), u"right"_s),
                                                        true);
        if (!settleUntil(window, [&] { return window.topAs<VLDecryptedViewController>() != nullptr; }))
            return nullptr;
        window.settle(1.0); // the icon slides into place
        return window.topAs<VLDecryptedViewController>();
    }

    // Where the X server has the window's top left corner.
    static QPoint serverPosition(QWidget *window)
    {
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t *connection = x11->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const auto cookie = xcb_translate_coordinates(connection, xcb_window_t(window->winId()), root, 0, 0);
        xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(connection, cookie, nullptr);
        const QPoint position = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
        std::free(reply);
        return position;
    }

    // Puts the main window beside the target's and waits until it stays there, so that the
    // server's pointer meets what the widgets' positions say.
    bool placeMainWindow(FlowWindow &window)
    {
        int steady = 0;
        for (int i = 0; i < 500 && steady < 10; ++i) {
            if (window.window()->pos() != kMainWindowPosition)
                window.window()->move(kMainWindowPosition);
            window.clock().advance(1.0 / 60.0);
            QTest::qWait(10);
            steady = serverPosition(window.window()) == kMainWindowPosition ? steady + 1 : 0;
        }
        return steady >= 10;
    }

    // Presses on the drag source's icon, drags onto the target and lets go once the target
    // takes the drop (or gives up when it never does); returns when the target has finished.
    bool dragOnto(FlowWindow &window, VLDragSourceView *source, XdsDropTarget &target)
    {
        if (!placeMainWindow(window))
            return false;
        const QPoint from = source->iconView()->mapToGlobal(source->iconView()->rect().center());
        const QPoint to = kTargetGeometry.center();
        const auto n = [](int value) { return QString::number(value); };
        // The pauses let the server's events come one by one, as a hand's do.
        QProcess gesture;
        gesture.start(u"xdotool"_s, {u"mousemove"_s,   n(from.x()),      n(from.y()), u"sleep"_s, u"0.2"_s,
                                     u"mousedown"_s,   u"1"_s,           u"sleep"_s,  u"0.2"_s,   u"mousemove"_s,
                                     n(from.x() + 20), n(from.y() + 20), u"sleep"_s,  u"0.3"_s,   u"mousemove"_s,
                                     n(to.x()),        n(to.y()),        u"sleep"_s,  u"0.3"_s,   u"mousemove"_s,
                                     n(to.x() + 5),    n(to.y() + 5)});
        // Lets go from inside the drag's own loop, where the test's code does not run, once the
        // pointer has come to rest over the target and the target takes the drop.
        QProcess letGo;
        bool released = false;
        QTimer release;
        connect(&release, &QTimer::timeout, &release, [&] {
            if (released || gesture.state() != QProcess::NotRunning || !target.accepting())
                return;
            released = true;
            letGo.start(u"xdotool"_s, {u"mouseup"_s, u"1"_s});
        });
        release.start(20);
        const bool finished = settleUntil(window, [&] { return target.finished(); });
        release.stop();
        // No gesture outlives its test.
        gesture.waitForFinished();
        letGo.waitForFinished();
        if (!released)
            QProcess::execute(u"xdotool"_s, {u"mouseup"_s, u"1"_s});
        if (!finished)
            qWarning() << "The drop did not finish; the target was offered" << target.outcome().offeredTypes;
        window.settle(0.5);
        return finished;
    }

private slots:
    void initTestCase()
    {
        if (!g_haveXServer)
            QSKIP("No X server to connect to (run under xvfb-run): the direct-save protocol is X11's");
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            QSKIP("xdotool is not installed: nothing can move the X server's pointer");
        platform::setApplicationIdentity();
        QVERIFY(writeTestFile(m_dir.filePath(u"a.txt"_s), "alpha"));
        m_singleFile = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"a.txt"_s))},
                                     m_dir.filePath(u"single.vault"_s), u"right"_s);
        QVERIFY(writeTestFile(m_dir.filePath(u"Holiday/beach.txt"_s), "sand and sea"));
        QVERIFY(writeTestFile(m_dir.filePath(u"Holiday/notes/day1.txt"_s), "swim"));
        m_folder = makeContainer({QUrl::fromLocalFile(m_dir.filePath(u"Holiday"_s))}, m_dir.filePath(u"folder.vault"_s),
                                 u"right"_s);
        QVERIFY(m_singleFile.isValid() && m_folder.isValid());
    }

    void init() { VLTempCleaner::sharedInstance().sync_clean(); }

    // The target names its folder; the source moves the item there and the completed screen
    // shows that place, also when the folder lies on another file system (the item is copied,
    // then leaves the work folder).
    void theRestoredItemGoesWhereTheTargetSays_data()
    {
        QTest::addColumn<bool>("otherFileSystem");
        QTest::addColumn<bool>("folder");
        QTest::newRow("file, same file system") << false << false;
        QTest::newRow("folder, same file system") << false << true;
        QTest::newRow("file, another file system") << true << false;
        QTest::newRow("folder, another file system") << true << true;
    }

    void theRestoredItemGoesWhereTheTargetSays()
    {
        QFETCH(bool, otherFileSystem);
        QFETCH(bool, folder);
        FlowWindow window;
        VLDecryptedViewController *result = decrypt(window, folder ? m_folder : m_singleFile);
        QVERIFY(result);
        const QString item = result->decryptedItemURL().toLocalFile();
        const QString name = QFileInfo(item).fileName();
        const QStringList restored = folder ? treeListing(item) : QStringList();

        std::unique_ptr<QTemporaryDir> dropFolder;
        if (otherFileSystem) {
            dropFolder = std::make_unique<QTemporaryDir>(u"/dev/shm/vaultine-drop-XXXXXX"_s);
            if (!dropFolder->isValid() || sameFileSystem(dropFolder->path(), item))
                QSKIP("No second file system to drop on (/dev/shm)");
        } else {
            dropFolder = std::make_unique<QTemporaryDir>();
            if (!sameFileSystem(dropFolder->path(), item))
                QSKIP("The temporary folder lies on another file system than the work folders");
        }
        const QString destination = QDir(dropFolder->path()).absoluteFilePath(name);

        XdsDropTarget target(XdsDropTarget::Mode::DirectSave, dropFolder->path(), kTargetGeometry);
        QVERIFY(target.ready());
        QVERIFY(dragOnto(window, result->dragSourceView(), target));
        const XdsDropTarget::Outcome outcome = target.outcome();
        // Other targets keep the file's URI.
        QVERIFY(outcome.offeredTypes.contains(u"text/uri-list"_s));
        QVERIFY(outcome.offeredTypes.contains(u"XdndDirectSave0"_s));
        QCOMPARE(outcome.nameOnSource, name.toUtf8());
        QCOMPARE(outcome.sourceAnswer, QByteArray("S"));

        if (folder)
            QCOMPARE(treeListing(destination), restored);
        else
            QCOMPARE(contentOf(destination), QByteArray("alpha"));
        QVERIFY(settleUntil(window, [&] { return window.topAs<VLDecryptCompletedViewController>() != nullptr; }));
        QVERIFY(!QFileInfo::exists(item));
        auto *completed = window.topAs<VLDecryptCompletedViewController>();
        QCOMPARE(completed->url(), QUrl::fromLocalFile(destination));
        QVERIFY(completed->success());
        QVERIFY(completed->unknownPlaceLabel()->isHidden());
        QVERIFY(!completed->revealButton()->isHidden());
        QVERIFY(completed->titleLabel()->property("text").toString().startsWith(folder ? u"Folder"_s : u"File"_s));
        OpenedLinks links;
        QTest::mouseClick(completed->revealButton(), Qt::LeftButton);
        QTRY_COMPARE(links.urls, QList<QUrl>{QUrl::fromLocalFile(dropFolder->path())});
    }

    // What the source cannot do stays undone and said: an item of the same name already in the
    // folder is never replaced ("E"), a place on another machine is left to the target ("F").
    // The result screen keeps the item, as nothing went anywhere; a save that failed says why.
    void aSaveTheSourceCannotMakeLeavesTheItem_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("an item of that name is there") << true << QByteArray() << QByteArray("E");
        QTest::newRow("a folder on another machine") << false << QByteArray("elsewhere.invalid") << QByteArray("F");
    }

    void aSaveTheSourceCannotMakeLeavesTheItem()
    {
        QFETCH(bool, existing);
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, answer);
        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
        FlowWindow window;
        VLDecryptedViewController *result = decrypt(window, m_singleFile);
        QVERIFY(result);
        const QString item = result->decryptedItemURL().toLocalFile();
        QTemporaryDir dropFolder;
        const QString destination = dropFolder.filePath(u"a.txt"_s);
        if (existing)
            QVERIFY(writeTestFile(destination, "older"));

        XdsDropTarget target(XdsDropTarget::Mode::DirectSave, dropFolder.path(), kTargetGeometry, host);
        QVERIFY(target.ready());
        QVERIFY(dragOnto(window, result->dragSourceView(), target));
        QCOMPARE(target.outcome().sourceAnswer, answer);
        window.settle(0.5);
        QCOMPARE(window.top().get(), result);
        QVERIFY(result->isUnsaved());
        QCOMPARE(contentOf(item), QByteArray("alpha"));
        QCOMPARE(QFileInfo::exists(destination), existing);
        if (existing)
            QCOMPARE(contentOf(destination), QByteArray("older"));
        const std::optional<VLAlert> alert = VLAlertHandler::lastAlert();
        QCOMPARE(alert.has_value(), answer == "E");
        if (alert)
            QVERIFY2(QString(alert->messageText() + alert->informativeText())
                         .contains(QString::fromLocal8Bit(strerror(EEXIST))),
                     qPrintable(alert->messageText() + u" / "_s + alert->informativeText()));
    }

    // A drop into a folder on a full disk: the copy fails, the target hears "E", the restored
    // item stays on the result screen and the alert says the disk is full.
    void aDropOntoAFullDiskSaysSo()
    {
        QTemporaryDir mountPoint;
        SmallTmpfs disk(mountPoint.path(), 64 * 1024);
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.reason()));
        QFile filler(QDir(mountPoint.path()).filePath(u"filler"_s));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();

        VLAlertHandler::clearLastAlert();
        VLAlertHandler::setNextAnswer(VLAlert::defaultReturn);
        FlowWindow window;
        VLDecryptedViewController *result = decrypt(window, m_singleFile);
        QVERIFY(result);
        const QString item = result->decryptedItemURL().toLocalFile();
        if (sameFileSystem(mountPoint.path(), item))
            QSKIP("The small disk did not mount apart from the work folders");

        XdsDropTarget target(XdsDropTarget::Mode::DirectSave, mountPoint.path(), kTargetGeometry);
        QVERIFY(target.ready());
        QVERIFY(dragOnto(window, result->dragSourceView(), target));
        QCOMPARE(target.outcome().sourceAnswer, QByteArray("E"));
        window.settle(0.5);
        QCOMPARE(window.top().get(), result);
        QVERIFY(result->isUnsaved());
        QCOMPARE(contentOf(item), QByteArray("alpha"));
        QVERIFY(!QFileInfo::exists(QDir(mountPoint.path()).filePath(QFileInfo(item).fileName())));
        const std::optional<VLAlert> alert = VLAlertHandler::lastAlert();
        QVERIFY(alert);
        QVERIFY2(QString(alert->messageText() + alert->informativeText()).contains(u"not enough free space"_s),
                 qPrintable(alert->messageText() + u" / "_s + alert->informativeText()));
    }

    // A target without the protocol gets the file's URI as before, and nothing claims a place.
    void aPlainTargetGetsTheURIAndNoPlaceIsClaimed()
    {
        FlowWindow window;
        VLDecryptedViewController *result = decrypt(window, m_singleFile);
        QVERIFY(result);
        QTemporaryDir dropFolder;
        XdsDropTarget target(XdsDropTarget::Mode::UriList, dropFolder.path(), kTargetGeometry);
        QVERIFY(target.ready());
        QVERIFY(dragOnto(window, result->dragSourceView(), target));
        const XdsDropTarget::Outcome outcome = target.outcome();
        QVERIFY(outcome.sourceAnswer.isEmpty());
        QCOMPARE(QUrl::fromEncoded(outcome.droppedUris.trimmed()), result->decryptedItemURL());
        window.settle(0.5);
        QCOMPARE(window.top().get(), result);
        QVERIFY(QFileInfo::exists(result->decryptedItemURL().toLocalFile()));
        QVERIFY(QDir(dropFolder.path()).isEmpty());
    }

    // The container is copied where the target says; it stays in its work folder, and the
    // screen counts it as saved.
    void theContainerIsCopiedWhereTheTargetSays()
    {
        FlowWindow window;
        const QString container = m_dir.filePath(u"work/a.vault"_s);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"work"_s)));
        QFile::remove(container);
        QVERIFY(QFile::copy(m_singleFile.toLocalFile(), container));
        auto screen = VLViewController::create<VLEncryptedViewController>(
            QUrl::fromLocalFile(container), QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(u"a.txt"_s))});
        auto *encrypted = static_cast<VLEncryptedViewController *>(screen.get());
        window.push(screen);
        QVERIFY(!encrypted->hasSavedFiles());

        QTemporaryDir dropFolder;
        XdsDropTarget target(XdsDropTarget::Mode::DirectSave, dropFolder.path(), kTargetGeometry);
        QVERIFY(target.ready());
        QVERIFY(dragOnto(window, encrypted->dragSourceView(), target));
        QCOMPARE(target.outcome().nameOnSource, QByteArray("a.vault"));
        QCOMPARE(target.outcome().sourceAnswer, QByteArray("S"));
        QCOMPARE(contentOf(dropFolder.filePath(u"a.vault"_s)), contentOf(container));
        QVERIFY(QFileInfo::exists(container));
        QTRY_VERIFY(encrypted->hasSavedFiles());
    }
};

int main(int argc, char **argv)
{
    // The protocol is X11's: the tests run on the X server that xvfb-run gives them, and skip
    // without one.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
        g_haveXServer = !xcb_connection_has_error(connection);
        xcb_disconnect(connection);
    }
    qputenv("QT_QPA_PLATFORM", g_haveXServer ? "xcb" : "offscreen");
    QApplication application(argc, argv);
    TestDirectSave test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_directsave.moc"
