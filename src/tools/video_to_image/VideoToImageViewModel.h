// The video-to-image tool: frames of one probed source rendered into a preview queue, then
// exported as single images or one stitched long image.
#pragma once

#include "tools/common/FrameToolViewModel.h"
#include "tools/video_to_image/VideoToImageWork.h"

#include <QVariantList>

class VideoToImageViewModel : public tools::FrameToolViewModel
{
    Q_OBJECT
    Q_PROPERTY(
        double timelineSeconds READ timelineSeconds WRITE setTimelineSeconds NOTIFY timelineSecondsChanged)
    Q_PROPERTY(QString timelineText READ timelineText NOTIFY timelineSecondsChanged)
    Q_PROPERTY(QString captureMode READ captureMode WRITE setCaptureMode NOTIFY captureModeChanged)
    Q_PROPERTY(
        QString continuousMode READ continuousMode WRITE setContinuousMode NOTIFY continuousModeChanged)
    Q_PROPERTY(QStringList continuousModeOptions READ continuousModeOptions CONSTANT)
    Q_PROPERTY(double singleCaptureTimeSeconds READ singleCaptureTimeSeconds WRITE setSingleCaptureTimeSeconds
                   NOTIFY singleCaptureTimeSecondsChanged)
    Q_PROPERTY(
        QString singleCaptureTimeText READ singleCaptureTimeText NOTIFY singleCaptureTimeSecondsChanged)
    Q_PROPERTY(double continuousStartSeconds READ continuousStartSeconds WRITE setContinuousStartSeconds
                   NOTIFY continuousRangeChanged)
    Q_PROPERTY(double continuousEndSeconds READ continuousEndSeconds WRITE setContinuousEndSeconds NOTIFY
                   continuousRangeChanged)
    Q_PROPERTY(QString continuousStartText READ continuousStartText NOTIFY continuousRangeChanged)
    Q_PROPERTY(QString continuousEndText READ continuousEndText NOTIFY continuousRangeChanged)
    Q_PROPERTY(double timeIntervalSeconds READ timeIntervalSeconds WRITE setTimeIntervalSeconds NOTIFY
                   continuousParametersChanged)
    Q_PROPERTY(int frameInterval READ frameInterval WRITE setFrameInterval NOTIFY continuousParametersChanged)
    Q_PROPERTY(
        bool outputLongImage READ outputLongImage WRITE setOutputLongImage NOTIFY outputLongImageChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool addingToListBusy READ addingToListBusy NOTIFY addingToListBusyChanged)
    Q_PROPERTY(bool exportingBusy READ exportingBusy NOTIFY exportingBusyChanged)
    Q_PROPERTY(bool canAddToList READ canAddToList NOTIFY canAddToListChanged)
    Q_PROPERTY(bool canExport READ canExport NOTIFY canExportChanged)
    Q_PROPERTY(QVariantList previewItems READ previewItems NOTIFY previewItemsChanged)
    Q_PROPERTY(int previewCount READ previewCount NOTIFY previewItemsChanged)

public:
    using ExportResult = tools::toimage::ExportResult;

    VideoToImageViewModel(FFmpegEnvironment *environment, FFprobeService *prober, QObject *parent = nullptr);
    // Stops and awaits the jobs still running, so none outlives the prober it uses.
    ~VideoToImageViewModel() override;

    double timelineSeconds() const { return m_timelineSeconds; }
    QString timelineText() const;
    QString captureMode() const { return m_captureMode; }
    QString continuousMode() const { return m_continuousMode; }
    QStringList continuousModeOptions() const;
    double singleCaptureTimeSeconds() const { return m_singleCaptureTimeSeconds; }
    QString singleCaptureTimeText() const;
    double continuousStartSeconds() const { return m_rangeStart; }
    double continuousEndSeconds() const { return m_rangeEnd; }
    QString continuousStartText() const;
    QString continuousEndText() const;
    double timeIntervalSeconds() const { return m_timeIntervalSeconds; }
    int frameInterval() const { return m_frameInterval; }
    bool outputLongImage() const { return m_outputLongImage; }
    bool busy() const { return m_addingBusy || m_exportingBusy; }
    bool addingToListBusy() const { return m_addingBusy; }
    bool exportingBusy() const { return m_exportingBusy; }
    bool canAddToList() const { return m_canAdd; }
    bool canExport() const { return m_canExport; }
    QVariantList previewItems() const { return m_previewItems; }
    int previewCount() const { return m_previewItems.size(); }
    QString previewFolder() const { return m_previewFolder; }

    static QString settingsFilePath();

    Q_INVOKABLE void setSourceFromUrl(const QString &sourceUrlOrPath);
    Q_INVOKABLE void stepTimeline(double deltaSeconds);
    Q_INVOKABLE void addToExportList();
    Q_INVOKABLE void exportImages();
    Q_INVOKABLE void exportList();
    Q_INVOKABLE void clearPreviewItems();
    Q_INVOKABLE void removePreviewAt(int index);

public slots:
    void setTimelineSeconds(double seconds);
    void setCaptureMode(const QString &mode);
    void setContinuousMode(const QString &mode);
    void setSingleCaptureTimeSeconds(double seconds);
    void setContinuousStartSeconds(double seconds);
    void setContinuousEndSeconds(double seconds);
    void setTimeIntervalSeconds(double seconds);
    void setFrameInterval(int frames);
    void setOutputLongImage(bool enabled);

signals:
    void timelineSecondsChanged();
    void captureModeChanged();
    void continuousModeChanged();
    void singleCaptureTimeSecondsChanged();
    void continuousRangeChanged();
    void continuousParametersChanged();
    void outputLongImageChanged();
    void busyChanged();
    void addingToListBusyChanged();
    void exportingBusyChanged();
    void canAddToListChanged();
    void canExportChanged();
    void previewItemsChanged();
    void exportBatchFinished(bool success, const QString &message);

private:
    QStringList queuePaths() const;
    void updateActionStates() override;
    void probeSourceAsync();
    void onProbeFinished(QFutureWatcher<FFprobeService::MediaInfo> *watcher) override;
    void onAddFinished(QFutureWatcher<ExportResult> *watcher);
    void onExportFinished(QFutureWatcher<ExportResult> *watcher);
    void switchLongImageOff();
    // Re-checks the long image against the queue; switches it off with reasonText when the
    // queue has no images, or with the over-limit text. True when it stays on.
    bool recheckLongImage(const QString &noImagesText, QString *statusText);
    bool setRangeInternal(double start, double end);

    double m_timelineSeconds = 0;
    QString m_captureMode = QStringLiteral("single");
    QString m_continuousMode = QStringLiteral("time_interval");
    double m_singleCaptureTimeSeconds = 0;
    double m_rangeStart = 0;
    double m_rangeEnd = 0;
    double m_timeIntervalSeconds = 1.0;
    int m_frameInterval = 5;
    bool m_outputLongImage = false;
    bool m_addingBusy = false;
    bool m_exportingBusy = false;
    bool m_canAdd = false;
    bool m_canExport = false;
    QString m_previewFolder;
    QVariantList m_previewItems;
    QFutureWatcher<ExportResult> *m_addWatcher = nullptr;
    QFutureWatcher<ExportResult> *m_exportWatcher = nullptr;
};
