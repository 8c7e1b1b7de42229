#pragma once

#include "engine/archive/VLPackedAttributes.h"
#include "engine/metadata/VLFileMetaData.h"
#include "platform/core/VLError.h"
#include "platform/files/FileAttributes.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One item record of a container: filled from its header records when reading, or from a
// file, folder or symbolic link on disk when writing. Records are shared between the
// container's tables, the callbacks and other threads; all fields share one lock.
class VLEncryptedArchiveItem final
{
public:
    VLEncryptedArchiveItem() = default;
    Q_DISABLE_COPY_MOVE(VLEncryptedArchiveItem)

    // A record for the item at an absolute path (not following a final link), or null for
    // anything that is not a regular file, folder or symbolic link.
    static std::shared_ptr<VLEncryptedArchiveItem> itemFromPathError(const QString &path, VLError *error = nullptr);

    // The record's properties as one value, read or changed together under the record's lock,
    // so that no reader sees fields from different moments.
    struct Fields
    {
        QString path;
        QString realPath;
        platform::FileAttributes attributes;
        VLExtendedAttributes extendedAttributes;
        QByteArray extendedSecurityOptions;
        QString uti;
        std::optional<QString> linkDestination;
        quint64 size = 0;
        quint64 localHeaderPosition = 0;
        quint64 fileDataPosition = 0;
        bool compressed = false;
        quint64 compressedSize = 0;
        std::optional<QByteArray> hmac;
    };
    Fields fields() const;
    // Changes any fields at once; a changed path keeps the real path it had, as setPath() does.
    // The change runs under a lock that records share: it must not call any record.
    void update(const std::function<void(Fields &)> &change);

    QString path() const;
    void setPath(const QString &path);
    QString realPath() const;
    void setRealPath(const QString &realPath);
    // The real path is the folder followed by the record's path. A tree's records share the
    // folder's string, which keeps the records of a large tree small.
    void setRealPathBelowFolder(const QString &folder);
    platform::FileAttributes attributes() const;
    void setAttributes(const platform::FileAttributes &attributes);
    VLExtendedAttributes extendedAttributes() const { return read(&Stored::extendedAttributes); }
    void setExtendedAttributes(const VLExtendedAttributes &value) { write(&Stored::extendedAttributes, value); }
    QByteArray extendedSecurityOptions() const { return read(&Stored::extendedSecurityOptions); }
    void setExtendedSecurityOptions(const QByteArray &value) { write(&Stored::extendedSecurityOptions, value); }
    QString UTI() const;
    void setUTI(const QString &uti);
    std::optional<QString> linkDestination() const { return read(&Stored::linkDestination); }
    void setLinkDestination(const std::optional<QString> &value) { write(&Stored::linkDestination, value); }
    quint64 size() const { return read(&Stored::size); }
    void setSize(quint64 value) { write(&Stored::size, value); }
    quint64 localHeaderPosition() const { return read(&Stored::localHeaderPosition); }
    void setLocalHeaderPosition(quint64 value) { write(&Stored::localHeaderPosition, value); }
    quint64 fileDataPosition() const { return read(&Stored::fileDataPosition); }
    void setFileDataPosition(quint64 value) { write(&Stored::fileDataPosition, value); }
    bool compressed() const { return read(&Stored::compressed); }
    void setCompressed(bool value) { write(&Stored::compressed, value); }
    quint64 compressedSize() const { return read(&Stored::compressedSize); }
    void setCompressedSize(quint64 value) { write(&Stored::compressedSize, value); }
    std::optional<QByteArray> hmac() const;
    void setHmac(const std::optional<QByteArray> &hmac);

    // The file type attribute, or nothing when the record carries none.
    std::optional<platform::FileType> fileType() const;

private:
    // The fields as kept: packed, with the real path and the type possibly still to be derived,
    // so that a large tree's records stay small.
    struct Stored
    {
        QString path;
        QString realPath; // or the folder that path continues, with realPathBelowFolder
        bool realPathBelowFolder = false;
        VLPackedAttributes attributes;
        VLExtendedAttributes extendedAttributes;
        QByteArray extendedSecurityOptions;
        QString uti;
        bool utiFromRealPath = false; // uti is still to be derived from realPath's name
        std::optional<QString> linkDestination;
        quint64 size = 0;
        quint64 localHeaderPosition = 0;
        quint64 fileDataPosition = 0;
        bool compressed = false;
        quint64 compressedSize = 0;
        // A section's HMAC is 32 bytes: kept in the record itself, which spares a large tree one
        // allocation per item. A value of another length, which only a caller can set, is kept
        // aside.
        static constexpr std::size_t hmacSize = 32;
        enum class HmacState : quint8 { None, Inline, Aside };
        HmacState hmacState = HmacState::None;
        std::array<char, hmacSize> hmacBytes{};
        std::unique_ptr<QByteArray> hmacAside;

        Fields snapshot(); // derives the type first
        QString currentRealPath() const;
        void resolveUTI();
        std::optional<QByteArray> currentHmac() const;
        void storeHmac(const std::optional<QByteArray> &value);
        void storePath(const QString &value);
        void storeRealPath(const QString &value);
    };

    std::mutex &mutex() const; // guards m_stored

    template <typename T>
    T read(T Stored::*field) const
    {
        std::lock_guard lock(mutex());
        return m_stored.*field;
    }
    template <typename T>
    void write(T Stored::*field, const T &value)
    {
        std::lock_guard lock(mutex());
        m_stored.*field = value;
    }

    // Mutable: the type derived on first read is kept.
    mutable Stored m_stored;
};

using VLEncryptedArchiveItemPtr = std::shared_ptr<VLEncryptedArchiveItem>;
Q_DECLARE_METATYPE(VLEncryptedArchiveItemPtr)
