// Supported-format lists, built once at static initialisation and only read afterwards.
#include "media/MediaFormats.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <QVector>

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

// The MIME types the program claims on a desktop (its desktop entry, "mimeapps.list"), each
// with every file name shared-mime-info gives that type: a desktop hands the program whatever
// name its type resolves to, so each of them must open. The type names are the database's
// canonical ones, in the order the desktop entry lists them. Blu-ray's index, playlist and
// clip files carry the transport stream's type: they open and mpv says what it cannot play.
const QVector<MimeTypeNames> kClaimedMimeTypes{
    {QStringLiteral("video/mp4"), {"mp4", "m4v", "f4v", "lrv"}},
    {QStringLiteral("video/x-matroska"), {"mkv"}},
    {QStringLiteral("video/x-msvideo"), {"avi", "avf", "divx"}},
    {QStringLiteral("video/quicktime"), {"mov", "qt", "moov", "qtvr"}},
    {QStringLiteral("video/x-ms-wmv"), {"wmv"}},
    {QStringLiteral("video/x-flv"), {"flv"}},
    {QStringLiteral("video/webm"), {"webm"}},
    {QStringLiteral("video/mpeg"), {"mpg", "mpeg", "vob", "mpe", "mp2", "vdr"}},
    {QStringLiteral("video/mp2t"), {"ts", "m2ts", "mts", "m2t", "bdmv", "mpls", "clpi", "cpi", "mpl", "bdm"}},
    {QStringLiteral("video/3gpp"), {"3gp", "3gpp", "3ga"}},
    {QStringLiteral("video/3gpp2"), {"3g2", "3gp2", "3gpp2"}},
    {QStringLiteral("video/ogg"), {"ogv", "ogg"}},
    {QStringLiteral("application/vnd.ms-asf"), {"asf"}},
    {QStringLiteral("application/vnd.rn-realmedia"), {"rm", "rmvb", "rmj", "rmm", "rms", "rmx"}},
    {QStringLiteral("audio/mpeg"), {"mp3", "mpga"}},
    {QStringLiteral("audio/flac"), {"flac"}},
    {QStringLiteral("audio/x-wav"), {"wav"}},
    {QStringLiteral("audio/mp4"), {"m4a", "f4a"}},
    {QStringLiteral("audio/aac"), {"aac", "adts"}},
    {QStringLiteral("audio/ogg"), {"ogg", "oga", "opus"}},
    {QStringLiteral("audio/x-flac+ogg"), {"ogg", "oga"}},
    {QStringLiteral("audio/x-speex+ogg"), {"ogg", "oga", "spx"}},
    {QStringLiteral("audio/x-vorbis+ogg"), {"ogg", "oga"}},
    {QStringLiteral("video/x-theora+ogg"), {"ogg"}},
    {QStringLiteral("audio/x-opus+ogg"), {"opus"}},
    {QStringLiteral("audio/x-aiff"), {"aiff", "aif"}},
};

// Every name of a claimed type that is neither of the lists given, in table order.
QStringList otherClaimedNames(const QStringList &listed)
{
    QStringList out;
    for (const MimeTypeNames &type : kClaimedMimeTypes)
        for (const QString &ext : type.extensions)
            if (!listed.contains(ext) && !out.contains(ext))
                out << ext;
    return out;
}

QStringList mimeTypeNamesOf(const QVector<MimeTypeNames> &table)
{
    QStringList out;
    for (const MimeTypeNames &type : table)
        out << type.mimeType;
    return out;
}

// Names the tools read as video or as audio; the other names of claimed types follow them in
// the playable list (the player opens them, the tools that want a video do not).
const QStringList kVideoExtensions{"mp4", "mkv",  "avi", "mov",  "wmv",  "flv",  "webm", "m4v",
                                   "mpg", "mpeg", "ts",  "m2ts", "mts",  "3gp",  "3g2",  "ogv",
                                   "asf", "vob",  "f4v", "rm",   "rmvb", "lrv",  "avf",  "divx",
                                   "qt",  "moov", "mpe", "vdr",  "m2t",  "3gpp", "3gp2", "3gpp2"};
const QStringList kAudioExtensions{"mp3",  "flac", "wav", "m4a",  "aac", "ogg",  "oga", "opus",
                                   "aiff", "aif",  "spx", "mpga", "f4a", "adts", "mp2", "3ga"};
const QStringList kPlayableExtensions =
    kVideoExtensions + kAudioExtensions + otherClaimedNames(kVideoExtensions + kAudioExtensions);
const QStringList kClaimedMimeTypeNames = mimeTypeNamesOf(kClaimedMimeTypes);
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
const QVector<MimeTypeNames> &claimedMimeTypes()
{
    return kClaimedMimeTypes;
}
const QStringList &claimedMimeTypeNames()
{
    return kClaimedMimeTypeNames;
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
