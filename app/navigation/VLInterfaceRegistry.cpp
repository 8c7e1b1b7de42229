#include "app/navigation/VLInterfaceRegistry.h"

#include <QHash>

namespace {

QHash<QString, VLInterfaceRegistry::Setup> &registry()
{
    static QHash<QString, VLInterfaceRegistry::Setup> interfaces;
    return interfaces;
}

} // namespace

void VLInterfaceRegistry::registerInterface(const QString &name, Setup setup)
{
    registry().insert(name, std::move(setup));
}

void VLInterfaceRegistry::unregisterInterface(const QString &name)
{
    registry().remove(name);
}

bool VLInterfaceRegistry::contains(const QString &name)
{
    return registry().contains(name);
}

VLInterfaceRegistry::Setup VLInterfaceRegistry::setupForName(const QString &name)
{
    return registry().value(name);
}
