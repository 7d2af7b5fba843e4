// Build configuration values with the TVX_CONFIG run-time override.
#include "core/BuildConfig.h"

#include <QFileInfo>
#include <QSettings>

namespace platform {
namespace config {

QString value(const QString &key, const QString &fallback)
{
    const QString overridePath = qEnvironmentVariable("TVX_CONFIG").trimmed();
    if (overridePath.isEmpty() || !QFileInfo(overridePath).isFile())
        return fallback;
    // Read afresh on every call: the file is tiny, and callers on any thread get their own
    // settings object.
    const QSettings settings(overridePath, QSettings::IniFormat);
    const QVariant v = settings.value(key);
    return v.isValid() ? v.toString() : fallback;
}

QString customerServiceHost()
{
    return value(QStringLiteral("customer_service/host"), QString::fromLatin1(kCustomerServiceHost));
}

QString customerServiceQueueNumber()
{
    return value(QStringLiteral("customer_service/qtype"), QString::fromLatin1(kCustomerServiceQueueNumber));
}

QString customerServiceGroupNumber()
{
    return value(QStringLiteral("customer_service/gid"), QString::fromLatin1(kCustomerServiceGroupNumber));
}

QString analyticsProductNumber()
{
    return value(QStringLiteral("analytics/product_number"), QString::fromLatin1(kAnalyticsProductNumber));
}

QString analyticsAppKey()
{
    return value(QStringLiteral("analytics/app_key"), QString::fromLatin1(kAnalyticsAppKey));
}

QString lenovoAppId()
{
    return value(QStringLiteral("lenovo_sdk/appid"), QString::fromLatin1(kLenovoAppId));
}

QString lenovoMerchantId()
{
    return value(QStringLiteral("lenovo_sdk/mch_id"), QString::fromLatin1(kLenovoMerchantId));
}

QString lenovoAppKey()
{
    return value(QStringLiteral("lenovo_sdk/key"), QString::fromLatin1(kLenovoAppKey));
}

} // namespace config
} // namespace platform
