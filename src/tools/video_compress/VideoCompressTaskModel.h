// Rows of the video-compress window's task list; the tasks are not owned.
#pragma once

#include "tools/common/FFmpegTaskListModel.h"

#include <QList>

class VideoCompressTask;

class VideoCompressTaskModel : public tools::FFmpegTaskListModel
{
public:
    enum Role {
        TargetFormatRole = FirstToolRole,
        TargetResolutionRole,
        CompressionModeLabelRole,
        CompressionRatioTextRole,
        TargetSizeLabelRole,
        TargetSizeTextRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit VideoCompressTaskModel(QObject *parent = nullptr);
    ~VideoCompressTaskModel() override;

    void addTask(VideoCompressTask *task);
    VideoCompressTask *taskObjectAt(int row) const;
    QList<VideoCompressTask *> tasks() const;
};
