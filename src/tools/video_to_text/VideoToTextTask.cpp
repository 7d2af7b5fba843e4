// The video-to-text job: its parameters, the texts the job list shows, and the whole run from the
// source video to the saved result.
#include "tools/video_to_text/VideoToTextTask.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "ffmpeg/FFmpegCommandBuilder.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/PoolJob.h"
#include "i18n/I18n.h"
#include "tools/ToolIds.h"
#include "tools/common/OutputNaming.h"
#include "tools/video_to_text/VideoToTextCloud.h"
#include "tools/video_to_text/VideoToTextTiming.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/FileProcessService.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

// ffmpeg may repeat a complaint per frame; the end of its output holds the reason for a failure.
constexpr int kMaxStderrBytes = 256 * 1024;
// Renames to try when each free name is taken again before the result reaches it.
constexpr int kMaxCommitAttempts = 100;

QString msg(const char *key)
{
    return i18n::t(QStringLiteral("cpp.msg.") + QLatin1String(key));
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool sameProgress(double a, double b)
{
    // Compared one up, so that a value near 0 is not held to a tolerance of nothing.
    return std::abs((a + 1.0) - (b + 1.0)) * 1000000000000.0 <=
           std::min(std::abs(a + 1.0), std::abs(b + 1.0));
}

double clampUnit(double value)
{
    return value > 1.0 ? 1.0 : (value > 0.0 ? value : 0.0);
}

void appendTail(QByteArray &buffer, const QByteArray &chunk)
{
    buffer.append(chunk);
    if (buffer.size() > kMaxStderrBytes)
        buffer.remove(0, buffer.size() - kMaxStderrBytes);
}

} // namespace

VideoToTextTask::VideoToTextTask(const QString &taskId, const VideoToTextParams &params)
    : BackgroundTask(taskId, tools::ToolIds::VideoToText), m_sourcePath(params.sourcePath),
      m_outputDirectory(params.outputDirectory), m_outputFormat(params.outputFormat),
      m_recognitionLanguage(params.recognitionLanguage), m_cloud(tools::VideoToTextCloud::defaultCloud())
{
}

VideoToTextParams VideoToTextTask::params() const
{
    QMutexLocker lock(&m_paramsMutex);
    VideoToTextParams params;
    params.sourcePath = m_sourcePath;
    params.outputDirectory = m_outputDirectory;
    params.outputFormat = m_outputFormat;
    params.recognitionLanguage = m_recognitionLanguage;
    return params;
}

QString VideoToTextTask::sourcePath() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_sourcePath;
}

QString VideoToTextTask::sourceFileName() const
{
    return QFileInfo(sourcePath()).fileName();
}

qint64 VideoToTextTask::sourceFileSizeBytes() const
{
    const QFileInfo info(sourcePath());
    return info.exists() ? info.size() : 0;
}

QString VideoToTextTask::sourceFileSizeText() const
{
    return formatFileSize(sourceFileSizeBytes());
}

QString VideoToTextTask::sourceFormat() const
{
    const QString suffix = QFileInfo(sourcePath()).suffix();
    return suffix.isEmpty() ? i18n::t(QStringLiteral("cpp.msg.unknown")) : suffix.toUpper();
}

QString VideoToTextTask::sourceResolution() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_sourceResolution;
}

void VideoToTextTask::setSourceResolution(const QString &text)
{
    QMutexLocker lock(&m_paramsMutex);
    if (text.isEmpty() || text == m_sourceResolution)
        return;
    m_sourceResolution = text;
}

QString VideoToTextTask::targetFormat() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_outputFormat.trimmed().toUpper();
}

QString VideoToTextTask::targetLanguage() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_recognitionLanguage;
}

void VideoToTextTask::applyPreset(const VideoToTextParams &params)
{
    QMutexLocker lock(&m_paramsMutex);
    // A run copies the options under this lock once it has begun. Checked under the same lock, a
    // run that has begun keeps the options it copied and its row never shows others, and one
    // that has not begun yet copies these.
    if (isExecuting())
        return;
    m_outputDirectory = params.outputDirectory;
    m_outputFormat = params.outputFormat;
    m_recognitionLanguage = params.recognitionLanguage;
}

void VideoToTextTask::setCloud(tools::VideoToTextCloud *cloud)
{
    m_cloud = cloud;
}

