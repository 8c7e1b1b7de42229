// Opening a container and restoring its items.
#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"

#include "platform/core/Log.h"
#include "platform/crypto/CryptoFunctions.h"

#include <QSet>

#include <zlib.h>

#include <cerrno>

using namespace VLArchiveBytes;
using namespace VLEncryptedArchiveConstants;

namespace {

constexpr quint64 checkConstant = 0x3145565245534552ULL;

QString parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 ? path.left(slash) : QString();
}

VLError itemError(int code)
{
    return VLError(errorDomain, code);
}

QString describe(const platform::FileAttributes &a)
{
    QStringList parts;
    if (a.posixPermissions)
        parts << QStringLiteral("NSFilePosixPermissions = %1").arg(*a.posixPermissions);
    if (a.ownerAccountID)
        parts << QStringLiteral("NSFileOwnerAccountID = %1").arg(*a.ownerAccountID);
    if (a.groupAccountID)
        parts << QStringLiteral("NSFileGroupOwnerAccountID = %1").arg(*a.groupAccountID);
    if (a.modificationDate)
        parts << QStringLiteral("NSFileModificationDate = %1").arg(a.modificationDate->toString(Qt::ISODateWithMs));
    if (a.creationDate)
        parts << QStringLiteral("NSFileCreationDate = %1").arg(a.creationDate->toString(Qt::ISODateWithMs));
    return u'{' + parts.join(QStringLiteral("; ")) + u'}';
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Opening

void VLEncryptedArchive::openArchive(const QString &path)
{
    m_in = platform::PosixFile::openForReading(path);
    sendStarted(operationOpening);
    if (!m_in.isOpen()) {
        reportOpenErrorLowError(VLArchiveErrorOpenArchive, VLError::posix(m_in.lastError()));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_opened = true;
    }
    const std::optional<quint64> fileSize = m_in.size();
    if (!fileSize) {
        reportOpenErrorLowError(VLArchiveErrorNotAnArchive, VLError::posix(m_in.lastError()));
        return;
    }
    m_archiveSize = *fileSize;
    char head[8];
    if (!m_in.readFully(head, 4) || getU32(head) != tag("NBV1")) {
        reportOpenErrorLowError(VLArchiveErrorNotAnArchive);
        return;
    }
    if (m_archiveSize < 8 || !m_in.seek(m_archiveSize - 8) || !m_in.readFully(head, 8) || getU32(head) != tag("DLSZ")
        || quint64(getU32(head + 4)) + 4 > m_archiveSize) {
        reportOpenErrorLowError(VLArchiveErrorLocatorLength);
        return;
    }
    const quint32 locatorLength = getU32(head + 4);
    QByteArray locatorBytes(qsizetype(locatorLength), Qt::Uninitialized);
    VLEncryptedArchiveDirectoryLocator locator;
    if (locatorLength > m_archiveSize || !m_in.seek(m_archiveSize - locatorLength)
        || !m_in.readFully(locatorBytes.data(), locatorLength) || !locator.load(locatorBytes)) {
        reportOpenErrorLowError(VLArchiveErrorLocator);
        return;
    }
    if (locator.version() > VLEncryptedArchiveDirectoryLocator::currentVersion) {
        reportOpenErrorLowError(VLArchiveErrorNewerVersion);
        return;
    }

    setPasswordHint(locator.passwordHint());
    m_masterSalt = locator.salt();
    const quint32 flags = locator.flags();
    {
        std::lock_guard lock(m_mutex);
        m_encryptFiles = flags & 1;
        m_encryptDirectory = flags & 2;
        m_calculateFilesHmac = flags & 4;
        m_calculateDirectoryHmac = flags & 8;
        m_compressFiles = flags & 16;
    }
    const quint32 keyCode = (flags >> 8) & 0xff;
    if (keyCode < 1 || keyCode > 3) {
        reportOpenErrorLowError(VLArchiveErrorKeySettings);
        return;
    }
    setAESKeyBits(128 + 64 * (keyCode - 1));
    const Switches s = switches();
    const bool encrypted = s.encryptFiles || s.encryptDirectory;

    if (encrypted) {
        if (m_masterSalt.size() != 16) {
            reportOpenErrorLowError(VLArchiveErrorKeySettings);
            return;
        }
        if (password().isEmpty()) {
            bool cancel = false;
            if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::PasswordNeeded)) {
                reportOpenErrorLowError(VLArchiveErrorPasswordNeeded);
                return;
            }
            delegate()->encryptedArchivePasswordNeeded(this, cancel);
            if (cancel) {
                reportOpenErrorLowError(VLArchiveErrorPasswordNeeded);
                return;
            }
        }
        (void)deriveMasterKey(false);
        // The delegate ends this loop: it gives passwords until one fits, or cancels.
        while (!checkPasswordBlock(locator)) {
            bool cancel = false;
            if (!delegateAnswers(VLEncryptedArchiveDelegate::Callback::PasswordNeeded)) {
                reportOpenErrorLowError(VLArchiveErrorWrongPassword);
                return;
            }
            delegate()->encryptedArchivePasswordNeeded(this, cancel);
            if (cancel) {
                reportOpenErrorLowError(VLArchiveErrorWrongPassword);
                return;
            }
            (void)deriveMasterKey(false);
        }
        if (m_passwordCheckFailed) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
    }

    QByteArray stored = locator.preview();
    if (stored.isEmpty()) {
        setPreview(std::nullopt);
    } else if (!encrypted) {
        setPreview(stored);
    } else {
        if (!cryptWithMasterIvDecrypt(stored, std::nullopt, true)) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        const quint8 padding = quint8(stored.back());
        if (padding > 16) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        stored.chop(padding);
        setPreview(stored);
    }

    const quint64 directoryPosition = locator.directoryPosition();
    const quint64 directorySize = locator.directorySize();
    if (directorySize > m_archiveSize || directoryPosition > m_archiveSize - directorySize) {
        reportOpenErrorLowError(VLArchiveErrorLocator);
        return;
    }
    if (!m_in.seek(directoryPosition)) {
        reportOpenErrorLowError(VLArchiveErrorDirectoryRecord, VLError::posix(m_in.lastError()));
        return;
    }
    if (s.encryptDirectory && !beginInputDecryption(s.directoryHmac)) {
        reportOpenErrorLowError(VLArchiveErrorDecipher);
        return;
    }

    const bool answersProgress = delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress);
    quint64 remaining = directorySize;
    while (remaining > 0) {
        auto recordFailed = [this]() {
            const int systemError = m_in.lastError();
            reportOpenErrorLowError(VLArchiveErrorDirectoryRecord, systemError ? VLError::posix(systemError) : VLError());
        };
        char header[8];
        if (!inputDataOfSize(header, 8) || getU32(header) != tag("HDDR")
            || quint64(getU32(header + 4)) + 8 > remaining) {
            recordFailed();
            return;
        }
        const quint32 n = getU32(header + 4);
        QByteArray content(qsizetype(n), Qt::Uninitialized);
        auto record = std::make_shared<VLEncryptedArchiveItem>();
        if (!inputDataOfSize(content.data(), n) || !loadArchiveItemFromData(record, content)
            || record->path().isEmpty() || record->localHeaderPosition() == 0) {
            recordFailed();
            return;
        }
        // A path that could leave the destination marks a damaged directory.
        if (!isValidItemPath(record->path())) {
            reportOpenErrorLowError(VLArchiveErrorDirectoryRecord);
            return;
        }
        addToDirectory(record);
        if (answersProgress) {
            bool stop = false;
            sendProgress(operationOpening, std::nullopt, nullptr,
                         double(directorySize - remaining) * 100.0 / double(directorySize), &stop);
            if (stop) {
                reportOpenErrorLowError(VLArchiveErrorStopped);
                return;
            }
        }
        remaining -= quint64(n) + 8;
    }

    if (s.encryptDirectory) {
        if (!endInputDecryption()) {
            reportOpenErrorLowError(VLArchiveErrorDecipher);
            return;
        }
        if (s.directoryHmac && !platform::crypto::constantTimeEquals(m_lastHmac, locator.hmac())) {
            quint64 action = 1;
            if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::HMACMismatch))
                delegate()->encryptedArchiveHMACMismatch(this, nullptr, action);
            if (action == 1) {
                reportOpenErrorLowError(VLArchiveErrorDirectoryHmac);
                return;
            }
        }
    }
    sendProgress(operationOpening, std::nullopt, nullptr, 100.0, nullptr);
    sendFinished(operationOpening);
}

