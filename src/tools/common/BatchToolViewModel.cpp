// Page actions and batch state shared by the converter view models (see BatchToolViewModel.h).
#include "tools/common/BatchToolViewModel.h"

#include "tools/common/FFmpegTaskListModel.h"

namespace tools {

BatchToolViewModel::BatchToolViewModel(QObject *parent) : QObject(parent) {}

void BatchToolViewModel::createBatch(FFmpegEnvironment *environment, FFprobeService *prober,
                                     TaskManager *taskManager, SystemActions *systemActions,
                                     FFmpegTaskListModel *model, ToolBatch::Config config)
{
    m_batch = new ToolBatch(environment, prober, taskManager, systemActions, model, std::move(config), this);
    connect(m_batch, &ToolBatch::startActionChanged, this, &BatchToolViewModel::startActionChanged);
    connect(m_batch, &ToolBatch::batchExecutionFinished, this, &BatchToolViewModel::batchExecutionFinished);
}

QString BatchToolViewModel::outputDirectory() const
{
    return m_batch->outputDirectory();
}

bool BatchToolViewModel::shutdownWhenFinished() const
{
    return m_batch->shutdownWhenFinished();
}

bool BatchToolViewModel::ffmpegReady() const
{
    return m_batch->ffmpegReady();
}

bool BatchToolViewModel::exporting() const
{
    return m_batch->exporting();
}

bool BatchToolViewModel::canStartTasks() const
{
    return m_batch->canStartTasks();
}

QObject *BatchToolViewModel::taskModelObject() const
{
    return m_batch->model();
}

void BatchToolViewModel::addFiles(const QStringList &fileUrls)
{
    m_batch->addFiles(fileUrls);
}

void BatchToolViewModel::addFolder(const QString &folderUrl)
{
    m_batch->addFolder(folderUrl);
}

void BatchToolViewModel::removeTask(int row)
{
    m_batch->removeTask(row);
}

void BatchToolViewModel::startTasks()
{
    m_batch->startTasks();
}

void BatchToolViewModel::clearTasks()
{
    m_batch->clearTasks();
}

void BatchToolViewModel::setShutdownWhenFinished(bool shutdownWhenFinished)
{
    if (!m_batch->setShutdownWhenFinished(shutdownWhenFinished))
        return;
    applyPresetToTasks();
    emit shutdownWhenFinishedChanged();
}

void BatchToolViewModel::setOutputDirectory(const QString &outputDirectory)
{
    bool changed = false;
    QString message;
    if (!m_batch->acceptOutputDirectory(outputDirectory, &changed, &message)) {
        outputDirectoryRefused(message);
        emit outputDirectoryValidationFailed(message);
        return;
    }
    if (!changed)
        return;
    outputDirectoryTaken();
    applyPresetToTasks();
    emit outputDirectoryChanged();
}

} // namespace tools
