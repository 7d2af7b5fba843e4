// Video-to-text view model: intake, probe, options, batch start and outcome (see the header).
#include "cloud/video_to_text/VideoToTextViewModel.h"

#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTaskModel.h"
#include "core/AppPaths.h"
#include "core/DisplayText.h"
#include "core/Log.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/common/BatchIntake.h"
#include "tools/common/ToolBatch.h"

#include <QFileInfo>

namespace {

constexpr int kRefreshIntervalMs = 200;

const char kOutputDirectoryKey[] = "video_to_text/output_directory";

QString settingsFilePath()
{
    return app::appDataFilePath(QStringLiteral("video_to_text.ini"));
}

bool isDamaged(const VideoToTextTask *task)
{
    return task && task->sourceResolution() == VideoToTextViewModel::damagedFileUnparseableText();
}

} // namespace

// The shared intake's view of the job list.
class VideoToTextViewModel::ListRows : public tools::BatchIntake::Rows
{
public:
    explicit ListRows(VideoToTextViewModel *owner) : m_owner(owner) {}

    bool hasList() const override { return m_owner->m_taskModel != nullptr; }
    bool canAppend() const override { return m_owner->m_taskFactory && m_owner->m_taskModel; }
    bool containsSourcePath(const QString &path) const override
    {
        return m_owner->m_taskModel->containsSourcePath(path);
    }
    bool containsTask(BackgroundTask *task) const override
    {
        return m_owner->m_taskModel->tasks().contains(own(task));
    }
    int rowCount() const override { return m_owner->m_taskModel->rowCount(); }
    BackgroundTask *appendTask(const QString &path) override
    {
        VideoToTextParams params = m_owner->buildParams();
        params.sourcePath = path;
        VideoToTextTask *task = m_owner->m_taskFactory->createTask(params);
        m_owner->m_taskModel->addTask(task);
        return task;
    }
    QString sourcePathOf(BackgroundTask *task) const override { return own(task)->sourcePath(); }
    void setSourceResolution(BackgroundTask *task, const QString &text) override
    {
        own(task)->setSourceResolution(text);
    }
    void notifyTaskChanged(BackgroundTask *task) override
    {
        m_owner->m_taskModel->notifyTaskChanged(own(task));
    }

private:
    // Every task of the list was made by appendTask.
    static VideoToTextTask *own(BackgroundTask *task) { return static_cast<VideoToTextTask *>(task); }

    VideoToTextViewModel *const m_owner;
};

VideoToTextViewModel::VideoToTextViewModel(FFprobeService *ffprobeService, TaskManager *taskManager,
                                           VideoToTextTaskFactory *taskFactory, QObject *parent)
    : QObject(parent), m_ffprobeService(ffprobeService), m_taskManager(taskManager),
      m_taskFactory(taskFactory), m_taskModel(new VideoToTextTaskModel(this)),
      m_outputFormat(QStringLiteral("TXT")), m_recognitionLanguage(QStringLiteral("中文")),
      m_run([this]() { return m_taskModel ? m_taskModel->tasks() : QList<VideoToTextTask *>(); },
            [this](VideoToTextTask *task) { m_taskModel->notifyTaskChanged(task); }, &isDamaged,
            [this]() { refreshRunningTasks(); }, kRefreshIntervalMs)
{
    m_rows = std::make_unique<ListRows>(this);
    m_intake = new tools::BatchIntake(
        ffprobeService, m_rows.get(),
        {QString(), [](const QString &path) { return media::isSupportedVideoToolInputPath(path); },
         [](const QString &) { return true; }},
        this);
    connect(m_intake, &tools::BatchIntake::startActionChanged, this,
            &VideoToTextViewModel::startActionChanged);
    connect(m_intake, &tools::BatchIntake::probeInconclusive, this,
            [](const QString &path, int attempt, const QString &errorText) {
                TVX_LOG_WARN << QStringLiteral("[VideoToText] probe inconclusive, path=%1 attempt=%2 err=%3")
                                    .arg(path)
                                    .arg(attempt)
                                    .arg(errorText);
            });
    m_outputDirectory = app::ensureDesktopOutputRootPath();
    loadPersistedOutputDirectory();
    if (m_taskManager && m_taskManager->scheduler())
        connect(m_taskManager->scheduler(), &TaskScheduler::taskFinished, this,
                &VideoToTextViewModel::handleTaskFinished);
}

