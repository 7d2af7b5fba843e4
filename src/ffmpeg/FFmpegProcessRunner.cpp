// Command runner on top of the bounded child-process helper.
#include "ffmpeg/FFmpegProcessRunner.h"

#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/TimingProfile.h"

FFmpegProcessRunner::Result FFmpegProcessRunner::run(const FFmpegCommandBuilder::Command &command,
                                                     int timeoutMs) const
{
    Result result;
    if (command.program.trimmed().isEmpty()) {
        result.standardError = QStringLiteral("Command program is empty");
        return result;
    }
    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = timeoutMs;
    options.killGraceMs = ffmpeg::timingProfile().killGraceMs;
    const ffmpeg::BoundedRunResult run =
        ffmpeg::runBoundedProcess(command.program, command.arguments, options);
    if (!run.finished()) {
        result.standardError = QStringLiteral("Command timed out");
        return result;
    }
    result.exitCode = run.exitCode;
    result.standardOutput = QString::fromUtf8(run.standardOutput);
    result.standardError = QString::fromUtf8(run.standardError);
    result.success = run.normalExit && run.exitCode == 0;
    return result;
}