bool VLEncryptedArchive::checkPasswordBlock(VLEncryptedArchiveDirectoryLocator &locator)
{
    m_passwordCheckFailed = false;
    const bool whole = encryptDirectory();
    QByteArray block;
    if (whole) {
        putU64(block, locator.directoryPosition());
        putU64(block, locator.directorySize());
    }
    putU64(block, locator.reserved1());
    putU64(block, locator.reserved2());
    if (!cryptWithMasterIvDecrypt(block, std::nullopt, true)) {
        m_passwordCheckFailed = true;
        return true; // leaves the loop; the caller reports the failure
    }
    const char *at = block.constData();
    quint64 fields[4] = {locator.directoryPosition(), locator.directorySize(), 0, 0};
    const int first = whole ? 0 : 2;
    for (int i = first; i < 4; ++i)
        fields[i] = getU64(at + 8 * (i - first));
    if ((fields[2] ^ fields[3]) != checkConstant)
        return false;
    locator.setDirectoryPosition(fields[0]);
    locator.setDirectorySize(fields[1]);
    locator.setReserved1(fields[2]);
    locator.setReserved2(fields[3]);
    return true;
}

void VLEncryptedArchive::closeArchive()
{
    releaseInputStream();
    m_in.close();
    std::lock_guard lock(m_mutex);
    m_opened = false;
    m_records.clear();
    m_recordIndex.clear();
    m_foldedIndex.clear();
}

