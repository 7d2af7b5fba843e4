// The call types of the account web API: the number each request is sent under, which picks its
// channel and body buffer and comes back with its answer. The numbers are the server's contract
// and never change; each is named after the client operation that sends it.
#pragma once

namespace webapi {
namespace calltype {

// Slots 0 to kCount - 1; the numbers not named here are reserved and nothing sends them.
constexpr int kCount = 78;

// The unversioned entry points.
constexpr int Login = 1;
constexpr int WeChatLogin = 2;
constexpr int QQlogin = 3;
constexpr int GetLoginState = 4;
constexpr int PhoneCodeLogin = 5;
constexpr int Register = 6;
constexpr int ResetPassword = 7;
constexpr int GetUserInfo = 8;
constexpr int GetPhoneCheckCode = 9;
constexpr int GetImgCheckCode = 10;
constexpr int CheckAccount = 12;
constexpr int EditPassword = 13;

// The statistics events.
constexpr int V1APPInstall = 19;
constexpr int V1APPStart = 20;
constexpr int V1APPLogin = 21;
constexpr int V1APPOpenFile = 25;
constexpr int V1APPFileConvert = 26;
constexpr int V1APPScanFile = 27;
constexpr int V1APPRecoverFile = 28;

// The signed account calls.
constexpr int V4GetImgCheckCode = 29;
constexpr int V4GetPhoneCheckCode = 30;
constexpr int V4Register = 31;
constexpr int V4Login = 32;
constexpr int V4PhoneCodeLogin = 33;
constexpr int V4ResetPassword = 34;
constexpr int V4EditPassword = 35;
constexpr int V4SetPassword = 36;
constexpr int V4ChangeNickname = 37;
constexpr int V4Logout = 39;
constexpr int V4BindPhone = 40;
// V4WeChatLoginFZ shares it: one channel, the object id tells the two apart.
constexpr int V4WeChatLogin = 41;
// The WeChat and the QQ poll alike.
constexpr int V4GetLoginState = 42;
constexpr int V4CheckToken = 44;
constexpr int V4GetUserInfo = 45;
// Same path and body as V4WeChatLogin, on a channel of its own.
constexpr int V4QQlogin = 51;
constexpr int Update = 52;
constexpr int downfile = 53;
constexpr int SafeRegister = 54;
constexpr int SafePhoneCodeLogin = 55;
constexpr int SafeBindPhone = 56;
constexpr int SafeGetPhoneCheckCode = 57;
constexpr int VirtualactRegister = 58;
constexpr int VirtualactBind = 59;
constexpr int SafeResetPassword = 61;
constexpr int BindWeChatQQ = 64;
constexpr int V4GetServerTime = 65;
constexpr int V4VoiceToTextUploadTask = 66;
constexpr int V4VoiceToTextUploadFile = 67;
constexpr int V4VoiceConvertTextQueryStatus = 68;
constexpr int V4VoiceConvertTextTaskDown = 69;
constexpr int V4_LenvoeLogin = 72;

// The call types whose channel fetches the statistics server's time before the request itself.
constexpr int kFirstStatistics = 18;
constexpr int kLastStatistics = 28;

constexpr bool isValid(int callType)
{
    return callType >= 0 && callType < kCount;
}

constexpr bool isStatistics(int callType)
{
    return callType >= kFirstStatistics && callType <= kLastStatistics;
}

} // namespace calltype
} // namespace webapi
