// UTF-8 <-> UTF-32 conversion with replacement of invalid input.
#include "webapi/WideText.h"

#include <cstdint>

namespace webapi {

namespace {
constexpr uint32_t kReplacement = 0xFFFD;

void appendUtf8(std::string &out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}
} // namespace

std::string wideToUtf8(const std::wstring &text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c == 0)
            break;
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = kReplacement;
        appendUtf8(out, c);
    }
    return out;
}

std::wstring utf8ToWide(const std::string &text)
{
    std::wstring out;
    out.reserve(text.size());
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && s[i] != 0) {
        const unsigned char b = s[i];
        int extra = 0;
        uint32_t c = 0;
        uint32_t lowest = 0;
        if (b < 0x80) {
            out += wchar_t(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, c = b & 0x1F, lowest = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, c = b & 0x0F, lowest = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, c = b & 0x07, lowest = 0x10000;
        } else {
            out += wchar_t(kReplacement);
            ++i;
            continue;
        }
        // A sequence cut short, or one that decodes to an overlong form, a surrogate or a
        // value past U+10FFFF, becomes one replacement character for what was read of it.
        size_t j = i + 1;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (s[j] & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (s[j] & 0x3F);
        }
        if (valid && (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        out += wchar_t(valid ? c : kReplacement);
        i = j;
    }
    return out;
}

} // namespace webapi
