// What the video-to-text job's files share. Not part of the library's interface.
#pragma once

#include "i18n/I18n.h"

#include <QLatin1String>
#include <QString>

namespace tools {
namespace video_to_text {

// The job's texts from the catalog's "cpp.msg." keys.
inline QString msg(const char *key)
{
    return i18n::t(QStringLiteral("cpp.msg.") + QLatin1String(key));
}

} // namespace video_to_text
} // namespace tools
