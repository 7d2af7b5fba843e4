// Video-to-text job list model.
#include "cloud/video_to_text/VideoToTextTaskModel.h"

#include "cloud/video_to_text/VideoToTextTask.h"

VideoToTextTaskModel::VideoToTextTaskModel(QObject *parent)
    : TaskListModel({{"targetFormat", &read<VideoToTextTask, &VideoToTextTask::targetFormat>},
                     {"targetLanguage", &read<VideoToTextTask, &VideoToTextTask::targetLanguage>}},
                    parent)
{
    // The table above lists every role of the enum between the opening ones and the job's.
    static_assert(StatusRole == FirstToolRole + 2, "one reader a role of the tool");
}

// The jobs outlive the list: the queue and a probe in flight may still hold them.
VideoToTextTaskModel::~VideoToTextTaskModel() = default;

void VideoToTextTaskModel::addTask(VideoToTextTask *task)
{
    if (appendTask(task) >= 0)
        notifyTaskChanged(task);
}
