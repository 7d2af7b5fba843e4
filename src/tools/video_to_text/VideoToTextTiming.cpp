// Process-wide waits of the video-to-text job.
#include "tools/video_to_text/VideoToTextTiming.h"

#include <QMutex>
#include <QMutexLocker>

namespace tools {
namespace {
QMutex g_timingMutex;
VideoToTextTiming g_timing;
} // namespace

VideoToTextTiming videoToTextTiming()
{
    QMutexLocker lock(&g_timingMutex);
    return g_timing;
}

void setVideoToTextTiming(const VideoToTextTiming &timing)
{
    QMutexLocker lock(&g_timingMutex);
    g_timing = timing;
}

} // namespace tools
