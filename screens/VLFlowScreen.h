#pragma once

#include "platform/view/VLKeyBindings.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

#include <functional>

class SWAnalyticsTracker;
class VLNavigationController;
class VLViewController;

// What every flow screen shares: the tracker it reports to and a root view that hands the key
// presses no control took to the screen's commands.
namespace VLFlowScreen {

// The default tracker unless a test has pointed the flow screens at another one.
SWAnalyticsTracker &tracker();
void setTracker(SWAnalyticsTracker *tracker);

// A label of the flow screens: DejaVu Sans at the pixel size, centred, plain text.
QLabel *makeLabel(QWidget *parent, const QString &objectName, int pixelSize, bool bold = false);

// Runs a change of screen on the screen's navigation controller once it can navigate: a job or a
// transfer may end while the transition that showed the screen still runs, and the change must
// not be lost then. Dropped when the screen goes first.
void navigateWhenPossible(VLViewController *screen, std::function<void(VLNavigationController *)> change);

} // namespace VLFlowScreen

// A screen's root view. Key presses that reach it (no focused control answered them) are
// interpreted for the screen: Return becomes insertNewline:, Escape cancelOperation:, Space
// insertText: " ". Paints nothing, as transitions stack screens over each other.
class VLScreenKeyView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLScreenKeyView)

public:
    explicit VLScreenKeyView(platform::VLKeyBindingClient *client, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    platform::VLKeyBindingClient *m_client;
};
