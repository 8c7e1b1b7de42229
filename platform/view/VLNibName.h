#pragma once

#include <QString>

#include <functional>

class QMetaObject;
class QObject;
class QWidget;

// Interface files are Designer forms compiled by uic. Each registers a set-up function under
// its interface-file name ("VLDropViewController", "VLDropViewController-Legacy"), which builds
// the widgets inside a view and hands them to their owner.
namespace platform {

using InterfaceFileSetup = std::function<void(QWidget *view, QObject *owner)>;

void registerInterfaceFile(const QString &name, InterfaceFileSetup setup);
void unregisterInterfaceFile(const QString &name);
bool hasInterfaceFile(const QString &name);
// An empty function when nothing is registered under the name.
InterfaceFileSetup interfaceFileSetup(const QString &name);

} // namespace platform

// The interface-file name of a controller class: its class name, or, on the legacy interface
// generation (platform::isModernAppKit() false), the "-Legacy" variant when one is registered.
QString VLNibNameForClass(const QString &className);
QString VLNibNameForClass(const QMetaObject &metaObject);
