// Keys, key blocks and the running section streams of the container.
#include "engine/archive/VLEncryptedArchive.h"

#include "platform/core/Log.h"
#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/CryptoFunctions.h"

#include <cerrno>
#include <cstring>

using platform::crypto::AesCbcCipher;
using platform::crypto::CryptoStatus;
using platform::crypto::SecureBytes;
using platform::crypto::statusCode;

namespace {

constexpr unsigned pbkdfRounds = 4096;
constexpr std::size_t blockSize = AesCbcCipher::blockSize;

std::size_t keySlotSize(std::size_t keySize)
{
    return keySize == 24 ? 32 : keySize;
}

} // namespace

bool VLEncryptedArchive::deriveMasterKey(bool newSalt)
{
    QByteArray salt = m_masterSalt;
    if (newSalt) {
        salt = QByteArray(16, Qt::Uninitialized);
        if (!platform::crypto::randomBytes(salt.data(), std::size_t(salt.size())))
            return false;
    }
    const SecureBytes password = SecureBytes::fromUtf8(this->password());
    SecureBytes key(keySizeInBytes());
    if (platform::crypto::pbkdf2HmacSha256(password, salt, pbkdfRounds, key) != CryptoStatus::Success)
        return false;
    m_masterKey = std::move(key);
    if (newSalt)
        m_masterSalt = salt;
    return true;
}

bool VLEncryptedArchive::cryptWithMasterIvDecrypt(QByteArray &data, const std::optional<QByteArray> &iv, bool decrypt)
{
    if (iv && iv->size() != qsizetype(blockSize)) {
        platform::log(QStringLiteral("Warning! CCZeriderUpdate failed: %1").arg(statusCode(CryptoStatus::ParamError)));
        return false;
    }
    CryptoStatus status = CryptoStatus::Success;
    const auto direction = decrypt ? AesCbcCipher::Direction::Decrypt : AesCbcCipher::Direction::Encrypt;
    auto cipher = AesCbcCipher::create(direction, AesCbcCipher::Padding::None, m_masterKey.data(), m_masterKey.size(),
                                       iv ? reinterpret_cast<const std::uint8_t *>(iv->constData()) : nullptr, &status);
    auto *bytes = reinterpret_cast<std::uint8_t *>(data.data());
    std::size_t produced = 0;
    if (cipher)
        status = cipher->update(bytes, std::size_t(data.size()), bytes, std::size_t(data.size()) + blockSize, &produced);
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

void VLEncryptedArchive::initHmac(const QByteArray &key)
{
    (void)m_hmac.init(key.constData(), std::size_t(key.size()));
}

QByteArray VLEncryptedArchive::finishHmac()
{
    return m_hmac.finish();
}

QByteArray VLEncryptedArchive::createHmacKey()
{
    QByteArray key(16, Qt::Uninitialized);
    if (!platform::crypto::randomBytes(key.data(), std::size_t(key.size())))
        return {};
    return key;
}

bool VLEncryptedArchive::beginOutputEncryption(bool withHmac)
{
    const std::size_t keySize = keySizeInBytes();
    const std::size_t slotSize = keySlotSize(keySize);
    const std::size_t hmacSize = withHmac ? 16 : 0;
    SecureBytes block(hmacSize + blockSize + slotSize);
    if (!platform::crypto::randomBytes(block.data(), block.size()))
        return false;
    const std::uint8_t *iv = block.data() + hmacSize;
    const SecureBytes streamKey(iv + blockSize, keySize);
    m_calculatingHmac = withHmac;
    if (withHmac) {
        if (m_hmac.init(block.data(), hmacSize) != CryptoStatus::Success)
            return false;
        m_hmac.update(iv, blockSize + slotSize);
    }
    QByteArray sealed = block.toByteArray();
    const QByteArray ivCopy(reinterpret_cast<const char *>(iv), qsizetype(blockSize));
    if (!cryptWithMasterIvDecrypt(sealed, std::nullopt, false)) {
        platform::crypto::wipe(sealed); // still the plain keys
        m_calculatingHmac = false;
        return false;
    }
    writeRaw(sealed.constData(), std::size_t(sealed.size()));

    CryptoStatus status = CryptoStatus::Success;
    m_outCipher = AesCbcCipher::create(AesCbcCipher::Direction::Encrypt, AesCbcCipher::Padding::Pkcs7,
                                       streamKey.data(), streamKey.size(),
                                       reinterpret_cast<const std::uint8_t *>(ivCopy.constData()), &status);
    if (!m_outCipher) {
        m_calculatingHmac = false;
        return false;
    }
    m_outBuffer.assign(bufferSize, 0);
    return true;
}

void VLEncryptedArchive::writeRaw(const void *data, std::size_t size)
{
    if (size == 0)
        return;
    if (!m_out.writeAll(data, size)) {
        platform::log(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(m_out.lastError()));
        if (!m_outWriteError)
            m_outWriteError = m_out.lastError() ? m_out.lastError() : EIO;
        return;
    }
    m_outOffset += size;
}

void VLEncryptedArchive::outputDataOfSize(const void *data, std::size_t size)
{
    if (!m_out.isOpen())
        return;
    if (!m_outCipher) {
        writeRaw(data, size);
        return;
    }
    if (m_outBuffer.size() < size + blockSize)
        m_outBuffer.resize(size + blockSize);
    std::size_t produced = 0;
    const CryptoStatus status = m_outCipher->update(static_cast<const std::uint8_t *>(data), size, m_outBuffer.data(),
                                                    m_outBuffer.size(), &produced);
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderUpdate in outputData: failed: %1").arg(statusCode(status)));
        return;
    }
    if (m_calculatingHmac)
        m_hmac.update(data, size);
    writeRaw(m_outBuffer.data(), produced);
}

