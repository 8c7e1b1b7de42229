#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class VLTerminator;

// The quit state machine. A quit can be held up first by the screen on top, which asks the
// user, then by the pre-termination hook (clean-up, the analytics question). Every quit request
// goes through terminate(); whoever finished waiting calls continueTermination(), which asks
// again and then passes straight through. Main thread only.
class VLTerminatorProxy final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLTerminatorProxy)

public:
    enum State : qint64 {
        VLTerminationStateUndetermined = 0,
        VLTerminationStateDelayedByTerminator = 1,
        VLTerminationStateTerminatorPassed = 2,
        VLTerminationStateDelayedByHook = 3,
        VLTerminationStateTerminate = 4,
    };

    enum TerminateReply {
        TerminateCancel = 0,
        TerminateNow = 1,
    };

    // Answers true: quit may go on; false: quit waits for continueTermination().
    using PreTerminationHook = std::function<bool()>;
    // What ends the process's main loop; QCoreApplication::exit(0) unless a test replaces it.
    using ExitHandler = std::function<void()>;

    static VLTerminatorProxy *sharedInstance();

    // A separate machine, for tests.
    explicit VLTerminatorProxy(QObject *parent = nullptr);
    ~VLTerminatorProxy() override;

    // The one quit entry of the application (menu, closing the main window): when
    // terminateReply() answers TerminateNow, emits willTerminate and leaves the main loop. While
    // the screen on top holds an earlier quit (its question open, or the save it offered under
    // way), a further request waits for that answer instead of passing it.
    void terminate();

    // Advances the machine and answers whether the quit may happen now.
    TerminateReply terminateReply();

    // Called when a delay has been answered; quits when the machine then reaches its end.
    void continueTermination();

    // The terminator's question ended without quitting ("Cancel", a cancelled or failed save):
    // the next quit request asks it again. Ignored from a screen that is no longer the terminator.
    void cancelTermination(const QObject *terminator);

    void determineState();

    // The screen that may delay quitting (an object implementing VLTerminator, or null); held
    // weakly. Changing to another screen while a question of the previous one was cancelled
    // returns the machine to asking, so the new screen's question is not skipped.
    QObject *terminator() const { return m_terminator; }
    void setTerminator(QObject *terminator);

    PreTerminationHook preTerminationHook() const { return m_preTerminationHook; }
    void setPreTerminationHook(PreTerminationHook hook);

    qint64 state() const { return m_state; }
    void setState(qint64 state);

    void setExitHandler(ExitHandler handler);

signals:
    // Sent once per terminate() that lets the quit through, just before the main loop ends.
    void willTerminate();

private:
    VLTerminator *currentTerminator() const;

    QPointer<QObject> m_terminator;
    PreTerminationHook m_preTerminationHook;
    ExitHandler m_exitHandler;
    qint64 m_state = VLTerminationStateUndetermined;
    bool m_hookRunning = false;
};
