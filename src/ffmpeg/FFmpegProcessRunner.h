// Synchronous run of one command with a time limit; meant for pool threads.
#pragma once

#include "ffmpeg/FFmpegCommandBuilder.h"

#include <QString>

class FFmpegProcessRunner
{
public:
    struct Result
    {
        bool success = false;
        int exitCode = -1;
        QString standardOutput;
        QString standardError;
    };

    // Blocks for at most timeoutMs plus the kill grace; never leaves the process running.
    Result run(const FFmpegCommandBuilder::Command &command, int timeoutMs) const;
};
