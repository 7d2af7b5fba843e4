// Which streams of a source an ffmpeg output keeps: every audio track and the subtitles its
// container can hold, instead of ffmpeg's own pick of one stream of each kind.
#pragma once

#include "ffmpeg/ProbeParsing.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tools {

// Containers that hold a single audio stream and no picture.
bool isAudioOnlyContainer(const QString &extension);

struct StreamSelection
{
    // "-map" and per-stream codec arguments; empty when the streams are unknown, which leaves the
    // choice to ffmpeg.
    QStringList arguments;
    // One line per source stream the output leaves out, saying why.
    QStringList leftOut;
};

// The streams of a source with streams (from the probe) that an output with the extension
// keeps: the first moving picture (a cover only when there is nothing else), every audio track
// (the default one, else the first, for an audio-only container) and the subtitles the container
// holds, text subtitles converted to its own text format.
StreamSelection selectStreams(const QString &extension, const QVector<ffmpeg::StreamInfo> &streams);

} // namespace tools
