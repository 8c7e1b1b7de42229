#include "companion/VLTutorialWindow.h"

#include "companion/VLTutorialWindowController.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

const QString performCloseAction = QStringLiteral("performClose:");

// The action goes up the responder chain with its sender, as sendAction:to:from: sends it.
void sendPerformClose(VLTutorialWindowController *responder, QObject *sender)
{
    if (responder)
        responder->performClose(sender);
}

void sendKeyDown(VLTutorialWindowController *responder, QKeyEvent *event)
{
    if (responder)
        responder->keyDown(event);
}

QAction *makeCloseAction(QWidget *window)
{
    auto *action = new QAction(QObject::tr("Close"), window);
    action->setObjectName(performCloseAction);
    action->setShortcut(QKeySequence::Close);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

bool validate(const QAction *item, const QAction *closeAction)
{
    if (!item)
        return false;
    if (item == closeAction || item->objectName() == performCloseAction)
        return true;
    return item->isEnabled();
}

} // namespace

VLTutorialWindow::VLTutorialWindow(QWidget *parent) : QMainWindow(parent)
{
    setMouseTracking(true);
    m_closeAction = makeCloseAction(this);
    connect(m_closeAction, &QAction::triggered, this, [this] { performClose(m_closeAction); });
}

VLTutorialWindow::~VLTutorialWindow() = default;

void VLTutorialWindow::setNextResponder(VLTutorialWindowController *responder)
{
    m_nextResponder = responder;
}

VLTutorialWindowController *VLTutorialWindow::nextResponder() const
{
    return m_nextResponder;
}

bool VLTutorialWindow::validateMenuItem(const QAction *item) const
{
    return validate(item, m_closeAction);
}

void VLTutorialWindow::performClose(QObject *sender)
{
    sendPerformClose(m_nextResponder, sender);
}

void VLTutorialWindow::closeEvent(QCloseEvent *event)
{
    // Only the controller closes the window, once the tutorial ends.
    event->ignore();
    performClose(this);
}

void VLTutorialWindow::keyPressEvent(QKeyEvent *event)
{
    sendKeyDown(m_nextResponder, event);
}

void VLTutorialWindow::mousePressEvent(QMouseEvent *event)
{
    if (!m_mover.mousePress(this, event))
        QMainWindow::mousePressEvent(event);
}

void VLTutorialWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mover.mouseMove(this, event))
        QMainWindow::mouseMoveEvent(event);
}

void VLTutorialWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_mover.mouseRelease(event);
    QMainWindow::mouseReleaseEvent(event);
}

VLLegacyTutorialWindow::VLLegacyTutorialWindow(QWidget *parent) : VLLegacyWindow(parent)
{
    // The legacy window already moves by its background.
    setMouseTracking(true);
    m_closeAction = makeCloseAction(this);
    connect(m_closeAction, &QAction::triggered, this, [this] { performClose(m_closeAction); });
}

VLLegacyTutorialWindow::~VLLegacyTutorialWindow() = default;

void VLLegacyTutorialWindow::setNextResponder(VLTutorialWindowController *responder)
{
    m_nextResponder = responder;
}

VLTutorialWindowController *VLLegacyTutorialWindow::nextResponder() const
{
    return m_nextResponder;
}

bool VLLegacyTutorialWindow::validateMenuItem(const QAction *item) const
{
    return validate(item, m_closeAction);
}

void VLLegacyTutorialWindow::performClose(QObject *sender)
{
    sendPerformClose(m_nextResponder, sender);
}

void VLLegacyTutorialWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    performClose(this);
}

void VLLegacyTutorialWindow::keyPressEvent(QKeyEvent *event)
{
    sendKeyDown(m_nextResponder, event);
}
