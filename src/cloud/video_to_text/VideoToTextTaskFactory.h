// Makes video-to-text jobs with fresh task ids.
#pragma once

#include "cloud/video_to_text/VideoToTextParams.h"

class VideoToTextTask;

class VideoToTextTaskFactory
{
public:
    // A new job the caller keeps for the rest of the process; never null.
    VideoToTextTask *createTask(const VideoToTextParams &params) const;
};
