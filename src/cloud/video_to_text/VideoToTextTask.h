// One video-to-text job: the source's audio extracted with ffmpeg, turned into text by the cloud
// conversion service, and the result saved under a free name beside the tool's other outputs.
#pragma once

#include "cloud/video_to_text/VideoToTextParams.h"
#include "tasks/BackgroundTask.h"

#include <QMutex>
#include <QString>

#include <atomic>

namespace user_pay {
struct CreateConvertTaskRequest;
struct CreateConvertTaskResult;
} // namespace user_pay

namespace tools {
class VideoToTextCloud;
}

class VideoToTextTask : public BackgroundTask
{
public:
    VideoToTextTask(const QString &taskId, const VideoToTextParams &params);

    VideoToTextParams params() const;
    QString sourcePath() const;
    QString sourceFileName() const;
    // 0 when the source does not exist.
    qint64 sourceFileSizeBytes() const;
    QString sourceFileSizeText() const;
    // The upper-case suffix, or the catalog's "unknown" text.
    QString sourceFormat() const;
    QString sourceResolution() const;
    // An empty text is ignored.
    void setSourceResolution(const QString &text);
    QString targetFormat() const;
    QString targetLanguage() const;
    // Takes every option of params except its source path; ignored once a run has begun.
    void applyPreset(const VideoToTextParams &params);

    // Where the cloud steps go; the program's service unless a test replaces it. Set it before
    // the job is queued.
    void setCloud(tools::VideoToTextCloud *cloud);

    // "txt", "docx" or "srt" for an output format.
    static QString resolveOutputExtension(const QString &outputFormat);
    // "zh", "en" or "all" for a recognition language's display text.
    static QString resolveLanguageCode(const QString &recognitionLanguage);
    // "1023B", "1.5K", "150K", "5.0M", ...
    static QString formatFileSize(qint64 bytes);
    // log10(1 + 9x) over [0, 1]: fast at first, 1 at the end.
    static double logEaseOut(double x);
    // The file-name part of the extracted audio for a source (before the time stamp).
    static QString audioBaseNameFor(const QString &sourcePath);
    // The result's folder and path (before the collision check) for a set of options.
    static QString resultOutputDirectoryFor(const VideoToTextParams &params);
    static QString resultFilePathFor(const VideoToTextParams &params);
    // path when nothing is there, else the first free "<base>_<n>.<suffix>" for n up to 9999;
    // empty when every one of them is taken.
    static QString ensureUniqueFilePath(const QString &path);

    QString buildTaskTempDirectory() const;
    QString resolveResultOutputDirectory() const;
    QString buildResultFilePath() const;

    // Extracts the source's audio as mono 16 kHz MP3 into workingDirectory.
    bool extractAudioToTemp(const QString &workingDirectory, QString *audioPath, QString *errorText) const;
    // Fetches url and saves its body at a free name from targetPath; *savedPath receives the name used.
    bool downloadResultFile(const QString &url, const QString &targetPath, int timeoutMs, QString *errorText,
                            QString *savedPath = nullptr);

protected:
    void executeStart() override;
    void executeCancel() override;

private:
    bool cancelRequested() const;
    // Raises the progress; a lower value within one run is ignored.
    void advanceProgress(double value);
    double currentProgressFloor() const;
    bool animateProgressSegment(double from, double to, int durationMs);
    // Runs the creation on its own pool thread and waits for it; false when cancelled meanwhile.
    bool waitForCreation(const user_pay::CreateConvertTaskRequest &request,
                         user_pay::CreateConvertTaskResult *result);
    bool queryTaskUntilFinished(const user_pay::CreateConvertTaskRequest &request,
                                const user_pay::CreateConvertTaskResult &created, QString *errorText);
    bool fetchTaskDownloadUrl(const user_pay::CreateConvertTaskRequest &request, const QString &taskTag,
                              QString *downUrl, QString *errorText);
    // Renames the downloaded temporary file to a free name; never replaces a file.
    bool commitResultFile(const QString &temporaryPath, const QString &targetPath, QString *savedPath,
                          QString *errorText);
    void runPipeline(const VideoToTextParams &params, const QString &workingDirectory);

    mutable QMutex m_paramsMutex;
    QString m_sourcePath;
    QString m_outputDirectory;
    QString m_outputFormat;
    QString m_recognitionLanguage;
    QString m_sourceResolution = QStringLiteral("Auto");
    std::atomic_bool m_cancelRequested{false};

    tools::VideoToTextCloud *m_cloud = nullptr;
    // The pool thread's own: the highest progress of the run in progress.
    double m_progressFloor = 0.0;
    // Guards the commit of the result against a cancel on the GUI thread.
    mutable QMutex m_commitMutex;
    bool m_committed = false;
};
