// The single-frame capture tool: one probed source, a capture time and the output image's
// settings; saves the frame with one ffmpeg run on the thread pool.
#pragma once

#include "ffmpeg/FFprobeService.h"
#include "tools/video_capture/FrameToolSupport.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

class FFmpegEnvironment;

class VideoCaptureViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString sourcePath READ sourcePath NOTIFY sourcePathChanged)
    Q_PROPERTY(QString sourceFileName READ sourceFileName NOTIFY sourcePathChanged)
    Q_PROPERTY(int durationSeconds READ durationSeconds NOTIFY durationChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY durationChanged)
    Q_PROPERTY(double captureTimeSeconds READ captureTimeSeconds WRITE setCaptureTimeSeconds NOTIFY
                   captureTimeChanged)
    Q_PROPERTY(QString captureTimeText READ captureTimeText NOTIFY captureTimeChanged)
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
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool canCapture READ canCapture NOTIFY canCaptureChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(QString lastOutputPath READ lastOutputPath NOTIFY lastOutputPathChanged)

public:
    struct CaptureResult
    {
        bool success = false;
        QString message;
        QString outputPath;
    };

    // Everything a capture needs, copied on the GUI thread.
    struct CaptureRequest
    {
        tools::frames::FrameGrabRequest grab;
        int timeoutMs = 20000;
    };

    VideoCaptureViewModel(FFmpegEnvironment *environment, FFprobeService *prober, QObject *parent = nullptr);
    // Stops and awaits the jobs still running, so none outlives the prober it uses.
    ~VideoCaptureViewModel() override;

    QString sourcePath() const { return m_sourcePath; }
    QString sourceFileName() const;
    int durationSeconds() const { return m_durationSeconds; }
    QString durationText() const;
    double captureTimeSeconds() const { return m_captureTimeSeconds; }
    QString captureTimeText() const;
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
    bool busy() const { return m_busy; }
    bool canCapture() const { return m_canCapture; }
    QString statusMessage() const { return m_statusMessage; }
    QString lastOutputPath() const { return m_lastOutputPath; }

    // The capture's output name: "<base>_<HH-MM-SS.000>.<ext>" in the output folder, numbered
    // when taken; empty when there is no source or folder or every numbered name is taken.
    static QString buildOutputPath(const QString &sourcePath, const QString &outputDirectory,
                                   double captureSeconds, const QString &outputFormat);
    // Runs on a pool thread: saves one frame and reports in the user's words.
    static CaptureResult runCapture(const CaptureRequest &request, const std::atomic_bool *abort);
    static QString settingsFilePath();

    // Sets the abort flag of running jobs and waits for them, bounded; called from main's teardown.
    bool waitForJobs(int timeoutMs);

    Q_INVOKABLE void setSourceFromUrl(const QString &sourceUrlOrPath);
    Q_INVOKABLE void stepCaptureTime(double deltaSeconds);
    Q_INVOKABLE void captureFrame();

public slots:
    void setCaptureTimeSeconds(double seconds);
    void setOutputDirectory(const QString &directory);
    void setOutputFormat(const QString &format);
    void setOutputWidth(int width);
    void setOutputHeight(int height);
    void setKeepAspectRatio(bool keep);
    void setQualityPreset(const QString &preset);

signals:
    void sourcePathChanged();
    void durationChanged();
    void captureTimeChanged();
    void outputDirectoryChanged();
    void outputFormatChanged();
    void outputResolutionChanged();
    void keepAspectRatioChanged();
    void qualityPresetChanged();
    void ffmpegReadyChanged();
    void probingSourceChanged();
    void busyChanged();
    void canCaptureChanged();
    void statusMessageChanged();
    void lastOutputPathChanged();
    void captureFinished(bool success, const QString &message, const QString &outputPath);
    void sourceLoadFailed(const QString &message);

private:
    void setStatusMessage(const QString &message);
    void updateCanCapture();
    void probeSourceAsync();
    void onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher);
    void onCaptureFinished(QFutureWatcher<CaptureResult> *watcher);
    void loadPersistedOutputDirectory();
    void savePersistedOutputDirectory();

    FFmpegEnvironment *m_environment = nullptr;
    FFprobeService *m_prober = nullptr;
    QString m_sourcePath;
    int m_durationSeconds = 0;
    double m_captureTimeSeconds = 0;
    QString m_outputDirectory;
    QString m_outputFormat = QStringLiteral("PNG");
    int m_outputWidth = 0;
    int m_outputHeight = 0;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    bool m_keepAspectRatio = true;
    QString m_qualityPreset = QStringLiteral("high");
    bool m_probing = false;
    bool m_busy = false;
    QString m_statusMessage;
    QString m_lastOutputPath;
    QFutureWatcher<FFprobeService::MediaInfo> *m_probeWatcher = nullptr;
    QFutureWatcher<CaptureResult> *m_captureWatcher = nullptr;
    bool m_canCapture = false;
    bool m_sourceValid = false;
    tools::frames::PoolJobSet m_jobs;
};
