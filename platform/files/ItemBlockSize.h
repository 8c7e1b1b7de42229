#pragma once

#include <QString>

#include <functional>

namespace platform {

// The size the item takes on disk, not following links: a file or link rounded up to whole
// blocks of its file system, a folder the sum of the files and links below it. Every failure
// reaches failed with its error number; a folder that fails counts what it summed before.
quint64 itemBlockSize(const QString &path, const std::function<void(int error)> &failed);

} // namespace platform
