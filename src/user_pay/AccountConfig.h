// Configuration of the sign-in side: page hosts, the website's aliases and the time limit of
// the blocking account calls. Each value can be replaced through the TVX_CONFIG override file.
#pragma once

#include <QString>

namespace user_pay {
namespace config {

QString accountHost();       // the account web API's primary host; also the default website
QString loginPageHost();     // where the WeChat quick-login landing page lives
QString weChatOpenHost();    // "user_pay/wechat_open_host": WeChat's QR-connect page
QString qqOAuthHost();       // "user_pay/qq_oauth_host": QQ's OAuth login page
QString qqClientId();        // "user_pay/qq_client_id"
QString websiteAlias();      // "user_pay/website_alias": the website's bare domain
QString websiteAliasWww();   // "user_pay/website_alias_www": the same with the www label
QString productId();         // the account web API's product id
QString clientCredential();  // sent as "X-Credits:"
int blockingCallTimeoutMs(); // "user_pay/blocking_call_timeout_ms", 10000

} // namespace config
} // namespace user_pay
