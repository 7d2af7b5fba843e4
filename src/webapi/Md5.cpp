// MD5 as RFC 1321 defines it, written for byte streams of any split.
#include "webapi/Md5.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

} // namespace

void md5_init(md5_state_t *state)
{
    state->count[0] = state->count[1] = 0;
    state->abcd[0] = 0x67452301;
    state->abcd[1] = 0xefcdab89;
    state->abcd[2] = 0x98badcfe;
    state->abcd[3] = 0x10325476;
    std::memset(state->buf, 0, sizeof state->buf);
}

void md5_process(md5_state_t *state, const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 | uint32_t(block[i * 4 + 2]) << 16 |
               uint32_t(block[i * 4 + 3]) << 24;
    uint32_t a = state->abcd[0], b = state->abcd[1], c = state->abcd[2], d = state->abcd[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        switch (i / 16) {
        case 0:
            f = (b & c) | (~b & d);
            g = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
            break;
        }
        const uint32_t next = b + rotl(a + f + kSines[i] + x[g], kShifts[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state->abcd[0] += a;
    state->abcd[1] += b;
    state->abcd[2] += c;
    state->abcd[3] += d;
}

void md5_append(md5_state_t *state, const uint8_t *data, int32_t count)
{
    if (count <= 0 || !data)
        return;
    uint32_t offset = (state->count[0] >> 3) & 63;
    const uint32_t bits = uint32_t(count) << 3;
    state->count[1] += uint32_t(count) >> 29;
    state->count[0] += bits;
    if (state->count[0] < bits)
        ++state->count[1];

    uint32_t left = uint32_t(count);
    if (offset) {
        const uint32_t take = offset + left > 64 ? 64 - offset : left;
        std::memcpy(state->buf + offset, data, take);
        if (offset + take < 64)
            return;
        data += take;
        left -= take;
        md5_process(state, state->buf);
    }
    for (; left >= 64; data += 64, left -= 64)
        md5_process(state, data);
    if (left)
        std::memcpy(state->buf, data, left);
}

void md5_finish(md5_state_t *state, uint8_t digest[16])
{
    uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = uint8_t(state->count[i >> 2] >> ((i & 3) << 3));
    static const uint8_t pad[64] = {0x80};
    const uint32_t used = (state->count[0] >> 3) & 63;
    md5_append(state, pad, int32_t(((55 - used) & 63) + 1));
    md5_append(state, length, 8);
    for (int i = 0; i < 16; ++i)
        digest[i] = uint8_t(state->abcd[i >> 2] >> ((i & 3) << 3));
}

namespace webapi {

void md5Hex(const char *data, size_t length, char out[33])
{
    md5_state_t state;
    md5_init(&state);
    // md5_append takes a signed 32-bit count: longer texts go in pieces.
    for (size_t done = 0; done < length;) {
        const size_t piece = std::min<size_t>(length - done, size_t(1) << 30);
        md5_append(&state, reinterpret_cast<const uint8_t *>(data + done), int32_t(piece));
        done += piece;
    }
    uint8_t digest[16];
    md5_finish(&state, digest);
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[i * 2] = kHex[digest[i] >> 4];
        out[i * 2 + 1] = kHex[digest[i] & 15];
    }
    out[32] = '\0';
}

} // namespace webapi