QString VideoToTextTask::resolveOutputExtension(const QString &outputFormat)
{
    const QString format = outputFormat.trimmed().toUpper();
    if (format == QLatin1String("WORD"))
        return QStringLiteral("docx");
    if (format == QLatin1String("SRT"))
        return QStringLiteral("srt");
    return QStringLiteral("txt");
}

QString VideoToTextTask::resolveLanguageCode(const QString &recognitionLanguage)
{
    const QString language = recognitionLanguage.trimmed().toLower();
    if (language.contains(QLatin1String("english")) || language == QLatin1String("en") ||
        language.contains(QChar(0x82F1)))
        return QStringLiteral("en");
    if (language.contains(QLatin1String("other")) || language == QLatin1String("all") ||
        language.contains(QChar(0x5176)))
        return QStringLiteral("all");
    return QStringLiteral("zh");
}

QString VideoToTextTask::formatFileSize(qint64 bytes)
{
    const qint64 n = qMax<qint64>(0, bytes);
    if (n < 1024)
        return QStringLiteral("%1B").arg(n);
    const auto number = [](double value) { return QString::number(value, 'f', value < 100.0 ? 1 : 0); };
    const double k = static_cast<double>(n) / 1024.0;
    if (k < 1024.0)
        return number(k) + QLatin1Char('K');
    const double m = k / 1024.0;
    if (m < 1024.0)
        return number(m) + QLatin1Char('M');
    return number(m / 1024.0) + QLatin1Char('G');
}

double VideoToTextTask::logEaseOut(double x)
{
    const double clamped = x > 1.0 ? 1.0 : (x > 0.0 ? x : 0.0);
    return std::log10(1.0 + 9.0 * clamped);
}

QString VideoToTextTask::audioBaseNameFor(const QString &sourcePath)
{
    QString base = QFileInfo(sourcePath).completeBaseName().trimmed();
    if (base.isEmpty())
        base = QStringLiteral("audio");
    QString name;
    name.reserve(base.size());
    for (const QChar c : base) {
        const ushort u = c.unicode();
        const bool asciiKept =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-';
        if (u < 0x80)
            name.append(asciiKept ? c : QLatin1Char('_'));
        else
            name.append(c.isLetterOrNumber() ? c : QLatin1Char('_'));
    }
    if (name.isEmpty())
        name = QStringLiteral("audio");
    return name.left(48);
}

QString VideoToTextTask::resultOutputDirectoryFor(const VideoToTextParams &params)
{
    const QString directory = QDir::fromNativeSeparators(params.outputDirectory.trimmed());
    if (!directory.isEmpty())
        return directory;
    return QDir::fromNativeSeparators(QFileInfo(params.sourcePath).absolutePath());
}

QString VideoToTextTask::resultFilePathFor(const VideoToTextParams &params)
{
    const QFileInfo source(params.sourcePath);
    QString name = source.completeBaseName();
    if (name.isEmpty())
        name = source.fileName();
    const QString fileName = QStringLiteral("%1.%2").arg(name, resolveOutputExtension(params.outputFormat));
    return QDir(resultOutputDirectoryFor(params)).filePath(fileName);
}

QString VideoToTextTask::ensureUniqueFilePath(const QString &path)
{
    if (!tools::pathIsTaken(path))
        return path;
    const QFileInfo info(path);
    const QDir folder = info.dir();
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix();
    for (int n = 1; n <= 9999; ++n) {
        const QString name = suffix.isEmpty() ? QStringLiteral("%1_%2").arg(base).arg(n)
                                              : QStringLiteral("%1_%2.%3").arg(base).arg(n).arg(suffix);
        const QString candidate = folder.filePath(name);
        if (!tools::pathIsTaken(candidate))
            return candidate;
    }
    return QString();
}

QString VideoToTextTask::buildTaskTempDirectory() const
{
    return app::tempDirPath(QStringLiteral("Tavrixo/video_to_text/%1").arg(taskId()));
}

QString VideoToTextTask::resolveResultOutputDirectory() const
{
    return resultOutputDirectoryFor(params());
}

QString VideoToTextTask::buildResultFilePath() const
{
    return resultFilePathFor(params());
}

bool VideoToTextTask::cancelRequested() const
{
    return m_cancelRequested.load() || isCancelRequested();
}

void VideoToTextTask::advanceProgress(double value)
{
    const double clamped = clampUnit(value);
    if (clamped <= m_progressFloor)
        return;
    m_progressFloor = clamped;
    setProgress(clamped);
}

