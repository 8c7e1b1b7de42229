#pragma once

#include <QString>

namespace platform {

// The file of the desktop's type icon for an item, from the freedesktop icon themes (the
// Adwaita theme and what it inherits, hicolor last), picked for the given pixel size: a folder's
// icon for folders, otherwise the icon of the item's MIME type or of its generic type. Empty when
// the item does not exist or no installed theme has an icon for it. Safe from any thread.
QString typeIconFileForPath(const QString &path, int pixelSize);

// The file of a named icon, looked up the same way; empty when there is none.
QString themeIconFile(const QString &iconName, int pixelSize);

} // namespace platform
