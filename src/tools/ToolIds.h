// Identifiers of the queued tools and the words for a task's status, shared program-wide.
#pragma once

#include <QLatin1String>

namespace tools {

namespace ToolIds {
inline constexpr QLatin1String FormatConvert{"format-convert"};
inline constexpr QLatin1String VideoCompress{"video-compress"};
inline constexpr QLatin1String VideoToText{"video-to-text"};
} // namespace ToolIds

// Status words by status number (0 Pending ... 4 Cancelled); the job framework never reads them.
namespace ToolMessages {
inline constexpr QLatin1String Pending{"Pending"};
inline constexpr QLatin1String Running{"Running"};
inline constexpr QLatin1String Completed{"Completed"};
inline constexpr QLatin1String Failed{"Failed"};
inline constexpr QLatin1String Cancelled{"Cancelled"};
} // namespace ToolMessages

} // namespace tools
