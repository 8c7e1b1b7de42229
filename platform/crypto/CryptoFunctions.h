#pragma once

#include "platform/crypto/CryptoStatus.h"
#include "platform/crypto/SecureBytes.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace platform::crypto {

// Fills the buffer from the operating system's strong random source. False when it fails.
[[nodiscard]] bool randomBytes(void *buffer, std::size_t size);
// The same for key material of up to a few hundred bytes, drawn in larger pieces per thread (the
// pool's unused bytes are wiped memory; a forked child never reuses them). False when it fails.
[[nodiscard]] bool randomKeyBytes(void *buffer, std::size_t size);
// `size` random bytes, or an empty buffer when the random source fails.
SecureBytes randomSecureBytes(std::size_t size);

// PBKDF2 with HMAC-SHA256 as its pseudo-random function.
[[nodiscard]] CryptoStatus pbkdf2HmacSha256(const SecureBytes &password, const QByteArray &salt, unsigned rounds,
                                            SecureBytes &derivedKey);

// One-shot digests.
QByteArray md5(const QByteArray &data);
QByteArray hmacSha256(const QByteArray &key, const QByteArray &data);

// Compares in time that depends on the length only.
bool constantTimeEquals(const void *a, const void *b, std::size_t size);
bool constantTimeEquals(const QByteArray &a, const QByteArray &b);

} // namespace platform::crypto
