#include "platform/crypto/SecureBytes.h"

#include "platform/crypto/CryptoFunctions.h"

#include <openssl/crypto.h>

#include <cstring>

namespace platform::crypto {

SecureBytes::SecureBytes(std::size_t size)
    : m_data(size ? std::make_unique<std::uint8_t[]>(size) : nullptr)
    , m_size(size)
{
}

SecureBytes::SecureBytes(const void *data, std::size_t size) : SecureBytes(size)
{
    if (size)
        std::memcpy(m_data.get(), data, size);
}

SecureBytes::SecureBytes(const QByteArray &bytes) : SecureBytes(bytes.constData(), std::size_t(bytes.size()))
{
}

SecureBytes::SecureBytes(const SecureBytes &other) : SecureBytes(other.data(), other.size())
{
}

SecureBytes::SecureBytes(SecureBytes &&other) noexcept : m_data(std::move(other.m_data)), m_size(other.m_size)
{
    other.m_size = 0;
}

SecureBytes &SecureBytes::operator=(const SecureBytes &other)
{
    if (this != &other) {
        SecureBytes copy(other);
        *this = std::move(copy);
    }
    return *this;
}

SecureBytes &SecureBytes::operator=(SecureBytes &&other) noexcept
{
    if (this != &other) {
        clear();
        m_data = std::move(other.m_data);
        m_size = other.m_size;
        other.m_size = 0;
    }
    return *this;
}

SecureBytes::~SecureBytes()
{
    clear();
}

SecureBytes SecureBytes::fromUtf8(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    SecureBytes bytes(utf8);
    wipe(utf8);
    return bytes;
}

void SecureBytes::clear()
{
    if (m_data)
        OPENSSL_cleanse(m_data.get(), m_size);
    m_data.reset();
    m_size = 0;
}

QByteArray SecureBytes::toByteArray() const
{
    return QByteArray(reinterpret_cast<const char *>(data()), qsizetype(m_size));
}

bool operator==(const SecureBytes &a, const SecureBytes &b)
{
    return a.size() == b.size() && constantTimeEquals(a.data(), b.data(), a.size());
}

void cleanse(void *data, std::size_t size)
{
    if (data && size)
        OPENSSL_cleanse(data, size);
}

void wipe(QString &text)
{
    if (!text.isEmpty() && text.isDetached())
        cleanse(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text.clear();
}

void wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty() && bytes.isDetached())
        cleanse(bytes.data(), std::size_t(bytes.size()));
    bytes.clear();
}

} // namespace platform::crypto
