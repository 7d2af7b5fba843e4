#include "platform/DeviceIdentifiers.h"

#include <QFile>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/statvfs.h>
#endif
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace platform {

namespace {

// Identifier files are a line or two; a bound keeps a strange file from costing memory.
constexpr qint64 kMaxIdentifierBytes = 256;

QString readIdentifierFile(const QString &path)
{
    if (path.isEmpty()) {
        return QString();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromLatin1(file.read(kMaxIdentifierBytes)).trimmed();
}

QString readProcessorId()
{
#if defined(__i386__) || defined(__x86_64__)
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return QString();
    }
    char text[17] = {};
    std::snprintf(text, sizeof text, "%08X%08X", edx, eax);
    return QString::fromLatin1(text);
#else
    return QString();
#endif
}

QString readVolumeSerial(const QString &path)
{
#ifdef Q_OS_UNIX
    struct statvfs info
    {
    };
    if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &info) != 0) {
        return QString();
    }
    const quint32 serial = static_cast<quint32>(info.f_fsid & 0xffffffffu);
    // Some file systems report no id at all as 0; that says nothing about this machine.
    return serial == 0 ? QString() : QString::number(serial);
#else
    Q_UNUSED(path)
    return QString();
#endif
}

} // namespace

DeviceIdentifiers readDeviceIdentifiers(const DeviceIdentifierSources &sources)
{
    DeviceIdentifiers ids;
    ids.productUuid = readIdentifierFile(sources.productUuidFile);
    if (ids.productUuid.isEmpty()) {
        // The product UUID is readable by root only on most systems.
        ids.productUuid = readIdentifierFile(sources.machineIdFile);
    }
    ids.boardSerial = readIdentifierFile(sources.boardSerialFile);
    if (sources.readProcessor) {
        ids.processorId = readProcessorId();
    }
    ids.volumeSerial = readVolumeSerial(sources.volumePath);
    return ids;
}

} // namespace platform
