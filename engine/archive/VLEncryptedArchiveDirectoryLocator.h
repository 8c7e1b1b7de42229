#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
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

    struct Fields
    {
        quint32 version = currentVersion;
        quint32 flags = 0;
        quint64 directoryPosition = 0;
        quint64 directorySize = 0;
        quint64 reserved1 = 0;
        quint64 reserved2 = 0;
        QString passwordHint;
        QByteArray salt;
        QByteArray hmac;
        QByteArray preview;
    };
    // All fields at one moment, and a change of several at once.
    Fields fields() const;
    void update(const std::function<void(Fields &)> &change);

    quint32 version() const { return fields().version; }
    void setVersion(quint32 value) { set(&Fields::version, value); }
    quint32 flags() const { return fields().flags; }
    void setFlags(quint32 value) { set(&Fields::flags, value); }
    quint64 directoryPosition() const { return fields().directoryPosition; }
    void setDirectoryPosition(quint64 value) { set(&Fields::directoryPosition, value); }
    quint64 directorySize() const { return fields().directorySize; }
    void setDirectorySize(quint64 value) { set(&Fields::directorySize, value); }
    quint64 reserved1() const { return fields().reserved1; }
    void setReserved1(quint64 value) { set(&Fields::reserved1, value); }
    quint64 reserved2() const { return fields().reserved2; }
    void setReserved2(quint64 value) { set(&Fields::reserved2, value); }
    QString passwordHint() const { return fields().passwordHint; }
    void setPasswordHint(const QString &value) { set(&Fields::passwordHint, value); }
    QByteArray salt() const { return fields().salt; }
    void setSalt(const QByteArray &value) { set(&Fields::salt, value); }
    QByteArray hmac() const { return fields().hmac; }
    void setHmac(const QByteArray &value) { set(&Fields::hmac, value); }
    QByteArray preview() const { return fields().preview; }
    void setPreview(const QByteArray &value) { set(&Fields::preview, value); }

private:
    template <typename T>
    void set(T Fields::*field, const T &value)
    {
        std::lock_guard lock(m_mutex);
        m_fields.*field = value;
    }

    mutable std::mutex m_mutex; // guards m_fields
    Fields m_fields;
};
