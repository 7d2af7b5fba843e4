// The video-to-text job: its parameters, the texts the job list shows, and the names of its
// working folder, audio and result.
#include "cloud/video_to_text/VideoToTextTask.h"

#include "cloud/video_to_text/VideoToTextCloud.h"
#include "core/AppPaths.h"
#include "i18n/I18n.h"
#include "tools/ToolIds.h"
#include "tools/common/OutputNaming.h"
#include "tools/common/SizeText.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <cmath>

VideoToTextTask::VideoToTextTask(const QString &taskId, const VideoToTextParams &params)
    : BackgroundTask(taskId, tools::ToolIds::VideoToText), m_sourcePath(params.sourcePath),
      m_outputDirectory(params.outputDirectory), m_outputFormat(params.outputFormat),
      m_recognitionLanguage(params.recognitionLanguage), m_cloud(tools::VideoToTextCloud::defaultCloud())
{
}

VideoToTextParams VideoToTextTask::params() const
{
    QMutexLocker lock(&m_paramsMutex);
    VideoToTextParams params;
    params.sourcePath = m_sourcePath;
    params.outputDirectory = m_outputDirectory;
    params.outputFormat = m_outputFormat;
    params.recognitionLanguage = m_recognitionLanguage;
    return params;
}

QString VideoToTextTask::sourcePath() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_sourcePath;
}

QString VideoToTextTask::sourceFileName() const
{
    return QFileInfo(sourcePath()).fileName();
}

qint64 VideoToTextTask::sourceFileSizeBytes() const
{
    const QFileInfo info(sourcePath());
    return info.exists() ? info.size() : 0;
}

QString VideoToTextTask::sourceFileSizeText() const
{
    return formatFileSize(sourceFileSizeBytes());
}

QString VideoToTextTask::sourceFormat() const
{
    const QString suffix = QFileInfo(sourcePath()).suffix();
    return suffix.isEmpty() ? i18n::t(QStringLiteral("cpp.msg.unknown")) : suffix.toUpper();
}

QString VideoToTextTask::sourceResolution() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_sourceResolution;
}

void VideoToTextTask::setSourceResolution(const QString &text)
{
    QMutexLocker lock(&m_paramsMutex);
    if (text.isEmpty() || text == m_sourceResolution)
        return;
    m_sourceResolution = text;
}

QString VideoToTextTask::targetFormat() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_outputFormat.trimmed().toUpper();
}

QString VideoToTextTask::targetLanguage() const
{
    QMutexLocker lock(&m_paramsMutex);
    return m_recognitionLanguage;
}

void VideoToTextTask::applyPreset(const VideoToTextParams &params)
{
    QMutexLocker lock(&m_paramsMutex);
    // A run copies the options under this lock once it has begun. Checked under the same lock, a
    // run that has begun keeps the options it copied and its row never shows others, and one
    // that has not begun yet copies these.
    if (isExecuting())
        return;
    m_outputDirectory = params.outputDirectory;
    m_outputFormat = params.outputFormat;
    m_recognitionLanguage = params.recognitionLanguage;
}

void VideoToTextTask::setCloud(tools::VideoToTextCloud *cloud)
{
    m_cloud = cloud;
}

QString VideoToTextTask::resolveOutputExtension(const QString &outputFormat)
{
    const QString format = outputFormat.trimmed().toUpper();
    if (format == QLatin1String("WORD"))
        return QStringLiteral("docx");
    if (format == QLatin1String("SRT"))
        return QStringLiteral("srt");
    return QStringLiteral("txt");
}

QString VideoToTextTask::resolveLanguageCode(const QString &recognitionLanguage)
{
    const QString language = recognitionLanguage.trimmed().toLower();
    if (language.contains(QLatin1String("english")) || language == QLatin1String("en") ||
        language.contains(QChar(0x82F1)))
        return QStringLiteral("en");
    if (language.contains(QLatin1String("other")) || language == QLatin1String("all") ||
        language.contains(QChar(0x5176)))
        return QStringLiteral("all");
    return QStringLiteral("zh");
}

QString VideoToTextTask::formatFileSize(qint64 bytes)
{
    return tools::shortFileSizeText(bytes);
}

double VideoToTextTask::logEaseOut(double x)
{
    const double clamped = x > 1.0 ? 1.0 : (x > 0.0 ? x : 0.0);
    return std::log10(1.0 + 9.0 * clamped);
}

QString VideoToTextTask::audioBaseNameFor(const QString &sourcePath)
{
    QString base = QFileInfo(sourcePath).completeBaseName().trimmed();
    if (base.isEmpty())
        base = QStringLiteral("audio");
    QString name;
    name.reserve(base.size());
    for (const QChar c : base) {
        const ushort u = c.unicode();
        const bool asciiKept =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-';
        if (u < 0x80)
            name.append(asciiKept ? c : QLatin1Char('_'));
        else
            name.append(c.isLetterOrNumber() ? c : QLatin1Char('_'));
    }
    if (name.isEmpty())
        name = QStringLiteral("audio");
    return name.left(48);
}

QString VideoToTextTask::resultOutputDirectoryFor(const VideoToTextParams &params)
{
    const QString directory = QDir::fromNativeSeparators(params.outputDirectory.trimmed());
    if (!directory.isEmpty())
        return directory;
    return QDir::fromNativeSeparators(QFileInfo(params.sourcePath).absolutePath());
}

QString VideoToTextTask::resultFilePathFor(const VideoToTextParams &params)
{
    const QFileInfo source(params.sourcePath);
    QString name = source.completeBaseName();
    if (name.isEmpty())
        name = source.fileName();
    const QString fileName =
        tools::fittedFileName(name, QLatin1Char('.') + resolveOutputExtension(params.outputFormat));
    return QDir(resultOutputDirectoryFor(params)).filePath(fileName);
}

QString VideoToTextTask::ensureUniqueFilePath(const QString &path)
{
    if (!tools::pathIsTaken(path))
        return path;
    const QFileInfo info(path);
    const QDir folder = info.dir();
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix();
    for (int n = 1; n <= 9999; ++n) {
        const QString name =
            tools::fittedFileName(base, suffix.isEmpty() ? QStringLiteral("_%1").arg(n)
                                                         : QStringLiteral("_%1.%2").arg(n).arg(suffix));
        const QString candidate = folder.filePath(name);
        if (!tools::pathIsTaken(candidate))
            return candidate;
    }
    return QString();
}

QString VideoToTextTask::buildTaskTempDirectory() const
{
    return app::tempDirPath(QStringLiteral("Tavrixo/video_to_text/%1").arg(taskId()));
}

QString VideoToTextTask::resolveResultOutputDirectory() const
{
    return resultOutputDirectoryFor(params());
}

QString VideoToTextTask::buildResultFilePath() const
{
    return resultFilePathFor(params());
}
