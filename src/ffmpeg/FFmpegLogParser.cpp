// Progress-line parser.
#include "ffmpeg/FFmpegLogParser.h"

QVariantMap FFmpegLogParser::parseProgressLine(const QString &line)
{
    QVariantMap map;
    map.insert(QStringLiteral("rawLine"), line);
    map.insert(QStringLiteral("progress"), 0.0);
    return map;
}
