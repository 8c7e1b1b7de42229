#pragma once

#include <QString>

// Path-name arithmetic with the platform's rules for file names: the extension is what follows
// the last full stop of the last component, unless that full stop begins the name (".profile"
// has none) or ends it.
namespace VLPathComponents {

QString lastPathComponent(const QString &path);
QString pathExtension(const QString &path);
QString deletingPathExtension(const QString &path);

} // namespace VLPathComponents
