// Video-compress task factory.
#include "tools/video_compress/VideoCompressTaskFactory.h"

#include "tools/video_compress/VideoCompressTask.h"

#include <QUuid>

VideoCompressTaskFactory::VideoCompressTaskFactory(FFprobeService *prober) : m_ffprobeService(prober) {}

VideoCompressTask *VideoCompressTaskFactory::createTask(const VideoCompressParams &params) const
{
    return new VideoCompressTask(QUuid::createUuid().toString(QUuid::WithoutBraces), params,
                                 m_ffprobeService);
}
