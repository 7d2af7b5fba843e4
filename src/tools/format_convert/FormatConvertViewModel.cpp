// Format-convert view model: the choices and their option lists over the shared batch machinery.
#include "tools/format_convert/FormatConvertViewModel.h"

#include "media/MediaFormats.h"
#include "tools/ToolIds.h"
#include "tools/common/ToolBatch.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertTaskModel.h"

namespace {

const QStringList kAutoOnly{QStringLiteral("Auto")};

QString upperFormat(const QString &format)
{
    return format.trimmed().toUpper();
}

} // namespace

FormatConvertViewModel::FormatConvertViewModel(FFmpegEnvironment *environment, FFprobeService *prober,
                                               TaskManager *taskManager, SystemActions *systemActions,
                                               FormatConvertTaskFactory *taskFactory, QObject *parent)
    : BatchToolViewModel(parent), m_taskFactory(taskFactory), m_taskModel(new FormatConvertTaskModel(this))
{
    tools::ToolBatch::Config config;
    config.toolId = QString(tools::ToolIds::FormatConvert);
    config.logTag = QStringLiteral("[FormatConvert]");
    config.settingsFileName = QStringLiteral("format_convert.ini");
    config.outputDirectoryKey = QStringLiteral("format_convert/output_directory");
    config.acceptsPath = [](const QString &path) { return media::isSupportedTranscodeInputPath(path); };
    config.createAndAppendTask = [this](const QString &path) -> tools::FFmpegOutputTask * {
        if (!m_taskFactory)
            return nullptr;
        FormatConvertParams params = buildParams();
        params.sourcePath = path;
        FormatConvertTask *task = m_taskFactory->createTask(params);
        m_taskModel->addTask(task);
        return task;
    };
    createBatch(environment, prober, taskManager, systemActions, m_taskModel, std::move(config));
    connect(batch(), &tools::ToolBatch::listChanged, this, &FormatConvertViewModel::primaryTaskChanged);
}

FormatConvertViewModel::~FormatConvertViewModel() = default;

bool FormatConvertViewModel::isAudioOnlyOutputFormat(const QString &format)
{
    static const QStringList audioOnly{QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("AAC"),
                                       QStringLiteral("FLAC")};
    return audioOnly.contains(upperFormat(format));
}

QString FormatConvertViewModel::damagedFileUnparseableText()
{
    return tools::ToolBatch::damagedFileUnparseableText();
}

QString FormatConvertViewModel::toolTitle() const
{
    return QStringLiteral("Format Convert");
}

QStringList FormatConvertViewModel::outputFormatOptions() const
{
    return media::formatConvertOutputFormats();
}

QStringList FormatConvertViewModel::videoCodecOptions() const
{
    if (isAudioOnlyOutputFormat(m_outputFormat))
        return kAutoOnly;
    return {QStringLiteral("Auto"),   QStringLiteral("H.264"), QStringLiteral("H.265"),
            QStringLiteral("MPEG-4"), QStringLiteral("VP9"),   QStringLiteral("Copy")};
}

QStringList FormatConvertViewModel::frameRateOptions() const
{
    if (isAudioOnlyOutputFormat(m_outputFormat))
        return kAutoOnly;
    return {QStringLiteral("Auto"),  QStringLiteral("23.976"), QStringLiteral("24"), QStringLiteral("25"),
            QStringLiteral("29.97"), QStringLiteral("30"),     QStringLiteral("50"), QStringLiteral("60")};
}

QStringList FormatConvertViewModel::resolutionOptions() const
{
    if (isAudioOnlyOutputFormat(m_outputFormat))
        return kAutoOnly;
    return {QStringLiteral("Auto"),      QStringLiteral("3840x2160"), QStringLiteral("2560x1440"),
            QStringLiteral("1920x1080"), QStringLiteral("1280x720"),  QStringLiteral("854x480"),
            QStringLiteral("640x360")};
}

QStringList FormatConvertViewModel::videoBitrateOptions() const
{
    if (isAudioOnlyOutputFormat(m_outputFormat))
        return kAutoOnly;
    return {QStringLiteral("Auto"), QStringLiteral("256"),  QStringLiteral("384"),   QStringLiteral("512"),
            QStringLiteral("768"),  QStringLiteral("1024"), QStringLiteral("1200"),  QStringLiteral("1600"),
            QStringLiteral("2400"), QStringLiteral("5000"), QStringLiteral("10000"), QStringLiteral("16000")};
}

