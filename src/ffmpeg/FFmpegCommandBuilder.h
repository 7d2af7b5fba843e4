// Record of one child-process run: program and arguments.
#pragma once

#include <QString>
#include <QStringList>

class FFmpegCommandBuilder
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;
    };

    static Command create(const QString &program, const QStringList &arguments);
};
