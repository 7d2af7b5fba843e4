// The run-and-commit mechanism shared by format convert and video compress.
#include "tools/common/FFmpegOutputTask.h"

#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tools/common/FFmpegProgressParser.h"
#include "tools/common/OutputNaming.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

namespace tools {
namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kReadIntervalMs = 200;
// ffmpeg's complaints can repeat per frame; the end of the text holds the reason for a failure.
constexpr int kMaxStderrBytes = 256 * 1024;

} // namespace

FFmpegOutputTask::FFmpegOutputTask(const QString &taskId, const QString &toolId, const QString &sourcePath,
                                   const ToolTexts &toolTexts)
    : BackgroundTask(taskId, toolId), m_sourcePath(sourcePath), m_toolTexts(toolTexts)
{
}

QString FFmpegOutputTask::sourcePath() const
{
    return m_sourcePath;
}

QString FFmpegOutputTask::sourceFileName() const
{
    return QFileInfo(m_sourcePath).fileName();
}

qint64 FFmpegOutputTask::sourceFileSizeBytes() const
{
    return QFileInfo(m_sourcePath).size();
}

QString FFmpegOutputTask::sourceFileSizeText() const
{
    return m_toolTexts.formatFileSize(sourceFileSizeBytes());
}

QString FFmpegOutputTask::sourceFormat() const
{
    const QString suffix = QFileInfo(m_sourcePath).suffix();
    return suffix.isEmpty() ? i18n::t(m_toolTexts.unknownFormatKey) : suffix.toUpper();
}

QString FFmpegOutputTask::sourceResolution() const
{
    return m_sourceResolution;
}

void FFmpegOutputTask::setSourceResolution(const QString &resolution)
{
    if (resolution.isEmpty() || resolution == m_sourceResolution)
        return;
    m_sourceResolution = resolution;
}

QString FFmpegOutputTask::buildTemporaryOutputFilePath(const QString &finalPath) const
{
    return temporaryOutputFilePath(finalPath, taskId());
}

bool FFmpegOutputTask::ensureOutputDirectoryExists(const QString &outputDirectory, QString *errorText) const
{
    return ensureOutputDirectory(outputDirectory, i18n::t(m_toolTexts.outputDirectoryEmptyKey),
                                 i18n::t(m_toolTexts.outputDirectoryCreateFailedKey), errorText);
}

void FFmpegOutputTask::cleanupTemporaryOutput()
{
    QMutexLocker lock(&m_temporaryMutex);
    removeTemporaryLocked();
}

void FFmpegOutputTask::removeTemporaryLocked()
{
    if (!m_temporaryOutputPath.isEmpty())
        QFile::remove(m_temporaryOutputPath);
}

bool FFmpegOutputTask::beginRun()
{
    {
        QMutexLocker lock(&m_temporaryMutex);
        m_temporaryOutputPath.clear();
        m_committed = false;
    }
    // The framework's flag is cleared only when the task is reset to Pending, so a cancel that
    // arrived between the hand-over to the pool and this line is not forgotten.
    m_cancelRequested = isCancelRequested();
    if (!m_cancelRequested)
        return true;
    markCancelled(cancelledText());
    return false;
}

bool FFmpegOutputTask::cancelRequestedNow() const
{
    return m_cancelRequested.load() || isCancelRequested();
}

QString FFmpegOutputTask::temporaryOutputPath() const
{
    QMutexLocker lock(&m_temporaryMutex);
    return m_temporaryOutputPath;
}

void FFmpegOutputTask::setTemporaryOutputPath(const QString &path)
{
    QMutexLocker lock(&m_temporaryMutex);
    m_temporaryOutputPath = path;
}

void FFmpegOutputTask::finishCancelled(const QString &text)
{
    cleanupTemporaryOutput();
    markCancelled(text);
}

void FFmpegOutputTask::finishFailed(const QString &errorCode, const QString &errorText)
{
    cleanupTemporaryOutput();
    markFailed(errorCode, errorText);
}

void FFmpegOutputTask::finishFailedWithKey(const char *errorCode, const char *textKey)
{
    finishFailed(QString::fromLatin1(errorCode), i18n::t(QString::fromLatin1(textKey)));
}

FFmpegEnvironment *FFmpegOutputTask::checkRunInputs(FFprobeService *prober, const QString &sourcePath,
                                                    const QString &outputDirectory,
                                                    const char *sourceEmptyKey,
                                                    const char *ffmpegUnavailableKey)
{
    if (sourcePath.trimmed().isEmpty()) {
        finishFailedWithKey("invalid_source", sourceEmptyKey);
        return nullptr;
    }
    QString errorText;
    if (!ensureOutputDirectoryExists(outputDirectory, &errorText)) {
        finishFailed(QStringLiteral("invalid_output_directory"), errorText);
        return nullptr;
    }
    FFmpegEnvironment *environment = prober ? prober->environment() : nullptr;
    if (!environment || !environment->hasFFmpegExecutable()) {
        finishFailedWithKey("ffmpeg_unavailable", ffmpegUnavailableKey);
        return nullptr;
    }
    return environment;
}

