// Client of the cloud conversion API on the account host: signed JSON requests, the sliced
// upload of a file into a conversion task, and the task's state, result address and deletion.
#pragma once

#include "user_pay/UserPayResult.h"
#include "webapi/ServiceCodes.h"

#include <QByteArray>
#include <QFile>
#include <QFuture>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace user_pay {

struct CreateConvertTaskRequest
{
    QString filePath;
    QString taskType;
    QString outExt;
    int limitSizeK = 0;
    int sliceSizeK = 2048;
    QJsonObject convertParams;
    QString account;
    QString userToken;
    QString clientIp;
    QString platTag;
    int chunkRetryCount = 2;
    int requestTimeoutMs = 30000;
    // Optional: when it turns true, the creation stops before its next slice or before the
    // merge. Shared so that a creation running on a copy of the request keeps it alive.
    std::shared_ptr<const std::atomic<bool>> cancelFlag;
};

struct CreateConvertTaskResult
{
    bool success = false;
    int serviceCode = 0;
    QString message;
    QString taskTag;
    QString taskToken;
    qint64 timestamp = 0;
    int uploadedChunkCount = 0;
    int totalChunkCount = 0;
};

struct QueryTaskStateRequest
{
    QString taskTag;
    QString account;
    QString userToken;
    int ifShowTxt = 0;
    int isSchedule = 0;
    QString clientIp;
    QString platTag;
    int requestTimeoutMs = 30000;
};

struct QueryTaskDownRequest
{
    QString taskTag;
    QString account;
    QString userToken;
    int downType = webapi::downtype::Default;
    int multiUrl = 0;
    QString bandName;
    QString clientIp;
    QString platTag;
    int requestTimeoutMs = 30000;
};

struct DeleteTaskRequest
{
    QString account;
    QString userToken;
    QString taskTag;
    QString clientIp;
    QString platTag;
    int requestTimeoutMs = 30000;
};

struct QueryTaskStateResult
{
    bool finished = false;
    int code = 0;
    QString message;
    bool shouldPoll = false;
    QJsonObject response;
};

struct QueryTaskDownResult
{
    bool success = false;
    int code = 0;
    QString message;
    QString downUrl;
    QJsonObject response;
};

struct DeleteTaskResult
{
    bool success = false;
    int code = 0;
    QString message;
    QJsonObject response;
};

// Reads a file one slice at a time at 64-bit offsets, reusing one buffer, so that memory use
// stays at one slice whatever the file's size.
class FileSliceReader
{
public:
    FileSliceReader(const QString &path, qint64 fileSize, qint64 sliceSizeBytes);
    bool open();
    // Slices of a file: the size divided by the slice size, rounded up; 0 for an empty file or
    // a slice size below 1.
    static qint64 sliceCountFor(qint64 fileSize, qint64 sliceSizeBytes);
    // Replaces *bytes with slice index (shorter for the last one). False, with *bytes empty,
    // when the whole slice could not be read: index out of range, a failed seek or read, a
    // file shorter than the size given, no memory.
    bool read(qint64 index, QByteArray *bytes);

private:
    QFile m_file;
    const qint64 m_fileSize;
    const qint64 m_sliceSize;
};

class FileProcessService
{
public:
    struct UploadPointContext
    {
        QString taskTag;
        QString taskToken;
        qint64 timestamp = 0;
        QString fileName;
        qint64 fileSize = 0;
        int sliceCount = 0;
        int sliceSizeBytes = 0;
        QString clientIp;
        QString platTag;
    };

    static FileProcessService &instance();
    // The program uses instance(); tests build their own so each starts without a device id.
    FileProcessService() = default;
    FileProcessService(const FileProcessService &) = delete;
    FileProcessService &operator=(const FileProcessService &) = delete;

    void initialize();
    bool isInitialized() const;
    void setTimestampProvider(std::function<qint64()> provider);

    CreateConvertTaskResult createConvertTask(const CreateConvertTaskRequest &request) const;
    QFuture<CreateConvertTaskResult> createConvertTaskAsync(const CreateConvertTaskRequest &request);
    QueryTaskStateResult queryTaskState(const QueryTaskStateRequest &request) const;
    QueryTaskDownResult queryTaskDown(const QueryTaskDownRequest &request) const;
    DeleteTaskResult deleteTask(const DeleteTaskRequest &request) const;

