#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// The file services the two jobs use: work folders, the common root of the sources, the tree
// walk and the readability check. The jobs reach them only through here, so that the shared
// file-manager additions can take over behind these names.
namespace VLJobServices {

// A new, empty work folder (0700) inside the Library's "Temp" folder, named by a fresh UUID in
// upper case; empty when it cannot be made.
QString createUniqueDirectoryAtTempPath();

// The deepest folder under which every URL's path lies, at most the first one's parent; "" for none.
QString rootPathForURLs(const QList<QUrl> &urls);

// Every entry under path in pre-order, the path itself first: symbolic links are entries, other
// volumes are not entered, each folder is seen once. False when the walk met an error entry
// (or could not start); a handler that sets stop ends the walk with true.
using WalkHandler = std::function<void(const QString &path, bool isRoot, qint64 size, bool &stop)>;
bool walkAtPath(const QString &path, const WalkHandler &handler);

// True when every entry under the URL can be read; otherwise false with the first one that
// cannot. Symbolic links are stored as links, so only their own entry counts, never their target.
// A shouldStop that answers true ends the check early (the result is then true).
bool checkSourceReadability(const QUrl &url, QString *failedFile, const std::function<bool()> &shouldStop = {});

} // namespace VLJobServices
