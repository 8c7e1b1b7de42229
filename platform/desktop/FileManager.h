#pragma once

#include <QUrl>

#include <functional>

namespace platform {

// Shows the item selected in the user's file manager through the freedesktop
// org.freedesktop.FileManager1.ShowItems call on the session bus. Where no file manager answers
// the call (no bus, no such service, an error reply), the item's folder is opened instead.
// Returns at once; the call is answered later on the main thread.
void revealInFileManager(const QUrl &url);

// Opens a file in its default application, a folder in the file manager, a link in the browser.
bool openURL(const QUrl &url);

// Tests: the bus address that reveals go to (the session bus when empty).
void setFileManagerBusName(const QString &connectionName);

} // namespace platform
