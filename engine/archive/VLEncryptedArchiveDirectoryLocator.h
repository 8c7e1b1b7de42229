#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

// The plain record that ends every container: version, directory position and size, the
// password check values, the switches, and the directory HMAC, salt, preview and hint.
class VLEncryptedArchiveDirectoryLocator final
{
public:
    static constexpr quint32 currentVersion = 256;

    VLEncryptedArchiveDirectoryLocator() = default;
    Q_DISABLE_COPY_MOVE(VLEncryptedArchiveDirectoryLocator)

    // The locator's bytes, "HLCT" to the "DLSZ" length field included.
    QByteArray save() const;
    // Parses a whole locator; false (and nothing changed) when it breaks any rule.
    [[nodiscard]] bool load(const QByteArray &bytes);

    quint32 version() const;
    void setVersion(quint32 version);
    quint32 flags() const;
    void setFlags(quint32 flags);
    quint64 directoryPosition() const;
    void setDirectoryPosition(quint64 position);
    quint64 directorySize() const;
    void setDirectorySize(quint64 size);
    quint64 reserved1() const;
    void setReserved1(quint64 value);
    quint64 reserved2() const;
    void setReserved2(quint64 value);
    QString passwordHint() const;
    void setPasswordHint(const QString &hint);
    QByteArray salt() const;
    void setSalt(const QByteArray &salt);
    QByteArray hmac() const;
    void setHmac(const QByteArray &hmac);
    QByteArray preview() const;
    void setPreview(const QByteArray &preview);

private:
    mutable std::mutex m_mutex;
    quint32 m_version = currentVersion;
    quint32 m_flags = 0;
    quint64 m_directoryPosition = 0;
    quint64 m_directorySize = 0;
    quint64 m_reserved1 = 0;
    quint64 m_reserved2 = 0;
    QString m_passwordHint;
    QByteArray m_salt;
    QByteArray m_hmac;
    QByteArray m_preview;
};
