#include "engine/archive/VLPackedPath.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t headerSize = 8; // the header, and the characters after it aligned for UTF-16

} // namespace

std::size_t VLPackedPath::bytesOf(const Header &header)
{
    return headerSize + std::size_t(header.size) * (header.wide ? sizeof(char16_t) : 1);
}

VLPackedPath::VLPackedPath(const QString &path)
{
    if (path.isNull())
        return;
    static_assert(sizeof(Header) <= headerSize);
    const Header header{quint32(path.size()),
                        std::any_of(path.cbegin(), path.cend(), [](QChar c) { return c.unicode() > 0xff; })};
    m_data = static_cast<char *>(std::malloc(bytesOf(header)));
    if (!m_data)
        throw std::bad_alloc();
    std::memcpy(m_data, &header, sizeof header);
    char *characters = m_data + headerSize;
    if (header.wide)
        std::memcpy(characters, path.utf16(), std::size_t(path.size()) * sizeof(char16_t));
    else
        std::transform(path.cbegin(), path.cend(), characters, [](QChar c) { return char(c.unicode()); });
}

VLPackedPath::VLPackedPath(const VLPackedPath &other)
{
    *this = other;
}

VLPackedPath &VLPackedPath::operator=(const VLPackedPath &other)
{
    if (this == &other)
        return *this;
    char *copy = nullptr;
    if (other.m_data) {
        Header header;
        std::memcpy(&header, other.m_data, sizeof header);
        copy = static_cast<char *>(std::malloc(bytesOf(header)));
        if (!copy)
            throw std::bad_alloc();
        std::memcpy(copy, other.m_data, bytesOf(header));
    }
    std::free(m_data);
    m_data = copy;
    return *this;
}

VLPackedPath &VLPackedPath::operator=(VLPackedPath &&other) noexcept
{
    std::swap(m_data, other.m_data);
    return *this;
}

VLPackedPath::~VLPackedPath()
{
    std::free(m_data);
}

QString VLPackedPath::unpacked() const
{
    if (!m_data)
        return {};
    Header header;
    std::memcpy(&header, m_data, sizeof header);
    const char *characters = m_data + headerSize;
    if (!header.wide)
        return header.size == 0 ? QString(u""_qs) : QString::fromLatin1(characters, qsizetype(header.size));
    QString path(qsizetype(header.size), Qt::Uninitialized);
    std::memcpy(path.data(), characters, std::size_t(header.size) * sizeof(char16_t));
    return path;
}
