// Video-compress view model: container, mode and ratio over the shared batch machinery.
#include "tools/video_compress/VideoCompressViewModel.h"

#include "i18n/I18n.h"
#include "media/MediaFormats.h"
#include "tools/ToolIds.h"
#include "tools/common/ToolBatch.h"
#include "tools/video_compress/VideoCompressTask.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressTaskModel.h"

VideoCompressViewModel::VideoCompressViewModel(FFmpegEnvironment *environment, FFprobeService *prober,
                                               TaskManager *taskManager, SystemActions *systemActions,
                                               VideoCompressTaskFactory *taskFactory, QObject *parent)
    : BatchToolViewModel(parent), m_taskFactory(taskFactory), m_taskModel(new VideoCompressTaskModel(this))
{
    tools::ToolBatch::Config config;
    config.toolId = QString(tools::ToolIds::VideoCompress);
    config.settingsFileName = QStringLiteral("video_compress.ini");
    config.outputDirectoryKey = QStringLiteral("video_compress/output_directory");
    config.acceptsPath = [](const QString &path) { return media::isSupportedVideoToolInputPath(path); };
    config.createAndAppendTask = [this](const QString &path) -> tools::FFmpegOutputTask * {
        if (!m_taskFactory)
            return nullptr;
        VideoCompressParams params = buildParams();
        params.sourcePath = path;
        VideoCompressTask *task = m_taskFactory->createTask(params);
        m_taskModel->addTask(task);
        return task;
    };
    createBatch(environment, prober, taskManager, systemActions, m_taskModel, std::move(config));
}

VideoCompressViewModel::~VideoCompressViewModel() = default;

QString VideoCompressViewModel::toolTitle() const
{
    return i18n::t(QStringLiteral("cpp.msg.video_compress"));
}

QStringList VideoCompressViewModel::outputFormatOptions() const
{
    return media::videoCompressOutputFormats();
}

QString VideoCompressViewModel::ffmpegStatusText() const
{
    return i18n::t(ffmpegReady() ? QStringLiteral("cpp.msg.ffmpeg_ffprobe_ready")
                                 : QStringLiteral("cpp.msg.ffmpeg_ffprobe_unavailable"));
}

QString VideoCompressViewModel::startButtonText() const
{
    switch (batch()->startState()) {
    case tools::ToolBatch::StartState::Unavailable:
        return i18n::t(QStringLiteral("cpp.msg.ffmpeg_unavailable"));
    case tools::ToolBatch::StartState::Running:
        return i18n::t(QStringLiteral("cpp.msg.compressing"));
    case tools::ToolBatch::StartState::Startable:
        return i18n::t(QStringLiteral("cpp.msg.compress"));
    case tools::ToolBatch::StartState::NoRows:
    case tools::ToolBatch::StartState::NothingToStart:
        break;
    }
    return i18n::t(QStringLiteral("cpp.msg.add_files"));
}

VideoCompressParams VideoCompressViewModel::buildParams() const
{
    VideoCompressParams params = m_params;
    params.sourcePath.clear();
    params.outputDirectory = batch()->outputDirectory();
    params.shutdownWhenFinished = batch()->shutdownWhenFinished();
    return params;
}

void VideoCompressViewModel::setOutputFormat(const QString &outputFormat)
{
    const QString next =
        media::videoCompressOutputFormats().contains(outputFormat) ? outputFormat : QStringLiteral("Source");
    if (next == m_params.outputFormat)
        return;
    m_params.outputFormat = next;
    applyPresetToTasks();
    emit outputFormatChanged();
}

void VideoCompressViewModel::setCompressionMode(const QString &compressionMode)
{
    QString next = QStringLiteral("Balanced");
    if (compressionMode.compare(QLatin1String("Speed"), Qt::CaseInsensitive) == 0)
        next = QStringLiteral("Speed");
    else if (compressionMode.compare(QLatin1String("Quality"), Qt::CaseInsensitive) == 0)
        next = QStringLiteral("Quality");
    if (next == m_params.compressionMode)
        return;
    m_params.compressionMode = next;
    applyPresetToTasks();
    emit compressionModeChanged();
}

void VideoCompressViewModel::setCompressionRatio(int compressionRatio)
{
    const int next = qBound(20, compressionRatio, 100);
    if (next == m_params.compressionRatio)
        return;
    m_params.compressionRatio = next;
    applyPresetToTasks();
    emit compressionRatioChanged();
}

void VideoCompressViewModel::applyPresetToTasks()
{
    const VideoCompressParams current = buildParams();
    batch()->applyPreset([&current](tools::FFmpegOutputTask *outputTask) {
        auto *task = static_cast<VideoCompressTask *>(outputTask);
        const VideoCompressParams own = task->params();
        const bool sameOutput = own.outputDirectory == current.outputDirectory &&
                                own.outputFormat == current.outputFormat &&
                                own.compressionMode == current.compressionMode &&
                                own.compressionRatio == current.compressionRatio;
        if (sameOutput && own.shutdownWhenFinished == current.shutdownWhenFinished)
            return tools::ToolBatch::PresetChange::Unchanged;
        task->applyPreset(current);
        return sameOutput ? tools::ToolBatch::PresetChange::FlagOnly
                          : tools::ToolBatch::PresetChange::Changed;
    });
}
