// Client of the account web API: signed JSON requests, one channel and body buffer per call
// type, the server clock offset and the process-wide switches. Plain class, 0/1 results.
#pragma once

#include "webapi/curlhttp.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class WebInterface
{
public:
    static constexpr int kCallTypes = 78;
    static constexpr int kBufferSize = 1024;
    static constexpr char kSalt[] = "kQwRt20190311ZmXaP";

    WebInterface(void *userData, std::string deviceId, std::string softLink, std::string softName,
                 std::string softVersion, std::string language, std::string productId, std::string credits,
                 std::string extra);
    ~WebInterface();
    WebInterface(const WebInterface &) = delete;
    WebInterface &operator=(const WebInterface &) = delete;

    void connect(WebInterfaceCallback callback);
    void SetInterfaceVer(int version);
    void V4SetHttpHeadInfo(std::string deviceos, std::string devicetype, std::string productid,
                           std::string credits);
    void SetDetailedLogOut(bool detailed);
    void SetTestServer(bool enabled, bool useTestServer);
    void Md5(char *out, const char *text);
    std::string UnicodeToUtf8(std::wstring text);
    int InitParameters(int callType);
    int InitCurlHttp(int callType, int objectID);
    std::string CodeMessage(int callType, int serverCode);
    std::string getEditionURL(std::string url);

    int V4GetServerTime(int objectID);
    void V4SyncServerTime(uint32_t serverTime);
    int V4ChangePhoto(std::string, std::string, char *, int);

    // The account calls. 0: handed to the channel (or dropped on a busy one); 1: no callback
    // set, or the request was refused (too long for its buffer, channel without a thread).
    int V4GetImgCheckCode(int width, int height, int length, int fontsize, int objectID);
    int V4GetPhoneCheckCode(std::string account, int accounttype, std::string imgcode, std::string verifytype,
                            std::string bindaccount, std::string usertoken, int objectID);
    int V4PhoneCodeLogin(std::string account, int accounttype, std::string smscode, std::string imgcode,
                         int objectID);
    int V4Logout(std::string account, std::string usertoken, int objectID);
    int V4WeChatLogin(int objectID);
    int V4GetLoginState(std::string logintag, int objectID);
    int V4CheckToken(std::string account, std::string usertoken, int objectID);
    int V4GetUserInfo(std::string account, int accounttype, std::string usertoken, int objectID);
    int V4QQlogin(int objectID);
    int SafePhoneCodeLogin(std::string account, std::string smscode, int objectID);
    int SafeGetPhoneCheckCode(std::string account, std::string verifytype, std::string bindaccount,
                              std::string usertoken, int objectID);
    int VirtualactRegister(std::string deviceid, int ignored, int objectID);
    int VirtualactBind(std::string bindaccount, std::string usertoken, std::string smscode,
                       std::string imgcode, int objectID);
    int BindWeChatQQ(std::string openid, std::string usertoken, int accounttype, int objectID);

    // 1 when the text looks like "<area>-<number>" (a phone number), else 0.
    static int deriveAccountType(const std::string &account);

    using Fields = std::vector<std::pair<std::string, std::string>>;
    // Sign string (fields in key order, salt appended) and JSON body with "datasign" last,
    // each into a 1024-byte buffer. False, with nothing written, when either would not fit.
    static bool buildSignedRequest(Fields fields, char *signString, char *body);

    int32_t timeOffsetSeconds() const { return timeOffset.load(); }
    // The body of the call type's last request (null before its first).
    const char *bodyBuffer(int callType) const;
    // Test seam: the clock that stamps requests (seconds since the epoch).
    static void setClockForTesting(std::time_t (*clock)(std::time_t *));

    std::string deviceId, softName, softVersion, language, softLink;
    std::string deviceOs = "Win7";
    std::string osVersion, screenHeight, screenWidth, installFilename;
    std::string deviceType = "pc";
    std::string productId, extra;

private:
    int signedCall(int callType, const char *path, Fields fields, int objectID);
    curlhttp *channelFor(int callType, int objectID);
    char *bodyBufferFor(int callType);
    int32_t requestTime() const;

    std::atomic<WebInterfaceCallback> callback{nullptr};
    curlhttp *channels[kCallTypes] = {};
    char *bodyBuffers[kCallTypes] = {};
    mutable std::mutex slotMutex; // first requests of one call type may race on creation
    void *userData;
    int interfaceVer = 1;
    std::atomic<int32_t> timeOffset{0};
    std::string credits;
};
