// Outcome of every blocking account operation, of the account manager's bridge calls and of
// the cloud conversion service.
#pragma once

#include <QString>

namespace user_pay {

struct UserPayResult
{
    // 0 success, 1 invalid input, 2 refused for the current state, 3 not implemented, 4 failed.
    int code = 0;
    // User-facing text, already translated, or the server's own text; empty on success.
    QString message;
    // The server's code when an answer decided the outcome (10000 = success); 0 when the
    // outcome was decided locally (bad input, busy, refused, time-out).
    int serviceCode = 10000;
};

} // namespace user_pay
