// Options of one format conversion, as the tool's view model fills them in.
#pragma once

#include <QString>
#include <QVariantMap>

struct FormatConvertParams
{
    QString sourcePath;
    QString outputDirectory;
    QString outputFormat = QStringLiteral("MP4");
    QString videoCodec = QStringLiteral("Auto");
    QString frameRate = QStringLiteral("Auto");
    QString resolution = QStringLiteral("Auto");
    QString videoBitrate = QStringLiteral("Auto");
    QString audioCodec = QStringLiteral("Auto");
    QString audioBitrate = QStringLiteral("Auto");
    bool shutdownWhenFinished = false;

    QVariantMap toVariantMap() const;
    // Missing keys keep the defaults; values of other types are read as text.
    static FormatConvertParams fromVariantMap(const QVariantMap &map);
};
