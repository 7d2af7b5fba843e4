// Where the ffmpeg and ffprobe programs are: a root folder first, then the search path.
#pragma once

#include <QString>

class FFmpegEnvironment
{
public:
    // The folder "ffmpeg" beside the executable.
    FFmpegEnvironment();
    explicit FFmpegEnvironment(const QString &rootDirectory);

    QString rootDirectory() const { return m_rootDirectory; }
    void setRootDirectory(const QString &rootDirectory);

    // Looked up afresh at every call: a program added or removed at run time is noticed.
    QString ffmpegExecutablePath() const;
    QString ffprobeExecutablePath() const;
    bool hasFFmpegExecutable() const;
    bool hasFFprobeExecutable() const;
    bool ready() const;

private:
    QString m_rootDirectory;
};