QStringList FormatConvertViewModel::audioCodecOptions() const
{
    const QString format = upperFormat(m_outputFormat);
    const QString a = QStringLiteral("Auto"), copy = QStringLiteral("Copy");
    if (format == QLatin1String("MP3"))
        return {a, QStringLiteral("MP3"), copy};
    if (format == QLatin1String("WAV"))
        return {a, QStringLiteral("PCM"), copy};
    if (format == QLatin1String("AAC"))
        return {a, QStringLiteral("AAC"), copy};
    if (format == QLatin1String("FLAC"))
        return {a, QStringLiteral("FLAC"), copy};
    if (format == QLatin1String("AVI"))
        return {a, QStringLiteral("MP3"), QStringLiteral("AAC"), QStringLiteral("PCM"), copy};
    if (format == QLatin1String("MKV"))
        return {a, QStringLiteral("AAC"), QStringLiteral("MP3"), QStringLiteral("FLAC"), copy};
    return {a, QStringLiteral("AAC"), QStringLiteral("MP3"), copy};
}

QStringList FormatConvertViewModel::audioBitrateOptions() const
{
    const QString format = upperFormat(m_outputFormat);
    if (format == QLatin1String("WAV") || format == QLatin1String("FLAC"))
        return kAutoOnly;
    return {QStringLiteral("Auto"), QStringLiteral("24"),  QStringLiteral("32"),  QStringLiteral("40"),
            QStringLiteral("48"),   QStringLiteral("64"),  QStringLiteral("80"),  QStringLiteral("96"),
            QStringLiteral("128"),  QStringLiteral("160"), QStringLiteral("192"), QStringLiteral("256"),
            QStringLiteral("320")};
}

bool FormatConvertViewModel::videoOptionsEnabled() const
{
    return !isAudioOnlyOutputFormat(m_outputFormat);
}

QString FormatConvertViewModel::ffmpegStatusText() const
{
    return ffmpegReady() ? QStringLiteral("ffmpeg/ffprobe ready")
                         : QStringLiteral("ffmpeg/ffprobe unavailable");
}

QString FormatConvertViewModel::startButtonText() const
{
    switch (batch()->startState()) {
    case tools::ToolBatch::StartState::NoRows:
        return QStringLiteral("Add files first");
    case tools::ToolBatch::StartState::Unavailable:
        return QStringLiteral("ffmpeg unavailable");
    case tools::ToolBatch::StartState::Running:
        return QStringLiteral("Converting...");
    case tools::ToolBatch::StartState::Startable:
        return QStringLiteral("Convert");
    case tools::ToolBatch::StartState::NothingToStart:
        break;
    }
    return QStringLiteral("Add files");
}

QVariantMap FormatConvertViewModel::primaryTask() const
{
    return m_taskModel->rowCount() > 0 ? m_taskModel->taskAt(0) : QVariantMap();
}

namespace {
QString roleOr(const QVariantMap &row, const char *role, const QString &fallback)
{
    const QVariant value = row.value(QLatin1String(role));
    return value.isValid() ? value.toString() : fallback;
}
} // namespace

QString FormatConvertViewModel::primaryTaskFileName() const
{
    return roleOr(primaryTask(), "fileName", QString());
}

QString FormatConvertViewModel::primaryTaskSourceFormat() const
{
    return roleOr(primaryTask(), "sourceFormat", QStringLiteral("MP4"));
}

QString FormatConvertViewModel::primaryTaskSourceResolution() const
{
    return roleOr(primaryTask(), "sourceResolution", QStringLiteral("1280x720"));
}

QString FormatConvertViewModel::primaryTaskTargetFormat() const
{
    return roleOr(primaryTask(), "targetFormat", m_outputFormat);
}

QString FormatConvertViewModel::primaryTaskTargetResolution() const
{
    return roleOr(primaryTask(), "targetResolution", m_params.resolution);
}

FormatConvertParams FormatConvertViewModel::buildParams() const
{
    FormatConvertParams params = m_params;
    params.sourcePath.clear();
    params.outputDirectory = batch()->outputDirectory();
    params.outputFormat = m_outputFormat;
    params.shutdownWhenFinished = batch()->shutdownWhenFinished();
    return params;
}

