// ffprobe output readers.
#include "ffmpeg/ProbeParsing.h"

#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/TimingProfile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextCodec>
#include <QTextDecoder>

#include <cmath>
#include <limits>

namespace ffmpeg {

bool countedDuration(const QJsonValue &value, double *seconds)
{
    double v = 0.0;
    bool ok = false;
    if (value.isString()) {
        v = value.toString().trimmed().toDouble(&ok);
    } else if (value.isDouble()) {
        v = value.toDouble();
        ok = true;
    }
    if (!ok || !std::isfinite(v) || v <= 0.0)
        return false;
    if (seconds)
        *seconds = v;
    return true;
}

namespace {

// A number ffprobe writes as a string or a number; 0 when it is neither or out of range.
qint64 integerValue(const QJsonValue &value)
{
    if (value.isDouble()) {
        // Converting a double beyond the integer's range is undefined, so the bound comes first.
        const double v = value.toDouble();
        return std::isfinite(v) && std::abs(v) < 1e15 ? static_cast<qint64>(v) : 0;
    }
    bool ok = false;
    const qint64 v = value.toString().trimmed().toLongLong(&ok);
    return ok ? v : 0;
}

// The turn of a video stream in degrees: the display matrix's, else the older "rotate" tag's.
int streamRotation(const QJsonObject &stream)
{
    const QJsonArray sideData = stream.value(QStringLiteral("side_data_list")).toArray();
    for (const QJsonValue &entry : sideData) {
        const QJsonValue rotation = entry.toObject().value(QStringLiteral("rotation"));
        if (!rotation.isUndefined() && !rotation.isNull())
            return static_cast<int>(integerValue(rotation) % 360);
    }
    const QJsonValue tag = stream.value(QStringLiteral("tags")).toObject().value(QStringLiteral("rotate"));
    return static_cast<int>(integerValue(tag) % 360);
}

// "64:45" as two positive numbers; false for "0:1", "N/A" and anything else.
bool sampleAspect(const QJsonObject &stream, int *num, int *den)
{
    const QStringList parts =
        stream.value(QStringLiteral("sample_aspect_ratio")).toString().split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool numOk = false;
    bool denOk = false;
    *num = parts.at(0).toInt(&numOk);
    *den = parts.at(1).toInt(&denOk);
    return numOk && denOk && *num > 0 && *den > 0;
}

int clampedSide(qint64 value)
{
    return static_cast<int>(qBound<qint64>(1, value, std::numeric_limits<int>::max()));
}

} // namespace

void displayedSize(int width, int height, int sarNum, int sarDen, int rotationDegrees, int *displayWidth,
                   int *displayHeight)
{
    qint64 w = width;
    qint64 h = height;
    if (width > 0 && height > 0 && sarNum > 0 && sarDen > 0) {
        if (sarNum > sarDen)
            w = clampedSide(w * sarNum / sarDen);
        else if (sarDen > sarNum)
            h = clampedSide(h * sarDen / sarNum);
    }
    const bool quarterTurn = ((rotationDegrees % 180) + 180) % 180 == 90;
    *displayWidth = static_cast<int>(quarterTurn ? h : w);
    *displayHeight = static_cast<int>(quarterTurn ? w : h);
}

ProbeSummary parseProbeJson(const QByteArray &json)
{
    ProbeSummary summary;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return summary;
    summary.parsed = true;
    const QJsonObject root = document.object();

    countedDuration(root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")),
                    &summary.largestDuration);
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &streamValue : streams) {
        const QJsonObject stream = streamValue.toObject();
        const QJsonObject disposition = stream.value(QStringLiteral("disposition")).toObject();
        StreamInfo info;
        info.index = stream.value(QStringLiteral("index")).toInt(-1);
        info.codecType = stream.value(QStringLiteral("codec_type")).toString();
        info.codecName = stream.value(QStringLiteral("codec_name")).toString();
        info.isDefault = disposition.value(QStringLiteral("default")).toInt(0) != 0;
        info.attachedPicture = disposition.value(QStringLiteral("attached_pic")).toInt(0) != 0;
        info.bitRate = qMax<qint64>(0, integerValue(stream.value(QStringLiteral("bit_rate"))));
        if (info.index >= 0)
            summary.streams.append(info);
    }
    for (const QJsonValue &streamValue : streams) {
        const QJsonObject stream = streamValue.toObject();
        double streamDuration = 0.0;
        if (countedDuration(stream.value(QStringLiteral("duration")), &streamDuration))
            summary.largestDuration = qMax(summary.largestDuration, streamDuration);
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("video")) {
            const int width = stream.value(QStringLiteral("width")).toInt(0);
            const int height = stream.value(QStringLiteral("height")).toInt(0);
            if (width > 0 && height > 0) {
                summary.width = width;
                summary.height = height;
                int sarNum = 0;
                int sarDen = 0;
                if (!sampleAspect(stream, &sarNum, &sarDen))
                    sarNum = sarDen = 1;
                displayedSize(width, height, sarNum, sarDen, streamRotation(stream), &summary.displayWidth,
                              &summary.displayHeight);
                break;
            }
        }
    }
    return summary;
}

