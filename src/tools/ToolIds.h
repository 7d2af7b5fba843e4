// Identifiers of the queued tools and the words for a task's status, shared program-wide.
#pragma once

#include <QLatin1String>

namespace tools {

// The length is spelt out: QLatin1String's constructor from a bare pointer calls strlen, which
// only some compilers accept in a constant expression.
namespace ToolIds {
inline constexpr QLatin1String FormatConvert{"format-convert", 14};
inline constexpr QLatin1String VideoCompress{"video-compress", 14};
inline constexpr QLatin1String VideoToText{"video-to-text", 13};
} // namespace ToolIds

// Status words by status number (0 Pending ... 4 Cancelled); the job framework never reads them.
namespace ToolMessages {
inline constexpr QLatin1String Pending{"Pending", 7};
inline constexpr QLatin1String Running{"Running", 7};
inline constexpr QLatin1String Completed{"Completed", 9};
inline constexpr QLatin1String Failed{"Failed", 6};
inline constexpr QLatin1String Cancelled{"Cancelled", 9};
} // namespace ToolMessages

} // namespace tools
