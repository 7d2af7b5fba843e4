// Makes video-compress tasks with fresh ids and the shared prober.
#pragma once

#include "tools/video_compress/VideoCompressParams.h"

class FFprobeService;
class VideoCompressTask;

class VideoCompressTaskFactory
{
public:
    explicit VideoCompressTaskFactory(FFprobeService *prober);
    // A new task the caller keeps for the rest of the process.
    VideoCompressTask *createTask(const VideoCompressParams &params) const;

private:
    FFprobeService *m_ffprobeService = nullptr;
};
