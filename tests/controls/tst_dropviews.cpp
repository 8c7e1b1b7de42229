#include "controls/VLDragSourceView.h"
#include "controls/VLDropDestinationView.h"
#include "controls/VLDropHoverView.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

class DestinationRecorder final : public QObject, public VLDraggingDestination
{
public:
    explicit DestinationRecorder(VLDropDestinationView *view) : m_view(view) {}

    Callbacks answers = Callback::DraggingEntered | Callback::DraggingUpdated | Callback::DraggingExited
                        | Callback::DraggingEnded | Callback::PerformDragOperation;
    VLDragOperation operation = VLDragOperationCopy;
    bool performs = true;
    QStringList calls;
    QList<bool> inProgress; // the view's flag as each call saw it
    QList<QUrl> droppedURLs;
    QList<VLDragOperation> masks;

    Callbacks answeredDraggingDestinationCallbacks() const override { return answers; }

    VLDragOperation draggingEntered(const VLDraggingInfo &info) override
    {
        record(QStringLiteral("entered"), &info);
        return operation;
    }
    VLDragOperation draggingUpdated(const VLDraggingInfo &info) override
    {
        record(QStringLiteral("updated"), &info);
        return operation;
    }
    void draggingExited(const VLDraggingInfo *info) override { record(QStringLiteral("exited"), info); }
    void draggingEnded(const VLDraggingInfo &info) override { record(QStringLiteral("ended"), &info); }
    bool performDragOperation(const VLDraggingInfo &info) override
    {
        record(QStringLiteral("perform"), &info);
        droppedURLs = info.draggingURLs();
        return performs;
    }

private:
    void record(const QString &call, const VLDraggingInfo *info)
    {
        calls.append(call);
        inProgress.append(m_view->dragInProgress());
        if (info)
            masks.append(info->draggingSourceOperationMask());
    }

    VLDropDestinationView *m_view;
};

class HoverRecorder final : public QObject, public VLDropHoverViewDelegate
{
public:
    Callbacks answers = Callback::HoverViewMouseInside;
    QList<bool> reports;

    Callbacks answeredHoverViewCallbacks() const override { return answers; }
    void hoverViewMouseInside(VLDropHoverView *view, bool mouseInside) override
    {
        Q_UNUSED(view)
        reports.append(mouseInside);
    }
};

} // namespace

