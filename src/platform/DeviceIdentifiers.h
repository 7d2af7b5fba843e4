// The machine's raw hardware identifiers from which the device id is made.
#pragma once

#include <QString>

namespace platform {

// Each identifier as the system reports it, uncleaned; empty when it cannot be read.
struct DeviceIdentifiers
{
    QString productUuid;  // the computer's product UUID, else the installation's machine id
    QString boardSerial;  // the base board's serial number
    QString processorId;  // CPUID leaf 1 as hexadecimal (EDX then EAX), as the vendor tools show it
    QString volumeSerial; // the root volume's file-system id in decimal
};

// Where the identifiers are read; tests point them at files of their own.
struct DeviceIdentifierSources
{
    QString productUuidFile = QStringLiteral("/sys/class/dmi/id/product_uuid");
    QString machineIdFile = QStringLiteral("/etc/machine-id");
    QString boardSerialFile = QStringLiteral("/sys/class/dmi/id/board_serial");
    QString volumePath = QStringLiteral("/");
    bool readProcessor = true;
};

DeviceIdentifiers readDeviceIdentifiers(const DeviceIdentifierSources &sources = DeviceIdentifierSources());

} // namespace platform
