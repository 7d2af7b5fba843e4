// Account web-API client: request frame, signature, server time and error texts.
#include "webapi/WebInterface.h"

#include "core/BuildConfig.h"
#include "webapi/CallTypes.h"
#include "webapi/DebugOutput.h"
#include "webapi/Md5.h"
#include "webapi/QxUrlList.h"
#include "webapi/RequestText.h"
#include "webapi/WideText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace calltype = webapi::calltype;

namespace {

std::atomic<std::time_t (*)(std::time_t *)> g_clock{&std::time};

void debugLine(const std::string &message)
{
    webapi::debugOutput("[WEBINTERFACE][DEBUG] " + message + "\n");
}

// Appends text to a fixed buffer; false when it would not fit with its terminating NUL.
bool append(char *buffer, size_t &used, const std::string &text)
{
    if (used + text.size() >= size_t(WebInterface::kBufferSize))
        return false;
    std::memcpy(buffer + used, text.data(), text.size());
    used += text.size();
    buffer[used] = '\0';
    return true;
}

struct CodeText
{
    int code;
    std::vector<int> callTypes; // empty: any call type
    const char *text;
};

const CodeText kCodeTexts[] = {
    {10060, {calltype::V4GetPhoneCheckCode}, "发送失败"},
    {10060, {calltype::V4Register}, "注册失败"},
    {10060, {calltype::V4Login, calltype::V4PhoneCodeLogin}, "登录失败"},
    {10060, {calltype::V4ResetPassword, calltype::V4EditPassword}, "找回密码失败"},
    {10061, {calltype::V4GetPhoneCheckCode}, "发送过于频繁"},
    {10061, {calltype::V4Register}, "此帐号已注册"},
    {10061, {calltype::V4Login}, "帐号不存在"},
    {10061, {calltype::V4ResetPassword, calltype::V4EditPassword}, "找回密码失败"},
    {10062, {calltype::V4Login}, "帐号密码不一致"},
    {18005, {}, "无效的帐号"},
    {18010, {}, "无效的帐号"},
    {18014, {}, "无效的帐号"},
    {18017, {}, "无效的帐号"},
    {18021, {}, "无效的帐号"},
    {18025, {}, "无效的帐号"},
    {19002, {}, "无效的帐号"},
    {18006, {}, "无效的图形验证码"},
    {18012, {}, "无效的图形验证码"},
    {18018, {}, "无效的图形验证码"},
    {18023, {}, "无效的图形验证码"},
    {19001, {}, "无效的图形验证码"},
    {18011, {}, "无效的密码"},
    {18015, {}, "无效的密码"},
    {18022, {}, "无效的密码"},
    {18013, {}, "无效的短信验证码"},
    {18019, {}, "无效的短信验证码"},
    {18024, {}, "无效的短信验证码"},
    {18026, {}, "无效的旧密码"},
    {18027, {}, "无效的新密码"},
    {19003, {}, "帐号已注册"},
    {19004, {}, "错误的图形验证码或短信校验码"},
};

} // namespace

constexpr char WebInterface::kSalt[];

WebInterface::WebInterface(void *userData_, std::string deviceId_, std::string softLink_,
                           std::string softName_, std::string softVersion_, std::string language_,
                           std::string productId_, std::string credits_, std::string extra_)
    : deviceId(std::move(deviceId_)), softName(std::move(softName_)), softVersion(std::move(softVersion_)),
      language(std::move(language_)), softLink(std::move(softLink_)), productId(std::move(productId_)),
      extra(std::move(extra_)), userData(userData_), credits(std::move(credits_))
{
}

