// Configuration supplied with the build (hosts, numbers, keys), overridable per key at run time.
#pragma once

#include <QString>

namespace platform {
namespace config {

// The defaults below are placeholders: a release build gets its real values from CMake cache
// variables. Any key can be replaced at run time by the INI file that the environment variable
// TVX_CONFIG names, which is how tests point the program at loopback servers.
constexpr const char kCustomerServiceHost[] = "chat.support.example";
constexpr const char kCustomerServiceQueueNumber[] = "10001";
constexpr const char kCustomerServiceGroupNumber[] = "20001";
constexpr const char kAnalyticsProductNumber[] = "1000";
constexpr const char kAnalyticsAppKey[] = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

// The override file's value of key ("group/name") when the file holds it, else fallback.
QString value(const QString &key, const QString &fallback);

QString customerServiceHost();         // "customer_service/host"
QString customerServiceQueueNumber();  // "customer_service/qtype"
QString customerServiceGroupNumber();  // "customer_service/gid"
QString analyticsProductNumber();      // "analytics/product_number"
QString analyticsAppKey();             // "analytics/app_key"

} // namespace config
} // namespace platform
