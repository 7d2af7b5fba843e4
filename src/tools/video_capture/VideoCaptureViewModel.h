// The single-frame capture tool: one probed source, a capture time and the output image's
// settings; saves the frame with one ffmpeg run on the thread pool.
#pragma once

#include "tools/common/FrameToolViewModel.h"

class VideoCaptureViewModel : public tools::FrameToolViewModel
{
    Q_OBJECT
    Q_PROPERTY(double captureTimeSeconds READ captureTimeSeconds WRITE setCaptureTimeSeconds NOTIFY
                   captureTimeChanged)
    Q_PROPERTY(QString captureTimeText READ captureTimeText NOTIFY captureTimeChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool canCapture READ canCapture NOTIFY canCaptureChanged)
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

    double captureTimeSeconds() const { return m_captureTimeSeconds; }
    QString captureTimeText() const;
    bool busy() const { return m_busy; }
    bool canCapture() const { return m_canCapture; }
    QString lastOutputPath() const { return m_lastOutputPath; }

    // The capture's output name: "<base>_<HH-MM-SS.000>.<ext>" in the output folder, numbered
    // when taken; empty when there is no source or folder or every numbered name is taken.
    static QString buildOutputPath(const QString &sourcePath, const QString &outputDirectory,
                                   double captureSeconds, const QString &outputFormat);
    // Runs on a pool thread: saves one frame and reports in the user's words.
    static CaptureResult runCapture(const CaptureRequest &request, const std::atomic_bool *abort);
    static QString settingsFilePath();

    Q_INVOKABLE void setSourceFromUrl(const QString &sourceUrlOrPath);
    Q_INVOKABLE void stepCaptureTime(double deltaSeconds);
    Q_INVOKABLE void captureFrame();

public slots:
    void setCaptureTimeSeconds(double seconds);

signals:
    void captureTimeChanged();
    void busyChanged();
    void canCaptureChanged();
    void lastOutputPathChanged();
    void captureFinished(bool success, const QString &message, const QString &outputPath);

private:
    void updateCanCapture();
    void updateActionStates() override { updateCanCapture(); }
    void probeSourceAsync();
    void onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher) override;
    void onCaptureFinished(QFutureWatcher<CaptureResult> *watcher);

    double m_captureTimeSeconds = 0;
    bool m_busy = false;
    QString m_lastOutputPath;
    QFutureWatcher<CaptureResult> *m_captureWatcher = nullptr;
    bool m_canCapture = false;
};
