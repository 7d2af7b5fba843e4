// The object ids the sign-in bridge tags its requests with: the client hands each back with the
// answer, and together with the call type it tells the bridge which request an answer is for.
#pragma once

namespace webapi {
namespace objectid {

constexpr int ServerTime = 0;
// The image code and the SMS code without a safety challenge.
constexpr int PhoneCode = 2;
// The SMS code under a safety challenge.
constexpr int SafePhoneCode = 5;
constexpr int PhoneLogin = 21;
// The QQ ticket and its poll.
constexpr int QQLogin = 24;
// The WeChat ticket and its poll.
constexpr int WeChatLogin = 25;
constexpr int VirtualAccountLogin = 26;
constexpr int LenovoLogin = 27;

// The blocking calls.
constexpr int RefreshAccount = 10010;
constexpr int Logout = 10011;
constexpr int CheckToken = 10012;
constexpr int BindPhone = 10030;
constexpr int BindOpenId = 10031;

} // namespace objectid
} // namespace webapi