// Jobs still queued or running keep going; they are never deleted (the queue holds them).
VideoToTextViewModel::~VideoToTextViewModel() = default;

QString VideoToTextViewModel::damagedFileUnparseableText()
{
    return tools::BatchIntake::damagedFileUnparseableText();
}

QString VideoToTextViewModel::normalizeLocalPath(const QString &text)
{
    return tools::BatchIntake::normalizeLocalPath(text);
}

bool VideoToTextViewModel::validateWritableDirectory(const QString &directory, QString *errorMessage)
{
    return tools::ToolBatch::validateWritableDirectory(directory, errorMessage,
                                                       {"tool.common.error.output_dir_empty",
                                                        "tool.common.error.output_dir_create_failed",
                                                        "tool.common.error.output_dir_not_writable"});
}

QString VideoToTextViewModel::toolTitle() const
{
    return i18n::t(QStringLiteral("tool.video_to_text.title"));
}

QStringList VideoToTextViewModel::outputFormatOptions() const
{
    return media::videoToTextOutputFormats();
}

QStringList VideoToTextViewModel::recognitionLanguageOptions() const
{
    return {i18n::t(QStringLiteral("tool.video_to_text.language.zh")),
            i18n::t(QStringLiteral("tool.video_to_text.language.en")),
            i18n::t(QStringLiteral("tool.video_to_text.language.other"))};
}

VideoToTextParams VideoToTextViewModel::buildParams() const
{
    VideoToTextParams params;
    params.sourcePath.clear();
    params.outputDirectory = m_outputDirectory;
    params.outputFormat = m_outputFormat;
    params.recognitionLanguage = m_recognitionLanguage;
    return params;
}

QObject *VideoToTextViewModel::taskModelObject() const
{
    return m_taskModel;
}

void VideoToTextViewModel::addFiles(const QStringList &fileUrls)
{
    m_intake->addFiles(fileUrls);
}

void VideoToTextViewModel::addFolder(const QString &folderUrl)
{
    m_intake->addFolder(folderUrl);
}

void VideoToTextViewModel::setOutputFormat(const QString &outputFormat)
{
    const QString next =
        media::videoToTextOutputFormats().contains(outputFormat) ? outputFormat : QStringLiteral("TXT");
    if (next == m_outputFormat)
        return;
    m_outputFormat = next;
    applyPresetToTasks();
    emit outputFormatChanged();
}

void VideoToTextViewModel::setRecognitionLanguage(const QString &recognitionLanguage)
{
    const QString next = recognitionLanguageOptions().contains(recognitionLanguage)
                             ? recognitionLanguage
                             : i18n::t(QStringLiteral("tool.video_to_text.language.zh"));
    if (next == m_recognitionLanguage)
        return;
    m_recognitionLanguage = next;
    applyPresetToTasks();
    emit recognitionLanguageChanged();
}

void VideoToTextViewModel::setOutputDirectory(const QString &outputDirectory)
{
    const QString folder = normalizeLocalPath(outputDirectory);
    if (folder.isEmpty() || folder == m_outputDirectory)
        return;
    QString message;
    if (!validateWritableDirectory(folder, &message)) {
        emit outputDirectoryValidationFailed(message);
        return;
    }
    m_outputDirectory = folder;
    savePersistedOutputDirectory();
    applyPresetToTasks();
    emit outputDirectoryChanged();
}

void VideoToTextViewModel::applyPresetToTasks()
{
    if (!m_taskModel)
        return;
    const VideoToTextParams current = buildParams();
    bool reset = false;
    for (VideoToTextTask *task : m_taskModel->tasks()) {
        // A job the pool has begun (or is winding up) keeps the options it started with.
        if (!task || task->status() == BackgroundTask::Running || task->isExecuting() || isDamaged(task))
            continue;
        const VideoToTextParams own = task->params();
        if (own.outputDirectory == current.outputDirectory && own.outputFormat == current.outputFormat &&
            own.recognitionLanguage == current.recognitionLanguage)
            continue;
        task->applyPreset(current);
        const int status = task->status();
        if (status == BackgroundTask::Completed || status == BackgroundTask::Failed)
            reset = task->resetToPending(QString()) || reset;
        m_taskModel->notifyTaskChanged(task);
    }
    if (reset)
        emit startActionChanged();
}

void VideoToTextViewModel::loadPersistedOutputDirectory()
{
    const QString stored = tools::ToolBatch::loadRememberedDirectory(
        settingsFilePath(), QString::fromLatin1(kOutputDirectoryKey));
    if (!stored.isEmpty())
        m_outputDirectory = stored;
}

