// The vendor account SDK's plain-function exports, as the wrapper binds them by name.
#pragma once

#include <cstdint>

extern "C" {
// Each returns 0 on success. Text buffers are filled with NUL-terminated UTF-8.
typedef int (*LYSDK_LidInitFn)(const char *appInfoJson, int reserved1, int reserved2);
typedef int (*LYSDK_LidLoginFn)(std::uint64_t windowHandle);
typedef int (*LYSDK_LidGetLoginStatusFn)(char *buffer, int size);
typedef int (*LYSDK_LidLogoutFn)();
typedef int (*LYSDK_LidCloseFn)();
typedef int (*LYSDK_GetDeviceIDFn)(const char *appInfoJson, char *buffer, int size);
}
