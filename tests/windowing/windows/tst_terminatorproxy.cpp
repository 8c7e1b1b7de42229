#include "windowing/windows/VLTerminator.h"
#include "windowing/windows/VLTerminatorProxy.h"

#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A screen that holds the quit: it counts how often it was asked and answers as told.
class Screen final : public QObject, public VLTerminator
{
public:
    explicit Screen(bool delays) : m_delays(delays) {}
    bool shouldDelayTerminationForTerminator(VLTerminatorProxy *) override
    {
        ++asked;
        return m_delays;
    }
    int asked = 0;

private:
    bool m_delays;
};

} // namespace

class TestTerminatorProxy : public QObject
{
    Q_OBJECT

private slots:
    // Each row runs a script of steps against a fresh machine:
    //   quit      a quit request (menu, window close or a screen calling terminate)
    //   continue  the screen's or the hook owner's continueTermination
    //   cancel    the first screen's question was cancelled (cancelTermination)
    //   switch    the main window shows another screen that also delays
    //   clear     the main window shows a screen that is no terminator
    //   delete    the screen on top goes away
    void stateMachine_data()
    {
        QTest::addColumn<QString>("terminator"); // "", "plain", "passes", "delays"
        QTest::addColumn<QString>("hook");       // "", "yes", "no"
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<qint64>>("states"); // state after each step
        QTest::addColumn<int>("asked");            // questions of the first screen
        QTest::addColumn<int>("hookRuns");
        QTest::addColumn<int>("exits");

        using L = QList<qint64>;
        const QStringList quit{QStringLiteral("quit")};
        QTest::newRow("nobody delays, no hook") << u""_s << u""_s << quit << L{4} << 0 << 0 << 1;
        QTest::newRow("drop screen on top, hook yes") << u"plain"_s << u"yes"_s << quit << L{4} << 0 << 1 << 1;
        QTest::newRow("screen lets it pass") << u"passes"_s << u"yes"_s << quit << L{4} << 1 << 1 << 1;
        QTest::newRow("screen delays, then quit anyway")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"continue"_s} << L{1, 4} << 1 << 1 << 1;
        // A second quit while the question is open (or the save it offered runs) waits for it.
        QTest::newRow("question open, a second quit is held")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"quit"_s} << L{1, 1} << 1 << 0 << 0;
        QTest::newRow("cancelled, a later quit asks the same screen again")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"cancel"_s, u"quit"_s} << L{1, 0, 1} << 2 << 0 << 0;
        // Also the path of a screen that saved after its question and then quits itself.
        QTest::newRow("cancelled, asked again, then quit anyway")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"cancel"_s, u"quit"_s, u"continue"_s} << L{1, 0, 1, 4}
            << 2 << 1 << 1;
        QTest::newRow("a screen no longer on top cancels nothing")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"switch"_s, u"quit"_s, u"cancel"_s} << L{1, 0, 1, 1}
            << 1 << 0 << 0;
        QTest::newRow("cancel without a question changes nothing")
            << u"delays"_s << u"no"_s << QStringList{u"cancel"_s, u"quit"_s, u"continue"_s, u"cancel"_s}
            << L{0, 1, 3, 3} << 1 << 1 << 0;
        QTest::newRow("cancelled, other screen asks its own question")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"switch"_s, u"quit"_s} << L{1, 0, 1} << 1 << 0 << 0;
        QTest::newRow("cancelled, then drop screen quits at once")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"clear"_s, u"quit"_s} << L{1, 0, 4} << 1 << 1 << 1;
        QTest::newRow("cancelled, screen gone")
            << u"delays"_s << u"yes"_s << QStringList{u"quit"_s, u"delete"_s, u"quit"_s} << L{1, 1, 4} << 1 << 1 << 1;
        QTest::newRow("hook no, then continue")
            << u""_s << u"no"_s << QStringList{u"quit"_s, u"continue"_s} << L{3, 4} << 0 << 1 << 1;
        QTest::newRow("hook waits, second quit does not run it again")
            << u""_s << u"no"_s << QStringList{u"quit"_s, u"quit"_s} << L{3, 4} << 0 << 1 << 1;
        QTest::newRow("screen delays, hook no, both continue")
            << u"delays"_s << u"no"_s << QStringList{u"quit"_s, u"continue"_s, u"continue"_s} << L{1, 3, 4} << 1 << 1
            << 1;
        QTest::newRow("continue twice at the end quits twice")
            << u""_s << u"no"_s << QStringList{u"quit"_s, u"continue"_s, u"continue"_s} << L{3, 4, 4} << 0 << 1 << 2;
        QTest::newRow("switching screens after passing changes nothing")
            << u""_s << u"no"_s << QStringList{u"quit"_s, u"switch"_s, u"continue"_s} << L{3, 3, 4} << 0 << 1 << 1;
    }

    void stateMachine()
    {
        QFETCH(QString, terminator);
        QFETCH(QString, hook);
        QFETCH(QStringList, steps);
        QFETCH(QList<qint64>, states);
        QFETCH(int, asked);
        QFETCH(int, hookRuns);
        QFETCH(int, exits);

        VLTerminatorProxy proxy;
        int exited = 0;
        proxy.setExitHandler([&exited] { ++exited; });
        int willTerminate = 0;
        connect(&proxy, &VLTerminatorProxy::willTerminate, this, [&willTerminate] { ++willTerminate; });

        auto first = std::make_unique<Screen>(terminator == u"delays");
        QObject plain;
        if (terminator == u"plain")
            proxy.setTerminator(&plain);
        else if (!terminator.isEmpty())
            proxy.setTerminator(first.get());

        int runs = 0;
        if (!hook.isEmpty())
            proxy.setPreTerminationHook([&runs, answer = hook == u"yes"] {
                ++runs;
                return answer;
            });

        Screen second(true);
        QCOMPARE(proxy.state(), qint64(VLTerminatorProxy::VLTerminationStateUndetermined));
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString &step = steps.at(i);
            if (step == u"quit")
                proxy.terminate();
            else if (step == u"continue")
                proxy.continueTermination();
            else if (step == u"cancel")
                proxy.cancelTermination(first.get());
            else if (step == u"switch")
                proxy.setTerminator(&second);
            else if (step == u"clear")
                proxy.setTerminator(nullptr);
            else if (step == u"delete")
                first.reset();
            QCOMPARE(proxy.state(), states.at(i));
        }
        if (first)
            QCOMPARE(first->asked, asked);
        QCOMPARE(runs, hookRuns);
        QCOMPARE(exited, exits);
        QCOMPARE(willTerminate, exits);
        if (steps.contains(QStringLiteral("switch")) && terminator == u"delays")
            QCOMPARE(second.asked, 1);
    }

    void replyAnswersCancelUntilTheEnd()
    {
        VLTerminatorProxy proxy;
        Screen screen(true);
        proxy.setTerminator(&screen);
        QCOMPARE(proxy.terminateReply(), VLTerminatorProxy::TerminateCancel);
        QCOMPARE(proxy.terminateReply(), VLTerminatorProxy::TerminateNow);
    }

    void quitFromInsideTheHookIsHeldBack()
    {
        VLTerminatorProxy proxy;
        int exited = 0;
        proxy.setExitHandler([&exited] { ++exited; });
        int runs = 0;
        proxy.setPreTerminationHook([&] {
            ++runs;
            // Something the hook calls asks to quit again while the hook still works.
            proxy.terminate();
            return false;
        });
        proxy.terminate();
        QCOMPARE(runs, 1);
        QCOMPARE(exited, 0);
        QCOMPARE(proxy.state(), qint64(VLTerminatorProxy::VLTerminationStateDelayedByHook));
        proxy.continueTermination();
        QCOMPARE(runs, 1);
        QCOMPARE(exited, 1);
    }

    void sharedInstanceEndsTheMainLoop()
    {
        VLTerminatorProxy *proxy = VLTerminatorProxy::sharedInstance();
        QCOMPARE(proxy, VLTerminatorProxy::sharedInstance());
        QTimer::singleShot(0, proxy, [proxy] { proxy->terminate(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(proxy->state(), qint64(VLTerminatorProxy::VLTerminationStateTerminate));
    }
};

QTEST_MAIN(TestTerminatorProxy)
#include "tst_terminatorproxy.moc"
