// Conversions between the client's UTF-8 and wide text. wchar_t holds one code point here
// (32 bits); both directions stop at the first zero and put U+FFFD where input is invalid.
#pragma once

#include <string>

namespace webapi {

std::string wideToUtf8(const std::wstring &text);
std::wstring utf8ToWide(const std::string &text);

} // namespace webapi
