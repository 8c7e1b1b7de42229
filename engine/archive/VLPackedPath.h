#pragma once

#include <QString>

#include <cstddef>

// A record's path as kept: one allocation behind one pointer, one byte a character for the paths
// almost every tree has. A large tree's paths then cost less than half of what QString costs.
class VLPackedPath final
{
public:
    VLPackedPath() = default;
    explicit VLPackedPath(const QString &path);
    VLPackedPath(const VLPackedPath &other);
    VLPackedPath &operator=(const VLPackedPath &other);
    VLPackedPath(VLPackedPath &&other) noexcept : m_data(other.m_data) { other.m_data = nullptr; }
    VLPackedPath &operator=(VLPackedPath &&other) noexcept;
    ~VLPackedPath();

    QString unpacked() const;

private:
    // The characters' count and their width, then the characters: Latin-1, or UTF-16 code units
    // for any other path. Null for a null path.
    struct Header
    {
        quint32 size = 0;
        bool wide = false;
    };
    static std::size_t bytesOf(const Header &header);

    char *m_data = nullptr;
};
