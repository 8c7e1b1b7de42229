#include "platform/crypto/CryptoFunctions.h"

#include "platform/crypto/HmacSha256.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

#include <pthread.h>

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

namespace {

// Bumped in a forked child, whose copies of the parent's pools must never be handed out again.
std::atomic<unsigned> forkGeneration = 0;

void countFork()
{
    forkGeneration.fetch_add(1, std::memory_order_relaxed);
}

// Key bytes drawn from the generator a kilobyte at a time for the thread that uses them: each call
// to the generator costs a system call (its fork check), and a tree of small files asks for one
// key block per file. Bytes handed out are wiped from the pool at once; what is left is wiped when
// the thread ends.
struct KeyPool
{
    static constexpr std::size_t size = 1024;
    SecureBytes bytes{size};
    std::size_t left = 0;
    unsigned generation = 0;
};

} // namespace

bool randomKeyBytes(void *buffer, std::size_t size)
{
    if (size > KeyPool::size / 4)
        return randomBytes(buffer, size);
    static std::once_flag registered;
    std::call_once(registered, [] { ::pthread_atfork(nullptr, nullptr, countFork); });
    thread_local KeyPool pool;
    const unsigned generation = forkGeneration.load(std::memory_order_relaxed);
    if (pool.generation != generation) {
        pool.left = 0;
        pool.generation = generation;
    }
    auto *out = static_cast<unsigned char *>(buffer);
    while (size > 0) {
        if (pool.left == 0) {
            if (!randomBytes(pool.bytes.data(), pool.bytes.size()))
                return false;
            pool.left = pool.bytes.size();
        }
        std::uint8_t *from = pool.bytes.data() + (pool.bytes.size() - pool.left);
        const std::size_t take = std::min(pool.left, size);
        std::memcpy(out, from, take);
        OPENSSL_cleanse(from, take);
        pool.left -= take;
        out += take;
        size -= take;
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