// ---------------------------------------------------------------------------------------------
// Extraction

QString VLEncryptedArchive::relativeDestination(const QString &path) const
{
    if (m_destinationPath.isEmpty() || !path.startsWith(m_destinationPath + u'/'))
        return {};
    return path.mid(m_destinationPath.size() + 1);
}

void VLEncryptedArchive::applyAttributes(const VLEncryptedArchiveItemPtr &record, const QString &path)
{
    const platform::FileAttributes attributes = record->attributes();
    if (const VLError error = platform::setAttributesOfItemAtPath(attributes, path)) {
        if (attributes.ownerAccountID.value_or(0) != 0 && attributes.groupAccountID.value_or(0) != 0)
            platform::log(QStringLiteral("Warning! setAttributes failed for item %1. Attributes %2.")
                              .arg(path, describe(attributes)));
        else
            platform::log(QStringLiteral("Warning! set root owner/group failed for item %1.").arg(path));
    }
    (void)VLFileMetaData::applyExtendedAttributesToFile(record->extendedAttributes(), path);
    const QByteArray security = record->extendedSecurityOptions();
    if (!security.isEmpty())
        (void)VLFileMetaData::applyExtendedSecurityOptionsToFile(security, path);
}

void VLEncryptedArchive::internalSetDirectoryAttributes(const VLEncryptedArchiveItemPtr &record)
{
    // After the files made inside the folder so far, which the writer's thread still creates.
    if (m_fileWriter) {
        m_fileWriter->post([this, record] { applyAttributes(record, record->realPath()); });
        return;
    }
    applyAttributes(record, record->realPath());
}

void VLEncryptedArchive::finishWrites()
{
    if (m_fileWriter)
        m_fileWriter->drain();
}

void VLEncryptedArchive::noteWriteFailure(const VLEncryptedArchiveItemPtr &record)
{
    std::lock_guard lock(m_mutex);
    if (!m_writeFailure)
        m_writeFailure = record;
}

