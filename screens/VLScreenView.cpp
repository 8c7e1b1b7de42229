#include "screens/VLScreenView.h"

#include "windowing/navigation/VLKeyViewLoop.h"

#include <QKeyEvent>

VLScreenView::VLScreenView(platform::VLKeyBindingClient *client, QWidget *parent) : QWidget(parent), m_client(client)
{
}

namespace {

// Tab and Backtab move along the window's key-view loop; everything else is the screen's.
class KeyViewLoopClient final : public platform::VLKeyBindingClient
{
public:
    KeyViewLoopClient(QWidget *view, platform::VLKeyBindingClient *screen) : m_view(view), m_screen(screen) {}

    void insertText(const QString &text) override { m_screen->insertText(text); }
    void doCommandBySelector(platform::Command command) override
    {
        if (command == platform::Command::insertTab || command == platform::Command::insertBacktab)
            vlSelectNextKeyView(m_view->window(), command == platform::Command::insertTab);
        else
            m_screen->doCommandBySelector(command);
    }

private:
    QWidget *m_view;
    platform::VLKeyBindingClient *m_screen;
};

} // namespace

void VLScreenView::keyPressEvent(QKeyEvent *event)
{
    // Presses with modifiers outside the table (menu shortcuts) are left to the window.
    if (m_client) {
        KeyViewLoopClient client(this, m_client);
        if (platform::interpretKeyEvents(*event, client))
            return;
    }
    QWidget::keyPressEvent(event);
}
