// Supported-format lists, built once at static initialisation and only read afterwards.
#include "media/MediaFormats.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace media {
namespace {

QSet<QString> buildExtensionSet(const QStringList &list)
{
    QSet<QString> set;
    for (const QString &ext : list)
        set.insert(ext.toLower());
    return set;
}

QString wildcardPattern(const QStringList &list)
{
    QStringList patterns;
    patterns.reserve(list.size());
    for (const QString &ext : list)
        patterns << QStringLiteral("*.") + ext.toLower();
    return patterns.join(QLatin1Char(' '));
}

bool suffixIn(const QSet<QString> &set, const QString &path)
{
    return set.contains(QFileInfo(path).suffix().toLower());
}

// Declaration order is construction order; every list below depends only on those above it.
const QStringList kVideoExtensions{"mp4", "mkv", "avi",  "mov", "wmv",  "flv", "webm",
                                   "m4v", "mpg", "mpeg", "ts",  "m2ts", "mts", "3gp",
                                   "3g2", "ogv", "asf",  "vob", "f4v",  "rm",  "rmvb"};
const QStringList kAudioExtensions{"mp3", "flac", "wav", "m4a", "aac", "ogg"};
const QStringList kPlayableExtensions = kVideoExtensions + kAudioExtensions;
const QStringList kSubtitleExtensions{"ass", "ssa", "srt", "sub", "vtt"};
const QStringList kTranscodeInputExtensions = kPlayableExtensions;
const QStringList kVideoToolInputExtensions = kVideoExtensions;
const QStringList kDefaultAssociationExtensions = kPlayableExtensions;
const QStringList kFormatConvertOutputFormats{"MP4", "MKV", "MOV", "AVI", "MP3", "WAV", "AAC", "FLAC"};
const QStringList kVideoCompressOutputFormats{"Source", "MP4", "MKV"};
const QStringList kImageExportOutputFormats{"PNG", "JPG", "WEBP", "BMP"};
const QStringList kVideoToTextOutputFormats{"TXT", "WORD", "SRT"};
const QSet<QString> kPlayableExtensionSet = buildExtensionSet(kPlayableExtensions);
const QSet<QString> kVideoExtensionSet = buildExtensionSet(kVideoExtensions);
const QSet<QString> kSubtitleExtensionSet = buildExtensionSet(kSubtitleExtensions);
const QSet<QString> kTranscodeInputExtensionSet = buildExtensionSet(kTranscodeInputExtensions);
const QSet<QString> kVideoToolInputExtensionSet = buildExtensionSet(kVideoToolInputExtensions);

} // namespace

const QStringList &playableExtensions()
{
    return kPlayableExtensions;
}
const QStringList &videoExtensions()
{
    return kVideoExtensions;
}
const QStringList &subtitleExtensions()
{
    return kSubtitleExtensions;
}
const QStringList &transcodeInputExtensions()
{
    return kTranscodeInputExtensions;
}
const QStringList &videoToolInputExtensions()
{
    return kVideoToolInputExtensions;
}
const QStringList &defaultAssociationExtensions()
{
    return kDefaultAssociationExtensions;
}
const QStringList &formatConvertOutputFormats()
{
    return kFormatConvertOutputFormats;
}
const QStringList &videoCompressOutputFormats()
{
    return kVideoCompressOutputFormats;
}
const QStringList &imageExportOutputFormats()
{
    return kImageExportOutputFormats;
}
const QStringList &videoToTextOutputFormats()
{
    return kVideoToTextOutputFormats;
}

bool isSupportedPlayablePath(const QString &path)
{
    return suffixIn(kPlayableExtensionSet, path);
}
bool isVideoPath(const QString &path)
{
    return suffixIn(kVideoExtensionSet, path);
}
bool isSupportedSubtitlePath(const QString &path)
{
    return suffixIn(kSubtitleExtensionSet, path);
}
bool isSupportedTranscodeInputPath(const QString &path)
{
    return suffixIn(kTranscodeInputExtensionSet, path);
}
bool isSupportedVideoToolInputPath(const QString &path)
{
    return suffixIn(kVideoToolInputExtensionSet, path);
}

QStringList playableFileUrlsInFolder(const QString &folderPath)
{
    QStringList urls;
    if (folderPath.isEmpty() || !QFileInfo(folderPath).isDir())
        return urls;
    QDirIterator it(folderPath, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (isSupportedPlayablePath(file))
            urls.append(QUrl::fromLocalFile(file).toString());
    }
    return urls;
}

QString playableWildcardPattern()
{
    return wildcardPattern(kPlayableExtensions);
}
QString subtitleWildcardPattern()
{
    return wildcardPattern(kSubtitleExtensions);
}
QString transcodeInputWildcardPattern()
{
    return wildcardPattern(kTranscodeInputExtensions);
}
QString videoToolInputWildcardPattern()
{
    return wildcardPattern(kVideoToolInputExtensions);
}

} // namespace media
