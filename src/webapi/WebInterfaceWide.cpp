// The wide-text interface of the client: every form converts its texts to UTF-8 and calls its
// narrow twin; only channels bound to the wide callback convert answers back.
#include "webapi/WebInterface.h"

#include "webapi/WideText.h"

using webapi::wideToUtf8;

void WebInterface::V4SetHttpHeadInfoW(std::wstring deviceos, std::wstring devicetype, std::wstring productid)
{
    // No credits argument: the credits become "0", which the host probe leaves alone.
    V4SetHttpHeadInfo(wideToUtf8(deviceos), wideToUtf8(devicetype), wideToUtf8(productid), "0");
}

void WebInterface::V1APPHttpHeadW(std::wstring deviceos, std::wstring osversion, std::wstring screenheight,
                                  std::wstring screenwidth, std::wstring installfilename)
{
    V1APPHttpHead(wideToUtf8(deviceos), wideToUtf8(osversion), wideToUtf8(screenheight),
                  wideToUtf8(screenwidth), wideToUtf8(installfilename));
}

int WebInterface::V4ChangePhotoW(std::wstring, std::wstring, char *, int)
{
    return 0;
}

int WebInterface::V4GetImgCheckCodeW(int width, int height, int length, int fontsize, int objectID)
{
    return V4GetImgCheckCode(width, height, length, fontsize, objectID);
}

int WebInterface::V4GetPhoneCheckCodeW(std::wstring account, int accounttype, std::wstring imgcode,
                                       std::wstring verifytype, std::wstring bindaccount,
                                       std::wstring usertoken, int objectID)
{
    return V4GetPhoneCheckCode(wideToUtf8(account), accounttype, wideToUtf8(imgcode), wideToUtf8(verifytype),
                               wideToUtf8(bindaccount), wideToUtf8(usertoken), objectID);
}

int WebInterface::V4PhoneCodeLoginW(std::wstring account, int accounttype, std::wstring smscode,
                                    std::wstring imgcode, int objectID)
{
    return V4PhoneCodeLogin(wideToUtf8(account), accounttype, wideToUtf8(smscode), wideToUtf8(imgcode),
                            objectID);
}

int WebInterface::V4LogoutW(std::wstring account, std::wstring usertoken, int objectID)
{
    return V4Logout(wideToUtf8(account), wideToUtf8(usertoken), objectID);
}

int WebInterface::V4WeChatLoginW(int objectID)
{
    return V4WeChatLogin(objectID);
}

int WebInterface::V4QQloginW(int objectID)
{
    return V4QQlogin(objectID);
}

int WebInterface::V4GetLoginStateW(std::wstring logintag, int objectID)
{
    return V4GetLoginState(wideToUtf8(logintag), objectID);
}

int WebInterface::V4CheckTokenW(std::wstring account, std::wstring usertoken, int objectID)
{
    return V4CheckToken(wideToUtf8(account), wideToUtf8(usertoken), objectID);
}

int WebInterface::V4GetUserInfoW(std::wstring account, int accounttype, std::wstring usertoken, int objectID)
{
    return V4GetUserInfo(wideToUtf8(account), accounttype, wideToUtf8(usertoken), objectID);
}

int WebInterface::V4RegisterW(std::wstring account, std::wstring password, std::wstring smscode,
                              std::wstring imgcode, int objectID)
{
    return V4Register(wideToUtf8(account), wideToUtf8(password), wideToUtf8(smscode), wideToUtf8(imgcode),
                      objectID);
}

int WebInterface::V4LoginW(std::wstring account, std::wstring password, int objectID)
{
    return V4Login(wideToUtf8(account), wideToUtf8(password), objectID);
}

int WebInterface::V4ResetPasswordW(std::wstring account, std::wstring password, std::wstring smscode,
                                   std::wstring imgcode, int objectID)
{
    return V4ResetPassword(wideToUtf8(account), wideToUtf8(password), wideToUtf8(smscode),
                           wideToUtf8(imgcode), objectID);
}

int WebInterface::V4EditPasswordW(std::wstring account, std::wstring usertoken, std::wstring oldpwd,
                                  std::wstring newpwd, int objectID)
{
    return V4EditPassword(wideToUtf8(account), wideToUtf8(usertoken), wideToUtf8(oldpwd), wideToUtf8(newpwd),
                          objectID);
}

int WebInterface::V4SetPasswordW(std::wstring account, std::wstring usertoken, std::wstring password,
                                 int objectID)
{
    return V4SetPassword(wideToUtf8(account), wideToUtf8(usertoken), wideToUtf8(password), objectID);
}

int WebInterface::V4ChangeNicknameW(std::wstring account, std::wstring usertoken, std::wstring nickname,
                                    int objectID)
{
    return V4ChangeNickname(wideToUtf8(account), wideToUtf8(usertoken), wideToUtf8(nickname), objectID);
}

