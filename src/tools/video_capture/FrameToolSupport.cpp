// Shared pieces of the capture and to-image tools.
#include "tools/video_capture/FrameToolSupport.h"

#include "core/FileUrl.h"
#include "core/StateFile.h"
#include "ffmpeg/BoundedProcess.h"
#include "ffmpeg/FFmpegCommandBuilder.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "tools/common/OutputNaming.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

#include <climits>
#include <cmath>

namespace tools::frames {
QString normalizeLocalPath(const QString &urlOrPath)
{
    const QString trimmed = urlOrPath.trimmed();
    if (trimmed.isEmpty())
        return QString();
    const QString local = app::localPathFromUrlOrPath(trimmed);
    if (local.isEmpty())
        return QString();
    return QDir::fromNativeSeparators(QFileInfo(local).absoluteFilePath());
}

QString formatDurationText(double seconds)
{
    qint64 ms = std::isfinite(seconds) ? qRound64(seconds * 1000.0) : 0;
    if (ms < 0)
        ms = 0;
    const qint64 hours = ms / 3600000;
    const qint64 minutes = (ms / 60000) % 60;
    const qint64 secs = (ms / 1000) % 60;
    const qint64 millis = ms % 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(secs, 2, 10, QLatin1Char('0'))
        .arg(millis, 3, 10, QLatin1Char('0'));
}

double clampSeconds(double value, int durationSeconds)
{
    double v = value;
    if (durationSeconds > 0 && v > durationSeconds)
        v = durationSeconds;
    if (!(v > 0)) // NaN included
        v = 0;
    return v;
}

bool secondsEqual(double a, double b)
{
    return std::abs(a - b) * 1000000000000.0 <= qMin(std::abs(a), std::abs(b));
}

int normalizeOutputDimension(int value)
{
    return qBound(0, value, kMaxOutputDimension);
}

int lockedDimension(int value, int sourceThis, int sourceOther)
{
    const double derived = static_cast<double>(value) * sourceOther / sourceThis;
    return qMax(1, qRound(derived));
}

bool applyOutputDimension(int value, int *side, int *otherSide, bool keepAspect, int sourceSide,
                          int sourceOther)
{
    const int clamped = normalizeOutputDimension(value);
    if (clamped == *side)
        return false;
    *side = clamped;
    if (keepAspect && sourceSide > 0 && sourceOther > 0 && clamped > 0)
        *otherSide = lockedDimension(clamped, sourceSide, sourceOther);
    return true;
}

QString normalizeImageFormat(const QString &format)
{
    const QString upper = format.trimmed().toUpper();
    return media::imageExportOutputFormats().contains(upper) ? upper : QStringLiteral("PNG");
}

QString normalizeQualityPreset(const QString &preset)
{
    const QString lower = preset.trimmed().toLower();
    if (lower == QLatin1String("medium") || lower == QLatin1String("low"))
        return lower;
    return QStringLiteral("high");
}

QString extensionForFormat(const QString &format)
{
    const QString upper = format.toUpper();
    if (upper == QLatin1String("JPG"))
        return QStringLiteral("jpg");
    if (upper == QLatin1String("WEBP"))
        return QStringLiteral("webp");
    if (upper == QLatin1String("BMP"))
        return QStringLiteral("bmp");
    return QStringLiteral("png");
}

QStringList qualityArguments(const QString &format, const QString &preset)
{
    const int level = preset == QLatin1String("medium") ? 1 : preset == QLatin1String("low") ? 2 : 0;
    const QString ext = extensionForFormat(format);
    if (ext == QLatin1String("jpg"))
        return {QStringLiteral("-q:v"), QStringList{"2", "6", "12"}.at(level)};
    if (ext == QLatin1String("webp"))
        return {QStringLiteral("-q:v"), QStringList{"90", "75", "55"}.at(level)};
    if (ext == QLatin1String("bmp"))
        return {};
    return {QStringLiteral("-compression_level"), QStringList{"4", "6", "9"}.at(level)};
}

QString secondsArgument(double seconds)
{
    return QString::number(seconds > 0 ? seconds : 0.0, 'f', 3);
}

QString sourceBaseName(const QString &sourcePath)
{
    const QString base = QFileInfo(sourcePath).completeBaseName();
    return base.trimmed().isEmpty() ? QStringLiteral("capture") : base;
}

QString freeNumberedPath(const QString &folder, const QString &base, const QString &extension,
                         const QString &tail)
{
    const QDir dir(folder);
    const QString plain = dir.filePath(tools::fittedFileName(base, tail + QLatin1Char('.') + extension));
    if (!tools::pathIsTaken(plain))
        return plain;
    for (int counter = 1; counter <= kMaxNameCounter; ++counter) {
        const QString candidate = dir.filePath(
            tools::fittedFileName(base, tail + QStringLiteral("(%1).%2").arg(counter).arg(extension)));
        if (!tools::pathIsTaken(candidate))
            return candidate;
    }
    return QString();
}

QString sourceLoadFailedMessage()
{
    return i18n::t(QStringLiteral("ui.text.file.damaged")) + QStringLiteral("，无法解析");
}

QString escapeSequencePattern(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

QString loadOutputDirectory(const QString &settingsPath, const QString &key)
{
    QSettings settings(app::checkedStateFile(settingsPath, app::kSettingsStateFileMaxBytes),
                       QSettings::IniFormat);
    return normalizeLocalPath(settings.value(key).toString());
}

void saveOutputDirectory(const QString &settingsPath, const QString &key, const QString &folder)
{
    QSettings settings(app::checkedStateFile(settingsPath, app::kSettingsStateFileMaxBytes),
                       QSettings::IniFormat);
    if (folder.isEmpty())
        settings.remove(key);
    else
        settings.setValue(key, folder);
    settings.sync();
}

QString sizeFilter(int width, int height)
{
    // ffmpeg has turned the frame upright before this filter runs, and an image file's pixels are
    // shown square: the picture is scaled to the size asked for (by default the displayed size)
    // and marked square, so an anamorphic or sideways source is neither squeezed nor stretched.
    if (width > 0 && height > 0)
        return QStringLiteral("scale=%1:%2,setsar=1").arg(width).arg(height);
    return QStringLiteral("scale=iw*max(1\\,sar):ih*max(1\\,1/sar),setsar=1");
}

static QStringList scaleArguments(const FrameGrabRequest &request)
{
    return {QStringLiteral("-vf"), sizeFilter(request.width, request.height)};
}

QStringList buildFrameGrabArguments(const FrameGrabRequest &request)
{
    // "-n": the name was free when it was chosen; if something took it since, ffmpeg fails
    // instead of replacing it. (ffmpeg skips that check for a name that reads as a counter
    // pattern, such as "a 50%d.png"; there only the moment since the name was chosen is open.)
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                     QStringLiteral("-n")};
    args << QStringLiteral("-ss") << secondsArgument(request.seconds);
    args << QStringLiteral("-i") << QDir::toNativeSeparators(request.sourcePath);
    args << QStringLiteral("-frames:v") << QStringLiteral("1");
    args << scaleArguments(request);
    args << qualityArguments(request.format, request.qualityPreset);
    args << ffmpeg::singleImageOutputArguments(request.outputPath);
    return args;
}

QStringList buildLastFrameArguments(const FrameGrabRequest &request)
{
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                     QStringLiteral("-n")};
    args << QStringLiteral("-sseof") << QStringLiteral("-3");
    args << QStringLiteral("-i") << QDir::toNativeSeparators(request.sourcePath);
    args << scaleArguments(request);
    args << qualityArguments(request.format, request.qualityPreset);
    args << ffmpeg::singleImageOutputArguments(request.outputPath);
    return args;
}

