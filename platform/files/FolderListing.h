#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace platform {

// One folder's names, read at once and kept in one buffer, and each entry's status read relative
// to the folder (without following a link, birth time included), as a tree walk reads them. Once
// listed, statuses may be read from several threads at a time, so that a large folder's entries
// can be examined in parts on several.
class FolderListing final
{
public:
    // The file system and the file number, which tell a folder met twice.
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const Identity &) const = default;
    };

    ~FolderListing();
    Q_DISABLE_COPY_MOVE(FolderListing)

    // Opens the folder at native and reads its names (without "." and ".."). Null, with the
    // system error in *error, when it cannot be opened; a listing that failed part way has
    // readError() set and holds no names.
    static std::unique_ptr<FolderListing> list(const QByteArray &native, int *error);
    int readError() const { return m_readError; }

    std::size_t size() const { return m_ends.size(); }
    QByteArrayView name(std::size_t index) const;
    // 0, or the system error that left *status unread (EBADF once closed).
    int status(std::size_t index, struct statx *status) const;
    // Gives the folder's descriptor back once every status wanted was read, and no status is
    // being read: a walk that holds hundreds of listings ahead would otherwise hold as many
    // descriptors, and every growth of the process's descriptor table stalls all its threads.
    void close();

    // The status of the item at native, as the entries' are read.
    static int statusAtPath(const QByteArray &native, struct statx *status);
    static bool isFolder(const struct statx &status);
    static Identity identityOf(const struct statx &status);

private:
    FolderListing(int fd, void *folder) : m_fd(fd), m_folder(folder) {}
    int readNames();

    int m_fd;
    void *m_folder;                  // the DIR that owns m_fd, null once closed
    QByteArray m_names;              // every name, each ended by a NUL
    std::vector<std::size_t> m_ends; // where each name ends in m_names
    int m_readError = 0;
};

} // namespace platform
