// The sign-in bridge's handling of account web-API answers: every call type (and a few outside
// the range) with the object ids the bridge uses, the answer text as it came from the server.
// Input: one byte choosing the call type, one choosing the object id, then the answer.
#include "FuzzSupport.h"
#include "user_pay/WebUIAPIService.h"
#include "webapi/ObjectIds.h"

#include <QFile>

#include <memory>
#include <string>

namespace {

using user_pay::AccountInfo;
using user_pay::WebUIAPIService;

namespace objectid = webapi::objectid;
// Every object id the bridge uses, and one it never uses.
constexpr int kStrangerObjectId = 7;
constexpr int kObjectIds[] = {
    objectid::ServerTime,  objectid::PhoneCode,      objectid::SafePhoneCode, kStrangerObjectId,
    objectid::PhoneLogin,  objectid::QQLogin,        objectid::WeChatLogin,   objectid::VirtualAccountLogin,
    objectid::LenovoLogin, objectid::RefreshAccount, objectid::Logout,        objectid::CheckToken,
    objectid::BindPhone,   objectid::BindOpenId};

// What the manager's callbacks read of what they hear.
volatile size_t g_sink = 0;

void hear(const QString &text)
{
    g_sink = g_sink + size_t(text.size());
}

void hearAccount(const AccountInfo &a)
{
    hear(a.accountId + a.token + a.uid + a.nickname + a.avatarUrl);
    g_sink = g_sink + size_t(a.accountType) + (a.isVirtualAccount ? 1u : 0u);
}

WebUIAPIService &bridge()
{
    static const std::unique_ptr<WebUIAPIService> instance = [] {
        auto b = std::make_unique<WebUIAPIService>([] { return QStringLiteral("0123456789abcdef"); });
        // The client is made here, as the program's shared bridge makes it: its TLS library's
        // clean-up at exit then runs after the bridge is gone.
        b->initialize();
        const auto url = [](const QString &u) { hear(u); };
        const auto failure = [](int code, const QString &m) {
            g_sink = g_sink + size_t(code);
            hear(m);
        };
        const auto challenge = [](int code, const QString &m, bool c) {
            g_sink = g_sink + size_t(code) + (c ? 1u : 0u);
            hear(m);
        };
        b->setWeChatLoginUrlChangedCallback(url);
        b->setWeChatLoginSucceededCallback(hearAccount);
        b->setWeChatLoginFailedCallback(failure);
        b->setQQLoginUrlChangedCallback(url);
        b->setQQLoginSucceededCallback(hearAccount);
        b->setQQLoginFailedCallback(failure);
        b->setPhoneImageCodeChangedCallback(url);
        b->setPhoneImageCodeFailedCallback(failure);
        b->setPhoneCodeSentCallback([] { g_sink = g_sink + 1; });
        b->setPhoneCodeFailedCallback(challenge);
        b->setPhoneLoginSucceededCallback(hearAccount);
        b->setPhoneLoginFailedCallback(challenge);
        b->setLenovoLoginSucceededCallback(hearAccount);
        b->setLenovoLoginFailedCallback(failure);
        b->setVirtualAccountLoginSucceededCallback(hearAccount);
        b->setVirtualAccountLoginFailedCallback(failure);
        return b;
    }();
    return *instance;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    tvxfuzz::initialize(argc, argv);
    // A safety-challenge answer makes the bridge ask for a new image code: every host it could
    // reach is a closed loopback port.
    const QString config = QDir::home().filePath(QStringLiteral("tvx_config.ini"));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QByteArray text = "[webapi]\n";
        for (const char *key : {"app_host", "app_host_backup", "stats_host", "stats_host_backup", "page_host",
                                "page_host_backup", "update_host", "test_server"})
            text += QByteArray(key) + "=127.0.0.1:1\n";
        file.write(text);
    }
    qputenv("TVX_CONFIG", QFile::encodeName(config));
    bridge();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int callType = int(data[0] % (webapi::calltype::kCount + 2)) - 1;
    const int objectId = kObjectIds[data[1] % (sizeof(kObjectIds) / sizeof(kObjectIds[0]))];
    const std::string answer(reinterpret_cast<const char *>(data + 2), size - 2);
    WebUIAPIService::webInterfaceCallbackBridge(&bridge(), callType, objectId, answer);
    return 0;
}
