// Video-compress task list model.
#include "tools/video_compress/VideoCompressTaskModel.h"

#include "tools/video_compress/VideoCompressTask.h"

namespace {

const VideoCompressTask &own(const tools::FFmpegOutputTask &task)
{
    return static_cast<const VideoCompressTask &>(task);
}

} // namespace

VideoCompressTaskModel::VideoCompressTaskModel(QObject *parent)
    : FFmpegTaskListModel(
          {{"targetFormat",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).targetFormat(); }},
           {"targetResolution",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).targetResolution(); }},
           {"compressionModeLabel",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).compressionModeLabel(); }},
           {"compressionRatioText",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).compressionRatioText(); }},
           {"targetSizeLabel",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).targetSizeLabel(); }},
           {"targetSizeText",
            [](const tools::FFmpegOutputTask &task) -> QVariant { return own(task).targetSizeText(); }}},
          parent)
{
    // The job's state follows the tool's own roles.
    static_assert(StatusRole == TargetSizeTextRole + 1 && SourceResolutionRole == TaskIdRole + 5,
                  "role order");
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