double VideoToTextTask::currentProgressFloor() const
{
    return m_progressFloor;
}

bool VideoToTextTask::animateProgressSegment(double from, double to, int durationMs)
{
    from = clampUnit(from);
    to = clampUnit(to);
    const int stepMs = qMax(1, tools::videoToTextTiming().animationStepMs);
    if (durationMs > 0 && !sameProgress(from, to)) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < durationMs) {
            if (cancelRequested())
                return false;
            const double x = static_cast<double>(clock.elapsed()) / durationMs;
            advanceProgress(from + (to - from) * logEaseOut(x));
            QThread::msleep(static_cast<unsigned long>(stepMs));
        }
    }
    advanceProgress(to);
    return true;
}

bool VideoToTextTask::extractAudioToTemp(const QString &workingDirectory, QString *audioPath,
                                         QString *errorText) const
{
    if (!audioPath || !errorText)
        return false;
    const FFmpegEnvironment environment;
    if (!environment.hasFFmpegExecutable()) {
        *errorText = msg("ffmpeg_executable_not_found");
        return false;
    }
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    const QString source = sourcePath();
    const QString outputPath =
        workingDirectory + QLatin1Char('/') +
        QStringLiteral("%1_%2.mp3").arg(audioBaseNameFor(source)).arg(QDateTime::currentMSecsSinceEpoch());
    // -nostdin and -hide_banner: ffmpeg must never wait for a key, and its error text is shown
    // to the user, so the version banner must not bury the reason.
    const FFmpegCommandBuilder::Command command = FFmpegCommandBuilder::create(
        environment.ffmpegExecutablePath(),
        {QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"), QStringLiteral("-y"),
         QStringLiteral("-i"), source, QStringLiteral("-vn"), QStringLiteral("-ac"), QStringLiteral("1"),
         QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-f"), QStringLiteral("mp3"),
         outputPath});

    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(timing.ffmpegStartMs)) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(timing.ffmpegKillMs);
        }
        *errorText = msg("start_ffmpeg_failed");
        return false;
    }

    QByteArray standardError;
    for (;;) {
        if (process.state() == QProcess::NotRunning) {
            process.waitForFinished(timing.ffmpegFinishMs);
            appendTail(standardError, process.readAllStandardError());
            if (cancelRequested()) {
                *errorText = msg("task_cancelled");
                return false;
            }
            if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                QFileInfo::exists(outputPath)) {
                *audioPath = QDir::fromNativeSeparators(QFileInfo(outputPath).absoluteFilePath());
                return true;
            }
            const QString text = QString::fromUtf8(standardError).trimmed();
            *errorText = text.isEmpty() ? msg("audio_extraction_failed") : text;
            return false;
        }
        // Waiting for the end rather than for output still reads the pipe and wakes at least
        // every interval to look at the cancel flag.
        process.waitForFinished(timing.ffmpegCheckMs);
        appendTail(standardError, process.readAllStandardError());
        if (cancelRequested() && process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(timing.ffmpegTerminateMs)) {
                process.kill();
                process.waitForFinished(timing.ffmpegKillMs);
            }
        }
    }
}