int WebInterface::V4BindPhoneW(std::wstring account, std::wstring usertoken, std::wstring bindaccount,
                               std::wstring smscode, std::wstring imgcode, int accounttype, int objectID)
{
    return V4BindPhone(wideToUtf8(account), wideToUtf8(usertoken), wideToUtf8(bindaccount),
                       wideToUtf8(smscode), wideToUtf8(imgcode), accounttype, objectID);
}

int WebInterface::SafeResetPasswordW(std::wstring account, std::wstring password, std::wstring smscode,
                                     int objectID)
{
    return SafeResetPassword(wideToUtf8(account), wideToUtf8(password), wideToUtf8(smscode), objectID);
}

int WebInterface::LoginW(std::wstring account, std::wstring password, int objectID)
{
    return Login(wideToUtf8(account), wideToUtf8(password), objectID);
}

int WebInterface::WeChatLoginW(int objectID)
{
    return WeChatLogin(objectID);
}

int WebInterface::QQloginW(int objectID)
{
    return QQlogin(objectID);
}

int WebInterface::GetLoginStateW(std::wstring guid, int objectID)
{
    return GetLoginState(wideToUtf8(guid), objectID);
}

int WebInterface::PhoneCodeLoginW(std::wstring phonenumber, std::wstring phonecode, std::wstring imagecode,
                                  int objectID)
{
    return PhoneCodeLogin(wideToUtf8(phonenumber), wideToUtf8(phonecode), wideToUtf8(imagecode), objectID);
}

int WebInterface::RegisterW(std::wstring account, std::wstring password, std::wstring checkcode,
                            std::wstring imagecode, int objectID)
{
    return Register(wideToUtf8(account), wideToUtf8(password), wideToUtf8(checkcode), wideToUtf8(imagecode),
                    objectID);
}

int WebInterface::ResetPasswordW(std::wstring account, std::wstring password, std::wstring checkcode,
                                 std::wstring imagecode, int objectID)
{
    return ResetPassword(wideToUtf8(account), wideToUtf8(password), wideToUtf8(checkcode),
                         wideToUtf8(imagecode), objectID);
}

int WebInterface::GetUserInfoW(std::wstring phonenumber, std::wstring loginkey, int objectID)
{
    return GetUserInfo(wideToUtf8(phonenumber), wideToUtf8(loginkey), objectID);
}

int WebInterface::GetPhoneCheckCodeW(std::wstring account, std::wstring imagecode, std::wstring verifytype,
                                     std::wstring bindaccount, std::wstring usertoken, int objectID)
{
    return GetPhoneCheckCode(wideToUtf8(account), wideToUtf8(imagecode), wideToUtf8(verifytype),
                             wideToUtf8(bindaccount), wideToUtf8(usertoken), objectID);
}

int WebInterface::GetImgCheckCodeW(int width, int height, int length, int fontsize, std::wstring imagetype,
                                   int objectID)
{
    return GetImgCheckCode(width, height, length, fontsize, wideToUtf8(imagetype), objectID);
}

int WebInterface::CheckAccountW(std::wstring account, std::wstring checkcode, std::wstring imgcode,
                                int objectID)
{
    return CheckAccount(wideToUtf8(account), wideToUtf8(checkcode), wideToUtf8(imgcode), objectID);
}

int WebInterface::EditPasswordW(std::wstring account, std::wstring oldpassword, std::wstring newpassword,
                                std::wstring loginkey, std::wstring settype, int objectID)
{
    return EditPassword(wideToUtf8(account), wideToUtf8(oldpassword), wideToUtf8(newpassword),
                        wideToUtf8(loginkey), wideToUtf8(settype), objectID);
}

int WebInterface::SetPasswordW(std::wstring account, std::wstring usertoken, std::wstring password,
                               int objectID)
{
    return SetPassword(wideToUtf8(account), wideToUtf8(usertoken), wideToUtf8(password), objectID);
}

void WebInterface::V1APPLoginW(std::wstring loginMethod, std::wstring isSuccess, std::wstring failReason,
                               int objectID)
{
    V1APPLogin(wideToUtf8(loginMethod), wideToUtf8(isSuccess), wideToUtf8(failReason), objectID);
}

void WebInterface::V1APPOpenFileW(std::wstring isLogin, int objectID)
{
    V1APPOpenFile(wideToUtf8(isLogin), objectID);
}

void WebInterface::V1APPFileConvertW(std::wstring ConverterType, std::wstring FileCount, std::wstring isLogin,
                                     int objectID)
{
    V1APPFileConvert(wideToUtf8(ConverterType), wideToUtf8(FileCount), wideToUtf8(isLogin), objectID);
}

void WebInterface::V1APPScanFileW(std::wstring ScanType, std::wstring FileCount, std::wstring isLogin,
                                  int objectID)
{
    V1APPScanFile(wideToUtf8(ScanType), wideToUtf8(FileCount), wideToUtf8(isLogin), objectID);
}

void WebInterface::V1APPRecoverFileW(std::wstring RecoveryType, std::wstring FileCount, std::wstring isLogin,
                                     int objectID)
{
    V1APPRecoverFile(wideToUtf8(RecoveryType), wideToUtf8(FileCount), wideToUtf8(isLogin), objectID);
}
