// Video-compress task list model.
#include "tools/video_compress/VideoCompressTaskModel.h"

#include "tools/video_compress/VideoCompressTask.h"

VideoCompressTaskModel::VideoCompressTaskModel(QObject *parent)
    : FFmpegTaskListModel(
          {{"targetFormat", &read<VideoCompressTask, &VideoCompressTask::targetFormat>},
           {"targetResolution", &read<VideoCompressTask, &VideoCompressTask::targetResolution>},
           {"compressionModeLabel", &read<VideoCompressTask, &VideoCompressTask::compressionModeLabel>},
           {"compressionRatioText", &read<VideoCompressTask, &VideoCompressTask::compressionRatioText>},
           {"targetSizeLabel", &read<VideoCompressTask, &VideoCompressTask::targetSizeLabel>},
           {"targetSizeText", &read<VideoCompressTask, &VideoCompressTask::targetSizeText>}},
          parent)
{
    // The table above lists every role of the enum between the opening ones and the job's.
    static_assert(StatusRole == FirstToolRole + 6, "one reader a role of the tool");
}

VideoCompressTaskModel::~VideoCompressTaskModel() = default;

void VideoCompressTaskModel::addTask(VideoCompressTask *task)
{
    const int row = appendTask(task);
    if (row < 0)
        return;
    notifyTaskChanged(task);
}

VideoCompressTask *VideoCompressTaskModel::taskObjectAt(int row) const
{
    return static_cast<VideoCompressTask *>(outputTaskAt(row));
}

QList<VideoCompressTask *> VideoCompressTaskModel::tasks() const
{
    return tasksAs<VideoCompressTask>();
}
