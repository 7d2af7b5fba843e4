// Base of the queued tools that write one new file with ffmpeg: the temporary file beside the
// target, the run with progress and cancellation, and the commit to a name that is still free.
#pragma once

#include "tasks/BackgroundTask.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class FFmpegEnvironment;
class FFprobeService;

namespace tools {

class FFmpegOutputTask : public BackgroundTask
{
public:
    // The source never changes over a task's life, so these need no lock on the tool's options.
    QString sourcePath() const;
    QString sourceFileName() const;
    qint64 sourceFileSizeBytes() const;
    // The source size by the tool's own size rule.
    QString sourceFileSizeText() const;
    // The upper-case suffix, or the tool's "unknown" text.
    QString sourceFormat() const;
    QString sourceResolution() const;
    // An empty resolution is ignored.
    void setSourceResolution(const QString &resolution);
    QString buildTemporaryOutputFilePath(const QString &finalPath) const;

    // Removes the temporary file of the current run, if any.
    void cleanupTemporaryOutput();

protected:
    // What differs between the tools in the shared getters: catalog keys and the size rule.
    struct ToolTexts
    {
        QString unknownFormatKey;
        QString outputDirectoryEmptyKey;
        QString outputDirectoryCreateFailedKey;
        QString (*formatFileSize)(qint64 bytes) = nullptr;
    };

    FFmpegOutputTask(const QString &taskId, const QString &toolId, const QString &sourcePath,
                     const ToolTexts &toolTexts);

    // tools::ensureOutputDirectory with this tool's texts.
    bool ensureOutputDirectoryExists(const QString &outputDirectory, QString *errorText) const;

    // Where the result goes; the commit searches a new free name with it when the chosen one
    // has been taken while ffmpeg ran.
    struct OutputTarget
    {
        QString directory;
        QString baseName;
        QString extension;
        QString sourcePath;
        QString finalPath;
        QString baseTail; // kept whole after the base name when a long name is shortened
    };

    // Each tool's own texts.
    struct RunTexts
    {
        QString cancelled;
        QString startFailed;
        QString failedFallback;
        QString commitFailed;
        // Why ffmpeg's finished file was refused by RunSpec::acceptOutput.
        QString rejected;
        std::function<QString(int percent)> progressMessage;
        // Called once the file sits under its final name, before the task is marked completed.
        std::function<QString(const QString &committedPath)> completedMessage;
    };

    struct RunSpec
    {
        QString program;
        QStringList arguments;
        qint64 durationSeconds = 0;
        OutputTarget target;
        RunTexts texts;
        // Called right after ffmpeg started.
        std::function<void()> onStarted;
        // Judges ffmpeg's finished file before it takes its final name; a refused file is removed
        // and the task fails with rejectedCode and texts.rejected. Unset, every file is taken.
        std::function<bool(const QString &temporaryPath)> acceptOutput;
        QString rejectedCode;
    };

    // Clears the state of a previous run; call first in executeStart. Returns false, with the task
    // marked cancelled, when a cancel came before the job started: nothing may be created then.
    bool beginRun();
    // The cancel flag of this task or of the job framework.
    bool cancelRequestedNow() const;
    // Handed to the prober so a cancel also kills a probe in progress.
    const std::atomic_bool *cancelFlag() const { return &m_cancelRequested; }
    QString temporaryOutputPath() const;
    void setTemporaryOutputPath(const QString &path);

    // Removes the temporary file and marks the task cancelled with text.
    void finishCancelled(const QString &text);
    // Removes the temporary file and marks the task failed.
    void finishFailed(const QString &errorCode, const QString &errorText);
    // finishFailed with the catalog text of textKey.
    void finishFailedWithKey(const char *errorCode, const char *textKey);

    // The ffmpeg environment for a run of sourcePath into outputDirectory; null, with the task
    // failed, when the source is blank, the folder unusable or ffmpeg missing.
    FFmpegEnvironment *checkRunInputs(FFprobeService *prober, const QString &sourcePath,
                                      const QString &outputDirectory, const char *sourceEmptyKey,
                                      const char *ffmpegUnavailableKey);
    // Takes the temporary name beside outputPath for this run and returns it; empty, with the
    // task ended, when either name is missing or a cancel came.
    QString prepareTemporaryOutput(const QString &outputPath, const char *outputPathInvalidKey,
                                   const char *temporaryPathInvalidKey);

    // Runs ffmpeg and commits its output; ends the task in exactly one final state.
    void runAndCommit(const RunSpec &spec);

    void executeCancel() override;
    virtual QString cancelledText() const = 0;

private:
    void removeTemporaryLocked();

    const QString m_sourcePath;
    const ToolTexts m_toolTexts;
    QString m_sourceResolution = QStringLiteral("Auto");
    // Guards the temporary path and the commit against executeCancel on the GUI thread.
    mutable QMutex m_temporaryMutex;
    QString m_temporaryOutputPath;
    bool m_committed = false;
    std::atomic_bool m_cancelRequested{false};
};

} // namespace tools
