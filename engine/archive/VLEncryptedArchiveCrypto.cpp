// Keys, key blocks and the running section streams of the container.
#include "engine/archive/VLEncryptedArchive.h"

#include "engine/archive/VLSectionCipher.h"

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
    VLSectionKeys keys = sectionKeys(withHmac);
    keys.encipher = true; // also the directory section of a container whose files are not enciphered
    m_outSection = std::make_unique<VLSectionEncoder>();
    if (!m_outSection->begin(keys)) {
        m_outSection.reset();
        return false;
    }
    writeRaw(m_outSection->output().data(), m_outSection->output().size());
    m_outSection->output().clear();
    return true;
}

void VLEncryptedArchive::writeRaw(const void *data, std::size_t size)
{
    if (size == 0)
        return;
    // Small sections are gathered and written in large pieces: on a tree of small files one
    // system call per section would cost more than making the section.
    if (m_outPending.size() + size > outputPieceSize)
        flushOutput();
    if (size >= outputPieceSize)
        writeNow(data, size);
    else
        m_outPending.insert(m_outPending.end(), static_cast<const std::uint8_t *>(data),
                            static_cast<const std::uint8_t *>(data) + size);
    m_outOffset += size;
}

void VLEncryptedArchive::flushOutput()
{
    writeNow(m_outPending.data(), m_outPending.size());
    m_outPending.clear();
}

void VLEncryptedArchive::writeNow(const void *data, std::size_t size)
{
    if (size == 0 || m_outWriteError)
        return;
    if (!m_out.writeAll(data, size)) {
        platform::log(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(m_out.lastError()));
        m_outWriteError = m_out.lastError() ? m_out.lastError() : EIO;
    }
}

void VLEncryptedArchive::outputDataOfSize(const void *data, std::size_t size)
{
    if (!m_out.isOpen())
        return;
    if (!m_outSection) {
        writeRaw(data, size);
        return;
    }
    if (m_outSection->write(data, size))
        writeRaw(m_outSection->output().data(), m_outSection->output().size());
    m_outSection->output().clear();
}

bool VLEncryptedArchive::endOutputEncryption(bool)
{
    if (!m_outSection)
        return true;
    const bool finished = m_outSection->finish(&m_lastHmac);
    const std::vector<std::uint8_t> &tail = m_outSection->output();
    if (finished) {
        writeRaw(tail.data(), tail.size());
        flushOutput();
    }
    // A section whose bytes did not all reach the file is not finished.
    const bool written = finished && !m_outWriteError;
    releaseOutputStream();
    return written;
}

void VLEncryptedArchive::releaseOutputStream()
{
    m_outSection.reset();
}

bool VLEncryptedArchive::beginInputDecryption(bool withHmac)
{
    releaseInputStream();
    const std::optional<std::uint64_t> position = m_in.position();
    VLSectionKeys keys = sectionKeys(withHmac);
    keys.encipher = true; // also the directory section of a container whose files are not enciphered
    m_inSection = std::make_unique<VLSectionDecoder>();
    if (!position || !m_inSection->begin(m_in, *position, m_archiveSize, keys)) {
        m_inSection.reset();
        return false;
    }
    return true;
}

bool VLEncryptedArchive::inputDataOfSize(void *buffer, std::size_t size)
{
    if (!m_in.isOpen())
        return false;
    return m_inSection ? m_inSection->read(buffer, size) : m_in.readFully(buffer, size);
}

bool VLEncryptedArchive::endInputDecryption()
{
    if (!m_inSection)
        return true;
    const bool finished = m_inSection->finish(&m_lastHmac);
    releaseInputStream();
    return finished;
}

void VLEncryptedArchive::releaseInputStream()
{
    m_inSection.reset();
}