bool VideoToTextTask::downloadResultFile(const QString &url, const QString &targetPath, int timeoutMs,
                                         QString *errorText, QString *savedPath)
{
    if (!errorText)
        return false;
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setRawHeader("User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) Tavrixo/1.0");
    QNetworkReply *reply = manager.get(request);
    TVX_LOG_INFO << QStringLiteral("[VideoToText] start download, taskId=%1 url=%2 target=%3")
                        .arg(taskId(), url, targetPath);
    if (!reply) {
        *errorText = msg("create_download_request_failed");
        return false;
    }

    QEventLoop loop;
    QTimer timeoutTimer;
    timeoutTimer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timeoutTimer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QTimer cancelTimer;
    QObject::connect(&cancelTimer, &QTimer::timeout, &loop, [&] {
        if (cancelRequested()) {
            reply->abort();
            loop.quit();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop,
                     [this, &timing](qint64 received, qint64 total) {
                         if (total > 0) {
                             const double r = static_cast<double>(received) / static_cast<double>(total);
                             double p = 0.8;
                             if (r > 1.0)
                                 p = 0.99;
                             else if (r > 0.0)
                                 p = qBound(0.8, 0.8 + 0.19 * logEaseOut(r), 0.99);
                             advanceProgress(p);
                         } else {
                             const double p = currentProgressFloor();
                             animateProgressSegment(p, qMin(0.98, p + 0.01), timing.downloadCreepMs);
                         }
                     });
    timeoutTimer.start(qMax(0, timeoutMs));
    cancelTimer.start(qMax(1, timing.downloadCheckMs));
    if (!reply->isFinished())
        loop.exec();
    cancelTimer.stop();
    if (timedOut)
        reply->abort();
    else
        timeoutTimer.stop();
    const bool aborted = timedOut || reply->error() == QNetworkReply::OperationCanceledError;
    const QNetworkReply::NetworkError error = reply->error();
    const QString replyErrorText = reply->errorString().trimmed();
    const QByteArray body = aborted ? QByteArray() : reply->readAll();
    delete reply;

    if (cancelRequested()) {
        *errorText = msg("task_cancelled");
        return false;
    }
    if (timedOut) {
        *errorText = msg("download_timeout");
        return false;
    }
    if (error != QNetworkReply::NoError || body.isEmpty()) {
        *errorText = (error != QNetworkReply::NoError && !replyErrorText.isEmpty()) ? replyErrorText
                                                                                    : msg("download_failed");
        return false;
    }
    const QFileInfo target(targetPath);
    if (!QDir().mkpath(target.absolutePath())) {
        *errorText = msg("create_output_directory_failed");
        return false;
    }
    // The body goes to a name of this job's own first, so no reader ever sees half a result and
    // the final name is chosen only once the whole file is on disk.
    const QString temporaryPath = tools::temporaryOutputFilePath(target.absoluteFilePath(), taskId());
    QFile temporary(temporaryPath);
    if (!temporary.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *errorText = msg("open_output_file_failed");
        return false;
    }
    const bool written = temporary.write(body) == body.size() && temporary.flush();
    temporary.close();
    if (!written || temporary.error() != QFileDevice::NoError) {
        QFile::remove(temporaryPath);
        *errorText = msg("save_output_file_failed");
        return false;
    }
    return commitResultFile(temporaryPath, target.absoluteFilePath(), savedPath, errorText);
}

bool VideoToTextTask::commitResultFile(const QString &temporaryPath, const QString &targetPath,
                                       QString *savedPath, QString *errorText)
{
    QMutexLocker lock(&m_commitMutex);
    if (cancelRequested()) {
        QFile::remove(temporaryPath);
        *errorText = msg("task_cancelled");
        return false;
    }
    for (int attempt = 0; attempt < kMaxCommitAttempts; ++attempt) {
        // Chosen now rather than before the download: a file that appeared meanwhile is not
        // replaced, and Qt's rename refuses an existing target should one appear even later.
        const QString candidate = ensureUniqueFilePath(targetPath);
        if (candidate.isEmpty())
            break;
        if (QFile::rename(temporaryPath, candidate)) {
            m_committed = true;
            if (savedPath)
                *savedPath = QDir::fromNativeSeparators(candidate);
            return true;
        }
        if (!tools::pathIsTaken(temporaryPath) || !tools::pathIsTaken(candidate))
            break;
    }
    QFile::remove(temporaryPath);
    *errorText = msg("save_output_file_failed");
    return false;
}

bool VideoToTextTask::waitForCreation(const user_pay::CreateConvertTaskRequest &request,
                                      user_pay::CreateConvertTaskResult *result)
{
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    tools::VideoToTextCloud *cloud = m_cloud;
    // This thread only sleeps until the creation ends: lending its place in the pool lets the
    // creation start even when the pool has a single thread.
    QThreadPool::globalInstance()->releaseThread();
    QFuture<user_pay::CreateConvertTaskResult> creation =
        ffmpeg::startPoolJob([cloud, request] { return cloud->createConvertTask(request); });
    QElapsedTimer clock;
    clock.start();
    bool cancelled = false;
    for (;;) {
        if (creation.isFinished())
            break;
        if (cancelRequested()) {
            TVX_LOG_INFO << QStringLiteral("[VideoToText] cancelled while creating remote task, taskId=%1")
                                .arg(taskId());
            markCancelled(msg("task_cancelled"));
            cancelled = true;
            break;
        }
        setMessage(msg("creating_conversion_task"));
        const double eased =
            0.03 + 0.17 * logEaseOut(static_cast<double>(clock.elapsed()) / qMax(1, timing.creationEaseMs));
        advanceProgress(qMin(0.199, eased));
        QThread::msleep(static_cast<unsigned long>(qMax(1, timing.creationCheckMs)));
    }
    QThreadPool::globalInstance()->reserveThread();
    if (cancelled || cancelRequested() || status() == Cancelled)
        return false;
    *result = creation.result();
    return true;
}

bool VideoToTextTask::queryTaskUntilFinished(const user_pay::CreateConvertTaskRequest &request,
                                             const user_pay::CreateConvertTaskResult &created,
                                             QString *errorText)
{
    if (!errorText)
        return false;
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    const int maxPolls = qMax(1, timing.maxPolls);
    user_pay::QueryTaskStateRequest query;
    query.taskTag = created.taskTag;
    query.account = request.account;
    query.userToken = request.userToken;
    query.ifShowTxt = request.outExt == QLatin1String("txt") ? 2 : 0;
    query.isSchedule = 1;
    query.requestTimeoutMs = timing.cloudRequestTimeoutMs;

    for (int i = 0;;) {
        if (cancelRequested()) {
            TVX_LOG_INFO
                << QStringLiteral("[VideoToText] cancelled while polling status, taskId=%1").arg(taskId());
            markCancelled(msg("task_cancelled"));
            return false;
        }
        const user_pay::QueryTaskStateResult state = m_cloud->queryTaskState(query);
        ++i;
        TVX_LOG_INFO << QStringLiteral(
                            "[VideoToText] poll status, taskId=%1 poll=%2 code=%3 shouldPoll=%4 message=%5")
                            .arg(taskId(), QString::number(i), QString::number(state.code),
                                 boolText(state.shouldPoll), state.message);
        if (state.finished) {
            animateProgressSegment(currentProgressFloor(), 0.8, timing.finishedAnimationMs);
            return true;
        }
        if (!state.shouldPoll) {
            *errorText = state.message.trimmed().isEmpty() ? msg("task_processing_failed") : state.message;
            return false;
        }
        setMessage(msg("converting_waiting_server_result"));
        const double target = qBound(0.21, 0.2 + 0.59 * logEaseOut(static_cast<double>(i) / maxPolls), 0.79);
        if (!animateProgressSegment(currentProgressFloor(), target, timing.pollAnimationMs)) {
            markCancelled(msg("task_cancelled"));
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(qMax(0, timing.pollSleepMs)));
        if (i >= maxPolls) {
            *errorText = msg("task_status_polling_timeout");
            return false;
        }
    }
}

bool VideoToTextTask::fetchTaskDownloadUrl(const user_pay::CreateConvertTaskRequest &request,
                                           const QString &taskTag, QString *downUrl, QString *errorText)
{
    if (!downUrl || !errorText)
        return false;
    user_pay::QueryTaskDownRequest query;
    query.taskTag = taskTag;
    query.account = request.account;
    query.userToken = request.userToken;
    query.downType = 2;
    query.multiUrl = 0;
    query.requestTimeoutMs = tools::videoToTextTiming().cloudRequestTimeoutMs;
    const user_pay::QueryTaskDownResult result = m_cloud->queryTaskDown(query);
    TVX_LOG_INFO
        << QStringLiteral(
               "[VideoToText] query down url result, taskId=%1 code=%2 success=%3 message=%4 downUrl=%5")
               .arg(taskId(), QString::number(result.code), boolText(result.success), result.message,
                    result.downUrl);
    const QString address = result.downUrl.trimmed();
    if (result.success && !address.isEmpty()) {
        *downUrl = address;
        return true;
    }
    *errorText = result.message.trimmed().isEmpty() ? msg("get_download_url_failed") : result.message;
    return false;
}

void VideoToTextTask::executeStart()
{
    // The GUI thread may change the options while the job runs: this run keeps what it started with.
    const VideoToTextParams params = this->params();
    const QString id = taskId();
    TVX_LOG_INFO << QStringLiteral(
                        "[VideoToText] task start, taskId=%1 source=%2 format=%3 language=%4 outputDir=%5")
                        .arg(id, params.sourcePath, params.outputFormat, params.recognitionLanguage,
                             params.outputDirectory);
    // The framework's flag is cleared only when the job is put back to Pending, so a cancel that
    // came between the hand-over to the pool and this line is kept.
    m_cancelRequested = isCancelRequested();
    {
        QMutexLocker lock(&m_commitMutex);
        m_committed = false;
    }
    m_progressFloor = 0.0;
    if (!markRunning(msg("preparing_audio_extraction")))
        return;
    advanceProgress(0.03);

    if (params.sourcePath.trimmed().isEmpty()) {
        TVX_LOG_WARN << QStringLiteral("[VideoToText] invalid source path, taskId=%1").arg(id);
        markFailed(QStringLiteral("invalid_source"), msg("source_file_empty"));
        return;
    }

    const QString workingDirectory = buildTaskTempDirectory();
    if (workingDirectory.trimmed().isEmpty() ||
        (!QFileInfo(workingDirectory).isDir() && !QDir().mkpath(workingDirectory))) {
        TVX_LOG_ERROR << QStringLiteral("[VideoToText] create temp dir failed, taskId=%1 dir=%2")
                             .arg(id, workingDirectory);
        markFailed(QStringLiteral("create_temp_dir_failed"), msg("create_temporary_directory_failed"));
        return;
    }
    TVX_LOG_INFO
        << QStringLiteral("[VideoToText] temp dir ready, taskId=%1 dir=%2").arg(id, workingDirectory);

    runPipeline(params, workingDirectory);

    TVX_LOG_INFO
        << QStringLiteral("[VideoToText] cleaning temp dir, taskId=%1 dir=%2").arg(id, workingDirectory);
    if (!workingDirectory.trimmed().isEmpty())
        QDir(workingDirectory).removeRecursively();
}

void VideoToTextTask::runPipeline(const VideoToTextParams &params, const QString &workingDirectory)
{
    const QString id = taskId();
    const tools::VideoToTextTiming timing = tools::videoToTextTiming();
    if (cancelRequested()) {
        TVX_LOG_INFO << QStringLiteral("[VideoToText] cancelled before extract, taskId=%1").arg(id);
        markCancelled(msg("task_cancelled"));
        return;
    }

    QString audioPath;
    QString errorText;
    if (!extractAudioToTemp(workingDirectory, &audioPath, &errorText)) {
        if (cancelRequested()) {
            TVX_LOG_INFO << QStringLiteral("[VideoToText] extract audio cancelled, taskId=%1").arg(id);
            markCancelled(msg("task_cancelled"));
        } else {
            TVX_LOG_ERROR
                << QStringLiteral("[VideoToText] extract audio failed, taskId=%1 err=%2").arg(id, errorText);
            markFailed(QStringLiteral("extract_audio_failed"), errorText);
        }
        return;
    }
    TVX_LOG_INFO
        << QStringLiteral("[VideoToText] extract audio success, taskId=%1 audio=%2").arg(id, audioPath);
    setMessage(msg("submitting_conversion_task"));
    advanceProgress(0.35);

    if (!m_cloud) {
        markFailed(QStringLiteral("create_task_failed"), msg("create_conversion_task_failed"));
        return;
    }
    m_cloud->initialize();
    user_pay::CreateConvertTaskRequest request;
    request.filePath = audioPath;
    request.taskType = QStringLiteral("voice2text");
    request.outExt = resolveOutputExtension(params.outputFormat);
    request.limitSizeK = 2048;
    request.sliceSizeK = 2048;
    const QString languageCode = resolveLanguageCode(params.recognitionLanguage);
    request.convertParams.insert(QStringLiteral("fanyi_from"), languageCode);
    user_pay::AccountInfo account;
    if (user_pay::AccountLocalStore().load(&account)) {
        request.account = account.accountId.trimmed();
        request.userToken = account.token.trimmed();
    }
    request.chunkRetryCount = 2;
    request.requestTimeoutMs = timing.cloudRequestTimeoutMs;
    // A creation left behind by a cancel stops before its next slice instead of uploading from a
    // folder that is being removed.
    auto creationCancel = std::make_shared<std::atomic<bool>>(false);
    request.cancelFlag = creationCancel;
    TVX_LOG_INFO << QStringLiteral(
                        "[VideoToText] create task request, taskId=%1 taskType=%2 outExt=%3 fanyi_from=%4 "
                        "hasAccount=%5 sliceSizeK=%6 limitSizeK=%7")
                        .arg(id, request.taskType, request.outExt, languageCode,
                             boolText(!request.account.isEmpty()), QString::number(request.sliceSizeK),
                             QString::number(request.limitSizeK));

    user_pay::CreateConvertTaskResult created;
    if (!waitForCreation(request, &created)) {
        creationCancel->store(true);
        TVX_LOG_INFO << QStringLiteral("[VideoToText] cancelled after create-task wait, taskId=%1").arg(id);
        markCancelled(msg("task_cancelled"));
        return;
    }
    TVX_LOG_INFO << QStringLiteral(
                        "[VideoToText] create task result, taskId=%1 success=%2 code=%3 message=%4 "
                        "taskTag=%5 uploadedChunkCount=%6 totalChunkCount=%7")
                        .arg(id, boolText(created.success), QString::number(created.serviceCode),
                             created.message, created.taskTag, QString::number(created.uploadedChunkCount),
                             QString::number(created.totalChunkCount));
    if (!created.success) {
        markFailed(QStringLiteral("create_task_failed"), created.message.trimmed().isEmpty()
                                                             ? msg("create_conversion_task_failed")
                                                             : created.message);
        return;
    }

    animateProgressSegment(currentProgressFloor(), 0.2, timing.creationDoneAnimationMs);
    setMessage(msg("waiting_conversion_result"));
    if (!queryTaskUntilFinished(request, created, &errorText)) {
        if (status() != Cancelled && !cancelRequested()) {
            TVX_LOG_ERROR
                << QStringLiteral("[VideoToText] query task failed, taskId=%1 err=%2").arg(id, errorText);
            markFailed(QStringLiteral("query_task_failed"), errorText);
        } else {
            markCancelled(msg("task_cancelled"));
        }
        return;
    }

    TVX_LOG_INFO
        << QStringLiteral("[VideoToText] query task finished, taskId=%1 taskTag=%2").arg(id, created.taskTag);
    QString downUrl;
    if (!fetchTaskDownloadUrl(request, created.taskTag, &downUrl, &errorText) || cancelRequested()) {
        if (status() != Cancelled && !cancelRequested()) {
            TVX_LOG_ERROR
                << QStringLiteral("[VideoToText] query down url failed, taskId=%1 err=%2").arg(id, errorText);
            markFailed(QStringLiteral("query_download_url_failed"), errorText);
        } else {
            markCancelled(msg("task_cancelled"));
        }
        return;
    }
    TVX_LOG_INFO << QStringLiteral("[VideoToText] down url ready, taskId=%1 url=%2").arg(id, downUrl);
    if (cancelRequested()) {
        TVX_LOG_INFO << QStringLiteral("[VideoToText] cancelled before download, taskId=%1").arg(id);
        markCancelled(msg("task_cancelled"));
        return;
    }

    setMessage(msg("downloading_converted_file"));
    advanceProgress(0.88);
    const QString targetPath = resultFilePathFor(params);
    QString savedPath;
    if (downloadResultFile(downUrl, targetPath, timing.downloadTimeoutMs, &errorText, &savedPath)) {
        TVX_LOG_INFO
            << QStringLiteral("[VideoToText] download file success, taskId=%1 target=%2").arg(id, savedPath);
        setMessage(msg("completed"));
        advanceProgress(1.0);
        TVX_LOG_INFO << QStringLiteral("[VideoToText] task completed, taskId=%1").arg(id);
        if (!markCompleted(msg("conversion_completed")))
            QFile::remove(savedPath); // a cancelled job never leaves a result behind
        return;
    }
    if (cancelRequested()) {
        TVX_LOG_INFO << QStringLiteral("[VideoToText] download cancelled, taskId=%1").arg(id);
        markCancelled(msg("task_cancelled"));
    } else if (status() != Cancelled) {
        TVX_LOG_ERROR << QStringLiteral("[VideoToText] download file failed, taskId=%1 target=%2 err=%3")
                             .arg(id, targetPath, errorText);
        markFailed(QStringLiteral("download_result_failed"), errorText);
    }
}

void VideoToTextTask::executeCancel()
{
    TVX_LOG_INFO << QStringLiteral("[VideoToText] cancel requested, taskId=%1").arg(taskId());
    m_cancelRequested = true;
    {
        QMutexLocker lock(&m_commitMutex);
        // The result already sits under its name: the run is done, too late to cancel it.
        if (m_committed && status() == Running)
            return;
    }
    markCancelled(msg("task_cancelled"));
}
