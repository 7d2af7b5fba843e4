// The shared intake of the batch tools (see BatchIntake.h).
#include "tools/common/BatchIntake.h"

#include "core/FileUrl.h"
#include "core/Log.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/PoolJob.h"
#include "i18n/I18n.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>

#include <algorithm>

namespace tools {
namespace {

// A probe that timed out or was cut short says nothing about the file, and marking the file
// damaged for it would lock the row for good: it is tried again this often, a little later each
// time.
constexpr int kMaxProbeAttempts = 3;
constexpr int kProbeRetryDelayMs = 1000;

} // namespace

BatchIntake::BatchIntake(FFprobeService *prober, Rows *rows, Config config, QObject *parent)
    : QObject(parent), m_prober(prober), m_rows(rows), m_config(std::move(config))
{
}

QString BatchIntake::damagedFileUnparseableText()
{
    return i18n::t(QStringLiteral("ui.text.file.damaged")) + QStringLiteral("，无法解析");
}

QString BatchIntake::normalizeLocalPath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QString();
    return QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QStringList BatchIntake::collectFiles(const QString &folder,
                                      const std::function<bool(const QString &)> &accepts)
{
    QStringList files;
    const QString root = normalizeLocalPath(folder);
    if (root.isEmpty())
        return files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = normalizeLocalPath(it.next());
        if (accepts && accepts(path))
            files << path;
    }
    std::sort(files.begin(), files.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return files;
}

int BatchIntake::addFiles(const QStringList &fileUrls)
{
    QElapsedTimer timer;
    timer.start();
    const bool log = !m_config.logTag.isEmpty();
    if (log)
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[AddFiles] begin count=") << fileUrls.size();
    int accepted = 0;
    for (const QString &entry : fileUrls) {
        if (addSourceFile(app::localPathFromUrlOrPath(entry)))
            ++accepted;
    }
    if (log)
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[AddFiles] end count=") << fileUrls.size()
                     << " accepted=" << accepted << " elapsedMs=" << timer.elapsed();
    return accepted;
}

int BatchIntake::addFolder(const QString &folderUrl)
{
    QElapsedTimer timer;
    timer.start();
    const bool log = !m_config.logTag.isEmpty();
    const QString folder = app::localPathFromUrlOrPath(folderUrl);
    if (log)
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[AddFolder] begin folder=") << folder;
    const QStringList files = collectFiles(folder, m_config.acceptsPath);
    if (log)
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[AddFolder] collected files=") << files.size()
                     << " collectElapsedMs=" << timer.elapsed();
    int accepted = 0;
    for (const QString &file : files) {
        if (addSourceFile(file))
            ++accepted;
    }
    if (log)
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[AddFolder] end folder=") << folder
                     << " accepted=" << accepted << " totalElapsedMs=" << timer.elapsed();
    return accepted;
}

bool BatchIntake::addSourceFile(const QString &sourcePath)
{
    QElapsedTimer timer;
    timer.start();
    const bool log = !m_config.logTag.isEmpty();
    const QString tag = m_config.logTag + QStringLiteral("[AddSourceFile] ");
    if (!m_rows || !m_rows->canAppend()) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("missing dependencies sourcePath=") << sourcePath;
        return false;
    }
    const QString path = normalizeLocalPath(sourcePath);
    if (path.isEmpty()) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("normalized path empty sourcePath=") << sourcePath
                         << " elapsedMs=" << timer.elapsed();
        return false;
    }
    if (!QFileInfo::exists(path)) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("file missing path=") << path
                         << " elapsedMs=" << timer.elapsed();
        return false;
    }
    if (!m_config.acceptsPath || !m_config.acceptsPath(path)) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("unsupported file path=") << path
                         << " elapsedMs=" << timer.elapsed();
        return false;
    }
    if (m_rows->containsSourcePath(path)) {
        if (log)
            TVX_LOG_INFO << tag + QStringLiteral("duplicate skipped path=") << path
                         << " elapsedMs=" << timer.elapsed();
        return false;
    }
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("creating task path=") << path
                     << " size=" << QFileInfo(path).size();
    BackgroundTask *task = m_rows->appendTask(path);
    if (!task)
        return false;
    resolveTaskMetadataAsync(task, 1);
    emit startActionChanged();
    emit listChanged();
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("task visible path=") << path
                     << " rowCount=" << m_rows->rowCount() << " elapsedMs=" << timer.elapsed();
    return true;
}

