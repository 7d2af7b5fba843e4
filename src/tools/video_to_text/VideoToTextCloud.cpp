// The video-to-text job's view of the cloud conversion service.
#include "tools/video_to_text/VideoToTextCloud.h"

namespace tools {

VideoToTextCloud::~VideoToTextCloud() = default;

VideoToTextCloud *VideoToTextCloud::defaultCloud()
{
    return nullptr;
}

} // namespace tools