WebInterface::WebInterface(void *userData_, std::wstring deviceId_, std::wstring softLink_,
                           std::wstring softName_, std::wstring softVersion_, std::wstring language_,
                           std::wstring productId_, std::wstring credits_, std::wstring extra_)
    : WebInterface(userData_, webapi::wideToUtf8(deviceId_), webapi::wideToUtf8(softLink_),
                   webapi::wideToUtf8(softName_), webapi::wideToUtf8(softVersion_),
                   webapi::wideToUtf8(language_), webapi::wideToUtf8(productId_),
                   webapi::wideToUtf8(credits_), webapi::wideToUtf8(extra_))
{
}

WebInterface::~WebInterface()
{
    for (int i = 0; i < calltype::kCount; ++i) {
        delete channels[i];
        delete[] bodyBuffers[i];
    }
}

void WebInterface::connect(WebInterfaceCallback cb)
{
    callback.store(cb);
}

void WebInterface::connectW(WebInterfaceCallbackW cb)
{
    wideCallback.store(cb);
}

void WebInterface::SetInterfaceVer(int version)
{
    interfaceVer = version;
}

void WebInterface::V4SetHttpHeadInfo(std::string deviceos, std::string devicetype, std::string productid,
                                     std::string credits_)
{
    deviceOs = std::move(deviceos);
    deviceType = std::move(devicetype);
    productId = std::move(productid);
    credits = std::move(credits_);
}

void WebInterface::SetDetailedLogOut(bool detailed)
{
    debugLine(std::string("SetDetailedLogOut called, detailed=") + (detailed ? "1" : "0"));
    webapi::g_detailedLog.store(detailed);
}

void WebInterface::SetTestServer(bool enabled, bool useTestServer)
{
    debugLine(std::string("SetTestServer called, enabled=") + (enabled ? "1" : "0"));
    webapi::g_testSwitch1.store(enabled);
    webapi::g_testSwitch2.store(useTestServer);
}

void WebInterface::Md5(char *out, const char *text)
{
    webapi::md5Hex(text, std::strlen(text), out);
}

std::string WebInterface::UnicodeToUtf8(std::wstring text)
{
    return webapi::wideToUtf8(text);
}

std::wstring WebInterface::Utf8ToUnicode(std::string text)
{
    return webapi::utf8ToWide(text);
}

char *WebInterface::bodyBufferFor(int callType)
{
    std::lock_guard<std::mutex> lock(slotMutex);
    if (!bodyBuffers[callType])
        bodyBuffers[callType] = new char[kBufferSize]();
    return bodyBuffers[callType];
}

const char *WebInterface::bodyBuffer(int callType) const
{
    if (!calltype::isValid(callType))
        return nullptr;
    std::lock_guard<std::mutex> lock(slotMutex);
    return bodyBuffers[callType];
}

int WebInterface::InitParameters(int callType)
{
    if (!calltype::isValid(callType))
        return 0;
    bodyBufferFor(callType);
    return 1;
}

curlhttp *WebInterface::channelFor(int callType, int objectID, Binding binding)
{
    std::lock_guard<std::mutex> lock(slotMutex);
    if (!channels[callType]) {
        // A channel keeps the binding it was created with for its whole life.
        const WebInterfaceCallback narrow = callback.load();
        const WebInterfaceCallbackW wide = wideCallback.load();
        if (binding == Binding::Signed && !narrow && wide)
            channels[callType] = new curlhttp(userData, callType, wide, objectID);
        else
            channels[callType] = new curlhttp(userData, callType, narrow, objectID);
    }
    return channels[callType];
}

bool WebInterface::hasCallbackFor(Binding binding) const
{
    switch (binding) {
    case Binding::Signed:
        return callback.load() || wideCallback.load();
    case Binding::NarrowOnly:
        return callback.load() != nullptr;
    case Binding::Statistics:
        return true;
    }
    return false;
}

int WebInterface::InitCurlHttp(int callType, int objectID)
{
    if (!calltype::isValid(callType) || !hasCallbackFor(Binding::Signed))
        return 0;
    curlhttp *channel = channelFor(callType, objectID, Binding::Signed);
    if (channel->tryClaim()) {
        channel->setObjectID(objectID);
        channel->release();
    }
    return 1;
}

