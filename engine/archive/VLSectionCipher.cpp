#include "engine/archive/VLSectionCipher.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"

#include <algorithm>
#include <cstring>
#include <utility>

using platform::crypto::AesCbcCipher;
using platform::crypto::CryptoStatus;
using platform::crypto::SecureBytes;
using platform::crypto::statusCode;

namespace {

constexpr std::size_t blockSize = AesCbcCipher::blockSize;

std::size_t keySlotSize(std::size_t keySize)
{
    return keySize == 24 ? 32 : keySize;
}

// Ends a section's cipher stream into `out` (room for two blocks) and gives the HMAC of its plain
// bytes where one is kept; a failure is logged with `failure`, which takes the status code.
bool finishSection(std::unique_ptr<AesCbcCipher> &cipher, platform::crypto::HmacSha256 &mac, bool &withHmac,
                   std::uint8_t *out, std::size_t *produced, QByteArray *hmac, const char *failure)
{
    const CryptoStatus status = cipher->finish(out, 2 * blockSize, produced);
    cipher.reset();
    const bool withMac = std::exchange(withHmac, false);
    if (status != CryptoStatus::Success) {
        platform::log(QString::fromLatin1(failure).arg(statusCode(status)));
        return false;
    }
    if (withMac)
        *hmac = mac.finish();
    return true;
}

} // namespace

std::size_t VLSectionKeys::keyBlockSize() const
{
    return encipher ? (hmac ? 16 : 0) + blockSize + keySlotSize(keySize) : 0;
}

// ---------------------------------------------------------------------------------------------

bool VLSectionEncoder::begin(const VLSectionKeys &keys)
{
    m_output.clear();
    m_cipher.reset();
    m_withHmac = false;
    if (!keys.encipher)
        return true;
    if (!keys.masterKey)
        return false;
    const std::size_t hmacSize = keys.hmac ? 16 : 0;
    SecureBytes block(keys.keyBlockSize());
    if (!platform::crypto::randomKeyBytes(block.data(), block.size()))
        return false;
    const std::uint8_t *iv = block.data() + hmacSize;
    CryptoStatus status = CryptoStatus::Success;
    m_cipher = AesCbcCipher::create(AesCbcCipher::Direction::Encrypt, AesCbcCipher::Padding::Pkcs7, iv + blockSize,
                                    keys.keySize, iv, &status);
    if (!m_cipher)
        return false;
    if (keys.hmac) {
        if (m_hmac.init(block.data(), hmacSize) != CryptoStatus::Success)
            return false;
        m_hmac.update(iv, blockSize + keySlotSize(keys.keySize));
        m_withHmac = true;
    }
    SecureBytes sealed = block;
    status = AesCbcCipher::cryptBlocks(AesCbcCipher::Direction::Encrypt, *keys.masterKey, nullptr, sealed.data(),
                                       sealed.size());
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderUpdate failed: %1").arg(statusCode(status)));
        m_cipher.reset();
        return false;
    }
    m_output.assign(sealed.data(), sealed.data() + sealed.size());
    return true;
}

bool VLSectionEncoder::write(const void *data, std::size_t size)
{
    if (size == 0)
        return true;
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (!m_cipher) {
        m_output.insert(m_output.end(), bytes, bytes + size);
        return true;
    }
    const std::size_t at = m_output.size();
    // The cipher may hold back up to a block, and asks for room for one more.
    m_output.resize(at + size + 2 * blockSize);
    std::size_t produced = 0;
    const CryptoStatus status = m_cipher->update(bytes, size, m_output.data() + at, size + 2 * blockSize, &produced);
    m_output.resize(at + produced);
    if (status != CryptoStatus::Success) {
        platform::log(QStringLiteral("Warning! CCZeriderUpdate in outputData: failed: %1").arg(statusCode(status)));
        return false;
    }
    if (m_withHmac)
        m_hmac.update(bytes, size);
    return true;
}

bool VLSectionEncoder::finish(QByteArray *hmac)
{
    if (!m_cipher)
        return true;
    const std::size_t at = m_output.size();
    m_output.resize(at + 2 * blockSize);
    std::size_t produced = 0;
    const bool finished = finishSection(m_cipher, m_hmac, m_withHmac, m_output.data() + at, &produced, hmac,
                                        "Warning! CCZeriderFinal failed. Error %1.");
    m_output.resize(at + produced);
    return finished;
}

// ---------------------------------------------------------------------------------------------

