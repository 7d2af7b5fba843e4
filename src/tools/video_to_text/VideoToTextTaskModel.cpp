// Video-to-text job list model.
#include "tools/video_to_text/VideoToTextTaskModel.h"

#include "tools/video_to_text/VideoToTextTask.h"

VideoToTextTaskModel::VideoToTextTaskModel(QObject *parent)
    : TaskListModel({{"targetFormat", &read<VideoToTextTask, &VideoToTextTask::targetFormat>},
                     {"targetLanguage", &read<VideoToTextTask, &VideoToTextTask::targetLanguage>}},
                    parent)
{
    // The job's state follows the tool's own roles.
    static_assert(StatusRole == TargetLanguageRole + 1 && SourceResolutionRole == TaskIdRole + 5,
                  "role order");
}

// The jobs outlive the list: the queue and a probe in flight may still hold them.
VideoToTextTaskModel::~VideoToTextTaskModel() = default;

void VideoToTextTaskModel::addTask(VideoToTextTask *task)
{
    if (appendTask(task) >= 0)
        notifyTaskChanged(task);
}
