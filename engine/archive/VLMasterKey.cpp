#include "engine/archive/VLMasterKey.h"

#include "platform/core/Log.h"
#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/CryptoFunctions.h"

using platform::crypto::AesCbcCipher;
using platform::crypto::CryptoStatus;
using platform::crypto::SecureBytes;
using platform::crypto::statusCode;

namespace {

constexpr unsigned pbkdfRounds = 4096;
constexpr std::size_t blockSize = AesCbcCipher::blockSize;

} // namespace

std::size_t VLMasterKey::sizeForBits(quint64 bits)
{
    return bits <= 128 ? 16 : bits <= 192 ? 24 : 32;
}

bool VLMasterKey::derive(const QString &password, std::size_t keySize, bool newSalt)
{
    QByteArray salt = m_salt;
    if (newSalt) {
        salt = QByteArray(16, Qt::Uninitialized);
        if (!platform::crypto::randomBytes(salt.data(), std::size_t(salt.size())))
            return false;
    }
    const SecureBytes secret = SecureBytes::fromUtf8(password);
    SecureBytes key(keySize);
    if (platform::crypto::pbkdf2HmacSha256(secret, salt, pbkdfRounds, key) != CryptoStatus::Success)
        return false;
    m_key = std::move(key);
    if (newSalt)
        m_salt = salt;
    return true;
}

bool VLMasterKey::crypt(QByteArray &data, bool decrypt) const
{
    CryptoStatus status = CryptoStatus::Success;
    const auto direction = decrypt ? AesCbcCipher::Direction::Decrypt : AesCbcCipher::Direction::Encrypt;
    auto cipher = AesCbcCipher::create(direction, AesCbcCipher::Padding::None, m_key.data(), m_key.size(), nullptr,
                                       &status);
    auto *bytes = reinterpret_cast<std::uint8_t *>(data.data());
    std::size_t produced = 0;
    if (cipher)
        status = cipher->update(bytes, std::size_t(data.size()), bytes, std::size_t(data.size()) + blockSize,
                                &produced);
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderUpdate failed: %1").arg(statusCode(status)));
        return false;
    }
    std::uint8_t tail[blockSize];
    std::size_t tailSize = 0;
    status = cipher->finish(tail, sizeof tail, &tailSize);
    if (status == CryptoStatus::Success && (produced != std::size_t(data.size()) || tailSize != 0))
        status = CryptoStatus::AlignmentError;
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderFinal failed: %1").arg(statusCode(status)));
        return false;
    }
    return true;
}

VLSectionKeys VLMasterKey::sectionKeys(std::size_t keySize, bool encipher, bool withHmac) const
{
    VLSectionKeys keys;
    keys.masterKey = m_key.size() ? &m_key : nullptr;
    keys.keySize = keySize;
    keys.encipher = encipher;
    keys.hmac = withHmac;
    return keys;
}
