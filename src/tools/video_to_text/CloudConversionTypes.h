// The cloud conversion service's request and result records as the video-to-text job uses them.
// Stand-ins until the service itself is part of this tree; removed once it is.
#pragma once

#if __has_include("user_pay/FileProcessService.h")
#include "user_pay/FileProcessService.h"
#define TVX_HAS_FILE_PROCESS_SERVICE 1
#else
#include <QJsonObject>
#include <QString>

#include <atomic>
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
    int downType = 2;
    int multiUrl = 0;
    QString bandName;
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

} // namespace user_pay
#endif