QString FFmpegOutputTask::prepareTemporaryOutput(const QString &outputPath, const char *outputPathInvalidKey,
                                                 const char *temporaryPathInvalidKey)
{
    if (outputPath.isEmpty()) {
        finishFailedWithKey("invalid_output_path", outputPathInvalidKey);
        return QString();
    }
    const QString temporaryPath = buildTemporaryOutputFilePath(outputPath);
    setTemporaryOutputPath(temporaryPath);
    if (temporaryPath.isEmpty()) {
        finishFailedWithKey("invalid_temporary_output_path", temporaryPathInvalidKey);
        return QString();
    }
    if (cancelRequestedNow()) {
        finishCancelled(cancelledText());
        return QString();
    }
    return temporaryPath;
}

void FFmpegOutputTask::executeCancel()
{
    m_cancelRequested = true;
    {
        QMutexLocker lock(&m_temporaryMutex);
        // The worker already renamed its file into place: the job is done, too late to cancel. The
        // mark belongs to the run in progress; a task reset to Pending since cancels like a new one.
        if (m_committed && status() == Running)
            return;
        removeTemporaryLocked();
    }
    markCancelled(cancelledText());
}

void FFmpegOutputTask::runAndCommit(const RunSpec &spec)
{
    const RunTexts &texts = spec.texts;
    FFmpegProgressParser parser;
    auto updateProgress = [&]() {
        const double p = FFmpegProgressParser::progressFor(parser.lastOutTime(), spec.durationSeconds);
        setProgress(p);
        if (texts.progressMessage)
            setMessage(texts.progressMessage(static_cast<int>(p * 100.0)));
    };

    ffmpeg::BoundedRunOptions options;
    options.timeoutMs = -1; // a file takes as long as it takes; the cancel is the way out
    options.startTimeoutMs = kStartTimeoutMs;
    options.pollMs = kReadIntervalMs;
    options.terminateGraceMs = ffmpeg::kJobTerminateGraceMs;
    options.killGraceMs = ffmpeg::kJobKillGraceMs;
    options.keepStderrTail = true;
    options.onStarted = spec.onStarted;
    options.onStdout = [&](const QByteArray &out) {
        if (spec.durationSeconds > 0 && parser.feed(out))
            updateProgress();
    };
    // A cancel that arrived while the source was probed must not start ffmpeg at all.
    options.cancelRequested = [this] { return cancelRequestedNow(); };
    const ffmpeg::BoundedRunResult run = ffmpeg::runBoundedProcess(spec.program, spec.arguments, options);
    if (run.end == ffmpeg::BoundedRunResult::End::NotStarted) {
        finishFailed(QStringLiteral("ffmpeg_start_failed"), texts.startFailed);
        return;
    }
    if (spec.durationSeconds > 0 && parser.finish())
        updateProgress();

    if (cancelRequestedNow()) {
        finishCancelled(texts.cancelled);
        return;
    }
    if (!run.succeeded()) {
        QString errorText = QString::fromUtf8(run.standardError).trimmed();
        if (errorText.isEmpty())
            errorText = texts.failedFallback;
        finishFailed(QStringLiteral("ffmpeg_failed"), errorText);
        return;
    }
    if (spec.acceptOutput && !spec.acceptOutput(temporaryOutputPath())) {
        finishFailed(spec.rejectedCode, texts.rejected);
        return;
    }

    QString committedPath;
    {
        QMutexLocker lock(&m_temporaryMutex);
        if (cancelRequestedNow()) {
            removeTemporaryLocked();
            lock.unlock();
            markCancelled(texts.cancelled);
            return;
        }
        committedPath = renameToFreeName(m_temporaryOutputPath, [&spec](const QString &last) {
            return last.isEmpty() ? spec.target.finalPath
                                  : freeOutputFilePath(spec.target.directory, spec.target.baseName,
                                                       spec.target.extension, spec.target.sourcePath,
                                                       spec.target.baseTail);
        });
        if (committedPath.isEmpty()) {
            removeTemporaryLocked();
            lock.unlock();
            markFailed(QStringLiteral("output_commit_failed"), texts.commitFailed);
            return;
        }
        m_committed = true;
        m_temporaryOutputPath.clear();
    }

    setProgress(1.0);
    const QString message = texts.completedMessage ? texts.completedMessage(committedPath) : QString();
    if (!markCompleted(message))
        QFile::remove(committedPath); // a cancelled job never reports, nor leaves, an output
}

} // namespace tools