const FormatConvertViewModel::Choice *FormatConvertViewModel::choices()
{
    static const Choice table[] = {
        {&FormatConvertParams::videoCodec, &FormatConvertViewModel::videoCodecOptions,
         &FormatConvertViewModel::videoCodecChanged},
        {&FormatConvertParams::frameRate, &FormatConvertViewModel::frameRateOptions,
         &FormatConvertViewModel::frameRateChanged},
        {&FormatConvertParams::resolution, &FormatConvertViewModel::resolutionOptions,
         &FormatConvertViewModel::resolutionChanged},
        {&FormatConvertParams::videoBitrate, &FormatConvertViewModel::videoBitrateOptions,
         &FormatConvertViewModel::videoBitrateChanged},
        {&FormatConvertParams::audioCodec, &FormatConvertViewModel::audioCodecOptions,
         &FormatConvertViewModel::audioCodecChanged},
        {&FormatConvertParams::audioBitrate, &FormatConvertViewModel::audioBitrateOptions,
         &FormatConvertViewModel::audioBitrateChanged},
    };
    return table;
}

void FormatConvertViewModel::setChoice(const Choice &choice, const QString &value)
{
    const QString next = (this->*choice.options)().contains(value) ? value : QStringLiteral("Auto");
    if (m_params.*choice.field == next)
        return;
    m_params.*choice.field = next;
    applyPresetToTasks();
    emit(this->*choice.changed)();
}

void FormatConvertViewModel::setVideoCodec(const QString &videoCodec)
{
    setChoice(choices()[0], videoCodec);
}

void FormatConvertViewModel::setFrameRate(const QString &frameRate)
{
    setChoice(choices()[1], frameRate);
}

void FormatConvertViewModel::setResolution(const QString &resolution)
{
    setChoice(choices()[2], resolution);
}

void FormatConvertViewModel::setVideoBitrate(const QString &videoBitrate)
{
    setChoice(choices()[3], videoBitrate);
}

void FormatConvertViewModel::setAudioCodec(const QString &audioCodec)
{
    setChoice(choices()[4], audioCodec);
}

void FormatConvertViewModel::setAudioBitrate(const QString &audioBitrate)
{
    setChoice(choices()[5], audioBitrate);
}

void FormatConvertViewModel::setOutputFormat(const QString &outputFormat)
{
    if (outputFormat == m_outputFormat)
        return;
    m_outputFormat = outputFormat;
    normalizeParameterSelections();
    applyPresetToTasks();
    emit outputFormatChanged();
    emit parameterOptionsChanged();
    emit primaryTaskChanged();
}

void FormatConvertViewModel::normalizeParameterSelections()
{
    bool changed[6] = {};
    for (int i = 0; i < 6; ++i) {
        const Choice &choice = choices()[i];
        const QStringList options = (this->*choice.options)();
        QString &value = m_params.*choice.field;
        if (options.contains(value))
            continue;
        value = options.isEmpty() ? QStringLiteral("Auto") : options.first();
        changed[i] = true;
    }
    for (int i = 0; i < 6; ++i) {
        if (changed[i])
            emit(this->*choices()[i].changed)();
    }
}

void FormatConvertViewModel::outputDirectoryRefused(const QString &message)
{
    if (message != m_outputDirectoryErrorText) {
        m_outputDirectoryErrorText = message;
        emit outputDirectoryErrorTextChanged();
    }
}

void FormatConvertViewModel::outputDirectoryTaken()
{
    if (!m_outputDirectoryErrorText.isEmpty()) {
        m_outputDirectoryErrorText.clear();
        emit outputDirectoryErrorTextChanged();
    }
}

void FormatConvertViewModel::applyPresetToTasks()
{
    const FormatConvertParams current = buildParams();
    batch()->applyPreset([&current](tools::FFmpegOutputTask *outputTask) {
        auto *task = static_cast<FormatConvertTask *>(outputTask);
        const FormatConvertParams own = task->params();
        const bool sameOutput =
            own.outputDirectory == current.outputDirectory && own.outputFormat == current.outputFormat &&
            own.videoCodec == current.videoCodec && own.frameRate == current.frameRate &&
            own.resolution == current.resolution && own.videoBitrate == current.videoBitrate &&
            own.audioCodec == current.audioCodec && own.audioBitrate == current.audioBitrate;
        if (sameOutput && own.shutdownWhenFinished == current.shutdownWhenFinished)
            return tools::ToolBatch::PresetChange::Unchanged;
        task->applyPreset(current);
        return sameOutput ? tools::ToolBatch::PresetChange::FlagOnly
                          : tools::ToolBatch::PresetChange::Changed;
    });
}
