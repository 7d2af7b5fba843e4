// What the capture and to-image view models share: one probed source, the output image's
// settings with the remembered folder, the status line and the pool jobs they wait for.
#pragma once

#include "ffmpeg/FFprobeService.h"
#include "tools/video_capture/FrameToolSupport.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

class FFmpegEnvironment;

namespace tools {

class FrameToolViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString sourcePath READ sourcePath NOTIFY sourcePathChanged)
    Q_PROPERTY(QString sourceFileName READ sourceFileName NOTIFY sourcePathChanged)
    Q_PROPERTY(int durationSeconds READ durationSeconds NOTIFY durationChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY durationChanged)
    Q_PROPERTY(
        QString outputDirectory READ outputDirectory WRITE setOutputDirectory NOTIFY outputDirectoryChanged)
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QStringList outputFormatOptions READ outputFormatOptions CONSTANT)
    Q_PROPERTY(int outputWidth READ outputWidth WRITE setOutputWidth NOTIFY outputResolutionChanged)
    Q_PROPERTY(int outputHeight READ outputHeight WRITE setOutputHeight NOTIFY outputResolutionChanged)
    Q_PROPERTY(
        bool keepAspectRatio READ keepAspectRatio WRITE setKeepAspectRatio NOTIFY keepAspectRatioChanged)
    Q_PROPERTY(QString qualityPreset READ qualityPreset WRITE setQualityPreset NOTIFY qualityPresetChanged)
    Q_PROPERTY(QStringList qualityPresetOptions READ qualityPresetOptions CONSTANT)
    Q_PROPERTY(bool ffmpegReady READ ffmpegReady NOTIFY ffmpegReadyChanged)
    Q_PROPERTY(bool probingSource READ probingSource NOTIFY probingSourceChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)

public:
    QString sourcePath() const { return m_sourcePath; }
    QString sourceFileName() const;
    int durationSeconds() const { return m_durationSeconds; }
    QString durationText() const;
    QString outputDirectory() const { return m_outputDirectory; }
    QString outputFormat() const { return m_outputFormat; }
    QStringList outputFormatOptions() const;
    int outputWidth() const { return m_outputWidth; }
    int outputHeight() const { return m_outputHeight; }
    bool keepAspectRatio() const { return m_keepAspectRatio; }
    QString qualityPreset() const { return m_qualityPreset; }
    QStringList qualityPresetOptions() const;
    bool ffmpegReady() const;
    bool probingSource() const { return m_probing; }
    QString statusMessage() const { return m_statusMessage; }

    // Sets the abort flag of running jobs and waits for them, bounded; called from main's teardown.
    bool waitForJobs(int timeoutMs);

public slots:
    void setOutputDirectory(const QString &directory);
    void setOutputFormat(const QString &format);
    void setOutputWidth(int width);
    void setOutputHeight(int height);
    void setKeepAspectRatio(bool keep);
    void setQualityPreset(const QString &preset);

signals:
    void sourcePathChanged();
    void durationChanged();
    void outputDirectoryChanged();
    void outputFormatChanged();
    void outputResolutionChanged();
    void keepAspectRatioChanged();
    void qualityPresetChanged();
    void ffmpegReadyChanged();
    void probingSourceChanged();
    void statusMessageChanged();
    void sourceLoadFailed(const QString &message);

protected:
    struct Config
    {
        // "[VideoCapture]" and the like, before the status lines in the log.
        const char *logTag;
        // The tool's settings file (read anew at every use) and its output-folder key.
        QString (*settingsFilePath)();
        QString outputDirectoryKey;
    };

    FrameToolViewModel(FFmpegEnvironment *environment, FFprobeService *prober, Config config,
                       QObject *parent);

    // Recomputes what the tool's buttons allow.
    virtual void updateActionStates() = 0;

    // The output folder: the remembered one when still usable, defaultDirectory otherwise.
    void loadOutputDirectory(const QString &defaultDirectory);
    void setStatusMessage(const QString &message);

    // The probe in flight no longer reports.
    void dropProbe();
    bool sourceProbeable() const;
    // Forgets the duration, size and validity of the source.
    void forgetSourceInfo();
    // Ends the flag of a dropped probe, then recomputes the actions.
    void endDroppedProbe();
    // Marks the source as being probed and starts the probe on the pool; onProbeFinished gets it.
    void startProbe();
    virtual void onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher) = 0;
    // Takes the probe's result into the source's duration and size; the output size follows a
    // known source size.
    void takeProbeResult(QFutureWatcher<FFprobeService::MediaInfo> *watcher);
    // Ends the probe: clears the flag and the status, reports an unusable source, recomputes
    // the actions.
    void finishProbe();

    FFmpegEnvironment *m_environment = nullptr;
    FFprobeService *m_prober = nullptr;
    QString m_sourcePath;
    int m_durationSeconds = 0;
    QString m_outputDirectory;
    QString m_outputFormat = QStringLiteral("PNG");
    int m_outputWidth = 0;
    int m_outputHeight = 0;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    bool m_keepAspectRatio = true;
    QString m_qualityPreset = QStringLiteral("high");
    bool m_probing = false;
    QString m_statusMessage;
    QFutureWatcher<FFprobeService::MediaInfo> *m_probeWatcher = nullptr;
    bool m_sourceValid = false;
    frames::PoolJobSet m_jobs;

private:
    const Config m_config;
};

} // namespace tools
