#include "platform/core/MachineIdentity.h"

#include <QFile>
#include <QMessageAuthenticationCode>

namespace platform {

namespace {

QByteArray derive(const QByteArray &machineId, QByteArrayView label)
{
    return QMessageAuthenticationCode::hash(label.toByteArray(), machineId, QCryptographicHash::Sha256);
}

} // namespace

std::optional<QByteArray> machineId()
{
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray id = file.read(256).trimmed();
        if (!id.isEmpty())
            return id;
    }
    return std::nullopt;
}

QString serialNumberForMachineId(const QByteArray &machineId)
{
    return QString::fromLatin1(derive(machineId, "com.nimbrel.Vaultine serial number").left(6).toHex().toUpper());
}

QString hardwareUUIDForMachineId(const QByteArray &machineId)
{
    const QString hex = QString::fromLatin1(
        derive(machineId, "com.nimbrel.Vaultine hardware UUID").left(16).toHex().toUpper());
    return hex.mid(0, 8) + u'-' + hex.mid(8, 4) + u'-' + hex.mid(12, 4) + u'-' + hex.mid(16, 4) + u'-' + hex.mid(20);
}

std::optional<QString> machineSerialNumber()
{
    const auto id = machineId();
    return id ? std::optional(serialNumberForMachineId(*id)) : std::nullopt;
}

std::optional<QString> hardwareUUID()
{
    const auto id = machineId();
    return id ? std::optional(hardwareUUIDForMachineId(*id)) : std::nullopt;
}

} // namespace platform
