#include "user_pay/AccountLocalStore.h"

#include "core/AppPaths.h"
#include "core/StateFile.h"
#include "user_pay/JsonValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace user_pay {

namespace {

constexpr int kVirtualAccountType = 5;
constexpr int kSchemaVersion = 1;

QString stringMember(const QJsonObject &object, const QString &key)
{
    return json::stringOf(object.value(key));
}

#ifdef Q_OS_UNIX
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}
#endif

// The file is replaced by one rename, so it is never missing nor half-written, and a failure
// leaves the old one as it was. On Linux, QSaveFile (Qt 5.15) writes an unnamed temporary file
// and commits it by deleting the old file before linking the new one: a reader can find no file
// at all, and a failed link loses the account. Hence a named temporary file and rename(2) there.
// The temporary file is created private to the user (0600): the token signs in as the user.
bool replaceFile(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
#else
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
#endif
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
    return replaceFile(path, bytes);
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