VLEncryptedArchiveItemPtr VLEncryptedArchive::takeWriteFailure()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_writeFailure, nullptr);
}

bool VLEncryptedArchive::extractFileData(const VLEncryptedArchiveItemPtr &record, const QString &relativePath,
                                         const QString &path, VLError *error)
{
    if (!m_fileWriter)
        m_fileWriter = std::make_unique<platform::BackgroundFileWriter>();
    // The file is made, written, closed and given its metadata on the writer's thread, in order,
    // so that all of it overlaps restoring the next items. Its failures (1204) are reported at
    // the next item.
    m_fileWriter->begin([this, relativePath](int *createError) {
        return m_destination.createFile(relativePath, 0600, createError);
    });
    const bool copied = copyFileData(record, *m_fileWriter, error);
    if (!copied) {
        m_fileWriter->end({});
        return false;
    }
    m_fileWriter->end([this, record, path](int writeError) {
        if (writeError) {
            noteWriteFailure(record);
            return;
        }
        applyAttributes(record, path);
    });
    return true;
}

bool VLEncryptedArchive::copyFileData(const VLEncryptedArchiveItemPtr &record, platform::BackgroundFileWriter &writer,
                                      VLError *error)
{
    const quint64 size = record->size();
    const bool compressed = record->compressed();
    const quint64 stored = compressed ? record->compressedSize() : size;
    const bool answersProgress = delegateAnswers(VLEncryptedArchiveDelegate::Callback::OperationProgress);

    z_stream inflater{};
    bool inflating = false;
    if (compressed) {
        const int result = inflateInit(&inflater);
        if (result != Z_OK) {
            platform::log(QStringLiteral("Warning! inflateInit failed. Error %1").arg(result));
            *error = itemError(VLArchiveErrorInflate);
            return false;
        }
        inflating = true;
    }
    struct InflateEnd
    {
        z_stream *stream;
        bool *running;
        ~InflateEnd()
        {
            if (*running)
                inflateEnd(stream);
        }
    } inflateGuard{&inflater, &inflating};

    startPrefetch(stored);
    struct PrefetchStop
    {
        VLEncryptedArchive *archive;
        ~PrefetchStop() { archive->stopPrefetch(); }
    } prefetchGuard{this};

    std::vector<std::uint8_t> piece(bufferSize);
    std::vector<std::uint8_t> inflated(compressed ? bufferSize : 0);
    quint64 read = 0;
    quint64 written = 0;
    quint64 sinceReport = 0;
    bool ended = false;
    // Writes what the item produced, never past its recorded size.
    auto deliver = [&](const std::uint8_t *data, std::size_t count) {
        if (count == 0)
            return true;
        if (quint64(count) > size - written) {
            // More data than the record announces: keep what it announced and refuse the rest.
            platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(Z_DATA_ERROR));
            writer.write(data, std::size_t(size - written));
            written = size;
            *error = itemError(VLArchiveErrorInflate);
            return false;
        }
        writer.write(data, count);
        written += count;
        return true;
    };

    while (read < stored) {
        const std::size_t count = std::size_t(std::min<quint64>(bufferSize, stored - read));
        if (!inputDataOfSize(piece.data(), count)) {
            *error = itemError(VLArchiveErrorExtractItem);
            return false;
        }
        read += count;
        const bool last = read == stored;
        if (!compressed) {
            if (!deliver(piece.data(), count))
                return false;
        } else if (!ended) {
            inflater.next_in = piece.data();
            inflater.avail_in = uInt(count);
            for (;;) {
                inflater.next_out = inflated.data();
                inflater.avail_out = uInt(inflated.size());
                const int result = inflate(&inflater, Z_NO_FLUSH);
                if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                    platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(result));
                    *error = itemError(VLArchiveErrorInflate);
                    return false;
                }
                const std::size_t produced = inflated.size() - inflater.avail_out;
                if (!deliver(inflated.data(), produced))
                    return false;
                if (result == Z_STREAM_END) {
                    ended = true;
                    break;
                }
                if (last && produced == 0) {
                    // The stream stops before its end mark.
                    platform::log(QStringLiteral("Warning! inflate failed. Error %1").arg(result));
                    *error = itemError(VLArchiveErrorInflate);
                    return false;
                }
                if (!last && inflater.avail_out != 0)
                    break;
            }
        }
        sinceReport += count;
        if (answersProgress && sinceReport >= size / 200) {
            sinceReport = 0;
            const double progress = size == 0 ? 100.0 : double(written) * 100.0 / double(size);
            const double total =
                m_operationTotal == 0 ? 100.0 : double(m_processed + written) * 100.0 / double(m_operationTotal);
            reportExtractProgressForItemTotalProgressCancel(progress, record, total, &m_extractCancel);
            if (m_extractCancel)
                break;
        }
    }
    if (written != size)
        platform::log(QStringLiteral("Warning! Processed size differs from item size for file %1.").arg(record->path()));
    return true;
}

