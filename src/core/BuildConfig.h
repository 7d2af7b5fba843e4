// Configuration supplied with the build (hosts, numbers, keys), overridable per key at run time.
#pragma once

#include "tvx_build_config.h"

#include <QString>

namespace platform {
namespace config {

// Defaults come from CMake cache variables (placeholders unless a release build sets them). Any key can be
// replaced at run time by the INI file that the environment variable TVX_CONFIG names, which is how tests
// point the program at loopback servers.
constexpr const char kCustomerServiceHost[] = TVX_CUSTOMER_SERVICE_HOST;
constexpr const char kCustomerServiceQueueNumber[] = TVX_CUSTOMER_SERVICE_QTYPE;
constexpr const char kCustomerServiceGroupNumber[] = TVX_CUSTOMER_SERVICE_GID;
constexpr const char kAnalyticsProductNumber[] = TVX_ANALYTICS_PRODUCT_NUMBER;
constexpr const char kAnalyticsAppKey[] = TVX_ANALYTICS_APP_KEY;
constexpr const char kLenovoAppId[] = TVX_LENOVO_APP_ID;
constexpr const char kLenovoMerchantId[] = TVX_LENOVO_MCH_ID;
constexpr const char kLenovoAppKey[] = TVX_LENOVO_APP_KEY;

// The override file's value of key ("group/name") when the file holds it, else fallback.
QString value(const QString &key, const QString &fallback);

QString customerServiceHost();        // "customer_service/host"
QString customerServiceQueueNumber(); // "customer_service/qtype"
QString customerServiceGroupNumber(); // "customer_service/gid"
QString analyticsProductNumber();     // "analytics/product_number"
QString analyticsAppKey();            // "analytics/app_key"

// Account web API. Hosts are bare host names, optionally with ":port".
QString webApiAppHost();         // "webapi/app_host"
QString webApiAppHostBackup();   // "webapi/app_host_backup"
QString webApiStatsHost();       // "webapi/stats_host"
QString webApiStatsHostBackup(); // "webapi/stats_host_backup"
QString webApiPageHost();        // "webapi/page_host"
QString webApiPageHostBackup();  // "webapi/page_host_backup"
QString webApiTestServer();      // "webapi/test_server"
QString webApiProductId();       // "webapi/product_id"
QString webApiVersion();         // "webapi/version"
QString webApiCredits();         // "webapi/credits"
// CA bundle that verifies the account hosts' certificates; empty means the system store.
QString webApiCaFile(); // "webapi/ca_file"
// Test servers only: accept any certificate. Only the override file can turn it on.
bool webApiInsecureTls(); // "webapi/insecure_tls_for_test_server"
// Timing profile of the web client (milliseconds); the override file shortens them in tests.
int webApiRequestTimeoutMs();    // "webapi/request_timeout_ms", 10000
int webApiServerTimeTimeoutMs(); // "webapi/server_time_timeout_ms", 20000
int webApiProbeTimeoutMs();      // "webapi/probe_timeout_ms", 5000
int webApiDataTimeoutMs();       // "webapi/data_timeout_ms", 20000
int webApiDownloadTimeoutMs();   // "webapi/download_timeout_ms", 1500000
int webApiStatsTimeoutMs();      // "webapi/stats_timeout_ms", 3000
QString webApiUpdateHost();      // "webapi/update_host"

// Cloud conversion API host (bare host name, optionally with ":port"); the primary account
// host when neither the build nor the override file names one. Its certificate is checked
// against webApiCaFile().
QString cloudHost(); // "cloud/host"

// The vendor account SDK's application information.
QString lenovoAppId();      // "lenovo_sdk/appid"
QString lenovoMerchantId(); // "lenovo_sdk/mch_id"
QString lenovoAppKey();     // "lenovo_sdk/key"

} // namespace config
} // namespace platform
