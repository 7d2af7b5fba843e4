// Map forms of the format-convert options.
#include "tools/format_convert/FormatConvertParams.h"

QVariantMap FormatConvertParams::toVariantMap() const
{
    QVariantMap map;
    map.insert(QStringLiteral("sourcePath"), sourcePath);
    map.insert(QStringLiteral("outputDirectory"), outputDirectory);
    map.insert(QStringLiteral("outputFormat"), outputFormat);
    map.insert(QStringLiteral("videoCodec"), videoCodec);
    map.insert(QStringLiteral("frameRate"), frameRate);
    map.insert(QStringLiteral("resolution"), resolution);
    map.insert(QStringLiteral("videoBitrate"), videoBitrate);
    map.insert(QStringLiteral("audioCodec"), audioCodec);
    map.insert(QStringLiteral("audioBitrate"), audioBitrate);
    map.insert(QStringLiteral("shutdownWhenFinished"), shutdownWhenFinished);
    return map;
}

FormatConvertParams FormatConvertParams::fromVariantMap(const QVariantMap &map)
{
    FormatConvertParams params;
    params.sourcePath = map.value(QStringLiteral("sourcePath")).toString();
    params.outputDirectory = map.value(QStringLiteral("outputDirectory")).toString();
    auto read = [&map](const char *key, QString *field) {
        const QString name = QString::fromLatin1(key);
        if (map.contains(name))
            *field = map.value(name).toString();
    };
    read("outputFormat", &params.outputFormat);
    read("videoCodec", &params.videoCodec);
    read("frameRate", &params.frameRate);
    read("resolution", &params.resolution);
    read("videoBitrate", &params.videoBitrate);
    read("audioCodec", &params.audioCodec);
    read("audioBitrate", &params.audioBitrate);
    params.shutdownWhenFinished = map.value(QStringLiteral("shutdownWhenFinished"), false).toBool();
    return params;
}
