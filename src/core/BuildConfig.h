// Configuration supplied with the build (hosts, numbers, keys), overridable per key at run time.
#pragma once

#include "tvx_build_config.h"

#include <QString>

namespace platform {
namespace config {

// Defaults come from CMake cache variables (placeholders unless a release build sets them). Any key can be replaced at run time by the INI file that the environment variable
// TVX_CONFIG names, which is how tests point the program at loopback servers.
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

QString customerServiceHost();         // "customer_service/host"
QString customerServiceQueueNumber();  // "customer_service/qtype"
QString customerServiceGroupNumber();  // "customer_service/gid"
QString analyticsProductNumber();      // "analytics/product_number"
QString analyticsAppKey();             // "analytics/app_key"
QString lenovoAppId();                 // "lenovo_sdk/appid"
QString lenovoMerchantId();            // "lenovo_sdk/mch_id"
QString lenovoAppKey();                // "lenovo_sdk/key"

} // namespace config
} // namespace platform
