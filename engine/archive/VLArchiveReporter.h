#pragma once

#include "engine/archive/VLEncryptedArchiveDelegate.h"
#include "platform/core/VLError.h"

#include <QString>

#include <optional>

class VLEncryptedArchive;

// Sends one container's callbacks to its delegate, on the thread that runs the operation, and
// only those the delegate answers.
class VLArchiveReporter final
{
public:
    explicit VLArchiveReporter(VLEncryptedArchive &archive) : m_archive(archive) {}
    Q_DISABLE_COPY_MOVE(VLArchiveReporter)

    bool answers(VLEncryptedArchiveDelegate::Callback callback) const;
    void started(const QString &operation);
    void finished(const QString &operation);
    void error(const QString &operation, int code, const VLEncryptedArchiveItemPtr &record, const VLError &lowError);
    // A stop asked by the delegate is added to *cancel.
    void progress(const QString &operation, std::optional<double> progress, const VLEncryptedArchiveItemPtr &record,
                  double totalProgress, bool *cancel);
    // True when the delegate gave a password; false when it cancelled or does not answer.
    bool passwordGiven();
    // True when the delegate lets a mismatched HMAC through (the record is null for the directory).
    bool acceptsHmacMismatch(const VLEncryptedArchiveItemPtr &record);

private:
    VLEncryptedArchive &m_archive;
};