qint64 ceilSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return 0;
    // Converting a double beyond the integer's range is undefined, so the clamp comes first.
    if (seconds >= static_cast<double>(kMaxDurationSeconds))
        return kMaxDurationSeconds;
    return static_cast<qint64>(std::ceil(seconds));
}

void PacketPtsScanner::feed(const QString &text)
{
    m_buffer.append(text);
    // One pass per chunk and one removal at the end: a chunk can hold a hundred thousand lines.
    int lineStart = 0;
    const int size = m_buffer.size();
    for (int i = 0; i < size; ++i) {
        const QChar c = m_buffer.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (i > lineStart)
                takeLine(m_buffer.midRef(lineStart, i - lineStart));
            lineStart = i + 1;
        }
    }
    m_buffer.remove(0, lineStart);
}

void PacketPtsScanner::finish()
{
    takeLine(m_buffer.midRef(0));
    m_buffer.clear();
}

void PacketPtsScanner::takeLine(const QStringRef &line)
{
    const QStringRef trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return;
    bool ok = false;
    const double v = trimmed.toDouble(&ok);
    if (ok && std::isfinite(v) && v > m_maximum)
        m_maximum = v;
}

PacketScanResult scanMaxPacketPts(const QString &ffprobePath, const QString &filePath,
                                  const QString &selector, const std::atomic_bool *cancel,
                                  const std::atomic_bool *callerCancel)
{
    PacketScanResult result;
    if (ffprobePath.isEmpty())
        return result;
    const TimingProfile timing = timingProfile();
    PacketPtsScanner scanner;
    // A UTF-8 decoder with state, so a character split between two reads is not lost.
    QTextDecoder decoder(QTextCodec::codecForName("UTF-8"));
    BoundedRunOptions options;
    options.timeoutMs = timing.packetScanMs;
    options.startTimeoutMs = timing.packetScanStartMs;
    options.killGraceMs = timing.killGraceMs;
    options.cancel = cancel;
    options.callerCancel = callerCancel;
    options.onStdout = [&](const QByteArray &chunk) { scanner.feed(decoder.toUnicode(chunk)); };
    const BoundedRunResult run = runBoundedProcess(
        ffprobePath,
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), selector,
         QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time"), QStringLiteral("-of"),
         QStringLiteral("csv=p=0"), QDir::toNativeSeparators(filePath)},
        options);
    scanner.finish();
    result.transientFailure = run.transientFailure();
    if (run.succeeded() && scanner.maximum() > 0.0)
        result.seconds = ceilSeconds(scanner.maximum());
    return result;
}

} // namespace ffmpeg
