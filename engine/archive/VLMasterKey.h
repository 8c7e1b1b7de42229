#pragma once

#include "engine/archive/VLSectionCipher.h"
#include "platform/crypto/SecureBytes.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

// The container's master key, derived from the password and the container's salt. It enciphers
// the locator's check block and preview, and each section's key block.
class VLMasterKey final
{
public:
    VLMasterKey() = default;
    Q_DISABLE_COPY_MOVE(VLMasterKey)

    // The key's size for a container's key bits.
    static std::size_t sizeForBits(quint64 bits);

    // A failed derivation keeps the previous key (none at first). A new salt is drawn when
    // newSalt is set; otherwise the salt given before with setSalt is used.
    [[nodiscard]] bool derive(const QString &password, std::size_t keySize, bool newSalt);
    const QByteArray &salt() const { return m_salt; }
    void setSalt(const QByteArray &salt) { m_salt = salt; }
    // Enciphers or deciphers whole blocks in place, without an initial vector.
    [[nodiscard]] bool crypt(QByteArray &data, bool decrypt) const;
    // The keys of a section made or read with this key.
    VLSectionKeys sectionKeys(std::size_t keySize, bool encipher, bool withHmac) const;

private:
    platform::crypto::SecureBytes m_key;
    QByteArray m_salt;
};
