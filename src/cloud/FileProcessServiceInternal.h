// What the cloud conversion client's files share: the outcomes they build and the small body
// helpers. Not part of the library's interface.
#pragma once

#include "user_pay/UserPayResult.h"

#include <QJsonObject>
#include <QLatin1String>
#include <QString>

namespace user_pay {
namespace detail {

inline UserPayResult ok()
{
    return UserPayResult{UserPayResult::Ok, QString(), webapi::servicecode::Success};
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
