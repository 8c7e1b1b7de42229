#pragma once

#include "platform/files/PosixFile.h"

#include <QString>

namespace platform {

// A destination folder that items are created inside, by paths relative to it. Every
// component on the way is opened without following symbolic links, so nothing is ever
// created outside the folder or through a link, whatever links already stand inside it.
// Relative paths are made of non-empty components other than "." and ".."; anything else
// is refused with EINVAL.
class ConfinedFolder final
{
public:
    ConfinedFolder() = default;
    ~ConfinedFolder();
    ConfinedFolder(ConfinedFolder &&other) noexcept;
    ConfinedFolder &operator=(ConfinedFolder &&other) noexcept;
    ConfinedFolder(const ConfinedFolder &) = delete;
    ConfinedFolder &operator=(const ConfinedFolder &) = delete;

    // Opens the destination itself (following a link there: the caller chose it). 0 or errno.
    int open(const QString &path);
    bool isOpen() const { return m_fd >= 0; }

    // Each returns 0 or the system error number.
    int createFolder(const QString &relativePath, unsigned permissions = 0777);
    int createSymbolicLink(const QString &relativePath, const QString &destination);
    // Creates or replaces a regular file for writing (an existing link in its place is replaced,
    // never followed).
    PosixFile createFile(const QString &relativePath, unsigned permissions, int *error);

    // Whether the way to an item is resolved by the kernel in one call (on by default, and off by
    // itself where the kernel lacks the call) or one component at a time; for tests.
    static void setKernelResolution(bool enabled);

    // True for a path made of valid components only.
    static bool isValidRelativePath(const QString &relativePath);

private:
    // Opens the folder that holds the last component; returns its descriptor (or -1 with errno
    // in `error`) and the last component's name.
    int openParent(const QString &relativePath, QByteArray *name, int *error) const;

    int m_fd = -1;
};

} // namespace platform
