#include "controls/VLDragSourceView.h"

#include "windowing/navigation/VLKeyViewLoop.h"
#include "windowing/navigation/VLViewController.h"

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

// Paints its left half black and leaves the right half empty, like a line of text would.
class HalfPaintedView final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(QRect(0, 0, width() / 2, height()), Qt::black);
    }
};

class ReleaseCounter final : public QWidget
{
public:
    using QWidget::QWidget;
    int releases = 0;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        ++releases;
        event->accept();
    }
};

// A screen whose view is already there.
class Screen final : public VLViewController
{
public:
    explicit Screen(QWidget *content) : m_content(content) {}

protected:
    void loadView() override { setView(m_content); }

private:
    QWidget *m_content;
};

struct FinishedDrag
{
    std::optional<QUrl> url;
    VLDragOperation operation = 0;
    // What the running drag carried, looked at while the source hears of its end.
    QList<QUrl> pasteboardURLs;
    QStringList formats;
    Qt::DropActions supportedActions;
    QSize pixmapSize;
    QPoint hotSpot;
    bool editorHadFocus = true;
};

class Recorder final : public QObject, public VLDragSourceViewDelegate
{
public:
    Callbacks answers = Callback::DidFinishWithURLOperation | Callback::PerformActionWithURL;
    QList<FinishedDrag> finished;
    QList<QUrl> actions;
    QPointer<QLineEdit> editor;

    Callbacks answeredDragSourceViewCallbacks() const override { return answers; }

    void dragSourceViewDidFinishWithURLOperation(VLDragSourceView *view, const std::optional<QUrl> &url,
                                                 VLDragOperation operation) override
    {
        FinishedDrag drag;
        drag.url = url;
        drag.operation = operation;
        if (auto *running = view->findChild<QDrag *>()) {
            drag.pasteboardURLs = running->mimeData()->urls();
            drag.formats = running->mimeData()->formats();
            drag.supportedActions = running->supportedActions();
            drag.pixmapSize = running->pixmap().deviceIndependentSize().toSize();
            drag.hotSpot = running->hotSpot();
        }
        drag.editorHadFocus = editor && editor->hasFocus();
        finished.append(drag);
    }

    void dragSourceViewPerformActionWithURL(VLDragSourceView *view, const QUrl &url) override
    {
        Q_UNUSED(view)
        actions.append(url);
    }
};

} // namespace