void removePartialOutput(const QString &path)
{
    if (!path.isEmpty() && QFileInfo(path).isFile())
        QFile::remove(path);
}

bool atEndOfVideo(const FrameGrabRequest &request)
{
    // The probed duration is whole seconds rounded up, so the real end lies within its last
    // second; an unknown duration says nothing about the end.
    return request.durationSeconds > 0 && request.seconds > request.durationSeconds - 1;
}

FrameGrabOutcome grabFrame(const FrameGrabRequest &request, int timeoutMs, const std::atomic_bool *abort)
{
    FrameGrabOutcome outcome;
    const Timings limits = timings();
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    const auto run = [&](const QStringList &args) {
        ffmpeg::BoundedRunOptions options;
        options.timeoutMs = qMax(1, static_cast<int>(deadline.remainingTime()));
        options.killGraceMs = limits.killGraceMs;
        options.cancel = abort;
        return ffmpeg::runBoundedProcess(request.ffmpegPath, args, options);
    };

    ffmpeg::BoundedRunResult result = run(buildFrameGrabArguments(request));
    // A time at the very end of the video decodes nothing and still exits with 0; the user gets
    // the last frame instead of a silent failure. Anywhere else the last frame is the wrong picture.
    if (result.succeeded() && !QFileInfo(request.outputPath).isFile() && atEndOfVideo(request) &&
        !deadline.hasExpired())
        result = run(buildLastFrameArguments(request));

    if (!result.finished()) {
        outcome.end = FrameGrabOutcome::End::TimedOut;
        removePartialOutput(request.outputPath);
        return outcome;
    }
    if (result.succeeded() && QFileInfo(request.outputPath).isFile() &&
        QFileInfo(request.outputPath).size() > 0) {
        outcome.end = FrameGrabOutcome::End::Saved;
        return outcome;
    }
    outcome.detail = QString::fromUtf8(result.standardError).trimmed();
    // "-n" made ffmpeg refuse a file that appeared in the meantime; that file is not ours.
    if (!outcome.detail.contains(QLatin1String("already exists")))
        removePartialOutput(request.outputPath);
    return outcome;
}

void dropWatcher(QObject *watcher, QObject *owner)
{
    if (!watcher)
        return;
    QObject::disconnect(watcher, nullptr, owner, nullptr);
    watcher->deleteLater();
}

ProbedSource readProbedSource(const FFprobeService::MediaInfo &info)
{
    ProbedSource source;
    if (!info.valid || info.width < 0 || info.height < 0)
        return source;
    source.valid = true;
    // Frames come out upright and with square pixels, so the displayed size is the one that counts.
    const bool displayed = info.displayWidth > 0 && info.displayHeight > 0;
    source.width = displayed ? info.displayWidth : info.width;
    source.height = displayed ? info.displayHeight : info.height;
    source.durationSeconds = static_cast<int>(qBound<qint64>(0, info.durationSeconds, INT_MAX));
    return source;
}

PoolJobSet::PoolJobSet() : m_abort(std::make_shared<std::atomic_bool>(false)) {}

void PoolJobSet::track(const QFuture<void> &future)
{
    for (int i = m_futures.size() - 1; i >= 0; --i) {
        if (m_futures.at(i).isFinished())
            m_futures.removeAt(i);
    }
    m_futures.append(future);
}

bool PoolJobSet::abortAndWait(int timeoutMs)
{
    m_abort->store(true);
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    for (const QFuture<void> &future : qAsConst(m_futures)) {
        while (!future.isFinished()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(5);
        }
    }
    m_futures.clear();
    return true;
}

} // namespace tools::frames
