#include "windowing/windows/VLLegacyWindow.h"
#include "windowing/windows/VLModernWindow.h"
#include "windowing/windows/VLOverlayContentView.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

class TestWindows : public QObject
{
    Q_OBJECT

private:
    int m_exits = 0;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        VLTerminatorProxy::sharedInstance()->setExitHandler([this] { ++m_exits; });
    }

    void init()
    {
        m_exits = 0;
        VLTerminatorProxy::sharedInstance()->setState(VLTerminatorProxy::VLTerminationStateUndetermined);
    }

    void mainWindowsQuitInsteadOfClosing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("quits");
        QTest::newRow("modern") << QStringLiteral("modern") << true;
        QTest::newRow("main legacy") << QStringLiteral("mainLegacy") << true;
        QTest::newRow("plain legacy closes") << QStringLiteral("legacy") << false;
    }

    void mainWindowsQuitInsteadOfClosing()
    {
        QFETCH(QString, kind);
        QFETCH(bool, quits);
        std::unique_ptr<VLWindow> window;
        if (kind == u"modern")
            window = std::make_unique<VLModernWindow>();
        else if (kind == u"mainLegacy")
            window = std::make_unique<VLMainLegacyWindow>();
        else
            window = std::make_unique<VLLegacyWindow>();
        window->resize(300, 200);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->close();
        QCOMPARE(m_exits, quits ? 1 : 0);
        QCOMPARE(window->isVisible(), quits);
    }

    void legacyWindowDrawsItsOwnChrome()
    {
        VLLegacyWindow window;
        auto *content = new QWidget;
        window.setContentView(content);
        window.resize(200, 120);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.contentView(), content);
        // The content covers the whole window, title area included, also after a resize.
        QCOMPARE(content->geometry(), QRect(0, 0, 200, 120));
        window.resize(260, 150);
        QCOMPARE(content->geometry(), QRect(0, 0, 260, 150));

        const QImage image = window.grab().toImage();
        QCOMPARE(image.pixelColor(130, 75).rgb(), VLLegacyWindow::contentColor().rgb());
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // rounded, clear corner

        // A second content view takes the place of the first.
        auto *second = new QWidget;
        window.setContentView(second);
        QCOMPARE(second->geometry(), QRect(0, 0, 260, 150));
    }

    void legacyWindowMovesByItsBackground()
    {
        VLLegacyWindow window;
        auto *content = new QWidget;
        window.setContentView(content);
        window.resize(200, 120);
        const QRect screen = window.screen()->geometry();
        window.move(screen.left() + 100, screen.top() + 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.mouseDownCanMoveWindow());
        const QPoint start = window.pos();

        // Presses on the background reach the window through the content view.
        auto send = [content](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(content->mapFromGlobal(global)), QPointF(global),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(content, &event);
        };
        const QPoint press = content->mapToGlobal(QPoint(50, 50));
        send(QEvent::MouseButtonPress, press, Qt::LeftButton);
        send(QEvent::MouseMove, press + QPoint(25, 15), Qt::LeftButton);
        QCOMPARE(window.pos(), start + QPoint(25, 15));
        send(QEvent::MouseButtonRelease, press + QPoint(25, 15), Qt::NoButton);
        send(QEvent::MouseMove, press + QPoint(60, 60), Qt::NoButton);
        QCOMPARE(window.pos(), start + QPoint(25, 15));
    }

    void legacyTitleIsKeptButNotShown()
    {
        VLLegacyWindow window;
        window.setTitle(QStringLiteral("Tutorial"));
        QCOMPARE(window.title(), QString());
        QCOMPARE(window.windowTitleText(), QStringLiteral("Tutorial"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tutorial"));
    }

    void overlayPanelDragsItsWindowButNotAboveTheScreen()
    {
        VLModernWindow window;
        auto *central = new QWidget;
        window.setCentralWidget(central);
        auto *panel = new VLOverlayContentView(central);
        panel->setGeometry(20, 20, 100, 60);
        window.resize(300, 200);
        const QRect screen = window.screen()->geometry();
        window.move(screen.left() + 100, screen.top() + 150);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!panel->mouseDownCanMoveWindow());
        const QPoint start = window.pos();

        auto send = [panel](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(panel->mapFromGlobal(global)), QPointF(global),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(panel, &event);
        };
        const QPoint press = panel->mapToGlobal(QPoint(10, 10));
        send(QEvent::MouseButtonPress, press, Qt::LeftButton);
        send(QEvent::MouseMove, press + QPoint(30, 20), Qt::LeftButton);
        QCOMPARE(window.pos(), start + QPoint(30, 20));
        send(QEvent::MouseMove, press + QPoint(-10, -1000), Qt::LeftButton);
        QCOMPARE(window.pos(), QPoint(start.x() - 10, screen.top()));
        send(QEvent::MouseButtonRelease, press + QPoint(-10, -1000), Qt::NoButton);
        // After the release, moving does nothing.
        send(QEvent::MouseMove, press + QPoint(50, 50), Qt::NoButton);
        QCOMPARE(window.pos(), QPoint(start.x() - 10, screen.top()));
    }

    void overlayPanelIsRounded()
    {
        VLOverlayContentView panel;
        panel.resize(100, 60);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(!panel.mask().contains(QPoint(0, 0)));
        QVERIFY(panel.mask().contains(QPoint(50, 30)));
        QVERIFY(panel.mask().contains(QPoint(50, 0)));
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
