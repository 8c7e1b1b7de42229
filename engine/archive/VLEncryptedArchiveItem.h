#pragma once

#include "engine/archive/VLPackedAttributes.h"
#include "engine/metadata/VLFileMetaData.h"
#include "platform/core/VLError.h"
#include "platform/files/FileAttributes.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <array>
#include <memory>
#include <mutex>
#include <optional>

// One item record of a container: filled from its header records when reading, or from a
// file, folder or symbolic link on disk when writing. Records are shared between the
// container's tables, the callbacks and other threads; every property is guarded.
class VLEncryptedArchiveItem final
{
public:
    VLEncryptedArchiveItem() = default;
    Q_DISABLE_COPY_MOVE(VLEncryptedArchiveItem)

    // A record for the item at an absolute path (not following a final link), or null for
    // anything that is not a regular file, folder or symbolic link.
    static std::shared_ptr<VLEncryptedArchiveItem> itemFromPathError(const QString &path, VLError *error = nullptr);

    QString path() const;
    void setPath(const QString &path);
    QString realPath() const;
    void setRealPath(const QString &realPath);
    // The real path is the folder followed by the record's path. A tree's records share the
    // folder's string, which keeps the records of a large tree small.
    void setRealPathBelowFolder(const QString &folder);
    platform::FileAttributes attributes() const;
    void setAttributes(const platform::FileAttributes &attributes);
    VLExtendedAttributes extendedAttributes() const;
    void setExtendedAttributes(const VLExtendedAttributes &extendedAttributes);
    QByteArray extendedSecurityOptions() const;
    void setExtendedSecurityOptions(const QByteArray &options);
    QString UTI() const;
    void setUTI(const QString &uti);
    std::optional<QString> linkDestination() const;
    void setLinkDestination(const std::optional<QString> &destination);
    quint64 size() const;
    void setSize(quint64 size);
    quint64 localHeaderPosition() const;
    void setLocalHeaderPosition(quint64 position);
    quint64 fileDataPosition() const;
    void setFileDataPosition(quint64 position);
    bool compressed() const;
    void setCompressed(bool compressed);
    quint64 compressedSize() const;
    void setCompressedSize(quint64 size);
    std::optional<QByteArray> hmac() const;
    void setHmac(const std::optional<QByteArray> &hmac);

    // The file type attribute, or nothing when the record carries none.
    std::optional<platform::FileType> fileType() const;

private:
    std::mutex &mutex() const; // guards every field
    // With mutex() held:
    void resolveUTI() const;
    QString currentRealPath() const;

    QString m_path;
    QString m_realPath; // or the folder that m_path continues, with m_realPathBelowFolder
    bool m_realPathBelowFolder = false;
    VLPackedAttributes m_attributes;
    VLExtendedAttributes m_extendedAttributes;
    QByteArray m_extendedSecurityOptions;
    mutable QString m_uti;
    mutable bool m_utiFromRealPath = false; // m_uti is still to be derived from m_realPath's name
    std::optional<QString> m_linkDestination;
    quint64 m_size = 0;
    quint64 m_localHeaderPosition = 0;
    quint64 m_fileDataPosition = 0;
    bool m_compressed = false;
    quint64 m_compressedSize = 0;
    // A section's HMAC is 32 bytes: kept in the record itself, which spares a large tree one
    // allocation per item. A value of another length, which only a caller can set, is kept aside.
    static constexpr std::size_t hmacSize = 32;
    enum class HmacState : quint8 { None, Inline, Aside };
    HmacState m_hmacState = HmacState::None;
    std::array<char, hmacSize> m_hmacBytes{};
    std::unique_ptr<QByteArray> m_hmacAside;
};

using VLEncryptedArchiveItemPtr = std::shared_ptr<VLEncryptedArchiveItem>;
Q_DECLARE_METATYPE(VLEncryptedArchiveItemPtr)