bool VLEncryptedArchive::internalExtractItemToPathError(const VLEncryptedArchiveItemPtr &record, const QString &path,
                                                        VLError *error)
{
    *error = VLError();
    const Switches s = switches();
    m_lastHmac.clear();
    const quint64 position = record->localHeaderPosition();
    if (!m_in.seek(position)) {
        *error = itemError(VLArchiveErrorSeekItem);
        return false;
    }
    if (s.encryptFiles && !beginInputDecryption(s.filesHmac)) {
        *error = itemError(VLArchiveErrorDecipher);
        return false;
    }
    char header[8];
    if (!inputDataOfSize(header, 8) || getU32(header) != tag("HDLC")) {
        *error = itemError(VLArchiveErrorLocalRecord);
        return false;
    }
    const quint32 n = getU32(header + 4);
    if (position > m_archiveSize || quint64(n) > m_archiveSize - position) {
        *error = itemError(VLArchiveErrorLocalRecord);
        return false;
    }
    QByteArray content(qsizetype(n), Qt::Uninitialized);
    if (!inputDataOfSize(content.data(), n)) {
        *error = itemError(VLArchiveErrorSeekItem);
        return false;
    }
    const QString directoryPath = record->path();
    if (!loadArchiveItemFromData(record, content)) {
        *error = itemError(VLArchiveErrorLocalRecord);
        return false;
    }
    if (!isValidItemPath(record->path())) {
        // The damaged path is not kept: reports name the item as the directory knows it.
        record->setPath(directoryPath);
        *error = itemError(VLArchiveErrorLocalRecord);
        return false;
    }

    const QString relative = relativeDestination(path);
    const std::optional<platform::FileType> type = record->fileType();
    if (type == platform::FileType::Directory) {
        if (const int result = m_destination.createFolder(relative)) {
            *error = VLError::posix(result);
            return false;
        }
        m_processed += record->size();
    } else if (type == platform::FileType::SymbolicLink) {
        if (const int result = m_destination.createSymbolicLink(relative, record->linkDestination().value_or(QString()))) {
            *error = VLError::posix(result);
            return false;
        }
    } else if (type == platform::FileType::Regular) {
        if (!extractFileData(record, relative, path, error))
            return false;
        m_processed += record->size();
    } else {
        *error = itemError(VLArchiveErrorItemType);
        return false;
    }

    if (s.encryptFiles && !endInputDecryption()) {
        *error = itemError(VLArchiveErrorDecipher);
        return false;
    }
    if (s.filesHmac) {
        const std::optional<QByteArray> expected = record->hmac();
        if (!expected || !platform::crypto::constantTimeEquals(m_lastHmac, *expected)) {
            quint64 action = 1;
            if (delegateAnswers(VLEncryptedArchiveDelegate::Callback::HMACMismatch))
                delegate()->encryptedArchiveHMACMismatch(this, record, action);
            if (action == 1) {
                *error = itemError(VLArchiveErrorItemHmac);
                return false;
            }
        }
    }
    if (m_extractCancel)
        return false;
    const double total = m_operationTotal == 0 ? 100.0 : double(m_processed) * 100.0 / double(m_operationTotal);
    reportExtractProgressForItemTotalProgressCancel(100.0, record, total, &m_extractCancel);
    record->setRealPath(path);
    return true;
}

