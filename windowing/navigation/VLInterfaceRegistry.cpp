#include "windowing/navigation/VLInterfaceRegistry.h"

#include "platform/view/VLNibName.h"
#include "windowing/navigation/VLViewController.h"

// The names live in the platform's interface-file table, so that VLNibNameForClass sees the
// "-Legacy" variants registered here.

void VLInterfaceRegistry::registerInterface(const QString &name, Setup setup)
{
    platform::registerInterfaceFile(name, [setup = std::move(setup)](QWidget *view, QObject *owner) {
        setup(view, qobject_cast<VLViewController *>(owner));
    });
}

void VLInterfaceRegistry::unregisterInterface(const QString &name)
{
    platform::unregisterInterfaceFile(name);
}

bool VLInterfaceRegistry::contains(const QString &name)
{
    return platform::hasInterfaceFile(name);
}

VLInterfaceRegistry::Setup VLInterfaceRegistry::setupForName(const QString &name)
{
    platform::InterfaceFileSetup setup = platform::interfaceFileSetup(name);
    if (!setup)
        return {};
    return [setup = std::move(setup)](QWidget *view, VLViewController *owner) { setup(view, owner); };
}
