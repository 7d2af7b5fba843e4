#include "user_pay/AccountLocalStore.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/StateFile.h"
#include "user_pay/JsonValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

namespace user_pay {

namespace {

constexpr int kSchemaVersion = 1;

QString stringMember(const QJsonObject &object, const QString &key)
{
    return json::stringOf(object.value(key));
}

} // namespace

bool isUsableAccount(const AccountInfo &account)
{
    return !account.accountId.trimmed().isEmpty() && !account.token.trimmed().isEmpty();
}

QString AccountLocalStore::storageFilePath()
{
    return app::appDataFilePath(QStringLiteral("account_info.json"));
}

QJsonObject AccountLocalStore::toJsonObject(const AccountInfo &account)
{
    QJsonObject object;
    object.insert(QStringLiteral("accountId"), account.accountId);
    object.insert(QStringLiteral("accountType"), account.accountType);
    object.insert(QStringLiteral("avatarUrl"), account.avatarUrl);
    object.insert(QStringLiteral("isVirtualAccount"), account.isVirtualAccount);
    object.insert(QStringLiteral("nickname"), account.nickname);
    object.insert(QStringLiteral("schemaVersion"), kSchemaVersion);
    object.insert(QStringLiteral("token"), account.token);
    object.insert(QStringLiteral("uid"), account.uid);
    return object;
}

bool AccountLocalStore::fromJsonObject(const QJsonObject &object, AccountInfo *out)
{
    if (!out) {
        return false;
    }
    AccountInfo account;
    account.accountId = stringMember(object, QStringLiteral("accountId")).trimmed();
    account.token = stringMember(object, QStringLiteral("token")).trimmed();
    if (account.accountId.isEmpty() || account.token.isEmpty()) {
        return false;
    }
    account.uid = stringMember(object, QStringLiteral("uid")).trimmed();
    account.nickname = stringMember(object, QStringLiteral("nickname"));
    account.avatarUrl = stringMember(object, QStringLiteral("avatarUrl"));
    account.accountType = json::intOf(object.value(QStringLiteral("accountType")), 0);
    // The stored flag is for other readers; the type is what the service decides by.
    account.isVirtualAccount = account.accountType == kVirtualAccountType;
    if (account.nickname.isEmpty()) {
        account.nickname = account.accountId;
    }
    *out = account;
    return true;
}

bool AccountLocalStore::load(AccountInfo *out) const
{
    if (!out) {
        return false;
    }
    // Read at start-up on the GUI thread: a FIFO, a device or a huge file in its place must
    // neither block nor flood the start.
    QByteArray bytes;
    if (!app::readStateFile(storageFilePath(), app::kSettingsStateFileMaxBytes, &bytes)) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    return fromJsonObject(document.object(), out);
}

bool AccountLocalStore::save(const AccountInfo &account) const
{
    if (!isUsableAccount(account)) {
        return false;
    }
    const QString path = storageFilePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        return false;
    }
    const QByteArray bytes = QJsonDocument(toJsonObject(account)).toJson(QJsonDocument::Compact);
    // The token signs in as the user: the file is theirs alone from the moment it has a name.
    return app::writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool AccountLocalStore::clear() const
{
    QFile file(storageFilePath());
    if (!file.exists()) {
        return true;
    }
    return file.remove();
}

} // namespace user_pay