class TestDragSourceView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QUrl m_fileURL;
    std::unique_ptr<ReleaseCounter> m_window;
    VLDragSourceView *m_source = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_subtitle = nullptr;
    QLineEdit *m_editor = nullptr;
    std::unique_ptr<Recorder> m_recorder;
    ulong m_time = 100000;

    QPoint m_sourceOrigin;

    QWindow *handle() const { return m_window->windowHandle(); }

    // Real platform mouse events with chosen timestamps, so presses can make double clicks. The
    // pointer's screen position stays put while the window moves under it.
    void send(QPoint inSource, QEvent::Type type, Qt::MouseButtons buttons, Qt::MouseButton button, ulong time)
    {
        if (type == QEvent::MouseButtonPress)
            m_sourceOrigin = m_source->mapToGlobal(QPoint(0, 0));
        const QPoint global = m_sourceOrigin + inSource;
        qt_handleMouseEvent(handle(), handle()->mapFromGlobal(global), global, buttons, button, type, Qt::NoModifier,
                            int(time));
        QCoreApplication::processEvents();
    }
    void press(QPoint inSource, ulong time)
    {
        send(inSource, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, time);
    }
    void move(QPoint inSource, ulong time) { send(inSource, QEvent::MouseMove, Qt::LeftButton, Qt::NoButton, time); }
    void release(QPoint inSource, ulong time)
    {
        send(inSource, QEvent::MouseButtonRelease, Qt::NoButton, Qt::LeftButton, time);
    }
    void drag(QPoint from, QPoint to)
    {
        m_time += 5000;
        press(from, m_time);
        move(from + (to - from) / 2, m_time + 20);
        move(to, m_time + 40);
        release(to, m_time + 60);
    }
    void clicks(QPoint point, int count)
    {
        m_time += 5000;
        for (int i = 0; i < count; ++i) {
            press(point, m_time + ulong(i) * 80);
            release(point, m_time + ulong(i) * 80 + 30);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile file(m_dir.filePath(QStringLiteral("Report.vault")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("container");
        file.close();
        m_fileURL = QUrl::fromLocalFile(file.fileName());
    }

    void init()
    {
        m_window = std::make_unique<ReleaseCounter>();
        m_window->setGeometry(200, 150, 400, 300);
        m_editor = new QLineEdit(m_window.get());
        m_editor->setGeometry(10, 260, 200, 24);
        m_source = new VLDragSourceView(m_window.get());
        m_source->setGeometry(100, 40, 200, 200);
        m_icon = new QLabel(m_source);
        QPixmap picture(64, 64);
        picture.fill(Qt::red);
        m_icon->setPixmap(picture);
        m_icon->setGeometry(68, 10, 64, 64);
        m_title = new QLabel(QStringLiteral("Report.vault"), m_source);
        m_title->setGeometry(20, 90, 160, 20);
        m_subtitle = new QLabel(QStringLiteral("12 KB"), m_source);
        m_subtitle->setGeometry(40, 116, 120, 16);
        m_source->setIconView(m_icon);
        m_source->setTitleView(m_title);
        m_source->setSubtitleView(m_subtitle);
        m_source->setDraggingURL(m_fileURL);
        m_recorder = std::make_unique<Recorder>();
        m_recorder->editor = m_editor;
        m_source->setDelegate(m_recorder.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_editor->setFocus();
    }

    void cleanup()
    {
        m_window.reset();
        m_recorder.reset();
    }

    void startsCopyAtFirst()
    {
        VLDragSourceView fresh;
        QCOMPARE(fresh.dragOperation(), VLDragOperationCopy);
        QVERIFY(fresh.acceptsFirstMouse());
        QVERIFY(!fresh.mouseDownCanMoveWindow());
        fresh.setDragOperation(VLDragOperationNone);
        QVERIFY(fresh.mouseDownCanMoveWindow());
        // Interface files set it by name.
        QVERIFY(fresh.setProperty("dragOperation", QVariant::fromValue<quint64>(16)));
        QCOMPARE(fresh.dragOperation(), VLDragOperationMove);
        QVERIFY(fresh.setProperty("draggingURL", m_fileURL));
        QCOMPARE(fresh.draggingURL(), m_fileURL);
    }

    void offersNothingWithinTheApplication_data()
    {
        QTest::addColumn<quint64>("operation");
        QTest::newRow("copy") << quint64(VLDragOperationCopy);
        QTest::newRow("move") << quint64(VLDragOperationMove);
        QTest::newRow("off") << quint64(VLDragOperationNone);
    }

    void offersNothingWithinTheApplication()
    {
        QFETCH(quint64, operation);
        m_source->setDragOperation(operation);
        QCOMPARE(m_source->draggingSessionSourceOperationMaskForDraggingContext(nullptr,
                                                                                VLDraggingContext::OutsideApplication),
                 operation);
        QCOMPARE(m_source->draggingSessionSourceOperationMaskForDraggingContext(nullptr,
                                                                                VLDraggingContext::WithinApplication),
                 VLDragOperationNone);
    }

    // Only a press on the icon, the title or the subtitle starts a drag; with dragging off the
    // gesture moves the window instead.
    void dragGesture_data()
    {
        QTest::addColumn<quint64>("operation");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<bool>("drags");
        QTest::addColumn<bool>("movesWindow");
        QTest::newRow("icon") << quint64(1) << QPoint(100, 40) << QPoint(100, 140) << true << false;
        QTest::newRow("title") << quint64(1) << QPoint(25, 95) << QPoint(150, 180) << true << false;
        QTest::newRow("subtitle, move offered") << quint64(16) << QPoint(60, 120) << QPoint(5, 5) << true << false;
        QTest::newRow("subtitle's last column is outside")
            << quint64(1) << QPoint(160, 120) << QPoint(5, 5) << false << false;
        QTest::newRow("empty space") << quint64(1) << QPoint(10, 180) << QPoint(100, 100) << false << false;
        QTest::newRow("below the drag distance") << quint64(1) << QPoint(100, 40) << QPoint(102, 42) << false << false;
        QTest::newRow("dragging off, icon") << quint64(0) << QPoint(100, 40) << QPoint(130, 80) << false << true;
        QTest::newRow("dragging off, empty space") << quint64(0) << QPoint(10, 180) << QPoint(40, 220) << false << true;
    }

    void dragGesture()
    {
        QFETCH(quint64, operation);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(bool, drags);
        QFETCH(bool, movesWindow);
        m_source->setDragOperation(operation);
        const QPoint windowOrigin = m_window->pos();

        drag(from, to);

        QCOMPARE(m_recorder->finished.size(), drags ? 1 : 0);
        QCOMPARE(m_window->pos(), movesWindow ? windowOrigin + (to - from) : windowOrigin);
        QVERIFY(m_recorder->actions.isEmpty());
        // A drag past the drag distance ends any editing, drag or not.
        const bool dragged = (to - from).manhattanLength() >= QApplication::startDragDistance();
        QCOMPARE(m_editor->hasFocus(), !dragged);
    }

    // On this headless platform a drag ends at once without a drop, as a cancelled one does.
    void dragCarriesTheFileAndItsPicture_data()
    {
        QTest::addColumn<quint64>("operation");
        QTest::addColumn<Qt::DropActions>("actions");
        QTest::newRow("copy") << quint64(VLDragOperationCopy) << Qt::DropActions(Qt::CopyAction);
        QTest::newRow("move") << quint64(VLDragOperationMove) << Qt::DropActions(Qt::MoveAction);
    }

    void dragCarriesTheFileAndItsPicture()
    {
        QFETCH(quint64, operation);
        QFETCH(Qt::DropActions, actions);
        m_source->setDragOperation(operation);
        const QPoint pressed(100, 40);
        m_time += 5000;
        press(pressed, m_time);
        move(QPoint(100, 60), m_time + 30);
        QCOMPARE(m_recorder->finished.size(), 1);
        release(QPoint(100, 60), m_time + 60);
        QCOMPARE(m_recorder->finished.size(), 1);

        const FinishedDrag &finished = m_recorder->finished.first();
        QCOMPARE(finished.operation, VLDragOperationNone);
        QVERIFY(!finished.url.has_value()); // nobody put the file anywhere
        QCOMPARE(finished.pasteboardURLs, QList<QUrl>{m_fileURL});
        QVERIFY(finished.formats.contains(QStringLiteral("text/uri-list")));
        // The direct-save protocol is X11's; this platform is offered the file alone.
        QVERIFY(!finished.formats.contains(QStringLiteral("XdndDirectSave0")));
        QCOMPARE(finished.supportedActions, actions);
        QVERIFY(!finished.editorHadFocus);
        // The picture covers the view (the grown labels lie inside it); the pointer holds it
        // where the drag began to move.
        QCOMPARE(finished.pixmapSize, QSize(200, 200));
        QCOMPARE(finished.hotSpot, QPoint(100, 60));
        // No release reached the window beneath: the drag took the gesture.
        QCOMPARE(m_window->releases, 0);
    }

    // After the drag the window's first key view has the focus again.
    void focusReturnsToTheKeyViewLoop()
    {
        auto *content = new QWidget(m_window.get());
        content->setGeometry(0, 250, 400, 50);
        auto *field = new QLineEdit(content);
        field->setGeometry(220, 10, 150, 24);
        content->show();
        Screen screen(content);
        vlSetRootViewController(m_window.get(), &screen);

        drag(QPoint(100, 40), QPoint(100, 140));
        QCOMPARE(m_recorder->finished.size(), 1);
        QVERIFY(!m_recorder->finished.first().editorHadFocus);
        QCOMPARE(QApplication::focusWidget(), field);
        vlSetRootViewController(m_window.get(), nullptr);
    }

    void imageComponents()
    {
        // The subtitle lies in a box of its own: frames are still in the drag source's terms.
        auto *box = new QWidget(m_source);
        box->setGeometry(30, 140, 150, 40);
        auto *subtitle = new HalfPaintedView(box);
        subtitle->setGeometry(10, 8, 40, 10);
        m_source->setSubtitleView(subtitle);

        const QList<VLDraggingImageComponent> components = m_source->imageComponents();
        QCOMPARE(components.size(), 3);
        QCOMPARE(components.at(0).key, VLDraggingImageComponentIconKey);
        QCOMPARE(components.at(0).frame, QRectF(68, 10, 64, 64));
        QCOMPARE(components.at(0).contents.size(), QSize(64, 64));
        QCOMPARE(components.at(0).contents.pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(components.at(1).key, VLDraggingImageComponentLabelKey);
        QCOMPARE(components.at(1).frame, QRectF(17, 89, 166, 22));
        QCOMPARE(components.at(1).contents.deviceIndependentSize(), QSizeF(166, 22));
        QCOMPARE(components.at(2).key, QStringLiteral("subtitleLabel"));
        QCOMPARE(components.at(2).frame, QRectF(37, 147, 46, 12));

        // Drawn parts take the highlighted-text colour, the rest shows the highlight; the
        // rounded corners stay clear.
        const QImage highlighted = components.at(2).contents;
        QCOMPARE(highlighted.size(), QSize(46, 12));
        const QPalette palette = m_source->palette();
        QCOMPARE(highlighted.pixelColor(3 + 5, 1 + 5).rgb(), palette.color(QPalette::HighlightedText).rgb());
        QCOMPARE(highlighted.pixelColor(3 + 30, 1 + 5).rgb(), palette.color(QPalette::Highlight).rgb());
        QVERIFY(highlighted.pixelColor(0, 0).alpha() < 64);

        // A plain view's snapshot is the view drawn on a clear background.
        const QImage snapshot = VLDragSourceView::snapshotView(subtitle);
        QCOMPARE(snapshot.size(), QSize(40, 10));
        QCOMPARE(snapshot.pixelColor(5, 5), QColor(Qt::black));
        QCOMPARE(snapshot.pixelColor(30, 5).alpha(), 0);
    }

    void missingViewsGiveEmptyComponents()
    {
        m_source->setSubtitleView(nullptr);
        delete m_title; // weak: the view forgets it
        const QList<VLDraggingImageComponent> components = m_source->imageComponents();
        QCOMPARE(components.size(), 3);
        QVERIFY(components.at(1).frame.isNull());
        QVERIFY(components.at(1).contents.isNull());
        QVERIFY(components.at(2).frame.isNull());

        // With the title gone, a press where it was starts nothing.
        drag(QPoint(25, 95), QPoint(150, 180));
        QCOMPARE(m_recorder->finished.size(), 0);
        drag(QPoint(100, 40), QPoint(150, 180));
        QCOMPARE(m_recorder->finished.size(), 1);
    }

    // Exactly two clicks perform the delegate's action; a third click of the same series does
    // nothing more.
    void doubleClick_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<quint64>("operation");
        QTest::addColumn<int>("actions");
        QTest::newRow("single") << 1 << quint64(1) << 0;
        QTest::newRow("double") << 2 << quint64(1) << 1;
        QTest::newRow("triple") << 3 << quint64(1) << 1;
        QTest::newRow("double, dragging off") << 2 << quint64(0) << 1;
        QTest::newRow("double, move offered") << 2 << quint64(16) << 1;
    }

    void doubleClick()
    {
        QFETCH(int, count);
        QFETCH(quint64, operation);
        QFETCH(int, actions);
        m_source->setDragOperation(operation);
        const QPoint windowOrigin = m_window->pos();
        clicks(QPoint(100, 40), count);
        QCOMPARE(m_recorder->actions.size(), actions);
        if (actions)
            QCOMPARE(m_recorder->actions.first(), m_fileURL);
        // Releases the view does not act on go on to the view beneath.
        QCOMPARE(m_window->releases, count - actions);
        QCOMPARE(m_window->pos(), windowOrigin);
        QVERIFY(m_recorder->finished.isEmpty());
    }

    void unansweredCallbacksAreNotSent()
    {
        m_recorder->answers = {};
        clicks(QPoint(100, 40), 2);
        QVERIFY(m_recorder->actions.isEmpty());
        QCOMPARE(m_window->releases, 2);
        drag(QPoint(100, 40), QPoint(100, 140));
        QVERIFY(m_recorder->finished.isEmpty());
    }

    void delegateIsWeak()
    {
        m_recorder.reset();
        QCOMPARE(m_source->delegate(), nullptr);
        drag(QPoint(100, 40), QPoint(100, 140));
        clicks(QPoint(100, 40), 2);
        QCOMPARE(m_window->releases, 2);
    }
};

QTEST_MAIN(TestDragSourceView)
#include "tst_dragsourceview.moc"
