// Free output names, temporary names and the output folder check of the queued tools.
#include "tools/common/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tools {

int fileNameBytes(const QString &text)
{
    return QFile::encodeName(text).size();
}

QString truncatedToFileNameBytes(const QString &text, int maxBytes)
{
    if (fileNameBytes(text) <= maxBytes)
        return text;
    int used = 0;
    int end = 0;
    while (end < text.size()) {
        // A character outside the basic plane is two UTF-16 units: it is kept or cut whole.
        const int units =
            text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate() ? 2
                                                                                                         : 1;
        const int bytes = fileNameBytes(text.mid(end, units));
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        end += units;
    }
    return text.left(end);
}

QString fittedFileName(const QString &base, const QString &tail)
{
    return truncatedToFileNameBytes(base, kMaxFileNameBytes - fileNameBytes(tail)) + tail;
}

bool pathIsTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString freeOutputFilePath(const QString &directory, const QString &baseName, const QString &extension,
                           const QString &sourcePath, const QString &tail)
{
    if (directory.isEmpty() || extension.isEmpty())
        return QString();
    const QDir dir(directory);
    const QString sourceAbsolute = sourcePath.trimmed().isEmpty()
                                       ? QString()
                                       : QDir::cleanPath(QFileInfo(sourcePath).absoluteFilePath());
    QString candidate = dir.filePath(fittedFileName(baseName, tail + QLatin1Char('.') + extension));
    for (qint64 counter = 1;; ++counter) {
        const bool isSource = !sourceAbsolute.isEmpty() &&
                              QDir::cleanPath(QFileInfo(candidate).absoluteFilePath()) == sourceAbsolute;
        if (!isSource && !pathIsTaken(candidate))
            return candidate;
        candidate = dir.filePath(
            fittedFileName(baseName, tail + QStringLiteral("(%1).%2").arg(counter).arg(extension)));
    }
}

QString renameToFreeName(const QString &temporary,
                         const std::function<QString(const QString &last)> &nextName)
{
    constexpr int kMaxAttempts = 100;
    QString last;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString candidate = nextName(last);
        if (candidate.isEmpty() || candidate == last)
            break;
        if (QFile::rename(temporary, candidate))
            return candidate;
        if (!pathIsTaken(temporary) || !pathIsTaken(candidate))
            break;
        last = candidate;
    }
    return QString();
}

QString temporaryOutputFilePath(const QString &finalPath, const QString &taskId)
{
    if (finalPath.trimmed().isEmpty())
        return QString();
    const QFileInfo info(finalPath);
    if (info.absoluteFilePath().trimmed().isEmpty())
        return QString();
    // The last suffix, so "a.b.mkv" becomes "a.b.__tvx_tmp__.T.part.mkv": the temporary file ends
    // in the target's own extension, which is what ffmpeg reads to choose the container.
    const QString suffix = info.suffix();
    const QString tail = suffix.isEmpty() ? QStringLiteral(".part") : QStringLiteral(".part.") + suffix;
    return info.absolutePath() + QLatin1Char('/') +
           fittedFileName(info.completeBaseName(), QStringLiteral(".__tvx_tmp__.") + taskId + tail);
}

bool ensureOutputDirectory(const QString &outputDirectory, const QString &emptyText,
                           const QString &createFailedText, QString *errorText)
{
    const QString dir = QDir::fromNativeSeparators(outputDirectory.trimmed());
    if (dir.isEmpty()) {
        if (errorText)
            *errorText = emptyText;
        return false;
    }
    if (QFileInfo(dir).isDir())
        return true;
    if (QDir(dir).mkpath(QStringLiteral(".")))
        return true;
    if (errorText)
        *errorText = createFailedText;
    return false;
}

} // namespace tools
