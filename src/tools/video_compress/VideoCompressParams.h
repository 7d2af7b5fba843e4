// Options of one video compression, as the tool's view model fills them in.
#pragma once

#include <QString>

struct VideoCompressParams
{
    QString sourcePath;
    QString outputDirectory;
    QString outputFormat = QStringLiteral("Source");
    QString compressionMode = QStringLiteral("Balanced");
    int compressionRatio = 70;
    bool shutdownWhenFinished = false;
};
