// Video-to-text job factory.
#include "cloud/video_to_text/VideoToTextTaskFactory.h"

#include "cloud/video_to_text/VideoToTextTask.h"

#include <QUuid>

VideoToTextTask *VideoToTextTaskFactory::createTask(const VideoToTextParams &params) const
{
    return new VideoToTextTask(QUuid::createUuid().toString(QUuid::WithoutBraces), params);
}
