// Controller of the format-convert tool window: the batch list, the conversion choices with their
// option lists, the output folder and the batch start (the batch itself is tools::ToolBatch).
#pragma once

#include "tools/common/BatchToolViewModel.h"
#include "tools/format_convert/FormatConvertParams.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class FFmpegEnvironment;
class FFprobeService;
class FormatConvertTaskFactory;
class FormatConvertTaskModel;
class SystemActions;
class TaskManager;

class FormatConvertViewModel : public tools::BatchToolViewModel
{
    Q_OBJECT
    Q_PROPERTY(QString toolTitle READ toolTitle CONSTANT)
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(
        QString outputDirectoryErrorText READ outputDirectoryErrorText NOTIFY outputDirectoryErrorTextChanged)
    Q_PROPERTY(QString videoCodec READ videoCodec WRITE setVideoCodec NOTIFY videoCodecChanged)
    Q_PROPERTY(QString frameRate READ frameRate WRITE setFrameRate NOTIFY frameRateChanged)
    Q_PROPERTY(QString resolution READ resolution WRITE setResolution NOTIFY resolutionChanged)
    Q_PROPERTY(QString videoBitrate READ videoBitrate WRITE setVideoBitrate NOTIFY videoBitrateChanged)
    Q_PROPERTY(QString audioCodec READ audioCodec WRITE setAudioCodec NOTIFY audioCodecChanged)
    Q_PROPERTY(QString audioBitrate READ audioBitrate WRITE setAudioBitrate NOTIFY audioBitrateChanged)
    Q_PROPERTY(QStringList videoCodecOptions READ videoCodecOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QStringList frameRateOptions READ frameRateOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QStringList resolutionOptions READ resolutionOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QStringList videoBitrateOptions READ videoBitrateOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QStringList audioCodecOptions READ audioCodecOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QStringList audioBitrateOptions READ audioBitrateOptions NOTIFY parameterOptionsChanged)
    Q_PROPERTY(bool videoOptionsEnabled READ videoOptionsEnabled NOTIFY parameterOptionsChanged)
    Q_PROPERTY(QString ffmpegStatusText READ ffmpegStatusText NOTIFY ffmpegStatusTextChanged)
    Q_PROPERTY(QString startButtonText READ startButtonText NOTIFY startActionChanged)
    Q_PROPERTY(QString primaryTaskFileName READ primaryTaskFileName NOTIFY primaryTaskChanged)
    Q_PROPERTY(QString primaryTaskSourceFormat READ primaryTaskSourceFormat NOTIFY primaryTaskChanged)
    Q_PROPERTY(QString primaryTaskSourceResolution READ primaryTaskSourceResolution NOTIFY primaryTaskChanged)
    Q_PROPERTY(QString primaryTaskTargetFormat READ primaryTaskTargetFormat NOTIFY primaryTaskChanged)
    Q_PROPERTY(QString primaryTaskTargetResolution READ primaryTaskTargetResolution NOTIFY primaryTaskChanged)

public:
    FormatConvertViewModel(FFmpegEnvironment *environment, FFprobeService *prober, TaskManager *taskManager,
                           SystemActions *systemActions, FormatConvertTaskFactory *taskFactory,
                           QObject *parent = nullptr);
    ~FormatConvertViewModel() override;

    static bool isAudioOnlyOutputFormat(const QString &format);
    static QString damagedFileUnparseableText();

    QString toolTitle() const;
    QString outputFormat() const { return m_outputFormat; }
    QStringList outputFormatOptions() const;
    QString outputDirectoryErrorText() const { return m_outputDirectoryErrorText; }
    QString videoCodec() const { return m_params.videoCodec; }
    QString frameRate() const { return m_params.frameRate; }
    QString resolution() const { return m_params.resolution; }
    QString videoBitrate() const { return m_params.videoBitrate; }
    QString audioCodec() const { return m_params.audioCodec; }
    QString audioBitrate() const { return m_params.audioBitrate; }
    QStringList videoCodecOptions() const;
    QStringList frameRateOptions() const;
    QStringList resolutionOptions() const;
    QStringList videoBitrateOptions() const;
    QStringList audioCodecOptions() const;
    QStringList audioBitrateOptions() const;
    bool videoOptionsEnabled() const;
    QString ffmpegStatusText() const;
    QString startButtonText() const;
    QString primaryTaskFileName() const;
    QString primaryTaskSourceFormat() const;
    QString primaryTaskSourceResolution() const;
    QString primaryTaskTargetFormat() const;
    QString primaryTaskTargetResolution() const;

    FormatConvertTaskModel *taskModel() const { return m_taskModel; }
    FormatConvertParams buildParams() const;

public slots:
    void setOutputFormat(const QString &outputFormat);
    void setVideoCodec(const QString &videoCodec);
    void setFrameRate(const QString &frameRate);
    void setResolution(const QString &resolution);
    void setVideoBitrate(const QString &videoBitrate);
    void setAudioCodec(const QString &audioCodec);
    void setAudioBitrate(const QString &audioBitrate);

signals:
    void outputFormatChanged();
    void outputDirectoryErrorTextChanged();
    void videoCodecChanged();
    void frameRateChanged();
    void resolutionChanged();
    void videoBitrateChanged();
    void audioCodecChanged();
    void audioBitrateChanged();
    void parameterOptionsChanged();
    void primaryTaskChanged();

private:
    // One of the six choices: its stored value, option list and change signal.
    struct Choice
    {
        QString FormatConvertParams::*field;
        QStringList (FormatConvertViewModel::*options)() const;
        void (FormatConvertViewModel::*changed)();
    };
    static const Choice *choices();
    void setChoice(const Choice &choice, const QString &value);
    void normalizeParameterSelections();
    void applyPresetToTasks() override;
    void outputDirectoryRefused(const QString &message) override;
    void outputDirectoryTaken() override;
    QVariantMap primaryTask() const;

    FormatConvertTaskFactory *m_taskFactory = nullptr;
    FormatConvertTaskModel *m_taskModel = nullptr;
    QString m_outputFormat = QStringLiteral("MP4");
    QString m_outputDirectoryErrorText;
    // The six choices; output folder, format and the shutdown flag live elsewhere.
    FormatConvertParams m_params;
};
