#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Stable identifiers of this machine for analytics and links. The raw machine id never leaves
// the process: each identifier is an HMAC-SHA256 keyed with the machine id over a fixed label,
// so the identifiers cannot be joined back to it. Without a machine id there is none.

// A 12-character upper-case hexadecimal "serial number".
std::optional<QString> machineSerialNumber();
// A hardware UUID text in the form "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (upper case).
std::optional<QString> hardwareUUID();

// The same derivations for a given machine id (the contents of /etc/machine-id).
QString serialNumberForMachineId(const QByteArray &machineId);
QString hardwareUUIDForMachineId(const QByteArray &machineId);

// The machine id as read from /etc/machine-id or /var/lib/dbus/machine-id; nullopt when neither holds one.
std::optional<QByteArray> machineId();

} // namespace platform