    // Where the device id comes from; tests replace it, a null source restores the machine's.
    using UuidSource = QString (*)();
    static void setUuidSourceForTesting(UuidSource source);

    // The building blocks of the operations above, public so that each can be checked alone.
    QString resolveDeviceId() const;
    qint64 resolveTimestampSec() const;
    QString jsonValueToSignString(const QJsonValue &value) const;
    static QString normalizeValueForSign(const QString &text);
    static bool shouldSkipSignKey(const QString &key);
    // "key=value" pairs joined by "&" with the salt appended: the text that is digested.
    QString signString(const QJsonObject &object) const;
    QString generateDataSign(const QJsonObject &object) const;
    QJsonObject buildSignedPayload(const QJsonObject &body, const QString &clientIp, const QString &platTag,
                                   qint64 timestamp, UserPayResult *result) const;
    QString buildRequestUrl(const QString &path) const;
    QString resolveDomainHeader(const QString &url) const;
    // The common headers as (name, value) pairs in the order they are sent.
    QList<QPair<QByteArray, QByteArray>> commonHeaders(const QString &url) const;
    UserPayResult postJson(const QString &url, const QJsonObject &body, int timeoutMs,
                           QJsonObject *response) const;
    UserPayResult postBinary(const QString &url, const QByteArray &body, int timeoutMs,
                             QJsonObject *response) const;
    UserPayResult parseCommonResponse(const QJsonObject &response, const QString &operation,
                                      QJsonObject *data) const;
    // What the server's answers say, read without sending anything: the body as a JSON object,
    // the upload point's task, and each query's result.
    static UserPayResult decodeAnswer(const QByteArray &body, QJsonObject *response);
    static void readUploadPointAnswer(const QJsonObject &answer, UploadPointContext *context);
    static QueryTaskStateResult readTaskStateAnswer(const QJsonObject &answer);
    static QueryTaskDownResult readTaskDownAnswer(const QJsonObject &answer);
    static DeleteTaskResult readDeleteTaskAnswer(const QJsonObject &answer);
    UserPayResult validateCreateRequest(const CreateConvertTaskRequest &request, QString *errorMessage) const;
    UserPayResult validateQueryTaskStateRequest(const QueryTaskStateRequest &request,
                                                QString *errorMessage) const;
    UserPayResult validateQueryTaskDownRequest(const QueryTaskDownRequest &request,
                                               QString *errorMessage) const;
    UserPayResult validateDeleteTaskRequest(const DeleteTaskRequest &request, QString *errorMessage) const;

    UserPayResult requestUploadPoint(const CreateConvertTaskRequest &request,
                                     UploadPointContext *context) const;
    UserPayResult uploadFileChunks(const CreateConvertTaskRequest &request, const UploadPointContext &context,
                                   int *uploaded) const;
    UserPayResult uploadSingleChunk(const UploadPointContext &context, int chunkIndex,
                                    const QByteArray &bytes, int timeoutMs) const;
    UserPayResult requestUploadMerge(const UploadPointContext &context, int timeoutMs) const;

private:
    UserPayResult post(const char *kind, const QString &url, const QByteArray &body,
                       const QByteArray &logBody, const char *contentType, int timeoutMs,
                       QJsonObject *response) const;
    // Sends a signed body and hands back the answer; shared by the three queries.
    UserPayResult sendSigned(const QString &path, const QJsonObject &body, const QString &clientIp,
                             const QString &platTag, qint64 timestamp, int timeoutMs,
                             QJsonObject *response) const;

    std::atomic<bool> m_initialized{false};
    mutable QMutex m_deviceIdMutex;
    mutable QString m_deviceId;
    mutable QMutex m_providerMutex;
    std::function<qint64()> m_timestampProvider;
};

// The slice upload's URL: "/api/v4/uploadpointfile" with the task's tag, the server's time
// stamp, the task's token, file index 0 and the slice index as a fully encoded query.
QString buildUploadChunkUrl(const QString &uploadUrl, const FileProcessService::UploadPointContext &context,
                            int chunkIndex);

} // namespace user_pay
