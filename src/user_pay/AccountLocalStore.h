// The signed-in account kept across runs in "account_info.json" in the application-data folder.
#pragma once

#include "user_pay/AccountInfo.h"

#include <QJsonObject>
#include <QString>

namespace user_pay {

// Holds no state: every call works on the file, so the manager and a job on a pool thread can
// each use their own instance. Writes replace the file by an atomic rename, so a concurrent
// reader sees the old or the new account whole, never part of one.
class AccountLocalStore
{
public:
    static QString storageFilePath();
    static QJsonObject toJsonObject(const AccountInfo &account);
    // False, with out untouched, when out is null or the object holds no usable account.
    static bool fromJsonObject(const QJsonObject &object, AccountInfo *out);

    bool load(AccountInfo *out) const;
    // Refuses an unusable account; a save that fails leaves the previous file whole.
    bool save(const AccountInfo &account) const;
    // True when the file is gone afterwards (also when there was none).
    bool clear() const;
};

} // namespace user_pay
