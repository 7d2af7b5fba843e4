// The account calls that nothing in the program issues: further signed calls, the unversioned
// entry points, the voice-to-text tasks, the update check and the download. Each is a row for
// the request frame of WebInterface.cpp.
#include "webapi/WebInterface.h"

#include "core/BuildConfig.h"
#include "webapi/CallTypes.h"
#include "webapi/Md5.h"
#include "webapi/QxUrlList.h"
#include "webapi/RequestText.h"

#include <cstring>

namespace calltype = webapi::calltype;

namespace {

std::string jsonString(const std::string &value)
{
    return "\"" + webapi::jsonEscaped(value) + "\"";
}

// One member of a voice body: a JSON string, or a number written without quotes.
struct Member
{
    std::string key, value;
    bool number;
};

std::string jsonObject(const std::vector<Member> &members)
{
    std::string json = "{";
    for (size_t i = 0; i < members.size(); ++i)
        json += (i ? ",\"" : "\"") + members[i].key +
                "\":" + (members[i].number ? members[i].value : jsonString(members[i].value));
    return json + "}";
}

// "key=value" joined by "&" with the salt behind; false when it would not fit signCapacity.
bool signedDigest(const WebInterface::Fields &fields, size_t signCapacity, char datasign[33])
{
    std::string sign;
    for (size_t i = 0; i < fields.size(); ++i)
        sign += (i ? "&" : "") + fields[i].first + "=" + fields[i].second;
    sign += WebInterface::kSalt;
    if (sign.size() >= signCapacity)
        return false;
    webapi::md5Hex(sign.data(), sign.size(), datasign);
    return true;
}

} // namespace

// ---- Further signed account calls ----

int WebInterface::V4Register(std::string account, std::string password, std::string smscode,
                             std::string imgcode, int objectID)
{
    return signedCall(
        calltype::V4Register, "register",
        {{"account", account}, {"imgcode", imgcode}, {"password", password}, {"smscode", smscode}}, objectID);
}

int WebInterface::V4Login(std::string account, std::string password, int objectID)
{
    return signedCall(calltype::V4Login, "login", {{"account", account}, {"password", password}}, objectID);
}

int WebInterface::V4ResetPassword(std::string account, std::string password, std::string smscode,
                                  std::string imgcode, int objectID)
{
    return signedCall(
        calltype::V4ResetPassword, "forgetpwd",
        {{"account", account}, {"imgcode", imgcode}, {"password", password}, {"smscode", smscode}}, objectID);
}

int WebInterface::V4EditPassword(std::string account, std::string usertoken, std::string oldpwd,
                                 std::string newpwd, int objectID)
{
    return signedCall(
        calltype::V4EditPassword, "changepwd",
        {{"account", account}, {"newpwd", newpwd}, {"oldpwd", oldpwd}, {"usertoken", usertoken}}, objectID);
}

int WebInterface::V4SetPassword(std::string account, std::string usertoken, std::string password,
                                int objectID)
{
    return signedCall(calltype::V4SetPassword, "setpwd",
                      {{"account", account}, {"password", password}, {"usertoken", usertoken}}, objectID);
}

int WebInterface::V4ChangeNickname(std::string account, std::string usertoken, std::string nickname,
                                   int objectID)
{
    return signedCall(calltype::V4ChangeNickname, "changenick",
                      {{"account", account}, {"nickname", nickname}, {"usertoken", usertoken}}, objectID);
}

int WebInterface::V4BindPhone(std::string account, std::string usertoken, std::string bindaccount,
                              std::string smscode, std::string imgcode, int accounttype, int objectID)
{
    return signedCall(calltype::V4BindPhone, "bindaccount",
                      {{"account", account},
                       {"accounttype", std::to_string(accounttype)},
                       {"bindaccount", bindaccount},
                       {"imgcode", imgcode},
                       {"smscode", smscode},
                       {"usertoken", usertoken}},
                      objectID);
}

int WebInterface::V4WeChatLoginFZ(int objectID)
{
    // Shares V4WeChatLogin's call type: one channel, the object ID tells them apart.
    return signedCall(calltype::V4WeChatLogin, "wechatguid", {{"seriesid", "001"}}, objectID);
}

int WebInterface::SafeRegister(std::string account, std::string password, std::string smscode, int objectID)
{
    return signedCall(calltype::SafeRegister, "safregister",
                      {{"account", account}, {"password", password}, {"smscode", smscode}}, objectID);
}

int WebInterface::SafeBindPhone(std::string account, std::string usertoken, std::string bindaccount,
                                std::string smscode, std::string imgcode, int objectID)
{
    return signedCall(calltype::SafeBindPhone, "safbindaccount",
                      {{"account", account},
                       {"accounttype", std::to_string(deriveAccountType(account))},
                       {"bindaccount", bindaccount},
                       {"imgcode", imgcode},
                       {"smscode", smscode},
                       {"usertoken", usertoken}},
                      objectID);
}

