// Shared by the fake web engine and the tests that steer it.
#pragma once

#include <cstdint>

// The colour every fake view paints (0xAARRGGBB).
constexpr std::uint32_t kFakeWkeColour = 0xFF2080C0u;

// Where a one-shot hook runs: inside wkeUpdate, or inside wkePaint before the picture is written.
enum FakeWkeHookWhere { kFakeWkeHookNone = 0, kFakeWkeHookUpdate = 1, kFakeWkeHookPaint = 2 };

extern "C" {
typedef int (*fakeWke_logSizeFn)();
typedef const char *(*fakeWke_logLineFn)(int index);
typedef int (*fakeWke_initializeCountFn)();
typedef void (*fakeWke_setHookFn)(int where, void (*hook)(void *), void *context);
}
