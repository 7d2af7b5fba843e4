// The run-and-commit mechanism shared by format convert and video compress.
#include "tools/common/FFmpegOutputTask.h"

#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tools/common/FFmpegProgressParser.h"
#include "tools/common/OutputNaming.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>

namespace tools {
namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kReadIntervalMs = 200;
constexpr int kTerminateGraceMs = 1500;
constexpr int kKillGraceMs = 1500;
constexpr int kFinishWaitMs = 1000;
// ffmpeg's complaints can repeat per frame; the end of the text holds the reason for a failure.
constexpr int kMaxStderrBytes = 256 * 1024;
// Free names to try when each chosen one is taken by the time the file is renamed.
constexpr int kMaxCommitAttempts = 100;

void appendTail(QByteArray &buffer, const QByteArray &chunk)
{
    buffer.append(chunk);
    if (buffer.size() > kMaxStderrBytes)
        buffer.remove(0, buffer.size() - kMaxStderrBytes);
}

void stopProcess(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(kTerminateGraceMs)) {
        process.kill();
        process.waitForFinished(kKillGraceMs);
    }
}

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
    // A cancel that arrived while the source was probed must not start ffmpeg at all.
    if (cancelRequestedNow()) {
        finishCancelled(texts.cancelled);
        return;
    }
    QProcess process;
    process.setProgram(spec.program);
    process.setArguments(spec.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kKillGraceMs);
        }
        finishFailed(QStringLiteral("ffmpeg_start_failed"), texts.startFailed);
        return;
    }
    if (spec.onStarted)
        spec.onStarted();

    FFmpegProgressParser parser;
    QByteArray standardError;
    auto updateProgress = [&]() {
        const double p = FFmpegProgressParser::progressFor(parser.lastOutTime(), spec.durationSeconds);
        setProgress(p);
        if (texts.progressMessage)
            setMessage(texts.progressMessage(static_cast<int>(p * 100.0)));
    };
    auto drain = [&]() {
        const QByteArray out = process.readAllStandardOutput();
        if (!out.isEmpty() && spec.durationSeconds > 0 && parser.feed(out))
            updateProgress();
        const QByteArray err = process.readAllStandardError();
        if (!err.isEmpty())
            appendTail(standardError, err);
    };

    for (;;) {
        // Waiting for the end rather than for output still reads the pipes, and wakes at least
        // every interval to look at the cancel flag.
        const bool ended =
            process.waitForFinished(kReadIntervalMs) || process.state() == QProcess::NotRunning;
        drain();
        if (ended)
            break;
        if (cancelRequestedNow()) {
            stopProcess(process);
            break;
        }
    }
    process.waitForFinished(kFinishWaitMs);
    drain();
    if (spec.durationSeconds > 0 && parser.finish())
        updateProgress();

    if (cancelRequestedNow()) {
        finishCancelled(texts.cancelled);
        return;
    }
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        QString errorText = QString::fromUtf8(standardError).trimmed();
        if (errorText.isEmpty())
            errorText = texts.failedFallback;
        finishFailed(QStringLiteral("ffmpeg_failed"), errorText);
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
        const QString temporary = m_temporaryOutputPath;
        QString candidate = spec.target.finalPath;
        for (int attempt = 0; attempt < kMaxCommitAttempts && !candidate.isEmpty(); ++attempt) {
            // Qt's rename never replaces an existing file: a name taken meanwhile fails here and
            // the file that took it is left alone.
            if (QFile::rename(temporary, candidate)) {
                committedPath = candidate;
                break;
            }
            if (!pathIsTaken(temporary) || !pathIsTaken(candidate))
                break;
            const QString next = freeOutputFilePath(spec.target.directory, spec.target.baseName,
                                                    spec.target.extension, spec.target.sourcePath);
            if (next == candidate)
                break;
            candidate = next;
        }
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