void VideoToTextViewModel::savePersistedOutputDirectory() const
{
    tools::ToolBatch::saveRememberedDirectory(settingsFilePath(), QString::fromLatin1(kOutputDirectoryKey),
                                              m_outputDirectory);
}

bool VideoToTextViewModel::exporting() const
{
    return m_taskModel && m_run.anyRunning();
}

bool VideoToTextViewModel::canStartTasks() const
{
    if (!m_taskModel || m_taskModel->rowCount() == 0)
        return false;
    return m_run.rowsState() == tools::TaskBatchRun<VideoToTextTask>::RowsState::Startable;
}

QString VideoToTextViewModel::startButtonText() const
{
    const QString addFiles = i18n::t(QStringLiteral("tool.video_to_text.start.add_files"));
    if (!m_taskModel || m_taskModel->rowCount() == 0)
        return addFiles;
    switch (m_run.rowsState()) {
    case tools::TaskBatchRun<VideoToTextTask>::RowsState::Running:
        return i18n::t(QStringLiteral("tool.video_to_text.start.running"));
    case tools::TaskBatchRun<VideoToTextTask>::RowsState::Startable:
        return i18n::t(QStringLiteral("tool.video_to_text.start.convert"));
    case tools::TaskBatchRun<VideoToTextTask>::RowsState::NothingToStart:
        break;
    }
    return addFiles;
}

void VideoToTextViewModel::startTasks()
{
    if (!m_taskModel || !m_taskManager) {
        TVX_LOG_WARN << QStringLiteral("[VideoToText] startTasks ignored, model or manager is null");
        return;
    }
    TVX_LOG_INFO << QStringLiteral(
                        "[VideoToText] startTasks triggered, taskCount=%1 outputFormat=%2 language=%3 "
                        "outputDirectory=%4")
                        .arg(m_taskModel->rowCount())
                        .arg(m_outputFormat, m_recognitionLanguage, m_outputDirectory);
    m_run.start(m_taskManager, [](const VideoToTextTask *task) {
        TVX_LOG_INFO << QStringLiteral("[VideoToText] submit task, taskId=%1 source=%2")
                            .arg(task->taskId(), task->sourcePath());
    });
    emit startActionChanged();
}

void VideoToTextViewModel::refreshRunningTasks()
{
    if (!m_taskModel)
        return;
    m_run.refresh();
    emit startActionChanged();
}

void VideoToTextViewModel::handleTaskFinished(BackgroundTask *task)
{
    auto *own = dynamic_cast<VideoToTextTask *>(task);
    if (!own || !m_taskModel)
        return;
    m_taskModel->notifyTaskChanged(own);
    maybeEmitBatchExecutionFinished();
    emit startActionChanged();
}

void VideoToTextViewModel::maybeEmitBatchExecutionFinished()
{
    if (!m_taskModel)
        return;
    tools::TaskBatchRun<VideoToTextTask>::Outcome outcome;
    if (!m_run.finishedOutcome(&outcome))
        return;
    if (outcome.failures > 0) {
        // In row order, so the reason shown is the same whatever order the set is walked in.
        QString reason;
        for (const VideoToTextTask *task : m_taskModel->tasks()) {
            if (task && m_run.inBatch(task) && task->status() == BackgroundTask::Failed) {
                // Often the server's message: shown in the result dialog as one line of text.
                reason = app::displayText(task->errorText()).trimmed();
                if (!reason.isEmpty())
                    break;
            }
        }
        if (reason != m_lastFailureText) {
            m_lastFailureText = reason;
            emit lastFailureTextChanged();
        }
    }
    m_run.endBatch();
    if (outcome.successes > 0 || outcome.failures > 0)
        emit batchExecutionFinished(outcome.successes, outcome.failures);
}

void VideoToTextViewModel::removeTask(int row)
{
    if (!m_taskModel)
        return;
    if (VideoToTextTask *task = m_taskModel->taskObjectAt(row))
        m_run.drop(task);
    m_taskModel->removeAt(row);
    emit startActionChanged();
}

void VideoToTextViewModel::clearTasks()
{
    if (!m_taskModel)
        return;
    m_run.dropAll();
    m_taskModel->clear();
    emit startActionChanged();
}

void VideoToTextViewModel::notifyStartActionChanged()
{
    emit startActionChanged();
}