std::string WebInterface::CodeMessage(int callType, int serverCode)
{
    for (const CodeText &row : kCodeTexts) {
        if (row.code != serverCode)
            continue;
        if (row.callTypes.empty() ||
            std::find(row.callTypes.begin(), row.callTypes.end(), callType) != row.callTypes.end())
            return row.text;
    }
    return "缺少参数";
}

std::wstring WebInterface::CodeMessageW(int callType, int serverCode)
{
    return webapi::utf8ToWide(CodeMessage(callType, serverCode));
}

std::string WebInterface::getEditionURL(std::string url)
{
    std::string result = url;
    if (!hlmIsOverWin7()) {
        debugLine("The system version is too low!");
        QxlStringReplace(result, "https", "http");
    }
    struct Route
    {
        QX_URL_LIST &table;
        std::string version, credits;
    };
    const Route routes[] = {
        {apphostTable(), softVersion, credits}, {statshostTable(), "0", "0"}, {pagehostTable(), "0", "0"}};
    for (const Route &route : routes) {
        QX_URL_LIST &t = route.table;
        if (url.find(t.primary()) == std::string::npos)
            continue;
        if (&t == &apphostTable() && webapi::g_testSwitch1.load()) {
            QxlStringReplace(result, "https", "http");
            if (webapi::g_testSwitch2.load())
                QxlStringReplace(result, t.primary(), platform::config::webApiTestServer().toStdString());
            return result;
        }
        std::string host;
        {
            std::lock_guard<std::mutex> lock(t.mutex);
            if (t.resolved.empty())
                t.resolved =
                    QX_URL_LIST::getAvailableDomain(t, productId, route.version, route.credits, "windows");
            host = t.resolved;
        }
        QxlStringReplace(result, t.primary(), host);
        return result;
    }
    return result;
}

int32_t WebInterface::requestTime() const
{
    const auto now = uint32_t(g_clock.load()(nullptr));
    return int32_t(now + uint32_t(timeOffset.load()));
}

void WebInterface::setClockForTesting(std::time_t (*clock)(std::time_t *))
{
    g_clock.store(clock ? clock : &std::time);
}

void WebInterface::V4SyncServerTime(uint32_t serverTime)
{
    const uint32_t difference = serverTime - uint32_t(g_clock.load()(nullptr));
    timeOffset.store(difference <= 119 ? 0 : int32_t(difference));
}

int WebInterface::V4ChangePhoto(std::string, std::string, char *, int)
{
    return 0;
}

int WebInterface::V4GetServerTime(int objectID)
{
    curlhttp *channel = channelFor(calltype::V4GetServerTime, objectID, Binding::Signed);
    if (!channel->tryClaim())
        return 0;
    channel->setObjectID(objectID);
    const std::string url = getEditionURL("https://" + apphostTable().primary() + "/api/v4/getutctime");
    channel->getservertime(url.c_str(), true);
    return 0;
}

int WebInterface::deriveAccountType(const std::string &account)
{
    const size_t dash = account.find('-');
    return dash != std::string::npos && dash > 0 && account.find('@') == std::string::npos &&
           account.size() <= 16;
}

