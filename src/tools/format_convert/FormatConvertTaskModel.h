// Rows of the format-convert window's task list; the tasks are not owned.
#pragma once

#include "tools/common/FFmpegTaskListModel.h"

#include <QList>

class FormatConvertTask;

class FormatConvertTaskModel : public tools::FFmpegTaskListModel
{
public:
    enum Role {
        TargetFormatRole = FirstToolRole,
        TargetResolutionRole,
        StatusRole,
        ProgressRole,
        MessageRole,
    };

    explicit FormatConvertTaskModel(QObject *parent = nullptr);
    ~FormatConvertTaskModel() override;

    void addTask(FormatConvertTask *task);
    FormatConvertTask *taskObjectAt(int row) const;
    QList<FormatConvertTask *> tasks() const;
};