void VLEncryptedArchive::extractAllItems(const QString &path)
{
    sendStarted(operationExtraction);
    if (!isOpened()) {
        reportExtractErrorForItemLowError(VLArchiveErrorNotOpen, nullptr);
        return;
    }
    QString destination = path;
    while (destination.size() > 1 && destination.endsWith(u'/'))
        destination.chop(1);
    if (!platform::isExistingFolder(destination) || m_destination.open(destination) != 0) {
        reportExtractErrorForItemLowError(VLArchiveErrorDestination, nullptr);
        return;
    }
    m_destinationPath = destination;
    struct Reset
    {
        VLEncryptedArchive *archive;
        ~Reset()
        {
            archive->finishWrites();
            archive->m_destination = platform::ConfinedFolder();
            archive->m_destinationPath.clear();
        }
    } reset{this};

    const QList<VLEncryptedArchiveItemPtr> records = fileRecords();
    m_operationTotal = 0;
    for (const VLEncryptedArchiveItemPtr &record : records)
        m_operationTotal += record->size();
    m_processed = 0;
    m_extractCancel = false;
    reportExtractProgressForItemTotalProgressCancel(0, nullptr, 0, &m_extractCancel);
    if (m_extractCancel) {
        reportExtractErrorForItemLowError(VLArchiveErrorStopped, nullptr);
        return;
    }

    // Restored paths, spelled exactly: on a case-sensitive file system "/A" and "/a" are two items.
    QSet<QString> restored;
    for (const VLEncryptedArchiveItemPtr &record : records) {
        const QString recordPath = record->path();
        if (restored.contains(recordPath))
            continue;
        QList<VLEncryptedArchiveItemPtr> chain{record};
        for (QString parent = parentPath(recordPath); parent.size() >= 2; parent = parentPath(parent)) {
            if (restored.contains(parent))
                break;
            const VLEncryptedArchiveItemPtr parentRecord = recordAtPath(parent);
            if (!parentRecord) {
                platform::log(
                    QStringLiteral("Warning! Archive error : invalid tree structure, no parent folder for %1").arg(recordPath));
                break;
            }
            if (restored.contains(parentRecord->path()) || chain.contains(parentRecord))
                break;
            chain.append(parentRecord);
        }
        for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
            const VLEncryptedArchiveItemPtr &item = *it;
            VLError error;
            if (!internalExtractItemToPathError(item, destination + item->path(), &error)) {
                finishWrites();
                if (m_extractCancel)
                    reportExtractErrorForItemLowError(VLArchiveErrorStopped, item);
                else
                    reportExtractErrorForItemLowError(VLArchiveErrorExtractItem, item, error);
                return;
            }
            if (const VLEncryptedArchiveItemPtr failed = takeWriteFailure()) {
                finishWrites();
                reportExtractErrorForItemLowError(VLArchiveErrorExtractItem, failed, itemError(VLArchiveErrorCreateItem));
                return;
            }
            restored.insert(item->path());
        }
        for (const VLEncryptedArchiveItemPtr &item : chain) {
            if (item->fileType() == platform::FileType::Directory)
                internalSetDirectoryAttributes(item);
        }
    }
    finishWrites();
    if (const VLEncryptedArchiveItemPtr failed = takeWriteFailure()) {
        reportExtractErrorForItemLowError(VLArchiveErrorExtractItem, failed, itemError(VLArchiveErrorCreateItem));
        return;
    }
    reportExtractProgressForItemTotalProgressCancel(100, nullptr, 100, nullptr);
    sendFinished(operationExtraction);
}
