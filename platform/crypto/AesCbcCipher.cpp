#include "platform/crypto/AesCbcCipher.h"

#include <openssl/evp.h>

#include <climits>

namespace platform::crypto {
namespace {

// Fetched once: an algorithm named afresh is looked up again, under the library's lock, every time
// a context is set up, which a container with tens of thousands of sections would pay for each.
const EVP_CIPHER *algorithmForKeySize(std::size_t keySize)
{
    static EVP_CIPHER *const aes128 = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
    static EVP_CIPHER *const aes192 = EVP_CIPHER_fetch(nullptr, "AES-192-CBC", nullptr);
    static EVP_CIPHER *const aes256 = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
    switch (keySize) {
    case 16:
        return aes128;
    case 24:
        return aes192;
    case 32:
        return aes256;
    default:
        return nullptr;
    }
}

} // namespace

struct AesCbcCipher::Context
{
    EVP_CIPHER_CTX *ctx = nullptr;
    ~Context() { EVP_CIPHER_CTX_free(ctx); } // frees and wipes the key schedule
};

AesCbcCipher::AesCbcCipher(Direction direction, Padding padding)
    : m_context(std::make_unique<Context>())
    , m_direction(direction)
    , m_padding(padding)
{
}

AesCbcCipher::~AesCbcCipher() = default;

std::unique_ptr<AesCbcCipher> AesCbcCipher::create(Direction direction, Padding padding, const std::uint8_t *key,
                                                   std::size_t keySize, const std::uint8_t *iv, CryptoStatus *status)
{
    auto fail = [status](CryptoStatus value) {
        if (status)
            *status = value;
        return std::unique_ptr<AesCbcCipher>();
    };
    const EVP_CIPHER *algorithm = algorithmForKeySize(keySize);
    if (!algorithm)
        return fail(keySize == 16 || keySize == 24 || keySize == 32 ? CryptoStatus::Unimplemented
                                                                    : CryptoStatus::ParamError);
    if (!key)
        return fail(CryptoStatus::ParamError);
    std::unique_ptr<AesCbcCipher> cipher(new AesCbcCipher(direction, padding));
    cipher->m_context->ctx = EVP_CIPHER_CTX_new();
    if (!cipher->m_context->ctx)
        return fail(CryptoStatus::MemoryFailure);
    static const std::uint8_t zeroIv[blockSize] = {};
    if (EVP_CipherInit_ex(cipher->m_context->ctx, algorithm, nullptr, key, iv ? iv : zeroIv,
                          direction == Direction::Encrypt ? 1 : 0)
            != 1
        || EVP_CIPHER_CTX_set_padding(cipher->m_context->ctx, padding == Padding::Pkcs7 ? 1 : 0) != 1)
        return fail(CryptoStatus::Unspecified);
    if (status)
        *status = CryptoStatus::Success;
    return cipher;
}

std::size_t AesCbcCipher::outputLength(std::size_t inputSize, bool final) const
{
    const std::size_t total = m_buffered + inputSize;
    if (!final)
        return total - total % blockSize;
    if (m_padding == Padding::Pkcs7 && m_direction == Direction::Encrypt)
        return total - total % blockSize + blockSize;
    return total;
}

CryptoStatus AesCbcCipher::update(const std::uint8_t *input, std::size_t inputSize, std::uint8_t *output,
                                  std::size_t outputCapacity, std::size_t *produced)
{
    *produced = 0;
    if (m_finished)
        return CryptoStatus::ParamError;
    // A decrypting cipher with padding holds back a whole block, so it may produce one block more.
    const std::size_t needed = outputLength(inputSize, false) + (m_padding == Padding::Pkcs7 ? blockSize : 0);
    if (outputCapacity < needed)
        return CryptoStatus::BufferTooSmall;
    while (inputSize > 0) {
        const int chunk = inputSize > std::size_t(INT_MAX / 2) ? INT_MAX / 2 : int(inputSize);
        int written = 0;
        if (EVP_CipherUpdate(m_context->ctx, output, &written, input, chunk) != 1)
            return CryptoStatus::Unspecified;
        m_buffered = m_buffered + std::size_t(chunk) - std::size_t(written);
        *produced += std::size_t(written);
        output += written;
        input += chunk;
        inputSize -= std::size_t(chunk);
    }
    return CryptoStatus::Success;
}

CryptoStatus AesCbcCipher::finish(std::uint8_t *output, std::size_t outputCapacity, std::size_t *produced)
{
    *produced = 0;
    if (m_finished)
        return CryptoStatus::ParamError;
    if (outputCapacity < blockSize)
        return CryptoStatus::BufferTooSmall;
    m_finished = true;
    int written = 0;
    if (EVP_CipherFinal_ex(m_context->ctx, output, &written) != 1)
        return m_padding == Padding::None ? CryptoStatus::AlignmentError : CryptoStatus::DecodeError;
    *produced = std::size_t(written);
    m_buffered = 0;
    return CryptoStatus::Success;
}

CryptoStatus AesCbcCipher::cryptBlocks(Direction direction, const SecureBytes &key, const std::uint8_t *iv,
                                       std::uint8_t *data, std::size_t size)
{
    if (size % blockSize != 0)
        return CryptoStatus::AlignmentError;
    CryptoStatus status = CryptoStatus::Success;
    auto cipher = create(direction, Padding::None, key.data(), key.size(), iv, &status);
    if (!cipher)
        return status;
    std::size_t produced = 0;
    status = cipher->update(data, size, data, size, &produced);
    if (status != CryptoStatus::Success)
        return status;
    std::size_t tail = 0;
    std::uint8_t scratch[blockSize];
    status = cipher->finish(scratch, sizeof scratch, &tail);
    if (status == CryptoStatus::Success && (produced != size || tail != 0))
        status = CryptoStatus::Unspecified;
    return status;
}

} // namespace platform::crypto