// The drop screen's arrangement: a button and the hover area beneath an invisible drop target
// that covers the whole window.
class TestDropViews : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<QUrl> m_files;
    std::unique_ptr<QWidget> m_window;
    QPushButton *m_button = nullptr;
    VLDropHoverView *m_hover = nullptr;
    VLDropDestinationView *m_destination = nullptr;
    std::unique_ptr<DestinationRecorder> m_recorder;
    std::unique_ptr<HoverRecorder> m_hoverRecorder;

    QWindow *handle() const { return m_window->windowHandle(); }

    std::unique_ptr<QMimeData> fileData() const
    {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(m_files);
        return data;
    }

    // Drag events as the platform hands them to the window, which picks their target.
    bool sendToWindow(QEvent &event)
    {
        QCoreApplication::sendEvent(handle(), &event);
        return event.isAccepted();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &name : {QStringLiteral("Notes.txt"), QStringLiteral("Photo.png")}) {
            QFile file(m_dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("contents");
            m_files.append(QUrl::fromLocalFile(file.fileName()));
        }
    }

    void init()
    {
        QCursor::setPos(QPoint(5, 5));
        m_window = std::make_unique<QWidget>();
        m_window->setGeometry(300, 200, 400, 300);
        m_button = new QPushButton(QStringLiteral("Add"), m_window.get());
        m_button->setGeometry(20, 240, 100, 30);
        m_hover = new VLDropHoverView(m_window.get());
        m_hover->setGeometry(50, 50, 300, 150);
        m_destination = new VLDropDestinationView(m_window.get());
        m_destination->setGeometry(0, 0, 400, 300);
        m_recorder = std::make_unique<DestinationRecorder>(m_destination);
        m_destination->setDelegate(m_recorder.get());
        m_hoverRecorder = std::make_unique<HoverRecorder>();
        m_hover->setDelegate(m_hoverRecorder.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        // Qt remembers the last widget that took a drag until that drag leaves or drops. The
        // drags here are made up and may end anyhow, so end them before their widgets go.
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(m_destination, &leave);
        m_window.reset();
        m_recorder.reset();
        m_hoverRecorder.reset();
    }

    void registersForFileURLs()
    {
        QCOMPARE(m_destination->registeredDraggedTypes(), QStringList{QStringLiteral("public.file-url")});
        QCOMPARE(m_destination->hitTest(QPointF(10, 10)), nullptr);
        QVERIFY(!m_destination->dragInProgress());
    }

    void dropThroughTheWindow()
    {
        const auto data = fileData();
        const QPoint point(200, 120); // over the hover area, under the drop target
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QVERIFY(sendToWindow(enter));
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QVERIFY(m_destination->dragInProgress());
        QDragMoveEvent moved(point + QPoint(10, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                             Qt::NoModifier);
        QVERIFY(sendToWindow(moved));
        QDropEvent drop(QPointF(point + QPoint(10, 5)), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QVERIFY(sendToWindow(drop));
        QCOMPARE(drop.dropAction(), Qt::CopyAction);

        QCOMPARE(m_recorder->calls, (QStringList{QStringLiteral("entered"), QStringLiteral("updated"),
                                                 QStringLiteral("perform"), QStringLiteral("ended")}));
        QCOMPARE(m_recorder->inProgress, (QList<bool>{true, true, true, false}));
        QCOMPARE(m_recorder->droppedURLs, m_files);
        QCOMPARE(m_recorder->masks.first(), VLDragOperationCopy | VLDragOperationMove);
        QVERIFY(!m_destination->dragInProgress());

        // After the drag, clicks pass through to the button beneath again.
        QSignalSpy clicked(m_button, &QPushButton::clicked);
        QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 255));
        QCOMPARE(clicked.size(), 1);
    }

    void dragThatLeaves()
    {
        const auto data = fileData();
        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QVERIFY(sendToWindow(enter));
        QDragLeaveEvent leave;
        sendToWindow(leave);
        QCOMPARE(m_recorder->calls, (QStringList{QStringLiteral("entered"), QStringLiteral("exited")}));
        QCOMPARE(m_recorder->inProgress, (QList<bool>{true, false}));
        QVERIFY(!m_destination->dragInProgress());
        QCOMPARE(m_recorder->masks.size(), 1); // the platform says nothing about a drag that left
    }

    // Without the delegate's answers a drag is refused and a drop fails; preparing always agrees.
    void unansweredCalls_data()
    {
        QTest::addColumn<int>("answers");
        QTest::addColumn<bool>("enterAccepted");
        QTest::addColumn<bool>("dropAccepted");
        QTest::addColumn<QStringList>("calls");
        using C = VLDraggingDestination::Callback;
        QTest::newRow("nothing") << 0 << false << false << QStringList{};
        QTest::newRow("entering only") << int(C::DraggingEntered) << true << false
                                       << QStringList{QStringLiteral("entered")};
        QTest::newRow("entering and updates, no perform")
            << int(C::DraggingEntered | C::DraggingUpdated | C::DraggingEnded) << true << false
            << QStringList{QStringLiteral("entered"), QStringLiteral("updated"), QStringLiteral("ended")};
    }

    void unansweredCalls()
    {
        QFETCH(int, answers);
        QFETCH(bool, enterAccepted);
        QFETCH(bool, dropAccepted);
        QFETCH(QStringList, calls);
        m_recorder->answers = VLDraggingDestination::Callbacks::fromInt(answers);
        QVERIFY(m_destination->prepareForDragOperation(VLDraggingInfo(nullptr, {}, VLDragOperationCopy, nullptr)));

        const auto data = fileData();
        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(sendToWindow(enter), enterAccepted);
        QVERIFY(m_destination->dragInProgress());
        QDragMoveEvent moved(QPoint(35, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        sendToWindow(moved);
        QVERIFY(m_destination->dragInProgress());
        QDropEvent drop(QPointF(35, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(sendToWindow(drop), dropAccepted);
        QCOMPARE(m_recorder->calls, calls);
        QVERIFY(!m_destination->dragInProgress());
    }

    void ignoresDragsWithoutFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("text") << QStringLiteral("some words") << QUrl();
        QTest::newRow("web link") << QString() << QUrl(QStringLiteral("https://example.org/file.vault"));
    }

    void ignoresDragsWithoutFiles()
    {
        QFETCH(QString, text);
        QFETCH(QUrl, url);
        QMimeData data;
        if (!text.isEmpty())
            data.setText(text);
        if (!url.isEmpty())
            data.setUrls({url});
        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!sendToWindow(enter));
        QDropEvent drop(QPointF(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_destination, &drop);
        QVERIFY(!drop.isAccepted());
        QVERIFY(m_recorder->calls.isEmpty());
        QVERIFY(!m_destination->dragInProgress());
    }

    // A result file dragged from this application's own drag source cannot be dropped back; the
    // screen still hears the drag come and go, with nothing on offer.
    void refusesItsOwnApplicationsDrag_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("leaves") << false;
        QTest::newRow("let go over the window") << true;
    }

    void refusesItsOwnApplicationsDrag()
    {
        QFETCH(bool, dropped);
        VLDragSourceView source;
        source.setDragOperation(VLDragOperationCopy);
        VLDraggingPasteboard data(&source);
        data.setUrls({m_files.first()});

        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!sendToWindow(enter));
        QDragMoveEvent moved(QPoint(40, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!sendToWindow(moved));
        if (dropped) {
            QDropEvent drop(QPointF(40, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QVERIFY(!sendToWindow(drop));
        } else {
            QDragLeaveEvent leave;
            sendToWindow(leave);
        }
        // Whether Qt passes on the moves over a view that refused the drag varies; they are
        // updates of the same drag either way.
        const QStringList calls = m_recorder->calls;
        QCOMPARE(calls.first(), QStringLiteral("entered"));
        QCOMPARE(calls.last(), QStringLiteral("exited"));
        QCOMPARE(calls.mid(1, calls.size() - 2).count(QStringLiteral("updated")), calls.size() - 2);
        QCOMPARE(m_recorder->masks.first(), VLDragOperationNone);
        QVERIFY(!m_destination->dragInProgress());

        // The next drag of files from elsewhere is taken as usual.
        const auto files = fileData();
        QDragEnterEvent again(QPoint(30, 30), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
        QVERIFY(sendToWindow(again));
        QCOMPARE(m_recorder->calls.last(), QStringLiteral("entered"));
    }

    // Nor does any other widget of the application take it.
    void ownDragIsRefusedEverywhere()
    {
        auto *field = new QLineEdit(m_window.get());
        field->setGeometry(150, 240, 200, 24);
        field->show();
        field->raise();
        VLDragSourceView source;
        VLDraggingPasteboard own(&source);
        own.setUrls({m_files.first()});
        own.setText(m_files.first().toLocalFile());
        QMimeData foreign;
        foreign.setText(m_files.first().toLocalFile());

        QDragEnterEvent fromElsewhere(QPoint(10, 10), Qt::CopyAction, &foreign, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(QCoreApplication::sendEvent(field, &fromElsewhere) && fromElsewhere.isAccepted());
        QDragEnterEvent fromHere(QPoint(10, 10), Qt::CopyAction, &own, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &fromHere);
        QVERIFY(!fromHere.isAccepted());
        QDropEvent dropHere(QPointF(10, 10), Qt::CopyAction, &own, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &dropHere);
        QVERIFY(!dropHere.isAccepted());
        QVERIFY(field->text().isEmpty());
    }

    void clicksPassThrough()
    {
        QSignalSpy clicked(m_button, &QPushButton::clicked);
        QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 255));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(QApplication::widgetAt(m_window->mapToGlobal(QPoint(70, 255))), m_button);
    }

    void hoverReportsEachChangeOnce()
    {
        QTest::mouseMove(m_window.get(), QPoint(200, 120)); // into the hover area, through the drop target
        QTRY_COMPARE(m_hoverRecorder->reports, QList<bool>{true});
        QVERIFY(m_hover->mouseInside());
        m_hover->mouseEntered();
        QCOMPARE(m_hoverRecorder->reports, QList<bool>{true});

        QTest::mouseMove(m_window.get(), QPoint(380, 280));
        QTRY_COMPARE(m_hoverRecorder->reports, (QList<bool>{true, false}));
        m_hover->mouseExited();
        QCOMPARE(m_hoverRecorder->reports, (QList<bool>{true, false}));
        QVERIFY(!m_hover->mouseInside());
    }

    void layoutChangeBringsTheViewUnderAStillMouse()
    {
        QCursor::setPos(m_window->mapToGlobal(QPoint(380, 280)));
        QCoreApplication::processEvents();
        QVERIFY(m_hoverRecorder->reports.isEmpty());

        // The view grows under the mouse, which does not move.
        m_hover->setGeometry(50, 50, 340, 240);
        QCOMPARE(m_hoverRecorder->reports, QList<bool>{true});
        QVERIFY(m_hover->trackingArea().has_value());
        QCOMPARE(m_hover->trackingArea()->rect, QRectF(0, 0, 340, 240));
        QCOMPARE(m_hover->trackingArea()->options, quint64(321));

        m_hover->move(60, 50); // still under the mouse: nothing new to say
        QCOMPARE(m_hoverRecorder->reports, QList<bool>{true});
        m_hover->move(0, 0); // the mouse now lies just past its right edge
        QCOMPARE(m_hoverRecorder->reports, (QList<bool>{true, false}));
    }

    // The drop bar's panel moves the hover view with it.
    void movingContainerBringsTheViewUnderAStillMouse()
    {
        auto *panel = new QWidget(m_window.get());
        panel->setGeometry(0, 200, 400, 100);
        panel->show();
        m_hover->setParent(panel);
        m_hover->setGeometry(10, 10, 100, 50);
        m_hover->show();
        QCoreApplication::processEvents(); // the new chain of views is followed
        QCursor::setPos(m_window->mapToGlobal(QPoint(50, 100)));
        QCoreApplication::processEvents();
        QCOMPARE(m_hoverRecorder->reports, QList<bool>{});

        panel->move(0, 70); // the hover view now lies at 80..130 in the window
        QCOMPARE(m_hoverRecorder->reports, QList<bool>{true});
        panel->move(0, 150);
        QCOMPARE(m_hoverRecorder->reports, (QList<bool>{true, false}));
    }

    void unansweredHoverIsNotSent()
    {
        m_hoverRecorder->answers = {};
        QCursor::setPos(m_window->mapToGlobal(QPoint(200, 120)));
        m_hover->updateTrackingAreas();
        QVERIFY(m_hover->mouseInside());
        QVERIFY(m_hoverRecorder->reports.isEmpty());
    }

    void delegatesAreWeak()
    {
        m_recorder.reset();
        m_hoverRecorder.reset();
        QCOMPARE(m_destination->delegate(), nullptr);
        QCOMPARE(m_hover->delegate(), nullptr);
        const auto data = fileData();
        QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!sendToWindow(enter));
        QCursor::setPos(m_window->mapToGlobal(QPoint(200, 120)));
        m_hover->updateTrackingAreas();
        QVERIFY(m_hover->mouseInside());
    }
};

QTEST_MAIN(TestDropViews)
#include "tst_dropviews.moc"
