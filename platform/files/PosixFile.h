#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

// A file descriptor with the few unbuffered operations the container engine streams through.
// Failures keep the system error number in lastError().
class PosixFile final
{
public:
    PosixFile() = default;
    explicit PosixFile(int descriptor) : m_fd(descriptor) {}
    ~PosixFile();
    PosixFile(PosixFile &&other) noexcept;
    PosixFile &operator=(PosixFile &&other) noexcept;
    PosixFile(const PosixFile &) = delete;
    PosixFile &operator=(const PosixFile &) = delete;

    static PosixFile openForReading(const QString &path);
    // Creates the file or cuts an existing one to length 0; `permissions` apply to a new file.
    static PosixFile createForWriting(const QString &path, unsigned permissions);

    // A file with no name in `folder`, for reading and writing, gone once closed (or when the
    // process ends); not open, with lastError, when the folder cannot hold one.
    static PosixFile createAnonymousIn(const QString &folder);

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    int lastError() const { return m_error; }
    // Closes the descriptor; false (with lastError) when the close reported an error.
    bool close();

    // Reads up to size bytes (fewer only at the end of the file); -1 on error.
    std::int64_t read(void *buffer, std::size_t size);
    // Reads exactly size bytes; false on an error or a short read (lastError 0 then).
    bool readFully(void *buffer, std::size_t size);
    // Reads exactly size bytes at an offset without moving the position, so that several threads
    // can read one descriptor; false with the system error (0 for a short read) in *error.
    bool readFullyAt(std::uint64_t offset, void *buffer, std::size_t size, int *error) const;
    // Reads up to size bytes at an offset (fewer only at the end of the file); -1 with the system
    // error in *error.
    std::int64_t readAt(std::uint64_t offset, void *buffer, std::size_t size, int *error) const;
    bool writeAll(const void *data, std::size_t size);
    // Appends `size` bytes of `source`, read from its start, at this file's position, in the
    // kernel where both file systems allow. False with lastError() when writing here failed, or
    // with the source's error in *sourceError (0 when it was shorter than `size`).
    bool appendFrom(const PosixFile &source, std::uint64_t size, int *sourceError);
    bool seek(std::uint64_t offset);
    std::optional<std::uint64_t> position();
    std::optional<std::uint64_t> size();

private:
    int m_fd = -1;
    int m_error = 0;
};

// The destination stored in a symbolic link, as stored (not resolved); empty on failure.
std::optional<QString> destinationOfSymbolicLinkAtPath(const QString &path, int *error = nullptr);
// Removes a file (not a folder); the system error number, or 0.
int removeFileAtPath(const QString &path);
// True when the path names a folder (following a final link, as a destination may be one).
bool isExistingFolder(const QString &path);

} // namespace platform