int WebInterface::SafeResetPassword(std::string account, std::string password, std::string smscode,
                                    int objectID)
{
    return signedCall(calltype::SafeResetPassword, "safforgetpwd",
                      {{"account", account}, {"password", password}, {"smscode", smscode}}, objectID);
}

int WebInterface::V4_LenvoeLogin(std::string accesstoken, int objectID)
{
    return signedCall(calltype::V4_LenvoeLogin, "loginlenovo", {{"accesstoken", accesstoken}}, objectID,
                      CommonFields::Reduced);
}

// ---- Unversioned entry points ----

int WebInterface::legacyCall(int callType, const char *path, const Fields &form, int objectID)
{
    return request(
        callType, Binding::NarrowOnly, objectID,
        [&](Outgoing &out) {
            // Values are percent-encoded: an "&" or "=" in a password must not add a field.
            for (size_t i = 0; i < form.size(); ++i)
                out.body += (i ? "&" : "") + form[i].first + "=" + webapi::percentEncoded(form[i].second);
            out.url = getEditionURL("https://" + apphostTable().primary() + path);
            return true;
        },
        [](curlhttp &channel, const char *url, const char *body) { channel.post(url, body, true); });
}

int WebInterface::Login(std::string account, std::string password, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4Login(account, password, objectID);
    return legacyCall(
        calltype::Login, "/api/v2/login",
        {{"account", account}, {"password", password}, {"language", language}, {"limituse", "1"}}, objectID);
}

int WebInterface::WeChatLogin(int objectID)
{
    if (interfaceVer.load() == 4)
        return V4WeChatLogin(objectID);
    return legacyCall(calltype::WeChatLogin, "/api/weixinguid",
                      {{"softname", softName}, {"softversion", softVersion}, {"limituse", "1"}}, objectID);
}

int WebInterface::QQlogin(int objectID)
{
    if (interfaceVer.load() == 4)
        return V4QQlogin(objectID);
    return legacyCall(calltype::QQlogin, "/api/weixinguid",
                      {{"softname", softName}, {"softversion", softVersion}, {"limituse", "1"}}, objectID);
}

int WebInterface::GetLoginState(std::string guid, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4GetLoginState(guid, objectID);
    return legacyCall(calltype::GetLoginState, "/api/weixinreceipt", {{"guid", guid}}, objectID);
}

