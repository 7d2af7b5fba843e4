// Making caller and server text safe to put into a request line, a header or a form body.
#pragma once

#include <string>

namespace webapi {

// The text without CR and LF, so that it cannot end a header line and start another.
std::string withoutLineBreaks(const std::string &text);
// RFC 3986 percent-encoding of every byte but the unreserved ones (A-Z a-z 0-9 - . _ ~).
std::string percentEncoded(const std::string &text);
// The text as the inside of a JSON string: quote, backslash and control characters escaped.
std::string jsonEscaped(const std::string &text);
// True for an optional minus sign followed by one to eighteen decimal digits.
bool isDecimalNumber(const std::string &text);

} // namespace webapi
