// Lookup of the ffmpeg and ffprobe programs.
#include "ffmpeg/FFmpegEnvironment.h"

#include "core/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString resolveExecutablePath(const QString &rootDirectory, const QString &name)
{
    const QString candidate = QDir(rootDirectory).filePath(name + QStringLiteral(".exe"));
    if (!rootDirectory.isEmpty() && QFileInfo::exists(candidate))
        return QDir::fromNativeSeparators(QFileInfo(candidate).absoluteFilePath());
    return app::findExecutablePath(name);
}

bool existsNonEmpty(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace

FFmpegEnvironment::FFmpegEnvironment()
    : m_rootDirectory(QDir::fromNativeSeparators(app::applicationDirFilePath(QStringLiteral("ffmpeg"))))
{
}

FFmpegEnvironment::FFmpegEnvironment(const QString &rootDirectory)
    : m_rootDirectory(QDir::fromNativeSeparators(rootDirectory))
{
}

void FFmpegEnvironment::setRootDirectory(const QString &rootDirectory)
{
    const QString normalized = QDir::fromNativeSeparators(rootDirectory);
    if (normalized != m_rootDirectory)
        m_rootDirectory = normalized;
}

QString FFmpegEnvironment::ffmpegExecutablePath() const
{
    return resolveExecutablePath(m_rootDirectory, QStringLiteral("ffmpeg"));
}

QString FFmpegEnvironment::ffprobeExecutablePath() const
{
    return resolveExecutablePath(m_rootDirectory, QStringLiteral("ffprobe"));
}

bool FFmpegEnvironment::hasFFmpegExecutable() const
{
    return existsNonEmpty(ffmpegExecutablePath());
}
bool FFmpegEnvironment::hasFFprobeExecutable() const
{
    return existsNonEmpty(ffprobeExecutablePath());
}

bool FFmpegEnvironment::ready() const
{
    return hasFFmpegExecutable() && hasFFprobeExecutable();
}
