// Time limits of every ffmpeg/ffprobe run, process-wide, so tests can shorten them.
#pragma once

#include "core/ProcessWide.h"
#include "ffmpeg/BoundedProcess.h"

namespace ffmpeg {

struct TimingProfile
{
    int probeMs = 10000;          // ffprobe JSON read (prober and preview duration)
    int packetScanStartMs = 3000; // packet-scan ffprobe must have started by then
    int packetScanMs = 60000;     // whole packet scan; a stalled scan must not hold a pool thread
    int thumbnailMs = 15000;      // preview frame grab
    int qualityTagMs = 8000;      // preview width/height read
    int versionProbeMs = 5000;    // warm-up "-version" runs
    int killGraceMs = kKillGraceMs;
};

inline TimingProfile timingProfile()
{
    return app::ProcessWide<TimingProfile>::get();
}
inline void setTimingProfile(const TimingProfile &profile)
{
    app::ProcessWide<TimingProfile>::set(profile);
}

} // namespace ffmpeg
