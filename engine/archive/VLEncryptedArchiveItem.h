#pragma once

#include "engine/archive/VLPackedAttributes.h"
#include "engine/archive/VLPackedPath.h"
#include "engine/archive/VLTypeIdentifierTable.h"
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
    // The path, with the real path the folder followed by it: both of the above at once.
    void setPathBelowFolder(const QString &path, const QString &folder);
    platform::FileAttributes attributes() const;
    void setAttributes(const platform::FileAttributes &attributes);
    VLExtendedAttributes extendedAttributes() const;
    void setExtendedAttributes(const VLExtendedAttributes &value);
    QByteArray extendedSecurityOptions() const;
    void setExtendedSecurityOptions(const QByteArray &value);
    QString UTI() const;
    void setUTI(const QString &uti);
    std::optional<QString> linkDestination() const;
    void setLinkDestination(const std::optional<QString> &value);
    quint64 size() const { return readWide(Size); }
    void setSize(quint64 value);
    quint64 localHeaderPosition() const { return readWide(LocalHeaderPosition); }
    void setLocalHeaderPosition(quint64 value) { writeWide(LocalHeaderPosition, value); }
    quint64 fileDataPosition() const;
    void setFileDataPosition(quint64 value);
    bool compressed() const;
    void setCompressed(bool value);
    quint64 compressedSize() const { return readWide(CompressedSize); }
    void setCompressedSize(quint64 value) { writeWide(CompressedSize, value); }
    std::optional<QByteArray> hmac() const;
    void setHmac(const std::optional<QByteArray> &hmac);

    // The file type attribute, or nothing when the record carries none.
    std::optional<platform::FileType> fileType() const;

private:
    // The 64-bit fields, kept in 32 bits each unless their value needs more.
    enum Wide : quint8 { Size, LocalHeaderPosition, CompressedSize, wideCount };

    // Fields that most items never carry, allocated only while one of them holds a value.
    struct Aside
    {
        VLExtendedAttributes extendedAttributes;
        QByteArray extendedSecurityOptions; // kept unless null
        std::optional<QString> linkDestination;
        std::optional<QByteArray> hmac; // of another length than a section's
        std::optional<QString> uti;     // one the shared table does not keep
        quint64 fileDataPosition = 0;
        std::optional<quint64> attributeSize;               // one that differs from the record's size
        QString realPath;                                   // one that is not a folder followed by the path
        std::array<std::optional<quint64>, wideCount> wide; // a value that needs more than 32 bits

        bool holdsNothing() const;
    };

    enum Flag : quint8 {
        Compressed = 1 << 0,
        UtiFromName = 1 << 2,         // the type is still to be derived from the real path's name
        HmacInline = 1 << 3,          // hmacBytes holds the HMAC
        AttributeSizeIsSize = 1 << 4, // the attributes' size is the record's
    };

    // The fields as kept: packed, with the real path and the type possibly still to be derived,
    // so that a large tree's records stay small. Most records are a folder's or a small file's and
    // carry nothing aside.
    struct Stored
    {
        VLPackedPath path;
        std::unique_ptr<Aside> aside;
        // Each Wide field, or wideAside when its value is kept aside.
        static constexpr quint32 wideAside = 0xffffffff;
        std::array<quint32, wideCount> wide{};
        // A section's HMAC is 32 bytes: kept in the record itself, which spares a large tree one
        // allocation per item. A value of another length, which only a caller can set, is kept
        // aside.
        static constexpr std::size_t hmacSize = 32;
        std::array<char, hmacSize> hmacBytes{};
        VLPackedAttributes attributes;                                          // but their size
        VLTypeIdentifierTable::Index uti = VLTypeIdentifierTable::noIdentifier; // unless aside
        // The folder that path continues to make the real path, kept once for all records that
        // share it (see folderNamed), or noFolder when the real path is aside or null.
        quint16 folder = noFolder;
        quint8 flags = 0;

        quint64 currentWide(Wide field) const;
        void storeWide(Wide field, quint64 value);
        bool has(Flag flag) const { return (flags & flag) != 0; }
        void set(Flag flag, bool on) { flags = on ? quint8(flags | flag) : quint8(flags & ~flag); }
        Fields snapshot(); // derives the type first
        QString currentRealPath() const;
        void resolveUTI();
        QString currentUTI() const; // once resolved
        void storeUTI(const QString &value);
        std::optional<QByteArray> currentHmac() const;
        void storeHmac(const std::optional<QByteArray> &value);
        platform::FileAttributes currentAttributes() const;
        void storeAttributes(const platform::FileAttributes &value);
        std::optional<quint64> currentAttributeSize() const;
        void storeAttributeSize(const std::optional<quint64> &value);
        void storeSize(quint64 value); // keeps the attributes' size
        void storePath(const QString &value);
        void storeRealPath(const QString &value);
        // The path, with the real path the folder (numbered `number`) followed by it.
        void storeBelowFolder(const QString &value, const QString &folderPath, quint16 number);
        // An aside field: set when it carries a value, otherwise cleared, and the aside block
        // released once it holds nothing.
        template <typename T>
        void storeAside(T Aside::*field, const T &value, bool carries)
        {
            if (carries) {
                if (!aside)
                    aside = std::make_unique<Aside>();
                aside.get()->*field = value;
            } else if (aside) {
                aside.get()->*field = T();
                releaseEmptyAside();
            }
        }
        template <typename T>
        T readAside(T Aside::*field) const
        {
            return aside ? aside.get()->*field : T();
        }
        void releaseEmptyAside();
    };

    std::mutex &mutex() const; // guards m_stored
    // The number of the one string of a folder that records' paths continue: kept for as long as
    // the process runs, as a tree's root or a destination is, so that records name it in two
    // bytes. noFolder once the numbers have run out: such a record keeps its real path aside.
    static constexpr quint16 noFolder = 0;
    static quint16 folderNamed(const QString &path);
    static const QString &folderNumbered(quint16 number);

    quint64 readWide(Wide field) const
    {
        std::lock_guard lock(mutex());
        return m_stored.currentWide(field);
    }
    void writeWide(Wide field, quint64 value)
    {
        std::lock_guard lock(mutex());
        m_stored.storeWide(field, value);
    }

    // Mutable: the type derived on first read is kept.
    mutable Stored m_stored;
};

using VLEncryptedArchiveItemPtr = std::shared_ptr<VLEncryptedArchiveItem>;
Q_DECLARE_METATYPE(VLEncryptedArchiveItemPtr)
