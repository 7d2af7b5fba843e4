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

namespace {
QString text(const char *key, const char *fallback)
{
    return value(QLatin1String(key), QString::fromUtf8(fallback));
}
int milliseconds(const char *key, int fallback)
{
    bool ok = false;
    const int v = value(QLatin1String(key), QString()).toInt(&ok);
    return ok && v > 0 ? v : fallback;
}
} // namespace

QString webApiAppHost()
{
    return text("webapi/app_host", TVX_WEBAPI_APP_HOST);
}
QString webApiAppHostBackup()
{
    return text("webapi/app_host_backup", TVX_WEBAPI_APP_HOST_BACKUP);
}
QString webApiStatsHost()
{
    return text("webapi/stats_host", TVX_WEBAPI_STATS_HOST);
}
QString webApiStatsHostBackup()
{
    return text("webapi/stats_host_backup", TVX_WEBAPI_STATS_HOST_BACKUP);
}
QString webApiPageHost()
{
    return text("webapi/page_host", TVX_WEBAPI_PAGE_HOST);
}
QString webApiPageHostBackup()
{
    return text("webapi/page_host_backup", TVX_WEBAPI_PAGE_HOST_BACKUP);
}
QString webApiTestServer()
{
    return text("webapi/test_server", TVX_WEBAPI_TEST_SERVER);
}
QString webApiProductId()
{
    return text("webapi/product_id", TVX_WEBAPI_PRODUCT_ID);
}
QString webApiVersion()
{
    return text("webapi/version", TVX_WEBAPI_VERSION);
}
QString webApiCredits()
{
    return text("webapi/credits", TVX_WEBAPI_CREDITS);
}
QString webApiCaFile()
{
    return text("webapi/ca_file", TVX_WEBAPI_CA_FILE);
}

bool webApiInsecureTls()
{
    const QString v =
        value(QStringLiteral("webapi/insecure_tls_for_test_server"), QString()).trimmed().toLower();
    return v == QLatin1String("true") || v == QLatin1String("1");
}

int webApiRequestTimeoutMs()
{
    return milliseconds("webapi/request_timeout_ms", 10000);
}
int webApiServerTimeTimeoutMs()
{
    return milliseconds("webapi/server_time_timeout_ms", 20000);
}
int webApiProbeTimeoutMs()
{
    return milliseconds("webapi/probe_timeout_ms", 5000);
}

int webApiDataTimeoutMs()
{
    return milliseconds("webapi/data_timeout_ms", 20000);
}

int webApiDownloadTimeoutMs()
{
    return milliseconds("webapi/download_timeout_ms", 1500000);
}

int webApiStatsTimeoutMs()
{
    return milliseconds("webapi/stats_timeout_ms", 3000);
}

QString webApiUpdateHost()
{
    return text("webapi/update_host", TVX_WEBAPI_UPDATE_HOST);
}

QString cloudHost()
{
    const QString host = text("cloud/host", TVX_CLOUD_HOST).trimmed();
    return host.isEmpty() ? webApiAppHost() : host;
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
