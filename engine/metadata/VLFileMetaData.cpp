#include "engine/metadata/VLFileMetaData.h"

#include "platform/core/Log.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/SecurityOptions.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

// Marks downloads on the original platform; a restored copy must not inherit it.
const QString quarantineName = QStringLiteral("com.apple.quarantine");

namespace Security = platform::SecurityOptions;

quint32 u32At(const QByteArray &buffer, qsizetype offset)
{
    if (offset < 0 || buffer.size() - offset < qsizetype(sizeof(quint32)))
        return 0;
    return qFromLittleEndian<quint32>(buffer.constData() + offset);
}

} // namespace

VLFileMetaData::VLFileMetaData(std::optional<platform::FileAttributes> attributes,
                               std::optional<VLExtendedAttributes> extendedAttributes,
                               std::optional<QByteArray> extendedSecurityOptions)
    : m_attributes(std::move(attributes))
    , m_extendedAttributes(std::move(extendedAttributes))
    , m_extendedSecurityOptions(std::move(extendedSecurityOptions))
{
}

std::unique_ptr<VLFileMetaData> VLFileMetaData::metadataOfFile(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<VLFileMetaData>(platform::attributesOfItemAtPath(path), extendedAttributesOfFile(path),
                                            extendedSecurityOptionsOfFile(path));
}

void VLFileMetaData::applyToFileAtPath(const QString &path) const
{
    // Extended attributes first: the system refuses them on an item its owner may not write,
    // which the permissions may be about to make it.
    if (m_extendedAttributes)
        applyExtendedAttributesToFile(*m_extendedAttributes, path);
    if (m_attributes) {
        // Callers rely on best effort: an owner that cannot be set must not stop the rest.
        [[maybe_unused]] const VLError error = platform::setAttributesOfItemAtPath(*m_attributes, path);
    }
    // The access list after the permissions: it is built on the item's mode, whose group bits
    // it keeps as the owning group's entry.
    if (m_extendedSecurityOptions)
        applyExtendedSecurityOptionsToFile(*m_extendedSecurityOptions, path);
}

namespace {

// The named attributes with a value, but the quarantine mark; none when the names are.
template <typename ValueOf>
std::optional<VLExtendedAttributes> attributesNamed(const std::optional<QStringList> &names, ValueOf valueOf)
{
    if (!names)
        return std::nullopt;
    VLExtendedAttributes attributes;
    for (const QString &name : *names) {
        if (name == quarantineName)
            continue;
        if (std::optional<QByteArray> value = valueOf(name); value && !value->isEmpty())
            attributes.insert(name, *value);
    }
    return attributes;
}

} // namespace

std::optional<VLExtendedAttributes> VLFileMetaData::extendedAttributesOfFile(const QString &path)
{
    return attributesNamed(platform::ExtendedAttributes::names(path),
                           [&path](const QString &name) { return platform::ExtendedAttributes::value(path, name); });
}

std::optional<VLExtendedAttributes> VLFileMetaData::extendedAttributesOfOpenFile(int fd)
{
    return attributesNamed(platform::ExtendedAttributes::namesOfOpenFile(fd), [fd](const QString &name) {
        return platform::ExtendedAttributes::valueOfOpenFile(fd, name);
    });
}

std::optional<QByteArray> VLFileMetaData::extendedSecurityOptionsOfOpenFile(int fd, const QString &path)
{
    QByteArray buffer;
    if (const int errorNumber = Security::readOpenFile(fd, path, buffer); errorNumber != 0) {
        platform::log(
            QStringLiteral("Error getting extended security options for path %1 errno %2").arg(path).arg(errorNumber));
        return std::nullopt;
    }
    return buffer;
}

std::optional<QByteArray> VLFileMetaData::extendedSecurityOptionsOfFile(const QString &path)
{
    QByteArray buffer;
    if (const int errorNumber = Security::read(path, buffer); errorNumber != 0) {
        platform::log(
            QStringLiteral("Error getting extended security options for path %1 errno %2").arg(path).arg(errorNumber));
        return std::nullopt;
    }
    return buffer;
}

bool VLFileMetaData::applyExtendedAttributesToFile(const VLExtendedAttributes &attributes, const QString &path)
{
    bool result = true;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        if (!platform::ExtendedAttributes::setValue(path, it.key(), it.value())) {
            platform::log(
                QStringLiteral("[File Metadata]: can't set extended attribute %1 for file %2").arg(it.key(), path));
            result = false;
        }
    }
    return result;
}

bool VLFileMetaData::carriesAccessControlList(const QByteArray &options)
{
    if (options.size() < Security::headerSize || options.size() > Security::bufferSize)
        return false;
    std::array<char, Security::headerSize> header;
    std::copy(options.cbegin(), options.cbegin() + Security::headerSize, header.begin());
    const QByteArray view = QByteArray::fromRawData(header.data(), Security::headerSize);
    return (u32At(view, Security::returnedCommonOffset) & Security::extendedSecurityBit)
           && u32At(view, Security::listReferenceOffset + 4) != 0;
}

bool VLFileMetaData::applyExtendedSecurityOptionsToFile(const QByteArray &options, const QString &path)
{
    if (options.size() < Security::headerSize || options.size() > Security::bufferSize)
        return false;
    if (!carriesAccessControlList(options))
        return true;
    QByteArray buffer(Security::bufferSize, '\0');
    std::copy(options.cbegin(), options.cend(), buffer.begin());

    const quint32 returned = u32At(buffer, Security::returnedCommonOffset);

    bool result = true;
    if (const int errorNumber = Security::write(path, Security::extendedSecurityBit, buffer); errorNumber != 0) {
        platform::log(
            QStringLiteral("Error setting extended security options for path %1 errno %2").arg(path).arg(errorNumber));
        result = false;
    }
    if (returned & Security::ownerUUIDBit) {
        if (const int errorNumber = Security::write(path, Security::ownerUUIDBit, buffer); errorNumber != 0) {
            platform::log(QStringLiteral("Error setting owner UUID for path %1 errno %2").arg(path).arg(errorNumber));
            result = false;
        }
    }
    if (returned & Security::groupUUIDBit) {
        if (const int errorNumber = Security::write(path, Security::groupUUIDBit, buffer); errorNumber != 0) {
            platform::log(QStringLiteral("Error setting group UUID for path %1 errno %2").arg(path).arg(errorNumber));
            result = false;
        }
    }
    return result;
}
