#include "user_pay/UUIDProvider.h"

#include "platform/DeviceIdentifiers.h"

#include <QCryptographicHash>

namespace {

QString cleaned(const QString &raw)
{
    QString text;
    text.reserve(raw.size());
    for (const QChar c : raw) {
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QLatin1Char(' ') &&
            c != QLatin1Char('-') && c != QLatin1Char('_')) {
            text.append(c);
        }
    }
    return text;
}

} // namespace

QString UUIDProvider::getUuid()
{
    const platform::DeviceIdentifiers ids = platform::readDeviceIdentifiers();
    return combine(ids.productUuid, ids.boardSerial, ids.processorId, ids.volumeSerial);
}

QString UUIDProvider::combine(const QString &productUuid, const QString &boardSerial,
                              const QString &processorId, const QString &volumeSerial,
                              const QString &fallback)
{
    const QString joined =
        cleaned(productUuid) + cleaned(boardSerial) + cleaned(processorId) + cleaned(volumeSerial);
    if (joined.isEmpty()) {
        return fallback;
    }
    return QString::fromLatin1(QCryptographicHash::hash(joined.toLatin1(), QCryptographicHash::Md5).toHex());
}
