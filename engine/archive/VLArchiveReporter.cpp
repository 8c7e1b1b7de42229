#include "engine/archive/VLArchiveReporter.h"

#include "engine/archive/VLEncryptedArchive.h"

using namespace VLEncryptedArchiveConstants;

bool VLArchiveReporter::answers(VLEncryptedArchiveDelegate::Callback callback) const
{
    VLEncryptedArchiveDelegate *target = m_archive.delegate();
    return target && target->answers(callback);
}

void VLArchiveReporter::started(const QString &operation)
{
    if (answers(VLEncryptedArchiveDelegate::Callback::StartedOperation))
        m_archive.delegate()->encryptedArchiveStartedOperation(&m_archive, {{keyOperation, operation}});
}

void VLArchiveReporter::finished(const QString &operation)
{
    if (answers(VLEncryptedArchiveDelegate::Callback::FinishedOperation))
        m_archive.delegate()->encryptedArchiveFinishedOperation(&m_archive, {{keyOperation, operation}});
}

void VLArchiveReporter::error(const QString &operation, int code, const VLEncryptedArchiveItemPtr &record,
                              const VLError &lowError)
{
    if (!answers(VLEncryptedArchiveDelegate::Callback::OperationError))
        return;
    QVariantMap info{{keyOperation, operation}, {keyError, QVariant::fromValue(VLError(errorDomain, code))}};
    if (record)
        info.insert(keyItem, QVariant::fromValue(record));
    if (lowError)
        info.insert(keyUnderlyingError, QVariant::fromValue(lowError));
    m_archive.delegate()->encryptedArchiveOperationError(&m_archive, info);
}

void VLArchiveReporter::progress(const QString &operation, std::optional<double> progress,
                                 const VLEncryptedArchiveItemPtr &record, double totalProgress, bool *cancel)
{
    if (!answers(VLEncryptedArchiveDelegate::Callback::OperationProgress))
        return;
    QVariantMap info{{keyOperation, operation}, {keyTotalProgress, totalProgress}};
    if (progress)
        info.insert(keyProgress, *progress);
    if (record)
        info.insert(keyItem, QVariant::fromValue(record));
    bool stop = cancel ? *cancel : false;
    m_archive.delegate()->encryptedArchiveOperationProgress(&m_archive, info, stop);
    if (cancel)
        *cancel = stop;
}

bool VLArchiveReporter::passwordGiven()
{
    if (!answers(VLEncryptedArchiveDelegate::Callback::PasswordNeeded))
        return false;
    bool cancel = false;
    m_archive.delegate()->encryptedArchivePasswordNeeded(&m_archive, cancel);
    return !cancel;
}

bool VLArchiveReporter::acceptsHmacMismatch(const VLEncryptedArchiveItemPtr &record)
{
    quint64 action = 1;
    if (answers(VLEncryptedArchiveDelegate::Callback::HMACMismatch))
        m_archive.delegate()->encryptedArchiveHMACMismatch(&m_archive, record, action);
    return action != 1;
}
