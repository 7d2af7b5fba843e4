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

namespace ffmpeg {

// The arguments that end a run writing one image to path. ffmpeg's image writer reads "%d" in a
// name as a frame counter ("a 50%d.png" becomes "a 501.png"); "-update 1" makes it take the name
// as it is. Escaping "%" as "%%" would not do: a single image named without a counter keeps "%%".
QStringList singleImageOutputArguments(const QString &path);

} // namespace ffmpeg
