// The video-to-text job's view of the cloud conversion service.
#include "cloud/video_to_text/VideoToTextCloud.h"

#include "cloud/FileProcessService.h"

namespace tools {
namespace {

class FileProcessCloud : public VideoToTextCloud
{
public:
    void initialize() override { user_pay::FileProcessService::instance().initialize(); }
    user_pay::CreateConvertTaskResult
    createConvertTask(const user_pay::CreateConvertTaskRequest &request) override
    {
        return user_pay::FileProcessService::instance().createConvertTask(request);
    }
    user_pay::QueryTaskStateResult queryTaskState(const user_pay::QueryTaskStateRequest &request) override
    {
        return user_pay::FileProcessService::instance().queryTaskState(request);
    }
    user_pay::QueryTaskDownResult queryTaskDown(const user_pay::QueryTaskDownRequest &request) override
    {
        return user_pay::FileProcessService::instance().queryTaskDown(request);
    }
};

} // namespace

VideoToTextCloud::~VideoToTextCloud() = default;

VideoToTextCloud *VideoToTextCloud::defaultCloud()
{
    static FileProcessCloud cloud;
    return &cloud;
}

} // namespace tools
