// Command records.
#include "ffmpeg/FFmpegCommandBuilder.h"

#include <QDir>

FFmpegCommandBuilder::Command FFmpegCommandBuilder::create(const QString &program,
                                                           const QStringList &arguments)
{
    return Command{program, arguments};
}

QStringList ffmpeg::singleImageOutputArguments(const QString &path)
{
    return {QStringLiteral("-update"), QStringLiteral("1"), QDir::toNativeSeparators(path)};
}
