// Process-wide time limits of child processes.
#include "ffmpeg/TimingProfile.h"

#include <QMutex>
#include <QMutexLocker>

namespace ffmpeg {
namespace {
QMutex g_timingMutex;
TimingProfile g_timingProfile;
} // namespace

TimingProfile timingProfile()
{
    QMutexLocker lock(&g_timingMutex);
    return g_timingProfile;
}

void setTimingProfile(const TimingProfile &profile)
{
    QMutexLocker lock(&g_timingMutex);
    g_timingProfile = profile;
}

} // namespace ffmpeg
