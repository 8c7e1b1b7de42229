#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::crypto {

// A byte buffer for key material: its bytes are wiped when it is released or replaced.
// Copies are explicit deep copies, so no secret outlives the buffer that held it.
class SecureBytes final
{
public:
    SecureBytes() = default;
    explicit SecureBytes(std::size_t size); // zero-filled
    SecureBytes(const void *data, std::size_t size);
    explicit SecureBytes(const QByteArray &bytes);
    SecureBytes(const SecureBytes &other);
    SecureBytes(SecureBytes &&other) noexcept;
    SecureBytes &operator=(const SecureBytes &other);
    SecureBytes &operator=(SecureBytes &&other) noexcept;
    ~SecureBytes();

    // The UTF-8 bytes of a text; the temporary encoding is wiped.
    static SecureBytes fromUtf8(const QString &text);

    std::uint8_t *data() { return m_data.get(); }
    const std::uint8_t *data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void clear();

    // A plain copy, for bytes that are stored enciphered anyway (key blocks) or are not secret.
    QByteArray toByteArray() const;

    friend bool operator==(const SecureBytes &a, const SecureBytes &b);

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_size = 0;
};

// Overwrites memory so that the compiler cannot drop the stores.
void cleanse(void *data, std::size_t size);
// Wipes the characters of a text it holds alone (a shared text is left to its other holders) and empties it.
void wipe(QString &text);
// Wipes the bytes of an array it holds alone and empties it.
void wipe(QByteArray &bytes);

} // namespace platform::crypto
