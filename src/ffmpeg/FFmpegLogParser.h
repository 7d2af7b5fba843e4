// Progress-line parser offered to the tools (it reports no progress of its own).
#pragma once

#include <QString>
#include <QVariantMap>

class FFmpegLogParser
{
public:
    // {"rawLine": line, "progress": 0.0}
    static QVariantMap parseProgressLine(const QString &line);
};
