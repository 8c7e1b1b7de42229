#include "companion/VLTutorialScriptBridge.h"

#include "companion/VLTutorialWindowController.h"

VLTutorialScriptBridge::VLTutorialScriptBridge(VLTutorialWindowController *controller)
    : QObject(controller)
    , m_controller(controller)
{
}

VLTutorialScriptBridge::~VLTutorialScriptBridge() = default;

void VLTutorialScriptBridge::selectPage_(int page)
{
    if (m_controller)
        m_controller->selectPage(page);
}

void VLTutorialScriptBridge::email_(const QString &email)
{
    if (m_controller)
        m_controller->email(email);
}

void VLTutorialScriptBridge::launch()
{
    if (m_controller)
        m_controller->launch();
}

void VLTutorialScriptBridge::launchAfterSkip()
{
    if (m_controller)
        m_controller->launchAfterSkip();
}
