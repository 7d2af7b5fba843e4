// Text helpers of the request builders.
#include "webapi/RequestText.h"

#include <cstdio>

namespace webapi {

std::string withoutLineBreaks(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

std::string percentEncoded(const std::string &text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
            u == '.' || u == '_' || u == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

std::string jsonEscaped(const std::string &value)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

bool isDecimalNumber(const std::string &text)
{
    const size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    const size_t digits = text.size() - start;
    if (digits == 0 || digits > 18)
        return false;
    for (size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace webapi
