#pragma once

#include "platform/crypto/CryptoStatus.h"

#include <QByteArray>

#include <cstddef>
#include <memory>

namespace platform::crypto {

// A running HMAC-SHA256. init starts (or restarts) it with a key, update feeds bytes and
// finish returns the 32-byte value (empty when the computation failed at any step).
class HmacSha256 final
{
public:
    static constexpr std::size_t length = 32;

    HmacSha256();
    ~HmacSha256();
    HmacSha256(const HmacSha256 &) = delete;
    HmacSha256 &operator=(const HmacSha256 &) = delete;

    [[nodiscard]] CryptoStatus init(const void *key, std::size_t keySize);
    void update(const void *data, std::size_t size);
    QByteArray finish();
    bool isRunning() const { return m_running; }

private:
    struct Context;
    std::unique_ptr<Context> m_context;
    bool m_running = false;
    bool m_failed = false;
};

} // namespace platform::crypto
