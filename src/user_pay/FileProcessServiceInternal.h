// What the cloud conversion client's files share: the server's success code, the outcomes they
// build and the small body helpers. Not part of the library's interface.
#pragma once

#include "user_pay/UserPayResult.h"

#include <QJsonObject>
#include <QLatin1String>
#include <QString>

namespace user_pay {
namespace detail {

constexpr int kSuccessCode = 10000;

inline UserPayResult ok()
{
    return UserPayResult{0, QString(), kSuccessCode};
}

inline UserPayResult failure(int code, const QString &message, int serviceCode = 0)
{
    return UserPayResult{code, message, serviceCode};
}

inline bool blank(const QString &text)
{
    return text.trimmed().isEmpty();
}

inline void setIfNotBlank(QJsonObject *object, const char *key, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.isEmpty())
        object->insert(QLatin1String(key), trimmed);
}

} // namespace detail
} // namespace user_pay
