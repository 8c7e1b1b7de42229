#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <sys/stat.h>

// The status a tree walk has just read for the entry it gives its caller, kept for the thread that
// walks: a caller that examines each entry as it comes (as adding a tree to a container does) then
// reads each status once instead of twice. A status is taken at most once, only for the very path
// it was read for, and is dropped when the walk moves on.
namespace platform::RecentStatus {

void remember(const QByteArray &path, const struct statx &status);
// True, with the status, when it is the one remembered for this path; it is then forgotten.
bool take(const QByteArray &path, struct statx *status);
void forget();

} // namespace platform::RecentStatus
