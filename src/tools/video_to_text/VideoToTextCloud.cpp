// The video-to-text job's view of the cloud conversion service.
#include "tools/video_to_text/VideoToTextCloud.h"

#include "tools/video_to_text/CloudConversionTypes.h"

namespace tools {
namespace {

#ifdef TVX_HAS_FILE_PROCESS_SERVICE
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
#endif

} // namespace

VideoToTextCloud::~VideoToTextCloud() = default;

VideoToTextCloud *VideoToTextCloud::defaultCloud()
{
#ifdef TVX_HAS_FILE_PROCESS_SERVICE
    static FileProcessCloud cloud;
    return &cloud;
#else
    return nullptr;
#endif
}

} // namespace tools
