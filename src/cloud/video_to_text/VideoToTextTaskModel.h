// Rows of the video-to-text window's job list; the jobs are not owned.
#pragma once

#include "tools/common/TaskListModel.h"

#include <QList>

class VideoToTextTask;

class VideoToTextTaskModel : public tools::TaskListModel<VideoToTextTask>
{
public:
    enum Role {
        TargetFormatRole = FirstToolRole,
        TargetLanguageRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit VideoToTextTaskModel(QObject *parent = nullptr);
    ~VideoToTextTaskModel() override;

    void addTask(VideoToTextTask *task);
    // Null for a row out of range.
    VideoToTextTask *taskObjectAt(int row) const { return rowTask(row); }
    QList<VideoToTextTask *> tasks() const { return rowTasks(); }
};
