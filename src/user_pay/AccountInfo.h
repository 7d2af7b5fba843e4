// The signed-in account as one value, shared by the manager, the web-API bridge and the jobs
// that sign their cloud requests with it.
#pragma once

#include <QString>

namespace user_pay {

// The account type the service gives the device-bound virtual account.
constexpr int kVirtualAccountType = 5;

struct AccountInfo
{
    QString accountId; // the account service's user name; the open id of a WeChat or QQ bind
    QString uid;       // the service's numeric user id, as text
    QString nickname;
    QString avatarUrl;
    QString token;
    int accountType = 0;
    bool isVirtualAccount = false;
};

// The service treats an account without a name or a token as nobody.
bool isUsableAccount(const AccountInfo &account);

} // namespace user_pay