bool WebInterface::buildSignedRequest(Fields fields, char *signString, char *body)
{
    std::stable_sort(fields.begin(), fields.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    char sign[kBufferSize] = {};
    size_t signUsed = 0;
    std::string json = "{";
    bool fits = true;
    for (size_t i = 0; i < fields.size() && fits; ++i) {
        fits = append(sign, signUsed, (i ? "&" : "") + fields[i].first + "=" + fields[i].second);
        json += (i ? ",\"" : "\"") + fields[i].first + "\":\"" + webapi::jsonEscaped(fields[i].second) + "\"";
    }
    fits = fits && append(sign, signUsed, kSalt);
    if (!fits)
        return false;
    char datasign[33] = {};
    webapi::md5Hex(sign, signUsed, datasign);
    json += std::string(fields.empty() ? "" : ",") + "\"datasign\":\"" + datasign + "\"}";
    if (json.size() >= size_t(kBufferSize))
        return false;
    std::memcpy(signString, sign, signUsed + 1);
    std::memcpy(body, json.c_str(), json.size() + 1);
    return true;
}

int WebInterface::request(int callType, Binding binding, int objectID, const Compose &compose,
                          const Send &send)
{
    char *bodyBuffer = bodyBufferFor(callType);
    if (!hasCallbackFor(binding))
        return 1;
    curlhttp *channel = channelFor(callType, objectID, binding);
    if (!channel->usable()) {
        debugLine("request refused: the channel of call type " + std::to_string(callType) + " has no thread");
        return 1;
    }
    if (!channel->tryClaim())
        return 0; // the previous request of this call type is still in flight
    Outgoing out;
    if (!compose(out)) {
        channel->release();
        debugLine("request refused: call type " + std::to_string(callType) + ": " +
                  (out.refusal.empty() ? std::string("does not fit its buffer") : out.refusal));
        return 1;
    }
    if (out.url.size() >= size_t(kBufferSize) || out.body.size() >= size_t(kBufferSize)) {
        channel->release();
        debugLine("request refused: call type " + std::to_string(callType) + ": does not fit its buffer");
        return 1;
    }
    std::memcpy(bodyBuffer, out.body.c_str(), out.body.size() + 1);
    channel->setObjectID(objectID);
    send(*channel, out.url.c_str(), bodyBuffer);
    return 0;
}

int WebInterface::signedCall(int callType, const char *path, Fields fields, int objectID, CommonFields common)
{
    const std::string timestamp = std::to_string(requestTime());
    if (common == CommonFields::Reduced) {
        fields.insert(fields.end(), {{"productid", productId},
                                     {"softname", softName},
                                     {"softversion", softVersion},
                                     {"timestamp", timestamp}});
    } else {
        fields.insert(fields.end(), {{"deviceos", deviceOs},
                                     {"devicetype", deviceType},
                                     {"language", language},
                                     {"productid", productId},
                                     {"softname", softName},
                                     {"softversion", softVersion},
                                     {"timestamp", timestamp}});
    }
    if (std::none_of(fields.begin(), fields.end(), [](const auto &f) { return f.first == "deviceid"; }))
        fields.emplace_back("deviceid", deviceId);

    return request(
        callType, Binding::Signed, objectID,
        [&](Outgoing &out) {
            char signString[kBufferSize] = {};
            char body[kBufferSize] = {};
            if (!buildSignedRequest(std::move(fields), signString, body))
                return false;
            out.body = body;
            out.url = getEditionURL("https://" + apphostTable().primary() + "/api/v4/" + path);
            return true;
        },
        [](curlhttp &channel, const char *url, const char *body) { channel.v4post(url, body, true); });
}

int WebInterface::V4GetImgCheckCode(int width, int height, int length, int fontsize, int objectID)
{
    return signedCall(calltype::V4GetImgCheckCode, "imgverify",
                      {{"fontsize", std::to_string(fontsize)},
                       {"height", std::to_string(height)},
                       {"length", std::to_string(length)},
                       {"width", std::to_string(width)}},
                      objectID);
}

int WebInterface::V4GetPhoneCheckCode(std::string account, int accounttype, std::string imgcode,
                                      std::string verifytype, std::string bindaccount, std::string usertoken,
                                      int objectID)
{
    Fields fields{{"account", account},
                  {"accounttype", std::to_string(accounttype)},
                  {"imgcode", imgcode},
                  {"verifytype", verifytype}};
    if (!usertoken.empty())
        fields.insert(fields.end(), {{"bindaccount", bindaccount}, {"usertoken", usertoken}});
    return signedCall(calltype::V4GetPhoneCheckCode, "smsverify", std::move(fields), objectID);
}

int WebInterface::V4PhoneCodeLogin(std::string account, int accounttype, std::string smscode,
                                   std::string imgcode, int objectID)
{
    return signedCall(calltype::V4PhoneCodeLogin, "loginquick",
                      {{"account", account},
                       {"accounttype", std::to_string(accounttype)},
                       {"imgcode", imgcode},
                       {"smscode", smscode}},
                      objectID);
}

int WebInterface::V4Logout(std::string account, std::string usertoken, int objectID)
{
    return signedCall(calltype::V4Logout, "signout", {{"account", account}, {"usertoken", usertoken}},
                      objectID);
}

int WebInterface::V4WeChatLogin(int objectID)
{
    return signedCall(calltype::V4WeChatLogin, "wechatguid", {}, objectID);
}

int WebInterface::V4GetLoginState(std::string logintag, int objectID)
{
    return signedCall(calltype::V4GetLoginState, "wechatstate", {{"logintag", logintag}}, objectID);
}

int WebInterface::V4CheckToken(std::string account, std::string usertoken, int objectID)
{
    return signedCall(calltype::V4CheckToken, "checktoken", {{"account", account}, {"usertoken", usertoken}},
                      objectID);
}

int WebInterface::V4GetUserInfo(std::string account, int accounttype, std::string usertoken, int objectID)
{
    return signedCall(
        calltype::V4GetUserInfo, "memprofile",
        {{"account", account}, {"accounttype", std::to_string(accounttype)}, {"usertoken", usertoken}},
        objectID);
}

int WebInterface::V4QQlogin(int objectID)
{
    return signedCall(calltype::V4QQlogin, "wechatguid", {}, objectID);
}

int WebInterface::SafePhoneCodeLogin(std::string account, std::string smscode, int objectID)
{
    const int accounttype = deriveAccountType(account);
    return signedCall(
        calltype::SafePhoneCodeLogin, "safloginquick",
        {{"account", account}, {"accounttype", std::to_string(accounttype)}, {"smscode", smscode}}, objectID);
}

int WebInterface::SafeGetPhoneCheckCode(std::string account, std::string verifytype, std::string bindaccount,
                                        std::string usertoken, int objectID)
{
    const int accounttype = deriveAccountType(usertoken.empty() ? account : bindaccount);
    Fields fields{{"account", account},
                  {"accounttype", std::to_string(accounttype)},
                  {"appsource", "PC"},
                  {"apptype", "PC"},
                  {"verifytype", verifytype}};
    if (!usertoken.empty())
        fields.insert(fields.end(), {{"bindaccount", bindaccount}, {"usertoken", usertoken}});
    return signedCall(calltype::SafeGetPhoneCheckCode, "safsmsverify", std::move(fields), objectID);
}

int WebInterface::VirtualactRegister(std::string deviceid, int, int objectID)
{
    return signedCall(calltype::VirtualactRegister, "virtualactregister",
                      {{"deviceid", deviceid.empty() ? deviceId : deviceid}}, objectID);
}

int WebInterface::VirtualactBind(std::string bindaccount, std::string usertoken, std::string smscode,
                                 std::string imgcode, int objectID)
{
    Fields fields{{"accounttype", std::to_string(deriveAccountType(bindaccount))},
                  {"bindaccount", bindaccount},
                  {"smscode", smscode},
                  {"usertoken", usertoken}};
    if (!imgcode.empty())
        fields.emplace_back("imgcode", imgcode);
    return signedCall(calltype::VirtualactBind, "virtualactbind", std::move(fields), objectID);
}

int WebInterface::BindWeChatQQ(std::string openid, std::string usertoken, int accounttype, int objectID)
{
    return signedCall(
        calltype::BindWeChatQQ, "virtualactbindopenid",
        {{"accounttype", std::to_string(accounttype)}, {"openid", openid}, {"usertoken", usertoken}},
        objectID);
}
