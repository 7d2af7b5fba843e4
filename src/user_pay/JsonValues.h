// Reading members of the account service's JSON answers without trusting their types.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cmath>
#include <limits>

namespace user_pay {
namespace json {

// The value as an int when it is a JSON number holding a whole number in range, else fallback.
// (QJsonValue::toInt converts out-of-range doubles with undefined behaviour.)
inline int intOf(const QJsonValue &value, int fallback)
{
    if (!value.isDouble()) {
        return fallback;
    }
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < double(std::numeric_limits<int>::min()) ||
        d > double(std::numeric_limits<int>::max())) {
        return fallback;
    }
    return static_cast<int>(d);
}

inline QString stringOf(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

} // namespace json
} // namespace user_pay
