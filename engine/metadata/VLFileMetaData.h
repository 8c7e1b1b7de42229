#pragma once

#include "platform/files/FileAttributes.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>

using VLExtendedAttributes = QMap<QString, QByteArray>;

// The metadata of one file or folder that a plain copy loses: attributes, extended attributes
// and access-control data, captured from one path and applied to another.
class VLFileMetaData final
{
public:
    VLFileMetaData(std::optional<platform::FileAttributes> attributes,
                   std::optional<VLExtendedAttributes> extendedAttributes,
                   std::optional<QByteArray> extendedSecurityOptions);

    // initWithFilePath: / metadataOfFile:. Null for a missing or empty path.
    static std::unique_ptr<VLFileMetaData> metadataOfFile(const QString &path);

    const std::optional<platform::FileAttributes> &attributes() const { return m_attributes; }
    const std::optional<VLExtendedAttributes> &extendedAttributes() const { return m_extendedAttributes; }
    const std::optional<QByteArray> &extendedSecurityOptions() const { return m_extendedSecurityOptions; }

    // Applies, each when present, the extended attributes, then the attributes, then the access-control data.
    void applyToFileAtPath(const QString &path) const;

    // The item's extended attributes without "com.apple.quarantine"; empty when the names cannot be listed.
    static std::optional<VLExtendedAttributes> extendedAttributesOfFile(const QString &path);
    // The 4160-byte access-control buffer; empty on failure.
    static std::optional<QByteArray> extendedSecurityOptionsOfFile(const QString &path);
    // The same two for a regular file open at fd (path names it in logs), read through the
    // descriptor; the buffer is empty when the file carries no access-control list.
    static std::optional<VLExtendedAttributes> extendedAttributesOfOpenFile(int fd);
    static std::optional<QByteArray> extendedSecurityOptionsOfOpenFile(int fd, const QString &path);
    // True when every attribute was set.
    static bool applyExtendedAttributesToFile(const VLExtendedAttributes &attributes, const QString &path);
    // True when the buffer names an access-control list, the only case in which applying it changes
    // anything (its owner and group UUIDs go only with a list).
    static bool carriesAccessControlList(const QByteArray &options);
    // True when nothing failed.
    static bool applyExtendedSecurityOptionsToFile(const QByteArray &options, const QString &path);

private:
    std::optional<platform::FileAttributes> m_attributes;
    std::optional<VLExtendedAttributes> m_extendedAttributes;
    std::optional<QByteArray> m_extendedSecurityOptions;
};
