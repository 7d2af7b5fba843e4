// What the video-to-text job needs of the cloud conversion service, behind one small interface so
// a test can stand in for the service.
#pragma once

#include <QFuture>

namespace user_pay {
struct CreateConvertTaskRequest;
struct CreateConvertTaskResult;
struct QueryTaskStateRequest;
struct QueryTaskStateResult;
struct QueryTaskDownRequest;
struct QueryTaskDownResult;
} // namespace user_pay

namespace tools {

class VideoToTextCloud
{
public:
    virtual ~VideoToTextCloud();

    virtual void initialize() = 0;
    // Blocking; the job runs it on a pool thread of its own.
    virtual user_pay::CreateConvertTaskResult
    createConvertTask(const user_pay::CreateConvertTaskRequest &request) = 0;
    virtual user_pay::QueryTaskStateResult queryTaskState(const user_pay::QueryTaskStateRequest &request) = 0;
    virtual user_pay::QueryTaskDownResult queryTaskDown(const user_pay::QueryTaskDownRequest &request) = 0;

    // The program's cloud conversion service; lives as long as the process.
    static VideoToTextCloud *defaultCloud();
};

} // namespace tools
