// Outcome of every blocking account operation, of the account manager's bridge calls and of
// the cloud conversion service.
#pragma once

#include "webapi/ServiceCodes.h"

#include <QString>

namespace user_pay {

struct UserPayResult
{
    // What code holds; the failure signals of the account manager report the same codes.
    enum Code : int {
        Ok = 0,
        // A required argument is empty after trimming, or an output pointer is null.
        InvalidInput = 1,
        // Refused for the current state: a call of the same kind still waits, the service is not
        // ready, or the server reported the token invalid.
        Refused = 2,
        NotImplemented = 3,
        // No client, the request refused, no answer in time, or a failure answer.
        Failed = 4,
    };

    int code = Ok;
    // User-facing text, already translated, or the server's own text; empty on success.
    QString message;
    // The server's code when an answer decided the outcome; 0 when the outcome was decided
    // locally (bad input, busy, refused, time-out).
    int serviceCode = webapi::servicecode::Success;
};

} // namespace user_pay
