#include "windowing/windows/VLTerminatorProxy.h"

#include "windowing/windows/VLTerminator.h"

#include <QCoreApplication>

VLTerminatorProxy *VLTerminatorProxy::sharedInstance()
{
    static VLTerminatorProxy proxy;
    return &proxy;
}

VLTerminatorProxy::VLTerminatorProxy(QObject *parent)
    : QObject(parent)
    , m_exitHandler([] { QCoreApplication::exit(0); })
{
}

VLTerminatorProxy::~VLTerminatorProxy() = default;

VLTerminator *VLTerminatorProxy::currentTerminator() const
{
    return dynamic_cast<VLTerminator *>(m_terminator.data());
}

void VLTerminatorProxy::setTerminator(QObject *terminator)
{
    if (terminator == m_terminator)
        return;
    // A question that the user cancelled belongs to the screen that asked it: a later quit from
    // another screen must ask that screen. The save-then-quit path stays on its screen.
    if (m_state == VLTerminationStateDelayedByTerminator)
        m_state = VLTerminationStateUndetermined;
    m_terminator = terminator;
}

void VLTerminatorProxy::setPreTerminationHook(PreTerminationHook hook)
{
    m_preTerminationHook = std::move(hook);
}

void VLTerminatorProxy::setState(qint64 state)
{
    m_state = state;
}

void VLTerminatorProxy::setExitHandler(ExitHandler handler)
{
    m_exitHandler = std::move(handler);
}

void VLTerminatorProxy::determineState()
{
    // A quit request made from inside the hook (while it blocks, or from something it calls)
    // must neither run it again nor skip what it is doing.
    if (m_hookRunning)
        return;

    if (m_state == VLTerminationStateUndetermined) {
        qint64 next = VLTerminationStateTerminatorPassed;
        if (VLTerminator *terminator = currentTerminator())
            next = terminator->shouldDelayTerminationForTerminator(this) ? VLTerminationStateDelayedByTerminator
                                                                         : VLTerminationStateTerminatorPassed;
        m_state = next;
        if (m_state == VLTerminationStateDelayedByTerminator)
            return;
    }
    if (m_state == VLTerminationStateDelayedByTerminator)
        m_state = VLTerminationStateTerminatorPassed;
    if (m_state == VLTerminationStateTerminatorPassed) {
        bool goOn = true;
        // The state only moves on past 2, so the hook runs once per run of the machine.
        if (m_preTerminationHook) {
            m_hookRunning = true;
            goOn = m_preTerminationHook();
            m_hookRunning = false;
        }
        m_state = goOn ? VLTerminationStateTerminate : VLTerminationStateDelayedByHook;
        if (m_state == VLTerminationStateDelayedByHook)
            return;
    }
    if (m_state == VLTerminationStateDelayedByHook)
        m_state = VLTerminationStateTerminate;
}

VLTerminatorProxy::TerminateReply VLTerminatorProxy::terminateReply()
{
    determineState();
    return m_state == VLTerminationStateTerminate ? TerminateNow : TerminateCancel;
}

void VLTerminatorProxy::continueTermination()
{
    determineState();
    if (m_state == VLTerminationStateTerminate)
        terminate();
}

void VLTerminatorProxy::cancelTermination(const QObject *terminator)
{
    if (terminator == m_terminator && m_state == VLTerminationStateDelayedByTerminator)
        m_state = VLTerminationStateUndetermined;
}

void VLTerminatorProxy::terminate()
{
    // A second quit must not slip past the question the user is still answering; a screen that
    // has gone since it asked holds nothing.
    if (m_state == VLTerminationStateDelayedByTerminator && m_terminator)
        return;
    if (terminateReply() != TerminateNow)
        return;
    emit willTerminate();
    if (m_exitHandler)
        m_exitHandler();
}
