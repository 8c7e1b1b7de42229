#include "platform/crypto/CryptoFunctions.h"

#include "platform/crypto/HmacSha256.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>

namespace platform::crypto {

bool randomBytes(void *buffer, std::size_t size)
{
    auto *bytes = static_cast<unsigned char *>(buffer);
    while (size > 0) {
        const int chunk = size > std::size_t(INT_MAX) ? INT_MAX : int(size);
        if (RAND_bytes(bytes, chunk) != 1)
            return false;
        bytes += chunk;
        size -= std::size_t(chunk);
    }
    return true;
}

SecureBytes randomSecureBytes(std::size_t size)
{
    SecureBytes bytes(size);
    if (!randomBytes(bytes.data(), size))
        return {};
    return bytes;
}

CryptoStatus pbkdf2HmacSha256(const SecureBytes &password, const QByteArray &salt, unsigned rounds,
                              SecureBytes &derivedKey)
{
    if (rounds == 0 || rounds > unsigned(INT_MAX) || derivedKey.isEmpty() || password.size() > std::size_t(INT_MAX))
        return CryptoStatus::ParamError;
    // OpenSSL wants a non-null pointer even for an empty password.
    static const char empty = 0;
    const char *pass = password.isEmpty() ? &empty : reinterpret_cast<const char *>(password.data());
    SecureBytes key(derivedKey.size());
    if (PKCS5_PBKDF2_HMAC(pass, int(password.size()), reinterpret_cast<const unsigned char *>(salt.constData()),
                          int(salt.size()), int(rounds), EVP_sha256(), int(key.size()), key.data())
        != 1)
        return CryptoStatus::Unspecified;
    derivedKey = std::move(key);
    return CryptoStatus::Success;
}

QByteArray md5(const QByteArray &data)
{
    QByteArray digest(16, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_Digest(data.constData(), std::size_t(data.size()), reinterpret_cast<unsigned char *>(digest.data()),
                   &length, EVP_md5(), nullptr)
            != 1
        || length != 16)
        return {};
    return digest;
}

QByteArray hmacSha256(const QByteArray &key, const QByteArray &data)
{
    HmacSha256 mac;
    if (mac.init(key.constData(), std::size_t(key.size())) != CryptoStatus::Success)
        return {};
    mac.update(data.constData(), std::size_t(data.size()));
    return mac.finish();
}

bool constantTimeEquals(const void *a, const void *b, std::size_t size)
{
    return size == 0 || CRYPTO_memcmp(a, b, size) == 0;
}

bool constantTimeEquals(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && constantTimeEquals(a.constData(), b.constData(), std::size_t(a.size()));
}

} // namespace platform::crypto
