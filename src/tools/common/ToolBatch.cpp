// Batch machinery of the ffmpeg tools (see ToolBatch.h).
#include "tools/common/ToolBatch.h"

#include "core/AppPaths.h"
#include "core/AtomicFile.h"
#include "core/Log.h"
#include "core/StateFile.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/common/FFmpegOutputTask.h"
#include "tools/common/FFmpegTaskListModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace tools {
namespace {

constexpr int kRefreshIntervalMs = 200;

bool isUnfinished(const FFmpegOutputTask *task)
{
    return TaskBatchRun<FFmpegOutputTask>::isUnfinished(task);
}

} // namespace

// The intake's view of this tool's list.
class ToolBatch::ListRows : public BatchIntake::Rows
{
public:
    ListRows(FFmpegTaskListModel *model,
             std::function<FFmpegOutputTask *(const QString &path)> createAndAppendTask)
        : m_model(model), m_createAndAppendTask(std::move(createAndAppendTask))
    {
    }

    bool hasList() const override { return m_model != nullptr; }
    bool canAppend() const override { return m_model && bool(m_createAndAppendTask); }
    bool containsSourcePath(const QString &path) const override { return m_model->containsSourcePath(path); }
    bool containsTask(BackgroundTask *task) const override { return m_model->containsTask(own(task)); }
    int rowCount() const override { return m_model->rowCount(); }
    BackgroundTask *appendTask(const QString &path) override { return m_createAndAppendTask(path); }
    QString sourcePathOf(BackgroundTask *task) const override { return own(task)->sourcePath(); }
    void setSourceResolution(BackgroundTask *task, const QString &text) override
    {
        own(task)->setSourceResolution(text);
    }
    void notifyTaskChanged(BackgroundTask *task) override { m_model->notifyTaskChanged(own(task)); }

private:
    // Every task of the list was made by createAndAppendTask.
    static FFmpegOutputTask *own(BackgroundTask *task) { return static_cast<FFmpegOutputTask *>(task); }

    FFmpegTaskListModel *const m_model;
    const std::function<FFmpegOutputTask *(const QString &path)> m_createAndAppendTask;
};

ToolBatch::ToolBatch(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                     SystemActions *systemActions, FFmpegTaskListModel *model, Config config, QObject *parent)
    : QObject(parent), m_environment(environment), m_taskManager(taskManager), m_systemActions(systemActions),
      m_model(model), m_config(std::move(config)),
      m_run([this]() { return m_model ? m_model->outputTasks() : QList<FFmpegOutputTask *>(); },
            [this](FFmpegOutputTask *task) { m_model->notifyTaskChanged(task); }, &ToolBatch::isDamaged,
            [this]() { refreshRunningTasks(); }, kRefreshIntervalMs)
{
    m_rows = std::make_unique<ListRows>(m_model, m_config.createAndAppendTask);
    m_intake = new BatchIntake(prober, m_rows.get(),
                               {m_config.logTag, m_config.acceptsPath, &media::isVideoPath}, this);
    connect(m_intake, &BatchIntake::startActionChanged, this, &ToolBatch::startActionChanged);
    connect(m_intake, &BatchIntake::listChanged, this, &ToolBatch::listChanged);
    m_outputDirectory = app::ensureDesktopOutputRootPath();
    loadPersistedOutputDirectory();
    if (m_taskManager && m_taskManager->scheduler())
        connect(m_taskManager->scheduler(), &TaskScheduler::taskFinished, this,
                &ToolBatch::handleTaskFinished);
}

ToolBatch::~ToolBatch() = default;

QString ToolBatch::damagedFileUnparseableText()
{
    return BatchIntake::damagedFileUnparseableText();
}

bool ToolBatch::isDamaged(const FFmpegOutputTask *task)
{
    return task && task->sourceResolution() == damagedFileUnparseableText();
}

QString ToolBatch::normalizeLocalPath(const QString &path)
{
    return BatchIntake::normalizeLocalPath(path);
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
    return BatchIntake::collectFiles(folder, accepts);
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
    return m_intake->addFiles(fileUrls);
}

int ToolBatch::addFolder(const QString &folderUrl)
{
    return m_intake->addFolder(folderUrl);
}

bool ToolBatch::addSourceFile(const QString &path)
{
    return m_intake->addSourceFile(path);
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
