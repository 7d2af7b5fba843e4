// Command records.
#include "ffmpeg/FFmpegCommandBuilder.h"

FFmpegCommandBuilder::Command FFmpegCommandBuilder::create(const QString &program,
                                                           const QStringList &arguments)
{
    return Command{program, arguments};
}