void BatchIntake::resolveTaskMetadataAsync(BackgroundTask *task, int attempt)
{
    const bool log = !m_config.logTag.isEmpty();
    const QString tag = m_config.logTag + QStringLiteral("[ResolveMetadata] ");
    if (!task || !m_prober) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("skip task or service unavailable");
        return;
    }
    const QString path = m_rows->sourcePathOf(task);
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("queued path=") << path;
    auto *watcher = new QFutureWatcher<FFprobeService::MediaInfo>(this);
    QElapsedTimer clock;
    clock.start();
    connect(watcher, &QFutureWatcher<FFprobeService::MediaInfo>::finished, this,
            [this, task, watcher, attempt, path, log, tag, clock]() {
                const FFprobeService::MediaInfo info = watcher->result();
                watcher->deleteLater();
                if (!m_rows->hasList()) {
                    if (log)
                        TVX_LOG_WARN << tag + QStringLiteral("finished but task/model missing path=") << path;
                    return;
                }
                if (info.transient) {
                    // A busy machine or a stalled drive says nothing about the file: leave the row
                    // as it is and ask again a little later.
                    if (log)
                        TVX_LOG_WARN << tag + QStringLiteral("probe inconclusive path=") << path
                                     << " attempt=" << attempt << " error=" << info.errorText;
                    emit probeInconclusive(path, attempt, info.errorText);
                    if (attempt < kMaxProbeAttempts && m_rows->containsTask(task))
                        QTimer::singleShot(kProbeRetryDelayMs * attempt, this, [this, task, attempt]() {
                            resolveTaskMetadataAsync(task, attempt + 1);
                        });
                    return;
                }
                if (!info.valid || (m_config.durationRequired && m_config.durationRequired(path) &&
                                    info.durationSeconds <= 0)) {
                    m_rows->setSourceResolution(task, damagedFileUnparseableText());
                    m_rows->notifyTaskChanged(task);
                    emit listChanged();
                    // A damaged file no longer counts towards the start button.
                    emit startActionChanged();
                    if (log)
                        TVX_LOG_WARN << tag + QStringLiteral("invalid media path=") << path
                                     << " durationSeconds=" << info.durationSeconds
                                     << " error=" << info.errorText
                                     << " callbackElapsedMs=" << clock.elapsed();
                    return;
                }
                if (info.width >= 0 && info.height >= 0) {
                    const QString resolution = QStringLiteral("%1x%2").arg(info.width).arg(info.height);
                    m_rows->setSourceResolution(task, resolution);
                    m_rows->notifyTaskChanged(task);
                    emit listChanged();
                    if (log)
                        TVX_LOG_INFO << tag + QStringLiteral("finished path=") << path
                                     << " resolution=" << resolution << " valid=true error=" << info.errorText
                                     << " callbackElapsedMs=" << clock.elapsed();
                    return;
                }
                m_rows->notifyTaskChanged(task);
                if (log)
                    TVX_LOG_INFO << tag + QStringLiteral("finished without resolution path=") << path
                                 << " valid=true durationSeconds=" << info.durationSeconds
                                 << " error=" << info.errorText << " callbackElapsedMs=" << clock.elapsed();
            });
    FFprobeService *prober = m_prober;
    watcher->setFuture(ffmpeg::startPoolJob([prober, path, log, tag]() {
        QElapsedTimer timer;
        timer.start();
        if (log)
            TVX_LOG_INFO << tag + QStringLiteral("probe start path=") << path;
        const FFprobeService::MediaInfo info = prober->probeMedia(path);
        if (log)
            TVX_LOG_INFO << tag + QStringLiteral("probe end path=") << path
                         << " valid=" << (info.valid ? "true" : "false") << " resolution="
                         << (info.width < 0 || info.height < 0
                                 ? QStringLiteral("invalid")
                                 : QStringLiteral("%1x%2").arg(info.width).arg(info.height))
                         << " error=" << info.errorText << " elapsedMs=" << timer.elapsed();
        return info;
    }));
}

} // namespace tools
