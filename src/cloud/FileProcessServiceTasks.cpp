// Cloud conversion client: the task operations: the sliced upload that creates a task, and the
// task's state, result address and deletion.
#include "cloud/FileProcessService.h"

#include "cloud/FileProcessServiceInternal.h"

#include <QFileInfo>
#include <QFutureInterface>
#include <QJsonArray>
#include <QRunnable>
#include <QThreadPool>

#include <climits>
#include <cmath>

namespace user_pay {

using detail::blank;
using detail::failure;
using detail::ok;
using detail::setIfNotBlank;

namespace {

const char kUploadPointPath[] = "/api/v4/uploadpointpar";
const char kUploadChunkPath[] = "/api/v4/uploadpointfile";
const char kUploadMergePath[] = "/api/v4/uploadpointmerge";
const char kTaskStatePath[] = "/api/v4/taskstate";
const char kTaskDownPath[] = "/api/v4/taskdown";
const char kDeleteTaskPath[] = "/api/v4/deltask";

bool isCancelled(const CreateConvertTaskRequest &request)
{
    return request.cancelFlag && request.cancelFlag->load();
}

UserPayResult cancelled()
{
    return failure(UserPayResult::Failed, QStringLiteral("Create convert task cancelled."));
}

// Starts fn on Qt's global thread pool and hands back its future.
template <typename T> QFuture<T> startOnPool(std::function<T()> fn)
{
    class Job : public QRunnable
    {
    public:
        explicit Job(std::function<T()> f) : m_fn(std::move(f)) { m_interface.reportStarted(); }
        QFuture<T> future() { return m_interface.future(); }
        void run() override
        {
            const T value = m_fn();
            m_interface.reportResult(value);
            m_interface.reportFinished();
        }

    private:
        std::function<T()> m_fn;
        QFutureInterface<T> m_interface;
    };
    auto *job = new Job(std::move(fn));
    QFuture<T> future = job->future();
    QThreadPool::globalInstance()->start(job);
    return future;
}

// A failed step decides a query's result with its code and message; true when the step passed.
template <typename Result> bool passed(const UserPayResult &step, Result *result)
{
    if (step.code == UserPayResult::Ok)
        return true;
    result->code = step.serviceCode;
    result->message = step.message;
    return false;
}

// The server's code and message and its whole answer, as every query reports them.
template <typename Result> void takeAnswer(const QJsonObject &answer, Result *result)
{
    result->code = answer.value(QStringLiteral("code")).toInt(0);
    result->message = answer.value(QStringLiteral("message")).toVariant().toString();
    result->response = answer;
}

// The body of a query about one task: its tag, and the account and token when there are any.
QJsonObject taskQueryBody(const QString &taskTag, const QString &account, const QString &userToken)
{
    QJsonObject body{{QStringLiteral("tasktag"), taskTag.trimmed()}};
    setIfNotBlank(&body, "account", account);
    setIfNotBlank(&body, "usertoken", userToken);
    return body;
}

} // namespace

// ---- creation ----

UserPayResult FileProcessService::requestUploadPoint(const CreateConvertTaskRequest &request,
                                                     UploadPointContext *context) const
{
    if (!context)
        return failure(UserPayResult::InvalidInput, QStringLiteral("Output context is null."));
    const QFileInfo file(request.filePath);
    const qint64 size = file.size();
    const qint64 sliceBytes = qint64(request.sliceSizeK) * 1024;
    // Slices are read whole into memory and counted in an int: sizes beyond that are refused
    // before anything is sent.
    if (sliceBytes > INT_MAX)
        return failure(UserPayResult::InvalidInput, QStringLiteral("sliceSizeK is too large."));
    const qint64 sliceCount = FileSliceReader::sliceCountFor(size, sliceBytes);
    if (sliceCount > INT_MAX)
        return failure(UserPayResult::InvalidInput,
                       QStringLiteral("File has too many slices for sliceSizeK."));

    QJsonObject body;
    body.insert(QStringLiteral("tasktype"), request.taskType.trimmed());
    body.insert(QStringLiteral("limitsize"), request.limitSizeK);
    body.insert(QStringLiteral("slicesize"), request.sliceSizeK);
    body.insert(QStringLiteral("fileinfo"),
                QJsonArray{QJsonObject{{QStringLiteral("filename"), file.fileName()},
                                       {QStringLiteral("filesize"), double(size)},
                                       {QStringLiteral("slicecount"), double(sliceCount)}}});
    body.insert(QStringLiteral("outext"), request.outExt.trimmed());
    if (!request.convertParams.isEmpty())
        body.insert(QStringLiteral("convertparm"), request.convertParams);
    setIfNotBlank(&body, "account", request.account);
    setIfNotBlank(&body, "usertoken", request.userToken);

    QJsonObject answer;
    const UserPayResult sent = sendSigned(QLatin1String(kUploadPointPath), body, request.clientIp,
                                          request.platTag, 0, request.requestTimeoutMs, &answer);
    if (sent.code != UserPayResult::Ok)
        return sent;
    const UserPayResult checked = parseCommonResponse(answer, QStringLiteral("uploadpointpar"), nullptr);
    if (checked.code != UserPayResult::Ok)
        return checked;

    readUploadPointAnswer(answer, context);
    context->fileName = file.fileName();
    context->fileSize = size;
    context->sliceCount = int(sliceCount);
    context->sliceSizeBytes = int(sliceBytes);
    context->clientIp = request.clientIp;
    context->platTag = request.platTag;
    if (context->taskTag.isEmpty() || context->taskToken.isEmpty() || context->timestamp <= 0)
        return failure(UserPayResult::Failed,
                       QStringLiteral("uploadpointpar response missing tasktag/tasktoken/timestamp."));
    return ok();
}

void FileProcessService::readUploadPointAnswer(const QJsonObject &answer, UploadPointContext *context)
{
    context->taskTag = answer.value(QStringLiteral("tasktag")).toString().trimmed();
    context->taskToken = answer.value(QStringLiteral("tasktoken")).toString().trimmed();
    const QJsonValue stamp = answer.value(QStringLiteral("timestamp"));
    if (stamp.isDouble()) {
        // A number beyond 64 bits has no integer value: it counts as no time stamp at all.
        const double seconds = stamp.toDouble();
        context->timestamp = std::abs(seconds) < 9.0e18 ? qint64(seconds) : 0;
    } else {
        bool converted = false;
        const qint64 value = stamp.toString().trimmed().toLongLong(&converted);
        context->timestamp = converted ? value : 0;
    }
}

UserPayResult FileProcessService::uploadFileChunks(const CreateConvertTaskRequest &request,
                                                   const UploadPointContext &context, int *uploaded) const
{
    if (!uploaded)
        return failure(UserPayResult::InvalidInput, QStringLiteral("Output chunk counter is null."));
    *uploaded = 0;
    FileSliceReader reader(request.filePath, context.fileSize, context.sliceSizeBytes);
    if (!reader.open())
        return failure(UserPayResult::Failed,
                       QStringLiteral("Failed to open file for upload: %1").arg(request.filePath));
    QByteArray slice;
    for (int i = 0; i < context.sliceCount; ++i) {
        if (isCancelled(request))
            return cancelled();
        if (!reader.read(i, &slice))
            return failure(UserPayResult::Failed,
                           QStringLiteral("Failed to read chunk %1 from file.").arg(i));
        UserPayResult attempt;
        for (int tries = 0; tries <= request.chunkRetryCount; ++tries) {
            attempt = uploadSingleChunk(context, i, slice, request.requestTimeoutMs);
            if (attempt.code == UserPayResult::Ok)
                break;
        }
        if (attempt.code != UserPayResult::Ok)
            return failure(
                4, QStringLiteral("Chunk upload failed. index=%1, reason=%2").arg(i).arg(attempt.message),
                attempt.serviceCode);
        ++*uploaded;
    }
    return ok();
}

UserPayResult FileProcessService::uploadSingleChunk(const UploadPointContext &context, int chunkIndex,
                                                    const QByteArray &bytes, int timeoutMs) const
{
    QJsonObject answer;
    const QString url =
        buildUploadChunkUrl(buildRequestUrl(QLatin1String(kUploadChunkPath)), context, chunkIndex);
    const UserPayResult sent = postBinary(url, bytes, timeoutMs, &answer);
    if (sent.code != UserPayResult::Ok)
        return sent;
    return parseCommonResponse(answer, QStringLiteral("uploadpointfile"), nullptr);
}

UserPayResult FileProcessService::requestUploadMerge(const UploadPointContext &context, int timeoutMs) const
{
    const QJsonObject body{{QStringLiteral("tasktag"), context.taskTag},
                           {QStringLiteral("tasktoken"), context.taskToken}};
    QJsonObject answer;
    // The merge carries the server's own time stamp from the upload point, not the local clock.
    const UserPayResult sent = sendSigned(QLatin1String(kUploadMergePath), body, context.clientIp,
                                          context.platTag, context.timestamp, timeoutMs, &answer);
    if (sent.code != UserPayResult::Ok)
        return sent;
    return parseCommonResponse(answer, QStringLiteral("uploadpointmerge"), nullptr);
}

CreateConvertTaskResult FileProcessService::createConvertTask(const CreateConvertTaskRequest &request) const
{
    CreateConvertTaskResult result;
    auto fail = [&result](const UserPayResult &step) {
        result.serviceCode = step.serviceCode;
        result.message = step.message;
        return result;
    };
    const UserPayResult valid = validateCreateRequest(request, nullptr);
    if (valid.code != UserPayResult::Ok)
        return fail(valid);

    UploadPointContext context;
    const UserPayResult point = requestUploadPoint(request, &context);
    if (point.code != UserPayResult::Ok)
        return fail(point);
    result.taskTag = context.taskTag;
    result.taskToken = context.taskToken;
    result.timestamp = context.timestamp;
    result.totalChunkCount = context.sliceCount;

    int uploaded = 0;
    const UserPayResult slices = uploadFileChunks(request, context, &uploaded);
    result.uploadedChunkCount = uploaded;
    if (slices.code != UserPayResult::Ok)
        return fail(slices);

    if (isCancelled(request))
        return fail(cancelled());
    const UserPayResult merged = requestUploadMerge(context, request.requestTimeoutMs);
    if (merged.code != UserPayResult::Ok)
        return fail(merged);

    result.success = true;
    result.serviceCode = webapi::servicecode::Success;
    result.message = QStringLiteral("Create convert task success.");
    return result;
}

QFuture<CreateConvertTaskResult>
FileProcessService::createConvertTaskAsync(const CreateConvertTaskRequest &request)
{
    const CreateConvertTaskRequest copy = request;
    return startOnPool<CreateConvertTaskResult>([this, copy] { return createConvertTask(copy); });
}

// ---- queries ----

QueryTaskStateResult FileProcessService::queryTaskState(const QueryTaskStateRequest &request) const
{
    QueryTaskStateResult result;
    if (!passed(validateQueryTaskStateRequest(request, nullptr), &result))
        return result;
    QJsonObject body = taskQueryBody(request.taskTag, request.account, request.userToken);
    if (request.ifShowTxt != 0)
        body.insert(QStringLiteral("ifshowtxt"), request.ifShowTxt);
    if (request.isSchedule != 0)
        body.insert(QStringLiteral("isschedule"), request.isSchedule);
    QJsonObject answer;
    if (!passed(sendSigned(QLatin1String(kTaskStatePath), body, request.clientIp, request.platTag, 0,
                           request.requestTimeoutMs, &answer),
                &result))
        return result;
    return readTaskStateAnswer(answer);
}

QueryTaskStateResult FileProcessService::readTaskStateAnswer(const QJsonObject &answer)
{
    QueryTaskStateResult result;
    takeAnswer(answer, &result);
    switch (result.code) {
    case webapi::servicecode::Success:
        result.finished = true;
        break;
    case webapi::servicecode::TaskRunning:
        result.shouldPoll = true;
        break;
    case webapi::servicecode::TaskFailed1:
    case webapi::servicecode::TaskFailed2:
        break;
    default:
        if (blank(result.message))
            result.message = QStringLiteral("taskstate returned unknown code.");
    }
    return result;
}

QueryTaskDownResult FileProcessService::queryTaskDown(const QueryTaskDownRequest &request) const
{
    QueryTaskDownResult result;
    if (!passed(validateQueryTaskDownRequest(request, nullptr), &result))
        return result;
    QJsonObject body = taskQueryBody(request.taskTag, request.account, request.userToken);
    if (request.downType != webapi::downtype::Default)
        body.insert(QStringLiteral("downtype"), request.downType);
    if (request.multiUrl != 0)
        body.insert(QStringLiteral("multiurl"), request.multiUrl);
    setIfNotBlank(&body, "bandname", request.bandName);
    QJsonObject answer;
    if (!passed(sendSigned(QLatin1String(kTaskDownPath), body, request.clientIp, request.platTag, 0,
                           request.requestTimeoutMs, &answer),
                &result))
        return result;
    return readTaskDownAnswer(answer);
}

QueryTaskDownResult FileProcessService::readTaskDownAnswer(const QJsonObject &answer)
{
    QueryTaskDownResult result;
    takeAnswer(answer, &result);
    if (result.code == webapi::servicecode::Success) {
        result.downUrl = answer.value(QStringLiteral("downurl")).toString().trimmed();
        result.success = !result.downUrl.isEmpty();
        if (!result.success)
            result.message = QStringLiteral("taskdown success response missing downurl.");
    } else if (blank(result.message)) {
        result.message = QStringLiteral("taskdown failed.");
    }
    return result;
}

DeleteTaskResult FileProcessService::deleteTask(const DeleteTaskRequest &request) const
{
    DeleteTaskResult result;
    if (!passed(validateDeleteTaskRequest(request, nullptr), &result))
        return result;
    const QJsonObject body{{QStringLiteral("account"), request.account.trimmed()},
                           {QStringLiteral("usertoken"), request.userToken.trimmed()},
                           {QStringLiteral("tasktag"), request.taskTag.trimmed()}};
    QJsonObject answer;
    if (!passed(sendSigned(QLatin1String(kDeleteTaskPath), body, request.clientIp, request.platTag, 0,
                           request.requestTimeoutMs, &answer),
                &result))
        return result;
    return readDeleteTaskAnswer(answer);
}

DeleteTaskResult FileProcessService::readDeleteTaskAnswer(const QJsonObject &answer)
{
    DeleteTaskResult result;
    takeAnswer(answer, &result);
    result.success = result.code == webapi::servicecode::Success;
    if (!result.success && blank(result.message))
        result.message = QStringLiteral("deltask failed.");
    return result;
}

} // namespace user_pay