bool VLEncryptedArchive::endOutputEncryption(bool)
{
    if (!m_outCipher)
        return true;
    if (m_outBuffer.size() < 2 * blockSize)
        m_outBuffer.resize(2 * blockSize);
    std::size_t produced = 0;
    const CryptoStatus status = m_outCipher->finish(m_outBuffer.data(), m_outBuffer.size(), &produced);
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderFinal failed. Error %1.").arg(statusCode(status)));
        releaseOutputStream();
        return false;
    }
    if (m_calculatingHmac) {
        m_lastHmac = m_hmac.finish();
        m_calculatingHmac = false;
    }
    bool written = m_out.writeAll(m_outBuffer.data(), produced);
    if (!written) {
        platform::log(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(m_out.lastError()));
        if (!m_outWriteError)
            m_outWriteError = m_out.lastError() ? m_out.lastError() : EIO;
    } else {
        m_outOffset += produced;
    }
    releaseOutputStream();
    return written;
}

void VLEncryptedArchive::releaseOutputStream()
{
    m_outCipher.reset();
    m_outBuffer.clear();
    m_outBuffer.shrink_to_fit();
}

bool VLEncryptedArchive::beginInputDecryption(bool withHmac)
{
    const std::size_t keySize = keySizeInBytes();
    const std::size_t slotSize = keySlotSize(keySize);
    const std::size_t hmacSize = withHmac ? 16 : 0;
    m_calculatingHmac = false;
    releaseInputStream();
    QByteArray sealed(qsizetype(hmacSize + blockSize + slotSize), Qt::Uninitialized);
    if (!inputDataOfSize(sealed.data(), std::size_t(sealed.size())))
        return false;
    if (!cryptWithMasterIvDecrypt(sealed, std::nullopt, true)) {
        platform::crypto::wipe(sealed);
        return false;
    }
    SecureBytes block(sealed);
    platform::crypto::wipe(sealed);
    const std::uint8_t *iv = block.data() + hmacSize;
    if (withHmac) {
        if (m_hmac.init(block.data(), hmacSize) != CryptoStatus::Success)
            return false;
        m_hmac.update(iv, blockSize + slotSize);
        m_calculatingHmac = true;
    }
    CryptoStatus status = CryptoStatus::Success;
    m_inCipher = AesCbcCipher::create(AesCbcCipher::Direction::Decrypt, AesCbcCipher::Padding::None, iv + blockSize,
                                      keySize, iv, &status);
    if (!m_inCipher) {
        m_calculatingHmac = false;
        return false;
    }
    m_inBuffer.assign(bufferSize, 0);
    m_inCached = 0;
    return true;
}

bool VLEncryptedArchive::inputDataOfSize(void *buffer, std::size_t size)
{
    if (!m_in.isOpen())
        return false;
    auto *out = static_cast<std::uint8_t *>(buffer);
    if (!m_inCipher) {
        if (!m_in.readFully(out, size))
            return false;
    } else {
        std::size_t need = size;
        std::uint8_t *at = out;
        const std::size_t fromCache = std::min(m_inCached, need);
        std::memcpy(at, m_inCache, fromCache);
        std::memmove(m_inCache, m_inCache + fromCache, m_inCached - fromCache);
        m_inCached -= fromCache;
        at += fromCache;
        need -= fromCache;
        while (need > 0) {
            const std::size_t piece = std::min(need, bufferSize);
            const std::size_t rounded = (piece + blockSize - 1) / blockSize * blockSize;
            if (!m_in.readFully(m_inBuffer.data(), rounded))
                return false;
            std::size_t produced = 0;
            const CryptoStatus status =
                m_inCipher->update(m_inBuffer.data(), rounded, m_inBuffer.data(), m_inBuffer.size(), &produced);
            if (status != CryptoStatus::Success || produced != rounded) {
                platform::log(QStringLiteral("Warning! Decryption update failed. Error %1").arg(statusCode(status)));
                return false;
            }
            std::memcpy(at, m_inBuffer.data(), piece);
            // Only the last piece can be short of a block boundary; its surplus waits for the next call.
            std::memcpy(m_inCache, m_inBuffer.data() + piece, rounded - piece);
            m_inCached = rounded - piece;
            at += piece;
            need -= piece;
        }
    }
    if (m_calculatingHmac)
        m_hmac.update(out, size);
    return true;
}

bool VLEncryptedArchive::endInputDecryption()
{
    if (!m_inCipher)
        return true;
    std::uint8_t tail[2 * blockSize];
    std::size_t produced = 0;
    const CryptoStatus status = m_inCipher->finish(tail, sizeof tail, &produced);
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! Decryption CCZeriderFinal failed. Error %1.").arg(statusCode(status)));
        releaseInputStream();
        return false;
    }
    if (m_calculatingHmac) {
        m_lastHmac = m_hmac.finish();
        m_calculatingHmac = false;
    }
    releaseInputStream();
    return true;
}

void VLEncryptedArchive::releaseInputStream()
{
    m_inCipher.reset();
    m_inBuffer.clear();
    m_inBuffer.shrink_to_fit();
    platform::crypto::cleanse(m_inCache, sizeof m_inCache);
    m_inCached = 0;
    m_calculatingHmac = false;
}
