// The video-to-text job's run: the cloud task created, polled and fetched, and the whole sequence
// from the source video to the saved result, with its cancel.
#include "cloud/video_to_text/VideoToTextTask.h"

#include "cloud/FileProcessService.h"
#include "cloud/video_to_text/VideoToTextCloud.h"
#include "cloud/video_to_text/VideoToTextTaskInternal.h"
#include "cloud/video_to_text/VideoToTextTiming.h"
#include "core/Log.h"
#include "ffmpeg/PoolJob.h"
#include "user_pay/AccountLocalStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>

#include <memory>

using tools::video_to_text::msg;

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

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
                                 boolText(state.shouldPoll), app::logExcerpt(state.message));
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
    query.downType = webapi::downtype::Default;
    query.multiUrl = 0;
    query.requestTimeoutMs = tools::videoToTextTiming().cloudRequestTimeoutMs;
    const user_pay::QueryTaskDownResult result = m_cloud->queryTaskDown(query);
    TVX_LOG_INFO
        << QStringLiteral(
               "[VideoToText] query down url result, taskId=%1 code=%2 success=%3 message=%4 downUrl=%5")
               .arg(taskId(), QString::number(result.code), boolText(result.success),
                    app::logExcerpt(result.message), app::maskAddress(result.downUrl));
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
                             app::logExcerpt(created.message), created.taskTag,
                             QString::number(created.uploadedChunkCount),
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
            TVX_LOG_ERROR << QStringLiteral("[VideoToText] query task failed, taskId=%1 err=%2")
                                 .arg(id, app::logExcerpt(errorText));
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
            TVX_LOG_ERROR << QStringLiteral("[VideoToText] query down url failed, taskId=%1 err=%2")
                                 .arg(id, app::logExcerpt(errorText));
            markFailed(QStringLiteral("query_download_url_failed"), errorText);
        } else {
            markCancelled(msg("task_cancelled"));
        }
        return;
    }
    TVX_LOG_INFO << QStringLiteral("[VideoToText] down url ready, taskId=%1 url=%2")
                        .arg(id, app::maskAddress(downUrl));
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
                             .arg(id, targetPath, app::logExcerpt(errorText));
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
