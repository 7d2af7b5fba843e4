// Client of the account web API: signed JSON requests, one channel and body buffer per call
// type, the server clock offset and the process-wide switches. Plain class, 0/1 results.
#pragma once

#include "webapi/CallTypes.h"
#include "webapi/curlhttp.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class WebInterface
{
public:
    static constexpr int kBufferSize = 1024;
    static constexpr char kSalt[] = "kQwRt20190311ZmXaP";

    WebInterface(void *userData, std::string deviceId, std::string softLink, std::string softName,
                 std::string softVersion, std::string language, std::string productId, std::string credits,
                 std::string extra);
    // The same client for callers that hold wide text: every text is stored as UTF-8.
    WebInterface(void *userData, std::wstring deviceId, std::wstring softLink, std::wstring softName,
                 std::wstring softVersion, std::wstring language, std::wstring productId,
                 std::wstring credits, std::wstring extra);
    ~WebInterface();
    WebInterface(const WebInterface &) = delete;
    WebInterface &operator=(const WebInterface &) = delete;

    void connect(WebInterfaceCallback callback);
    void connectW(WebInterfaceCallbackW callback);
    void SetInterfaceVer(int version);
    void V4SetHttpHeadInfo(std::string deviceos, std::string devicetype, std::string productid,
                           std::string credits);
    void SetDetailedLogOut(bool detailed);
    void SetTestServer(bool enabled, bool useTestServer);
    void Md5(char *out, const char *text);
    std::string UnicodeToUtf8(std::wstring text);
    std::wstring Utf8ToUnicode(std::string text);
    int InitParameters(int callType);
    int InitCurlHttp(int callType, int objectID);
    std::string CodeMessage(int callType, int serverCode);
    std::wstring CodeMessageW(int callType, int serverCode);
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

    // Further signed account calls, the same results.
    int V4Register(std::string account, std::string password, std::string smscode, std::string imgcode,
                   int objectID);
    int V4Login(std::string account, std::string password, int objectID);
    int V4ResetPassword(std::string account, std::string password, std::string smscode, std::string imgcode,
                        int objectID);
    int V4EditPassword(std::string account, std::string usertoken, std::string oldpwd, std::string newpwd,
                       int objectID);
    int V4SetPassword(std::string account, std::string usertoken, std::string password, int objectID);
    int V4ChangeNickname(std::string account, std::string usertoken, std::string nickname, int objectID);
    int V4BindPhone(std::string account, std::string usertoken, std::string bindaccount, std::string smscode,
                    std::string imgcode, int accounttype, int objectID);
    int V4WeChatLoginFZ(int objectID);
    int SafeRegister(std::string account, std::string password, std::string smscode, int objectID);
    int SafeBindPhone(std::string account, std::string usertoken, std::string bindaccount,
                      std::string smscode, std::string imgcode, int objectID);
    int SafeResetPassword(std::string account, std::string password, std::string smscode, int objectID);
    int V4_LenvoeLogin(std::string accesstoken, int objectID);

    // The unversioned entry points: at interface version 4 they forward to their signed
    // successors; otherwise they post a form (narrow callback only). SetPassword has no form
    // of its own and returns 1 below version 4: nothing was sent.
    int Login(std::string account, std::string password, int objectID);
    int WeChatLogin(int objectID);
    int QQlogin(int objectID);
    int GetLoginState(std::string guid, int objectID);
    int PhoneCodeLogin(std::string phonenumber, std::string phonecode, std::string imagecode, int objectID);
    int Register(std::string account, std::string password, std::string checkcode, std::string imagecode,
                 int objectID);
    int ResetPassword(std::string account, std::string password, std::string checkcode, std::string imagecode,
                      int objectID);
    int GetUserInfo(std::string phonenumber, std::string loginkey, int objectID);
    int GetPhoneCheckCode(std::string account, std::string imagecode, std::string verifytype,
                          std::string bindaccount, std::string usertoken, int objectID);
    int GetImgCheckCode(int width, int height, int length, int fontsize, std::string imagetype, int objectID);
    int CheckAccount(std::string account, std::string checkcode, std::string imgcode, int objectID);
    int EditPassword(std::string account, std::string oldpassword, std::string newpassword,
                     std::string loginkey, std::string settype, int objectID);
    int SetPassword(std::string account, std::string usertoken, std::string password, int objectID);
    int BindPhone(std::string account, std::string usertoken, std::string bindaccount, std::string smscode,
                  std::string imgcode, int objectID);

    // Statistics events: a two-stage signed GET on the statistics host, sent whether or not a
    // callback is set; an event whose URL or header lines would be too long is not sent.
    void V1APPHttpHead(std::string deviceos, std::string osversion, std::string screenheight,
                       std::string screenwidth, std::string installfilename);
    std::string V1APPGetServerTime(int ignored);
    void V1APPInstall(int objectID);
    void V1APPStart(int objectID);
    void V1APPLogin(std::string loginMethod, std::string isSuccess, std::string failReason, int objectID);
    void V1APPOpenFile(std::string isLogin, int objectID);
    void V1APPFileConvert(std::string ConverterType, std::string FileCount, std::string isLogin,
                          int objectID);
    void V1APPScanFile(std::string ScanType, std::string FileCount, std::string isLogin, int objectID);
    void V1APPRecoverFile(std::string RecoveryType, std::string FileCount, std::string isLogin, int objectID);

    // Voice-to-text tasks, the update check and a download through a channel of the client.
    int V4VoiceToTextUploadTask(std::string filename, std::string fanyi_from, std::string fanyi_to,
                                std::string account, std::string usertoken, int objectID);
    // data stays unchanged until the answer has come.
    int V4VoiceToTextUploadFile(std::string tasktag, std::string tasktoken, std::string timestamp,
                                int ignored, int chunks, int chunk, const char *data, int length,
                                int objectID);
    int V4VoiceConvertTextQueryStatus(std::string tasktag, std::string account, std::string usertoken,
                                      int objectID);
    int V4VoiceConvertTextTaskDown(std::string tasktag, std::string account, std::string usertoken,
                                   int objectID);
    int Update(int objectID);
    // The bytes go to write on the channel's thread; finished (optional) learns whether the
    // whole body arrived. The callback reports "no answer" either way.
    int downfile(std::string url, curl_write_callback write, void *target, int objectID,
                 DownloadFinished finished = nullptr);

    // Wide forms: convert the texts to UTF-8 and call the narrow twin.
    void V4SetHttpHeadInfoW(std::wstring deviceos, std::wstring devicetype, std::wstring productid);
    void V1APPHttpHeadW(std::wstring deviceos, std::wstring osversion, std::wstring screenheight,
                        std::wstring screenwidth, std::wstring installfilename);
    int V4ChangePhotoW(std::wstring, std::wstring, char *, int);
    int V4GetImgCheckCodeW(int width, int height, int length, int fontsize, int objectID);
    int V4GetPhoneCheckCodeW(std::wstring account, int accounttype, std::wstring imgcode,
                             std::wstring verifytype, std::wstring bindaccount, std::wstring usertoken,
                             int objectID);
    int V4PhoneCodeLoginW(std::wstring account, int accounttype, std::wstring smscode, std::wstring imgcode,
                          int objectID);
    int V4LogoutW(std::wstring account, std::wstring usertoken, int objectID);
    int V4WeChatLoginW(int objectID);
    int V4QQloginW(int objectID);
    int V4GetLoginStateW(std::wstring logintag, int objectID);
    int V4CheckTokenW(std::wstring account, std::wstring usertoken, int objectID);
    int V4GetUserInfoW(std::wstring account, int accounttype, std::wstring usertoken, int objectID);
    int V4RegisterW(std::wstring account, std::wstring password, std::wstring smscode, std::wstring imgcode,
                    int objectID);
    int V4LoginW(std::wstring account, std::wstring password, int objectID);
    int V4ResetPasswordW(std::wstring account, std::wstring password, std::wstring smscode,
                         std::wstring imgcode, int objectID);
    int V4EditPasswordW(std::wstring account, std::wstring usertoken, std::wstring oldpwd,
                        std::wstring newpwd, int objectID);
    int V4SetPasswordW(std::wstring account, std::wstring usertoken, std::wstring password, int objectID);
    int V4ChangeNicknameW(std::wstring account, std::wstring usertoken, std::wstring nickname, int objectID);
    int V4BindPhoneW(std::wstring account, std::wstring usertoken, std::wstring bindaccount,
                     std::wstring smscode, std::wstring imgcode, int accounttype, int objectID);
    int SafeResetPasswordW(std::wstring account, std::wstring password, std::wstring smscode, int objectID);
    int LoginW(std::wstring account, std::wstring password, int objectID);
    int WeChatLoginW(int objectID);
    int QQloginW(int objectID);
    int GetLoginStateW(std::wstring guid, int objectID);
    int PhoneCodeLoginW(std::wstring phonenumber, std::wstring phonecode, std::wstring imagecode,
                        int objectID);
    int RegisterW(std::wstring account, std::wstring password, std::wstring checkcode, std::wstring imagecode,
                  int objectID);
    int ResetPasswordW(std::wstring account, std::wstring password, std::wstring checkcode,
                       std::wstring imagecode, int objectID);
    int GetUserInfoW(std::wstring phonenumber, std::wstring loginkey, int objectID);
    int GetPhoneCheckCodeW(std::wstring account, std::wstring imagecode, std::wstring verifytype,
                           std::wstring bindaccount, std::wstring usertoken, int objectID);
    int GetImgCheckCodeW(int width, int height, int length, int fontsize, std::wstring imagetype,
                         int objectID);
    int CheckAccountW(std::wstring account, std::wstring checkcode, std::wstring imgcode, int objectID);
    int EditPasswordW(std::wstring account, std::wstring oldpassword, std::wstring newpassword,
                      std::wstring loginkey, std::wstring settype, int objectID);
    int SetPasswordW(std::wstring account, std::wstring usertoken, std::wstring password, int objectID);
    void V1APPLoginW(std::wstring loginMethod, std::wstring isSuccess, std::wstring failReason, int objectID);
    void V1APPOpenFileW(std::wstring isLogin, int objectID);
    void V1APPFileConvertW(std::wstring ConverterType, std::wstring FileCount, std::wstring isLogin,
                           int objectID);
    void V1APPScanFileW(std::wstring ScanType, std::wstring FileCount, std::wstring isLogin, int objectID);
    void V1APPRecoverFileW(std::wstring RecoveryType, std::wstring FileCount, std::wstring isLogin,
                           int objectID);

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
    // Which result callback a family needs, and which one its channels deliver to.
    enum class Binding { Signed, NarrowOnly, Statistics };
    enum class CommonFields { Full, Reduced };
    struct Outgoing
    {
        std::string url, body, refusal;
    };
    using Compose = std::function<bool(Outgoing &)>;
    using Send = std::function<void(curlhttp &, const char *url, const char *body)>;

    // The one request frame: body buffer, callback check, busy channel, compose, send.
    int request(int callType, Binding binding, int objectID, const Compose &compose, const Send &send);
    int signedCall(int callType, const char *path, Fields fields, int objectID,
                   CommonFields common = CommonFields::Full);
    int legacyCall(int callType, const char *path, const Fields &form, int objectID);
    int voiceRequest(int callType, const char *path, const std::string &account, const std::string &usertoken,
                     Fields signFields, size_t signCapacity,
                     const std::function<std::string(const char *datasign)> &body, int objectID);
    int voiceTaskCall(int callType, const char *path, const std::string &tasktag, const char *choiceKey,
                      const std::string &account, const std::string &usertoken, int objectID);
    void statisticsEvent(int callType, const char *path, const Fields &segments, int objectID);
    bool hasCallbackFor(Binding binding) const;
    curlhttp *channelFor(int callType, int objectID, Binding binding);
    char *bodyBufferFor(int callType);
    int32_t requestTime() const;

    std::atomic<WebInterfaceCallback> callback{nullptr};
    std::atomic<WebInterfaceCallbackW> wideCallback{nullptr};
    curlhttp *channels[webapi::calltype::kCount] = {};
    char *bodyBuffers[webapi::calltype::kCount] = {};
    mutable std::mutex slotMutex; // first requests of one call type may race on creation
    void *userData;
    std::atomic<int> interfaceVer{1};
    std::atomic<int32_t> timeOffset{0};
    std::string credits;
};