bool VLSectionDecoder::begin(const platform::PosixFile &file, std::uint64_t offset, std::uint64_t end,
                             const VLSectionKeys &keys, std::uint64_t expected)
{
    m_file = &file;
    m_offset = offset;
    m_end = end;
    m_expected = expected;
    m_buffer.clear();
    m_at = 0;
    m_systemError = 0;
    m_cipher.reset();
    m_withHmac = false;
    if (!keys.encipher)
        return true;
    if (!keys.masterKey)
        return false;
    const std::size_t hmacSize = keys.hmac ? 16 : 0;
    const std::size_t keyBlockSize = keys.keyBlockSize();
    if (offset > end || keyBlockSize > end - offset)
        return false;
    // The key block and the first bytes the section is expected to hold come in one read: a
    // small item's section costs a single call.
    const std::uint64_t available = (end - offset - keyBlockSize) / blockSize * blockSize;
    const std::size_t first = std::size_t(std::min<std::uint64_t>(
        available, (std::min<std::uint64_t>(m_expected, chunkSize) + blockSize - 1) / blockSize * blockSize));
    m_buffer.resize(keyBlockSize + first);
    if (!file.readFullyAt(offset, m_buffer.data(), m_buffer.size(), &m_systemError))
        return false;
    m_offset += m_buffer.size();
    SecureBytes block(keyBlockSize);
    std::memcpy(block.data(), m_buffer.data(), keyBlockSize);
    m_at = keyBlockSize;
    if (AesCbcCipher::cryptBlocks(AesCbcCipher::Direction::Decrypt, *keys.masterKey, nullptr, block.data(),
                                  block.size())
        != CryptoStatus::Success)
        return false;
    const std::uint8_t *iv = block.data() + hmacSize;
    if (keys.hmac) {
        if (m_hmac.init(block.data(), hmacSize) != CryptoStatus::Success)
            return false;
        m_hmac.update(iv, blockSize + keySlotSize(keys.keySize));
        m_withHmac = true;
    }
    CryptoStatus status = CryptoStatus::Success;
    m_cipher = AesCbcCipher::create(AesCbcCipher::Direction::Decrypt, AesCbcCipher::Padding::None, iv + blockSize,
                                    keys.keySize, iv, &status);
    return m_cipher && decipher(m_buffer.data() + m_at, first);
}

bool VLSectionDecoder::decipher(std::uint8_t *data, std::size_t size)
{
    if (!m_cipher || size == 0)
        return true;
    std::size_t produced = 0;
    const CryptoStatus status = m_cipher->update(data, size, data, size, &produced);
    if (status != CryptoStatus::Success || produced != size) {
        platform::log(QStringLiteral("Warning! Decryption update failed. Error %1").arg(statusCode(status)));
        return false;
    }
    return true;
}

bool VLSectionDecoder::refill(std::size_t need)
{
    // Keeps what is left, then reads whole blocks: at least what is needed, ahead up to what the
    // section is expected to hold, never more than a chunk beyond the need.
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_at));
    m_at = 0;
    const std::size_t missing = need - m_buffer.size();
    std::size_t want = std::max<std::uint64_t>(missing, std::min<std::uint64_t>(m_expected, chunkSize));
    if (m_cipher)
        want = (want + blockSize - 1) / blockSize * blockSize;
    const std::uint64_t available = m_end - m_offset;
    if (want > available) {
        if (missing > available)
            return false;
        want = std::size_t(m_cipher ? available / blockSize * blockSize : available);
        if (want < missing)
            return false;
    }
    const std::size_t at = m_buffer.size();
    m_buffer.resize(at + want);
    if (!m_file->readFullyAt(m_offset, m_buffer.data() + at, want, &m_systemError))
        return false;
    m_offset += want;
    return decipher(m_buffer.data() + at, want);
}

bool VLSectionDecoder::read(void *buffer, std::size_t size)
{
    if (size == 0)
        return true;
    if (m_buffer.size() - m_at < size && !refill(size))
        return false;
    std::memcpy(buffer, m_buffer.data() + m_at, size);
    m_at += size;
    m_expected -= std::min<std::uint64_t>(m_expected, size);
    if (m_withHmac)
        m_hmac.update(buffer, size);
    return true;
}

bool VLSectionDecoder::finish(QByteArray *hmac)
{
    platform::crypto::cleanse(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    m_at = 0;
    if (!m_cipher)
        return true;
    std::uint8_t tail[2 * blockSize];
    std::size_t produced = 0;
    return finishSection(m_cipher, m_hmac, m_withHmac, tail, &produced, hmac,
                         "Warning! Decryption CCZeriderFinal failed. Error %1.");
}
