/* Interface of the analytics library: tracker creation, launch, activity and click events. */
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#if defined(TELVANE_BUILD)
#define TELVANE_API __declspec(dllexport)
#else
#define TELVANE_API __declspec(dllimport)
#endif
#else
#define TELVANE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error record filled in by the library; code 0 means no error. The message belongs to the
   library and stays valid until the calling thread's next call. */
struct QxExceptionInfo
{
    int64_t code;
    const char *message;
    int32_t messageLength;
};

TELVANE_API int DCreateInstance(char *applicationName, char *productNumber, char *version,
                                char *applicationKey, char *storeName, int32_t reserved1, char *language,
                                void *reserved2, int32_t reserved3, void *reserved4, void *reserved5);
TELVANE_API void *DGetInstance(struct QxExceptionInfo *info);
TELVANE_API int DDestroyInstance(struct QxExceptionInfo *info);
TELVANE_API int DTrackLaunch(void *handle, struct QxExceptionInfo *info);
TELVANE_API int DTrackActivity(void *handle, struct QxExceptionInfo *info);
TELVANE_API int DTrackClick(void *handle, char *first, int32_t number, char *second, char *third,
                            void *reserved, struct QxExceptionInfo *info);

#ifdef __cplusplus
}
#endif
