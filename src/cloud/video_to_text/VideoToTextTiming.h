// Waits and limits of the video-to-text job, process-wide, so tests can shorten them.
#pragma once

#include "core/ProcessWide.h"

#include <QtGlobal>

namespace tools {

struct VideoToTextTiming
{
    int creationEaseMs = 15000; // the creation wait's progress curve reaches its top here
    int creationCheckMs = 120;  // look at the creation and the cancel flag this often
    int animationStepMs = 40;   // one step of an eased progress animation
    int creationDoneAnimationMs = 350;
    int pollAnimationMs = 1600;    // the bar's move after each "still converting" answer
    int pollSleepMs = 400;         // pause between two state queries
    int finishedAnimationMs = 700; // the bar's move once the server has finished
    int maxPolls = 300;            // state queries before the job gives up
    int cloudRequestTimeoutMs = 30000;
    int downloadTimeoutMs = 120000; // the whole result download, not per stall
    int downloadCheckMs = 120;      // the download's look at the cancel flag
    int downloadCreepMs = 120;      // one creep of the bar while a download of unknown size runs
    // A transcript, Word document or subtitle file is small: a larger answer is not a result.
    qint64 downloadMaxBytes = qint64(256) * 1024 * 1024;
    int ffmpegStartMs = 5000;
    int ffmpegCheckMs = 200; // the extraction's look at the cancel flag
};

inline VideoToTextTiming videoToTextTiming()
{
    return app::ProcessWide<VideoToTextTiming>::get();
}
inline void setVideoToTextTiming(const VideoToTextTiming &timing)
{
    app::ProcessWide<VideoToTextTiming>::set(timing);
}

} // namespace tools
