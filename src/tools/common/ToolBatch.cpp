// Batch machinery of the ffmpeg tools (see ToolBatch.h).
#include "tools/common/ToolBatch.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/FileUrl.h"
#include "core/Log.h"
#include "core/StateFile.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/PoolJob.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/common/FFmpegOutputTask.h"
#include "tools/common/FFmpegTaskListModel.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QSettings>

#include <algorithm>

namespace tools {
namespace {

constexpr int kRefreshIntervalMs = 200;
// A probe that timed out or was cut short is tried again this often, a little later each time.
constexpr int kMaxProbeAttempts = 3;
constexpr int kProbeRetryDelayMs = 1000;

bool isUnfinished(const FFmpegOutputTask *task)
{
    return TaskBatchRun<FFmpegOutputTask>::isUnfinished(task);
}

} // namespace

ToolBatch::ToolBatch(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                     SystemActions *systemActions, FFmpegTaskListModel *model, Config config, QObject *parent)
    : QObject(parent), m_environment(environment), m_prober(prober), m_taskManager(taskManager),
      m_systemActions(systemActions), m_model(model), m_config(std::move(config)),
      m_run([this]() { return m_model ? m_model->outputTasks() : QList<FFmpegOutputTask *>(); },
            [this](FFmpegOutputTask *task) { m_model->notifyTaskChanged(task); }, &ToolBatch::isDamaged,
            [this]() { refreshRunningTasks(); }, kRefreshIntervalMs)
{
    m_outputDirectory = app::ensureDesktopOutputRootPath();
    loadPersistedOutputDirectory();
    if (m_taskManager && m_taskManager->scheduler())
        connect(m_taskManager->scheduler(), &TaskScheduler::taskFinished, this,
                &ToolBatch::handleTaskFinished);
}

QString ToolBatch::damagedFileUnparseableText()
{
    return i18n::t(QStringLiteral("ui.text.file.damaged")) + QStringLiteral("，无法解析");
}

bool ToolBatch::isDamaged(const FFmpegOutputTask *task)
{
    return task && task->sourceResolution() == damagedFileUnparseableText();
}

QString ToolBatch::normalizeLocalPath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QString();
    return QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool ToolBatch::validateWritableDirectory(const QString &directory, QString *errorText)
{
    return validateWritableDirectory(directory, errorText,
                                     {"cpp.msg.output_directory_empty",
                                      "cpp.msg.create_output_directory_failed",
                                      "cpp.msg.output_directory_not_writable"});
}

bool ToolBatch::validateWritableDirectory(const QString &directory, QString *errorText,
                                          const DirectoryErrorKeys &keys)
{
    auto fail = [errorText](const char *key) {
        if (errorText)
            *errorText = i18n::t(QString::fromLatin1(key));
        return false;
    };
    const QString folder = QDir::fromNativeSeparators(directory.trimmed());
    if (folder.isEmpty())
        return fail(keys.empty);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return fail(keys.createFailed);
    const QString probePath = QDir(folder).filePath(
        QStringLiteral(".tvx_write_test_%1.tmp").arg(QDateTime::currentMSecsSinceEpoch()));
    if (!app::writeFileAtomically(probePath, "ok"))
        return fail(keys.notWritable);
    QFile::remove(probePath);
    return true;
}

QStringList ToolBatch::collectFiles(const QString &folder,
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

bool ToolBatch::ffmpegReady() const
{
    return m_environment && m_environment->ready();
}

bool ToolBatch::acceptOutputDirectory(const QString &path, bool *changed, QString *errorText)
{
    *changed = false;
    const QString folder = normalizeLocalPath(path);
    if (folder.isEmpty() || folder == m_outputDirectory)
        return true;
    if (!validateWritableDirectory(folder, errorText))
        return false;
    m_outputDirectory = folder;
    savePersistedOutputDirectory();
    *changed = true;
    return true;
}

bool ToolBatch::setShutdownWhenFinished(bool enabled)
{
    if (enabled == m_shutdownWhenFinished)
        return false;
    m_shutdownWhenFinished = enabled;
    return true;
}

QString ToolBatch::settingsFilePath() const
{
    return app::appDataFilePath(m_config.settingsFileName);
}

QString ToolBatch::loadRememberedDirectory(const QString &settingsPath, const QString &key)
{
    QSettings settings(app::checkedStateFile(settingsPath, app::kSettingsStateFileMaxBytes),
                       QSettings::IniFormat);
    const QString stored = normalizeLocalPath(settings.value(key).toString().trimmed());
    if (!stored.isEmpty() && validateWritableDirectory(stored, nullptr))
        return stored;
    return QString();
}

void ToolBatch::saveRememberedDirectory(const QString &settingsPath, const QString &key,
                                        const QString &directory)
{
    QSettings settings(app::checkedStateFile(settingsPath, app::kSettingsStateFileMaxBytes),
                       QSettings::IniFormat);
    if (directory.isEmpty())
        settings.remove(key);
    else
        settings.setValue(key, directory);
    settings.sync();
}

void ToolBatch::loadPersistedOutputDirectory()
{
    const QString stored = loadRememberedDirectory(settingsFilePath(), m_config.outputDirectoryKey);
    if (!stored.isEmpty())
        m_outputDirectory = stored;
}

void ToolBatch::savePersistedOutputDirectory() const
{
    saveRememberedDirectory(settingsFilePath(), m_config.outputDirectoryKey, m_outputDirectory);
}

int ToolBatch::addFiles(const QStringList &fileUrls)
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

int ToolBatch::addFolder(const QString &folderUrl)
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

bool ToolBatch::addSourceFile(const QString &sourcePath)
{
    QElapsedTimer timer;
    timer.start();
    const bool log = !m_config.logTag.isEmpty();
    const QString tag = m_config.logTag + QStringLiteral("[AddSourceFile] ");
    if (!m_model || !m_config.createAndAppendTask) {
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
    if (m_model->containsSourcePath(path)) {
        if (log)
            TVX_LOG_INFO << tag + QStringLiteral("duplicate skipped path=") << path
                         << " elapsedMs=" << timer.elapsed();
        return false;
    }
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("creating task path=") << path
                     << " size=" << QFileInfo(path).size();
    FFmpegOutputTask *task = m_config.createAndAppendTask(path);
    if (!task)
        return false;
    resolveTaskMetadataAsync(task, 1);
    emit startActionChanged();
    emit listChanged();
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("task visible path=") << path
                     << " rowCount=" << m_model->rowCount() << " elapsedMs=" << timer.elapsed();
    return true;
}

void ToolBatch::resolveTaskMetadataAsync(FFmpegOutputTask *task, int attempt)
{
    const bool log = !m_config.logTag.isEmpty();
    const QString tag = m_config.logTag + QStringLiteral("[ResolveMetadata] ");
    if (!task || !m_prober) {
        if (log)
            TVX_LOG_WARN << tag + QStringLiteral("skip task or service unavailable");
        return;
    }
    const QString path = task->sourcePath();
    if (log)
        TVX_LOG_INFO << tag + QStringLiteral("queued path=") << path;
    auto *watcher = new QFutureWatcher<FFprobeService::MediaInfo>(this);
    QElapsedTimer clock;
    clock.start();
    connect(watcher, &QFutureWatcher<FFprobeService::MediaInfo>::finished, this,
            [this, task, watcher, attempt, path, log, tag, clock]() {
                const FFprobeService::MediaInfo info = watcher->result();
                watcher->deleteLater();
                if (!m_model) {
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
                    if (attempt < kMaxProbeAttempts && m_model->containsTask(task))
                        QTimer::singleShot(kProbeRetryDelayMs * attempt, this, [this, task, attempt]() {
                            resolveTaskMetadataAsync(task, attempt + 1);
                        });
                    return;
                }
                if (!info.valid || (media::isVideoPath(path) && info.durationSeconds <= 0)) {
                    task->setSourceResolution(damagedFileUnparseableText());
                    m_model->notifyTaskChanged(task);
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
                    task->setSourceResolution(QStringLiteral("%1x%2").arg(info.width).arg(info.height));
                    m_model->notifyTaskChanged(task);
                    emit listChanged();
                    if (log)
                        TVX_LOG_INFO << tag + QStringLiteral("finished path=") << path
                                     << " resolution=" << task->sourceResolution()
                                     << " valid=true error=" << info.errorText
                                     << " callbackElapsedMs=" << clock.elapsed();
                    return;
                }
                m_model->notifyTaskChanged(task);
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

void ToolBatch::applyPreset(const PresetWriter &writer)
{
    if (!m_model || !writer)
        return;
    bool reset = false;
    for (FFmpegOutputTask *task : m_model->outputTasks()) {
        if (!task || task->status() == BackgroundTask::Running || isDamaged(task))
            continue;
        const PresetChange change = writer(task);
        if (change == PresetChange::Unchanged)
            continue;
        // Only a change of what the output will be makes a finished file worth making again.
        const int status = task->status();
        if (change == PresetChange::Changed &&
            (status == BackgroundTask::Completed || status == BackgroundTask::Failed))
            reset = task->resetToPending(QString()) || reset;
        m_model->notifyTaskChanged(task);
    }
    if (reset)
        emit startActionChanged();
}

void ToolBatch::startTasks()
{
    if (!m_model || !m_taskManager)
        return;
    m_shutdownRequested = false;
    m_shutdownWaitingForQueue = false;
    m_run.start(m_taskManager, [](FFmpegOutputTask *) {});
    emit startActionChanged();
    emit listChanged();
}

void ToolBatch::refreshRunningTasks()
{
    if (!m_model)
        return;
    m_run.refresh();
    emit startActionChanged();
}

void ToolBatch::handleTaskFinished(BackgroundTask *task)
{
    if (!task || !m_model)
        return;
    if (task->toolId() != m_config.toolId) {
        // Our finished batch may have been waiting for another tool's jobs to leave the queue.
        if (m_shutdownWaitingForQueue)
            maybeShutdownWhenBatchFinished();
        return;
    }
    m_model->notifyTaskChanged(static_cast<FFmpegOutputTask *>(task));
    maybeShutdownWhenBatchFinished();
    maybeEmitBatchExecutionFinished();
    emit startActionChanged();
    emit listChanged();
}

void ToolBatch::maybeShutdownWhenBatchFinished()
{
    if (!m_shutdownWhenFinished || !m_model || !m_systemActions || m_shutdownRequested)
        return;
    for (const FFmpegOutputTask *task : m_model->outputTasks()) {
        // A damaged row never runs, so it cannot hold the shutdown back.
        if (task && isUnfinished(task) && !isDamaged(task))
            return;
    }
    // Another tool's jobs, running or waiting, must finish before the machine goes down.
    const TaskScheduler *scheduler = m_taskManager ? m_taskManager->scheduler() : nullptr;
    m_shutdownWaitingForQueue =
        scheduler && (scheduler->activeTaskCount() > 0 || scheduler->queuedTaskCount() > 0);
    if (m_shutdownWaitingForQueue)
        return;
    m_shutdownRequested = true;
    const QString result = m_systemActions->shutdownComputer();
    if (!m_config.logTag.isEmpty())
        TVX_LOG_INFO << m_config.logTag + QStringLiteral("[Shutdown] result=") << result;
}

void ToolBatch::maybeEmitBatchExecutionFinished()
{
    if (!m_model)
        return;
    TaskBatchRun<FFmpegOutputTask>::Outcome outcome;
    if (!m_run.finishedOutcome(&outcome))
        return;
    m_run.endBatch();
    if (outcome.successes > 0 || outcome.failures > 0)
        emit batchExecutionFinished(outcome.successes, outcome.failures);
}

void ToolBatch::removeTask(int row)
{
    if (!m_model)
        return;
    if (FFmpegOutputTask *task = m_model->outputTaskAt(row))
        m_run.drop(task);
    m_model->removeAt(row);
    emit startActionChanged();
    emit listChanged();
}

void ToolBatch::clearTasks()
{
    if (!m_model)
        return;
    m_run.dropAll();
    m_model->clear();
    emit startActionChanged();
    emit listChanged();
}

bool ToolBatch::exporting() const
{
    return m_model && m_run.anyRunning();
}

bool ToolBatch::canStartTasks() const
{
    return startState() == StartState::Startable;
}

ToolBatch::StartState ToolBatch::startState() const
{
    if (!m_model || m_model->rowCount() == 0)
        return StartState::NoRows;
    if (!ffmpegReady())
        return StartState::Unavailable;
    switch (m_run.rowsState()) {
    case TaskBatchRun<FFmpegOutputTask>::RowsState::Running:
        return StartState::Running;
    case TaskBatchRun<FFmpegOutputTask>::RowsState::Startable:
        return StartState::Startable;
    case TaskBatchRun<FFmpegOutputTask>::RowsState::NothingToStart:
        break;
    }
    return StartState::NothingToStart;
}

} // namespace tools
