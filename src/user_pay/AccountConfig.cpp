#include "user_pay/AccountConfig.h"

#include "core/BuildConfig.h"

namespace user_pay {
namespace config {

namespace {
QString text(const char *key, const QString &fallback)
{
    return platform::config::value(QLatin1String(key), fallback);
}
} // namespace

QString accountHost()
{
    return platform::config::webApiAppHost();
}

QString loginPageHost()
{
    return platform::config::webApiPageHost();
}

QString weChatOpenHost()
{
    return text("user_pay/wechat_open_host", QStringLiteral("open.wechat.example"));
}

QString qqOAuthHost()
{
    return text("user_pay/qq_oauth_host", QStringLiteral("graph.qq.example"));
}

QString qqClientId()
{
    return text("user_pay/qq_client_id", QStringLiteral("100000000"));
}

QString websiteAlias()
{
    return text("user_pay/website_alias", QStringLiteral(TVX_ORGANIZATION_DOMAIN));
}

QString websiteAliasWww()
{
    return text("user_pay/website_alias_www", QStringLiteral("www." TVX_ORGANIZATION_DOMAIN));
}

QString productId()
{
    return platform::config::webApiProductId();
}

QString clientCredential()
{
    return platform::config::webApiCredits();
}

int blockingCallTimeoutMs()
{
    bool ok = false;
    const int ms = text("user_pay/blocking_call_timeout_ms", QString()).toInt(&ok);
    return ok && ms > 0 ? ms : 10000;
}

} // namespace config
} // namespace user_pay
