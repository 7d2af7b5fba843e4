// Time stamp and head of the log line.
#include "core/Log.h"

#include <QTime>

QString getCurrectTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

namespace app {
QString logHead(const char *functionName)
{
    return QStringLiteral("[%1] FUNC: %2").arg(getCurrectTime(), QString::fromLatin1(functionName));
}
} // namespace app
