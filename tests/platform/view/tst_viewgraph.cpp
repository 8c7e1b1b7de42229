#include "platform/view/VLViewGraph.h"

#include <QTest>
#include <QWidget>

// A screen view with a title label inside a container, beside other views:
//   screen: [icon, container: [title, caption, box: [inner]], button]
struct Screen
{
    QWidget screen;
    QWidget *icon = new QWidget(&screen);
    QWidget *container = new QWidget(&screen);
    QWidget *title = new QWidget(container);
    QWidget *caption = new QWidget(container);
    QWidget *box = new QWidget(container);
    QWidget *inner = new QWidget(box);
    QWidget *button = new QWidget(&screen);
};

class TestViewGraph : public QObject
{
    Q_OBJECT

private slots:
    void leafAnswersNothing()
    {
        QWidget leaf;
        QVERIFY(vl_allViewsExcept(&leaf, {}).isEmpty());
        QVERIFY(!vl_findAllViewsExcept(&leaf, {}).foundInside);
        QVERIFY(vl_allViewsExcept(nullptr, {}).isEmpty());
    }

    void noExceptionsAnswersDirectSubviews()
    {
        Screen s;
        QCOMPARE(vl_allViewsExcept(&s.screen, {}), (QList<QWidget *>{s.icon, s.container, s.button}));
    }

    void splitsThePathToAnExceptedView()
    {
        Screen s;
        const VLInternalViewGraphTuple found = vl_findAllViewsExcept(&s.screen, {s.title});
        QVERIFY(found.foundInside);
        // The screen's other direct subviews first, then the container's other subviews.
        QCOMPARE(found.results, (QList<QWidget *>{s.icon, s.button, s.caption, s.box}));
    }

    void deepAndSeveralExceptions()
    {
        Screen s;
        QCOMPARE(vl_allViewsExcept(&s.screen, {s.inner, s.button}), (QList<QWidget *>{s.icon, s.title, s.caption}));
        QCOMPARE(vl_allViewsExcept(&s.screen, {s.container}), (QList<QWidget *>{s.icon, s.button}));
        QCOMPARE(vl_allViewsExcept(&s.screen, {nullptr, s.icon}), (QList<QWidget *>{s.container, s.button}));
    }

    void exceptedViewOutsideChangesNothing()
    {
        Screen s;
        QWidget elsewhere;
        QWidget *child = new QWidget(&elsewhere);
        const VLInternalViewGraphTuple found = vl_findAllViewsExcept(&s.screen, {&elsewhere, child, &s.screen});
        QVERIFY(!found.foundInside);
        QCOMPARE(found.results, (QList<QWidget *>{s.icon, s.container, s.button}));
    }

    void followsStackingOrderAndSkipsWindows()
    {
        Screen s;
        s.icon->raise(); // now frontmost, so last
        auto *popup = new QWidget(&s.screen, Qt::Window);
        QCOMPARE(vl_allViewsExcept(&s.screen, {}), (QList<QWidget *>{s.container, s.button, s.icon}));
        QVERIFY(!vl_allViewsExcept(&s.screen, {}).contains(popup));
    }
};

QTEST_MAIN(TestViewGraph)
#include "tst_viewgraph.moc"
