// Stream maps of the queued ffmpeg tools.
#include "tools/common/StreamSelection.h"

namespace tools {
namespace {

bool isMp4Family(const QString &extension)
{
    return extension == QLatin1String("mp4") || extension == QLatin1String("mov") ||
           extension == QLatin1String("m4v");
}

bool isTextSubtitle(const QString &codec)
{
    static const QStringList kText{
        QStringLiteral("subrip"),     QStringLiteral("srt"),      QStringLiteral("ass"),
        QStringLiteral("ssa"),        QStringLiteral("mov_text"), QStringLiteral("webvtt"),
        QStringLiteral("text"),       QStringLiteral("microdvd"), QStringLiteral("subviewer"),
        QStringLiteral("subviewer1"), QStringLiteral("sami"),     QStringLiteral("realtext"),
        QStringLiteral("mpl2"),       QStringLiteral("pjs"),      QStringLiteral("vplayer"),
        QStringLiteral("stl"),        QStringLiteral("jacosub")};
    return kText.contains(codec);
}

// What a Matroska file takes as it is: its own text formats and the picture subtitles.
bool matroskaKeepsAsIs(const QString &codec)
{
    static const QStringList kKept{QStringLiteral("subrip"),       QStringLiteral("ass"),
                                   QStringLiteral("webvtt"),       QStringLiteral("dvd_subtitle"),
                                   QStringLiteral("dvb_subtitle"), QStringLiteral("hdmv_pgs_subtitle")};
    return kKept.contains(codec);
}

// The subtitle encoder of the container for codec: "copy", another encoder, or empty when the
// container cannot hold it.
QString subtitleEncoder(const QString &extension, const QString &codec)
{
    if (isMp4Family(extension))
        return isTextSubtitle(codec) ? QStringLiteral("mov_text") : QString();
    if (extension == QLatin1String("mkv")) {
        if (matroskaKeepsAsIs(codec))
            return QStringLiteral("copy");
        return isTextSubtitle(codec) ? QStringLiteral("srt") : QString();
    }
    return QString();
}

QString describe(const ffmpeg::StreamInfo &stream)
{
    const QString codec = stream.codecName.isEmpty() ? QStringLiteral("unknown codec") : stream.codecName;
    const QString type = stream.codecType.isEmpty() ? QStringLiteral("stream") : stream.codecType;
    return QStringLiteral("stream %1 (%2, %3)").arg(stream.index).arg(type, codec);
}

QString mapArgument(const ffmpeg::StreamInfo &stream)
{
    return QStringLiteral("0:%1").arg(stream.index);
}

} // namespace

bool isAudioOnlyContainer(const QString &extension)
{
    const QString e = extension.trimmed().toLower();
    return e == QLatin1String("mp3") || e == QLatin1String("wav") || e == QLatin1String("aac") ||
           e == QLatin1String("flac");
}

StreamSelection selectStreams(const QString &extension, const QVector<ffmpeg::StreamInfo> &streams)
{
    StreamSelection selection;
    if (streams.isEmpty())
        return selection;
    const QString container = extension.trimmed().toLower();
    const bool audioOnly = isAudioOnlyContainer(container);

    int video = -1;
    int audio = -1;
    for (int i = 0; i < streams.size(); ++i) {
        const ffmpeg::StreamInfo &stream = streams.at(i);
        if (stream.codecType == QLatin1String("video") && !audioOnly &&
            (video < 0 || (streams.at(video).attachedPicture && !stream.attachedPicture)))
            video = i;
        if (stream.codecType == QLatin1String("audio") && audioOnly &&
            (audio < 0 || (stream.isDefault && !streams.at(audio).isDefault)))
            audio = i;
    }

    int subtitleCount = 0;
    for (int i = 0; i < streams.size(); ++i) {
        const ffmpeg::StreamInfo &stream = streams.at(i);
        QString reason;
        if (stream.codecType == QLatin1String("video")) {
            if (i == video)
                selection.arguments << QStringLiteral("-map") << mapArgument(stream);
            else
                reason = audioOnly ? QStringLiteral("the container holds no picture")
                                   : QStringLiteral("only the first picture is kept");
        } else if (stream.codecType == QLatin1String("audio")) {
            if (!audioOnly || i == audio)
                selection.arguments << QStringLiteral("-map") << mapArgument(stream);
            else
                reason = QStringLiteral("the container holds one audio track");
        } else if (stream.codecType == QLatin1String("subtitle")) {
            const QString encoder = subtitleEncoder(container, stream.codecName);
            if (!encoder.isEmpty()) {
                selection.arguments << QStringLiteral("-map") << mapArgument(stream)
                                    << QStringLiteral("-c:s:%1").arg(subtitleCount++) << encoder;
            } else {
                reason = QStringLiteral("the container cannot hold this subtitle");
            }
        } else {
            reason = QStringLiteral("the container does not take this kind of stream");
        }
        if (!reason.isEmpty())
            selection.leftOut
                << QStringLiteral("%1 left out of %2: %3").arg(describe(stream), container, reason);
    }
    return selection;
}

} // namespace tools
