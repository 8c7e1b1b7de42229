#pragma once

#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/HmacSha256.h"
#include "platform/crypto/SecureBytes.h"
#include "platform/files/PosixFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// What one item's section needs to be enciphered or deciphered on its own, on any thread: the
// master key (read only while an operation runs), the key size and the section switches.
struct VLSectionKeys
{
    const platform::crypto::SecureBytes *masterKey = nullptr;
    std::size_t keySize = 16;
    bool encipher = true; // the section has a key block and enciphered data
    bool hmac = true;     // the key block holds an HMAC key and the plain bytes are authenticated

    std::size_t keyBlockSize() const;
};

// Writes one section into memory: its key block, then the enciphered bytes given to write().
// The bytes gather in output() until the owner takes them, so a section can be built whole on a
// worker or passed on piece by piece.
class VLSectionEncoder final
{
public:
    VLSectionEncoder() = default;
    VLSectionEncoder(const VLSectionEncoder &) = delete;
    VLSectionEncoder &operator=(const VLSectionEncoder &) = delete;

    [[nodiscard]] bool begin(const VLSectionKeys &keys);
    [[nodiscard]] bool write(const void *data, std::size_t size);
    // Ends the cipher stream (with its padding); the HMAC of the plain bytes when one is kept.
    [[nodiscard]] bool finish(QByteArray *hmac);

    std::vector<std::uint8_t> &output() { return m_output; }

private:
    std::unique_ptr<platform::crypto::AesCbcCipher> m_cipher;
    platform::crypto::HmacSha256 m_hmac;
    bool m_withHmac = false;
    std::vector<std::uint8_t> m_output;
};

// Reads one section from an offset of a container with positional reads, so that several
// sections are read from one descriptor at once, and hands out its plain bytes in order.
class VLSectionDecoder final
{
public:
    VLSectionDecoder() = default;
    VLSectionDecoder(const VLSectionDecoder &) = delete;
    VLSectionDecoder &operator=(const VLSectionDecoder &) = delete;

    // `end` is the container's size: nothing is read beyond it. `expected` is as for expect().
    [[nodiscard]] bool begin(const platform::PosixFile &file, std::uint64_t offset, std::uint64_t end,
                             const VLSectionKeys &keys, std::uint64_t expected = 0);
    // How many plain bytes the section is still expected to hold; reads fetch no more than that
    // (at least what they need), so a small section costs one read.
    void expect(std::uint64_t bytes) { m_expected = bytes; }
    [[nodiscard]] bool read(void *buffer, std::size_t size);
    [[nodiscard]] bool finish(QByteArray *hmac);
    int systemError() const { return m_systemError; }

private:
    static constexpr std::size_t chunkSize = 256 * 1024;
    bool refill(std::size_t need);
    bool decipher(std::uint8_t *data, std::size_t size); // in place

    const platform::PosixFile *m_file = nullptr;
    std::uint64_t m_offset = 0;
    std::uint64_t m_end = 0;
    std::uint64_t m_expected = 0;
    std::unique_ptr<platform::crypto::AesCbcCipher> m_cipher;
    platform::crypto::HmacSha256 m_hmac;
    bool m_withHmac = false;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_at = 0;
    int m_systemError = 0;
};