int WebInterface::PhoneCodeLogin(std::string phonenumber, std::string phonecode, std::string imagecode,
                                 int objectID)
{
    if (interfaceVer.load() == 4)
        return V4PhoneCodeLogin(phonenumber, deriveAccountType(phonenumber), phonecode, imagecode, objectID);
    return legacyCall(calltype::PhoneCodeLogin, "/api/getphoneloginin",
                      {{"uuid", deviceId},
                       {"phonenumber", phonenumber},
                       {"phonecode", phonecode},
                       {"imagecode", imagecode},
                       {"regsource", softName},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

namespace {
WebInterface::Fields accountForm(const std::string &deviceId, const std::string &account,
                                 const std::string &password, const std::string &checkcode,
                                 const std::string &imagecode, const std::string &softName,
                                 const std::string &softVersion, const std::string &language)
{
    return {{"uuid", deviceId},           {"account", account},     {"password", password},
            {"checkcode", checkcode},     {"imagecode", imagecode}, {"softname", softName},
            {"softversion", softVersion}, {"language", language},   {"limituse", "1"}};
}
} // namespace

int WebInterface::Register(std::string account, std::string password, std::string checkcode,
                           std::string imagecode, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4Register(account, password, checkcode, imagecode, objectID);
    return legacyCall(
        calltype::Register, "/api/v2/register",
        accountForm(deviceId, account, password, checkcode, imagecode, softName, softVersion, language),
        objectID);
}

int WebInterface::ResetPassword(std::string account, std::string password, std::string checkcode,
                                std::string imagecode, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4ResetPassword(account, password, checkcode, imagecode, objectID);
    return legacyCall(
        calltype::ResetPassword, "/api/v2/forgetpwd",
        accountForm(deviceId, account, password, checkcode, imagecode, softName, softVersion, language),
        objectID);
}

int WebInterface::GetUserInfo(std::string phonenumber, std::string loginkey, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4GetUserInfo(phonenumber, deriveAccountType(phonenumber), loginkey, objectID);
    return legacyCall(calltype::GetUserInfo, "/api/getprofile",
                      {{"phonenumber", phonenumber},
                       {"loginkey", loginkey},
                       {"softname", softName},
                       {"softversion", softVersion},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

int WebInterface::GetPhoneCheckCode(std::string account, std::string imagecode, std::string verifytype,
                                    std::string bindaccount, std::string usertoken, int objectID)
{
    if (interfaceVer.load() == 4) {
        const int accounttype = deriveAccountType(usertoken.empty() ? account : bindaccount);
        return V4GetPhoneCheckCode(account, accounttype, imagecode, verifytype, bindaccount, usertoken,
                                   objectID);
    }
    return legacyCall(calltype::GetPhoneCheckCode, "/api/v2/checkcode",
                      {{"uuid", deviceId},
                       {"account", account},
                       {"imagecode", imagecode},
                       {"softname", softName},
                       {"softlink", softLink},
                       {"verifytype", verifytype},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

int WebInterface::GetImgCheckCode(int width, int height, int length, int fontsize, std::string imagetype,
                                  int objectID)
{
    if (interfaceVer.load() == 4)
        return V4GetImgCheckCode(width, height, length, fontsize, objectID);
    return legacyCall(calltype::GetImgCheckCode, "/api/imageverify",
                      {{"uuid", deviceId},
                       {"width", std::to_string(width)},
                       {"height", std::to_string(height)},
                       {"length", std::to_string(length)},
                       {"fontsize", std::to_string(fontsize)},
                       {"imagetype", imagetype},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

int WebInterface::CheckAccount(std::string account, std::string checkcode, std::string imgcode, int objectID)
{
    return legacyCall(calltype::CheckAccount, "/api/v2/getpwd",
                      {{"uuid", deviceId},
                       {"account", account},
                       {"checkcode", checkcode},
                       {"imgcode", imgcode},
                       {"softname", softName},
                       {"softversion", softVersion},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

int WebInterface::EditPassword(std::string account, std::string oldpassword, std::string newpassword,
                               std::string loginkey, std::string settype, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4EditPassword(account, loginkey, oldpassword, newpassword, objectID);
    return legacyCall(calltype::EditPassword, "/api/v2/setpwd",
                      {{"account", account},
                       {"oldpassword", oldpassword},
                       {"newpassword", newpassword},
                       {"loginkey", loginkey},
                       {"settype", settype},
                       {"language", language},
                       {"limituse", "1"}},
                      objectID);
}

int WebInterface::SetPassword(std::string account, std::string usertoken, std::string password, int objectID)
{
    if (interfaceVer.load() == 4)
        return V4SetPassword(account, usertoken, password, objectID);
    return 1; // no unversioned request exists: nothing was sent
}

int WebInterface::BindPhone(std::string account, std::string usertoken, std::string bindaccount,
                            std::string smscode, std::string imgcode, int objectID)
{
    return V4BindPhone(account, usertoken, bindaccount, smscode, imgcode, deriveAccountType(account),
                       objectID);
}

// ---- Voice-to-text tasks ----

int WebInterface::voiceRequest(int callType, const char *path, const std::string &account,
                               const std::string &usertoken, Fields signFields, size_t signCapacity,
                               const std::function<std::string(const char *datasign)> &body, int objectID)
{
    return request(
        callType, Binding::Signed, objectID,
        [&](Outgoing &out) {
            // The voice bodies write the product id as a bare JSON number.
            if (!webapi::isDecimalNumber(productId)) {
                out.refusal = "the product id is not a number";
                return false;
            }
            // Account and token are signed only for a signed-in user, but always sent.
            if (!account.empty()) {
                signFields.insert(signFields.begin(), {"account", account});
                signFields.emplace_back("usertoken", usertoken);
            }
            char datasign[33] = {};
            if (!signedDigest(signFields, signCapacity, datasign))
                return false;
            out.body = body(datasign);
            out.url = getEditionURL("https://" + apphostTable().primary() + path);
            return true;
        },
        [](curlhttp &channel, const char *url, const char *text) { channel.v4post(url, text, true); });
}

int WebInterface::V4VoiceToTextUploadTask(std::string filename, std::string fanyi_from, std::string fanyi_to,
                                          std::string account, std::string usertoken, int objectID)
{
    const std::string timestamp = std::to_string(requestTime());
    const Fields sign = {{"fanyi_from", fanyi_from},
                         {"fanyi_to", fanyi_to},
                         {"filecount", "1"},
                         {"filename", filename},
                         {"filesequence", "0"},
                         {"isshare", "0"},
                         {"limitsize", "204800"},
                         {"machineid", deviceId},
                         {"outputfileextension", "srt"},
                         {"pagerange", "appoint,1-1"},
                         {"parainfo", "maxlimit:char300000page0;"},
                         {"productid", productId},
                         {"softname", softName},
                         {"softversion", softVersion},
                         {"tasktype", "voicefanyi"},
                         {"timestamp", timestamp}};
    return voiceRequest(
        calltype::V4VoiceToTextUploadTask, "/api/v4/uploadpar", account, usertoken, sign, 2048,
        [&](const char *datasign) {
            return jsonObject({{"account", account, false},
                               {"fanyi_from", fanyi_from, false},
                               {"fanyi_to", fanyi_to, false},
                               {"filecount", "1", true},
                               {"filename", filename, false},
                               {"filesequence", "0", false},
                               {"isshare", "0", true},
                               {"limitsize", "204800", true},
                               {"machineid", deviceId, false},
                               {"outputfileextension", "srt", false},
                               {"pagerange", "appoint,1-1", false},
                               {"productid", productId, true},
                               {"softname", softName, false},
                               {"softversion", softVersion, false},
                               {"tasktype", "voicefanyi", false},
                               {"timestamp", timestamp, true},
                               {"usertoken", usertoken, false},
                               {"datasign", datasign, false}});
        },
        objectID);
}

int WebInterface::voiceTaskCall(int callType, const char *path, const std::string &tasktag,
                                const char *choiceKey, const std::string &account,
                                const std::string &usertoken, int objectID)
{
    const std::string timestamp = std::to_string(requestTime());
    const Fields sign = {
        {"deviceid", deviceId},       {choiceKey, "2"},     {"productid", productId}, {"softname", softName},
        {"softversion", softVersion}, {"tasktag", tasktag}, {"timestamp", timestamp}};
    return voiceRequest(
        callType, path, account, usertoken, sign, kBufferSize,
        [&](const char *datasign) {
            return jsonObject({{"account", account, false},
                               {"deviceid", deviceId, false},
                               {choiceKey, "2", true},
                               {"productid", productId, true},
                               {"softname", softName, false},
                               {"softversion", softVersion, false},
                               {"tasktag", tasktag, false},
                               {"usertoken", usertoken, false},
                               {"timestamp", timestamp, true},
                               {"datasign", datasign, false}});
        },
        objectID);
}

int WebInterface::V4VoiceConvertTextQueryStatus(std::string tasktag, std::string account,
                                                std::string usertoken, int objectID)
{
    return voiceTaskCall(calltype::V4VoiceConvertTextQueryStatus, "/api/v4/taskstate", tasktag, "ifshowtxt",
                         account, usertoken, objectID);
}

int WebInterface::V4VoiceConvertTextTaskDown(std::string tasktag, std::string account, std::string usertoken,
                                             int objectID)
{
    return voiceTaskCall(calltype::V4VoiceConvertTextTaskDown, "/api/v4/taskdown", tasktag, "downtype",
                         account, usertoken, objectID);
}

int WebInterface::V4VoiceToTextUploadFile(std::string tasktag, std::string tasktoken, std::string timestamp,
                                          int, int chunks, int chunk, const char *data, int length,
                                          int objectID)
{
    return request(
        calltype::V4VoiceToTextUploadFile, Binding::Signed, objectID,
        [&](Outgoing &out) {
            out.url = getEditionURL("https://" + apphostTable().primary() + "/api/v4/uploadfile") +
                      "?tasktag=" + webapi::percentEncoded(tasktag) +
                      "&timestamp=" + webapi::percentEncoded(timestamp) +
                      "&tasktoken=" + webapi::percentEncoded(tasktoken) +
                      "&fileindex=0&chunks=" + std::to_string(chunks) + "&chunk=" + std::to_string(chunk);
            return true;
        },
        [data, length](curlhttp &channel, const char *url, const char *) {
            channel.v4post_data(url, data, length, true);
        });
}

// ---- Update check and download ----

int WebInterface::Update(int objectID)
{
    return request(
        calltype::Update, Binding::NarrowOnly, objectID,
        [&](Outgoing &out) {
            out.body = jsonObject({{"software_name", softName, false},
                                   {"software_version", softVersion, false},
                                   {"software_package", softName, false},
                                   {"machine_code", deviceId, false},
                                   {"guid", deviceId, false},
                                   {"time", "", false},
                                   {"token", "", false}});
            out.url = "http://" + platform::config::webApiUpdateHost().toStdString() + "/ver1/checkUpdate";
            return true;
        },
        [](curlhttp &channel, const char *url, const char *body) { channel.post(url, body, true); });
}

int WebInterface::downfile(std::string url, curl_write_callback write, void *target, int objectID,
                           DownloadFinished finished)
{
    return request(
        calltype::downfile, Binding::NarrowOnly, objectID,
        [&](Outgoing &out) {
            out.url = url;
            return !url.empty() && write;
        },
        [write, target, finished](curlhttp &channel, const char *address, const char *) {
            channel.download(address, write, target, finished, true);
        });
}
