#pragma once

#include "platform/crypto/CryptoStatus.h"
#include "platform/crypto/SecureBytes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::crypto {

// A streaming AES cipher in CBC mode, with or without PKCS#7 padding, for 128, 192 or
// 256-bit keys. Bytes may be passed in pieces of any length; output can be produced in place
// (output == input).
class AesCbcCipher final
{
public:
    enum class Direction { Encrypt, Decrypt };
    enum class Padding { None, Pkcs7 };
    static constexpr std::size_t blockSize = 16;

    // A missing IV (null) means 16 zero bytes. Null with `status` set when the key size is not
    // 16, 24 or 32 bytes or the library refuses.
    static std::unique_ptr<AesCbcCipher> create(Direction direction, Padding padding, const std::uint8_t *key,
                                                std::size_t keySize, const std::uint8_t *iv, CryptoStatus *status);
    ~AesCbcCipher();
    AesCbcCipher(const AesCbcCipher &) = delete;
    AesCbcCipher &operator=(const AesCbcCipher &) = delete;

    // The most bytes that update (final = false) or update followed by finish (final = true)
    // can produce for inputSize more bytes of input.
    std::size_t outputLength(std::size_t inputSize, bool final) const;

    [[nodiscard]] CryptoStatus update(const std::uint8_t *input, std::size_t inputSize, std::uint8_t *output,
                                      std::size_t outputCapacity, std::size_t *produced);
    [[nodiscard]] CryptoStatus finish(std::uint8_t *output, std::size_t outputCapacity, std::size_t *produced);

    // Enciphers or deciphers whole blocks in place without padding; data size a multiple of 16.
    [[nodiscard]] static CryptoStatus cryptBlocks(Direction direction, const SecureBytes &key, const std::uint8_t *iv,
                                                  std::uint8_t *data, std::size_t size);

private:
    AesCbcCipher(Direction direction, Padding padding);

    struct Context;
    std::unique_ptr<Context> m_context;
    Direction m_direction;
    Padding m_padding;
    std::size_t m_buffered = 0; // bytes the library holds back between calls (0 to 16)
    bool m_finished = false;
};

} // namespace platform::crypto
