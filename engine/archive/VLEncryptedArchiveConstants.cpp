#include "engine/archive/VLEncryptedArchiveConstants.h"

namespace VLEncryptedArchiveConstants {

const QString errorDomain = QStringLiteral("VLEncryptedArchiveErrorDomain");

const QString operationAddition = QStringLiteral("EncryptedArchiveOperationAddition");
const QString operationOpening = QStringLiteral("EncryptedArchiveOperationOpening");
const QString operationSaving = QStringLiteral("EncryptedArchiveOperationSaving");
const QString operationExtraction = QStringLiteral("EncryptedArchiveOperationExtraction");

const QString keyError = QStringLiteral("error");
const QString keyUnderlyingError = QStringLiteral("underlying_error");
const QString keyItem = QStringLiteral("item");
const QString keyOperation = QStringLiteral("operation");
const QString keyProgress = QStringLiteral("progress");
const QString keyTotalProgress = QStringLiteral("total_progress");

} // namespace VLEncryptedArchiveConstants
