// Options of one video-to-text job, as the tool's view model fills them in.
#pragma once

#include <QString>

struct VideoToTextParams
{
    QString sourcePath;
    // Empty: the result goes beside the source.
    QString outputDirectory;
    QString outputFormat = QStringLiteral("TXT");
    // The display text the user chose; the job derives the service's language code from it.
    QString recognitionLanguage = QStringLiteral("中文");
};
