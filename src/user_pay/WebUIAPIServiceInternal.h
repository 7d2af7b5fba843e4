// What the bridge's files share: the texts its answers use. Not part of the library's interface.
#pragma once

#include "i18n/I18n.h"

#include <QLatin1String>
#include <QString>

namespace user_pay {
namespace detail {

inline QString catalogText(const char *key)
{
    return i18n::t(QLatin1String(key));
}

inline const char *boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace detail
} // namespace user_pay
