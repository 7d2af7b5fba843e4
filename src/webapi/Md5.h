// MD5 message digest (RFC 1321), the digest behind every request signature of the web API.
#pragma once

#include <cstdint>

struct md5_state_t
{
    uint32_t count[2]; // message length in bits, low word first
    uint32_t abcd[4];  // chaining words A, B, C, D
    uint8_t buf[64];   // bytes not yet transformed
};

void md5_init(md5_state_t *state);
// count <= 0 appends nothing.
void md5_append(md5_state_t *state, const uint8_t *data, int32_t count);
void md5_finish(md5_state_t *state, uint8_t digest[16]);
void md5_process(md5_state_t *state, const uint8_t block[64]);

#include <cstddef>

namespace webapi {
// The digest of length bytes as 32 lower-case hexadecimal characters and a terminating zero.
void md5Hex(const char *data, size_t length, char out[33]);
} // namespace webapi
