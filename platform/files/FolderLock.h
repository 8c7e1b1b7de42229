#pragma once

#include <QString>

namespace platform {

// An advisory lock on a folder, held on a descriptor of the folder itself for as long as the
// object lives, so that other processes that honour it leave the folder alone. A process that
// ends lets go of its locks, so a folder left by a crash is free again.
class FolderLock final
{
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock &&other) noexcept;
    FolderLock &operator=(FolderLock &&other) noexcept;
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes the lock without waiting. Not held when the folder cannot be opened (error set to
    // its reason) or another holder has it (error EWOULDBLOCK).
    static FolderLock tryHold(const QString &path, int *error = nullptr);

    bool isHeld() const { return m_fd >= 0; }
    // Whether the held folder is still the one at this path (not removed, not replaced).
    bool isFolderAt(const QString &path) const;
    void release();

private:
    int m_fd = -1;
};

} // namespace platform
