// Lookup of the ffmpeg and ffprobe programs.
#include "ffmpeg/FFmpegEnvironment.h"

#include "core/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The bundled programs come first: "name.exe" as shipped for Windows, then the bare name that a
// Linux bundle carries (only when it may be run), then the search path.
QString resolveExecutablePath(const QString &rootDirectory, const QString &name)
{
    if (!rootDirectory.isEmpty()) {
        const QDir root(rootDirectory);
        const QFileInfo exe(root.filePath(name + QStringLiteral(".exe")));
        if (exe.exists())
            return QDir::fromNativeSeparators(exe.absoluteFilePath());
        const QFileInfo bare(root.filePath(name));
        if (bare.isFile() && bare.isExecutable())
            return QDir::fromNativeSeparators(bare.absoluteFilePath());
    }
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
