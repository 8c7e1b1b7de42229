#include "engine/archive/VLEncryptedArchiveDelegate.h"

void VLEncryptedArchiveDelegate::encryptedArchiveStartedOperation(VLEncryptedArchive *, const QVariantMap &)
{
}

void VLEncryptedArchiveDelegate::encryptedArchiveOperationProgress(VLEncryptedArchive *, const QVariantMap &, bool &)
{
}

void VLEncryptedArchiveDelegate::encryptedArchiveOperationError(VLEncryptedArchive *, const QVariantMap &)
{
}

void VLEncryptedArchiveDelegate::encryptedArchiveFinishedOperation(VLEncryptedArchive *, const QVariantMap &)
{
}

void VLEncryptedArchiveDelegate::encryptedArchivePasswordNeeded(VLEncryptedArchive *, bool &)
{
}

void VLEncryptedArchiveDelegate::encryptedArchiveHMACMismatch(VLEncryptedArchive *, const VLEncryptedArchiveItemPtr &,
                                                              quint64 &)
{
}
