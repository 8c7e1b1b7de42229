#include "platform/crypto/HmacSha256.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace platform::crypto {
namespace {

EVP_MAC *hmacAlgorithm()
{
    // Fetched once; the algorithm object is immutable and shared between threads.
    static EVP_MAC *const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    return mac;
}

// A context with its digest chosen and no key, copied for each use: choosing the digest looks it
// up again every time.
const EVP_MAC_CTX *hmacTemplate()
{
    static EVP_MAC_CTX *const context = [] {
        EVP_MAC_CTX *made = hmacAlgorithm() ? EVP_MAC_CTX_new(hmacAlgorithm()) : nullptr;
        char digest[] = "SHA256";
        const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
        if (made && EVP_MAC_CTX_set_params(made, params) != 1) {
            EVP_MAC_CTX_free(made);
            made = nullptr;
        }
        return made;
    }();
    return context;
}

} // namespace

struct HmacSha256::Context
{
    EVP_MAC_CTX *ctx = nullptr;
    ~Context() { EVP_MAC_CTX_free(ctx); }
};

HmacSha256::HmacSha256() : m_context(std::make_unique<Context>())
{
}

HmacSha256::~HmacSha256() = default;

CryptoStatus HmacSha256::init(const void *key, std::size_t keySize)
{
    m_running = false;
    m_failed = false;
    EVP_MAC_CTX_free(m_context->ctx);
    m_context->ctx = nullptr;
    if (!hmacTemplate())
        return CryptoStatus::Unimplemented;
    m_context->ctx = EVP_MAC_CTX_dup(hmacTemplate());
    if (!m_context->ctx)
        return CryptoStatus::MemoryFailure;
    static const unsigned char noKey = 0;
    const auto *keyBytes = keySize ? static_cast<const unsigned char *>(key) : &noKey;
    if (EVP_MAC_init(m_context->ctx, keyBytes, keySize, nullptr) != 1)
        return CryptoStatus::Unspecified;
    m_running = true;
    return CryptoStatus::Success;
}

void HmacSha256::update(const void *data, std::size_t size)
{
    if (!m_running || size == 0)
        return;
    if (EVP_MAC_update(m_context->ctx, static_cast<const unsigned char *>(data), size) != 1)
        m_failed = true;
}

QByteArray HmacSha256::finish()
{
    if (!m_running)
        return {};
    m_running = false;
    QByteArray value(qsizetype(length), Qt::Uninitialized);
    std::size_t written = 0;
    if (EVP_MAC_final(m_context->ctx, reinterpret_cast<unsigned char *>(value.data()), &written, length) != 1
        || written != length || m_failed)
        return {};
    return value;
}

} // namespace platform::crypto
