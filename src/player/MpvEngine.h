// The player engine: one libmpv handle driven through options, properties, commands and a 10 ms event pump.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

#include <mpv/client.h>

class MpvCore;
class QTimer;

// Test seam: the environment variables TVX_MPV_AO and TVX_MPV_VO, when set, replace the audio
// output (mpv's default otherwise) and the video output ("libmpv" otherwise) of every handle
// created afterwards. Machines without a sound card run the tests with TVX_MPV_AO=null, and
// engine-only tests without a render context with TVX_MPV_VO=null.
class MpvEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool initialized READ initialized NOTIFY initializedChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString hwdecMode READ hwdecMode WRITE setHwdecMode NOTIFY hwdecModeChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(bool paused READ paused NOTIFY pausedChanged)
    Q_PROPERTY(
        int chromeAutoHideMs READ chromeAutoHideMs WRITE setChromeAutoHideMs NOTIFY chromeAutoHideMsChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(double playbackSpeed READ playbackSpeed WRITE setPlaybackSpeed NOTIFY playbackSpeedChanged)
    Q_PROPERTY(double preferredPlaybackSpeed READ preferredPlaybackSpeed WRITE setPreferredPlaybackSpeed
                   NOTIFY preferredPlaybackSpeedChanged)
    Q_PROPERTY(bool alwaysApplyPreferredPlaybackSpeed READ alwaysApplyPreferredPlaybackSpeed WRITE
                   setAlwaysApplyPreferredPlaybackSpeed NOTIFY alwaysApplyPreferredPlaybackSpeedChanged)
    Q_PROPERTY(QString aspectMode READ aspectMode WRITE setAspectMode NOTIFY aspectModeChanged)
    Q_PROPERTY(int videoRotation READ videoRotation WRITE setVideoRotation NOTIFY videoRotationChanged)
    Q_PROPERTY(bool cropBlackBars READ cropBlackBars WRITE setCropBlackBars NOTIFY cropBlackBarsChanged)
    Q_PROPERTY(
        int videoBrightness READ videoBrightness WRITE setVideoBrightness NOTIFY videoBrightnessChanged)
    Q_PROPERTY(
        int videoSaturation READ videoSaturation WRITE setVideoSaturation NOTIFY videoSaturationChanged)
    Q_PROPERTY(int videoContrast READ videoContrast WRITE setVideoContrast NOTIFY videoContrastChanged)
    Q_PROPERTY(int videoHue READ videoHue WRITE setVideoHue NOTIFY videoHueChanged)
    Q_PROPERTY(bool videoEnhancementEnabled READ videoEnhancementEnabled WRITE setVideoEnhancementEnabled
                   NOTIFY videoEnhancementEnabledChanged)
    Q_PROPERTY(QString audioChannelMode READ audioChannelMode WRITE setAudioChannelMode NOTIFY
                   audioChannelModeChanged)
    Q_PROPERTY(QString audioOutputDevice READ audioOutputDevice WRITE setAudioOutputDevice NOTIFY
                   audioOutputDeviceChanged)
    Q_PROPERTY(int audioDelayMs READ audioDelayMs WRITE setAudioDelayMs NOTIFY audioDelayMsChanged)
    Q_PROPERTY(
        int subtitleTrackId READ subtitleTrackId WRITE setSubtitleTrackId NOTIFY subtitleTrackIdChanged)
    Q_PROPERTY(
        int subtitleDelayMs READ subtitleDelayMs WRITE setSubtitleDelayMs NOTIFY subtitleDelayMsChanged)
    Q_PROPERTY(int secondarySubtitleTrackId READ secondarySubtitleTrackId WRITE setSecondarySubtitleTrackId
                   NOTIFY secondarySubtitleTrackIdChanged)
    Q_PROPERTY(int secondarySubtitleDelayMs READ secondarySubtitleDelayMs WRITE setSecondarySubtitleDelayMs
                   NOTIFY secondarySubtitleDelayMsChanged)
    Q_PROPERTY(int audioTrackId READ audioTrackId WRITE setAudioTrackId NOTIFY audioTrackIdChanged)
    Q_PROPERTY(QVariantMap currentMediaInfo READ currentMediaInfo NOTIFY mediaInfoChanged)

public:
    explicit MpvEngine(QObject *parent = nullptr);
    ~MpvEngine() override;

    bool initialize();
    mpv_handle *handle() const;
    // The shared owner of the handle, for the renderer that attaches a render context to it.
    std::shared_ptr<MpvCore> core() const { return m_core; }
    void pollEvents();

    bool initialized() const { return m_core != nullptr; }
    QString version() const;
    QString hwdecMode() const { return m_hwdecMode; }
    double volume() const { return m_volume; }
    bool paused() const { return m_paused; }
    int chromeAutoHideMs() const { return m_chromeAutoHideMs; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    double playbackSpeed() const { return m_playbackSpeed; }
    double preferredPlaybackSpeed() const { return m_preferredPlaybackSpeed; }
    bool alwaysApplyPreferredPlaybackSpeed() const { return m_alwaysApplyPreferredPlaybackSpeed; }
    QString aspectMode() const { return m_aspectMode; }
    int videoRotation() const { return m_videoRotation; }
    bool cropBlackBars() const { return m_cropBlackBars; }
    int videoBrightness() const { return m_videoBrightness; }
    int videoSaturation() const { return m_videoSaturation; }
    int videoContrast() const { return m_videoContrast; }
    int videoHue() const { return m_videoHue; }
    bool videoEnhancementEnabled() const { return m_videoEnhancementEnabled; }
    QString audioChannelMode() const { return m_audioChannelMode; }
    QString audioOutputDevice() const { return m_audioOutputDevice; }
    int audioDelayMs() const { return m_audioDelayMs; }
    int subtitleTrackId() const { return m_subtitleTrackId; }
    int subtitleDelayMs() const { return m_subtitleDelayMs; }
    int secondarySubtitleTrackId() const { return m_secondarySubtitleTrackId; }
    int secondarySubtitleDelayMs() const { return m_secondarySubtitleDelayMs; }
    int audioTrackId() const { return m_audioTrackId; }
    QVariantMap currentMediaInfo() const { return mediaInfo(); }

    // Playback state of the two flags: Idle (ended, not handled), Active, AtEnd (both set).
    bool isEnded() const { return m_ended; }
    bool isEndOfFileHandled() const { return m_endOfFileHandled; }

    bool setPause(bool paused);
    QString stringProperty(const char *name) const;
    qint64 intProperty(const char *name, qint64 fallback) const;
    double doubleProperty(const char *name, double fallback) const;
    bool setMpvStringProperty(const char *name, const QString &value);
    bool setMpvIntProperty(const char *name, qint64 value);
    bool setMpvDoubleProperty(const char *name, double value);

    void loadSettings();
    void saveSettings() const;
    void scheduleSettingsSave();
    void flushScheduledSettingsSave();
    bool applyVideoEnhancementPreset(bool enabled);
    static bool isSupportedHwdecMode(const QString &mode);
    static QString sanitizeAspectMode(const QString &mode);
    static QString aspectModeToMpvValue(const QString &mode);
    static QString sanitizeAudioChannelMode(const QString &mode);
    static QString channelModeToMpvValue(const QString &mode);
    static int normalizeRotation(int degrees);

    QVariantList availableTracksByType(const QString &type) const;
    bool commandAddSubtitleFile(const QString &path, bool selectAsSecondary);
    bool hasAlbumArtTrack() const;
    QVariant nodeProperty(const char *name) const;

    // Folder of the ASCII-named subtitle copies under the temporary root.
    static QString subtitleMirrorBasePath();

    Q_INVOKABLE bool setHwdecMode(const QString &mode);
    Q_INVOKABLE QStringList supportedHwdecModes() const;
    Q_INVOKABLE bool setVolume(double value);
    Q_INVOKABLE bool setChromeAutoHideMs(int value);
    Q_INVOKABLE bool seekTo(double seconds);
    Q_INVOKABLE bool togglePause();
    Q_INVOKABLE bool stopPlayback();
    Q_INVOKABLE bool seekRelative(double seconds);
    Q_INVOKABLE QVariantList collectMediaFilesInFolder(const QUrl &folderUrl) const;
    Q_INVOKABLE bool setPlaybackSpeed(double value);
    Q_INVOKABLE bool setPreferredPlaybackSpeed(double value);
    Q_INVOKABLE bool setAlwaysApplyPreferredPlaybackSpeed(bool enabled);
    Q_INVOKABLE bool resetPlaybackSpeedForNextPlayback();
    Q_INVOKABLE bool applyPlaybackStartupPreferences();
    Q_INVOKABLE bool setAspectMode(const QString &mode);
    Q_INVOKABLE bool setVideoRotation(int degrees);
    Q_INVOKABLE bool setCropBlackBars(bool enabled);
    Q_INVOKABLE bool setVideoBrightness(int value);
    Q_INVOKABLE bool setVideoSaturation(int value);
    Q_INVOKABLE bool setVideoContrast(int value);
    Q_INVOKABLE bool setVideoHue(int value);
    Q_INVOKABLE bool setVideoEnhancementEnabled(bool enabled);
    Q_INVOKABLE bool setAudioChannelMode(const QString &mode);
    Q_INVOKABLE bool setAudioOutputDevice(const QString &deviceId);
    Q_INVOKABLE bool setAudioDelayMs(int value);
    Q_INVOKABLE bool setSubtitleTrackId(int id);
    Q_INVOKABLE bool setSubtitleDelayMs(int value);
    Q_INVOKABLE bool setSecondarySubtitleTrackId(int id);
    Q_INVOKABLE bool setSecondarySubtitleDelayMs(int value);
    Q_INVOKABLE bool setAudioTrackId(int id);
    Q_INVOKABLE bool addSubtitleFile(const QUrl &fileUrl, bool selectAsSecondary = false);
    Q_INVOKABLE QVariantList availableAudioTracks() const;
    Q_INVOKABLE QVariantList availableSubtitleTracks() const;
    Q_INVOKABLE QVariantList availableAudioOutputDevices() const;
    Q_INVOKABLE QVariantMap mediaInfo() const;
    Q_INVOKABLE bool playFile(const QUrl &fileUrl);

signals:
    void initializedChanged();
    void hwdecModeChanged();
    void volumeChanged();
    void pausedChanged();
    void chromeAutoHideMsChanged();
    void positionChanged();
    void durationChanged();
    void endOfFileReached();
    void playbackSpeedChanged();
    void preferredPlaybackSpeedChanged();
    void alwaysApplyPreferredPlaybackSpeedChanged();
    void aspectModeChanged();
    void videoRotationChanged();
    void cropBlackBarsChanged();
    void videoBrightnessChanged();
    void videoSaturationChanged();
    void videoContrastChanged();
    void videoHueChanged();
    void videoEnhancementEnabledChanged();
    void audioChannelModeChanged();
    void audioOutputDeviceChanged();
    void audioDelayMsChanged();
    void subtitleTrackIdChanged();
    void subtitleDelayMsChanged();
    void secondarySubtitleTrackIdChanged();
    void secondarySubtitleDelayMsChanged();
    void audioTrackIdChanged();
    void mediaInfoChanged();
    // The file that was being played (path as given to mpv) could not be loaded or ended with
    // an error; the engine is Idle again.
    void playbackFailed(const QString &path, const QString &error);

private:
    bool ownsEntry(qint64 entryId) const;
    bool markEndOfFile(const char *reason);
    void enterIdleAfterError(const QString &path, int error);
    void handleEndFile(const mpv_event_end_file *data, bool &mediaInfoDirty);
    // The pump's reads of mpv state never wait for the core: it asks at the end of one round and
    // takes the answers in order with the events of the next.
    static bool isPolledProperty(const char *name);
    void discardPolledReplies();
    void requestPolledProperties();
    void handlePolledReply(const mpv_event *event, bool &mediaInfoDirty);
    void handleFileLoaded(bool &mediaInfoDirty);
    void applySubtitlePositions();
    bool setDoublePropertyAsReported(const char *name, double value);
    bool applyAudioChannelMode(const QString &mode);
    // Track ids are per file: a remembered id reaches mpv only once the loaded file is known
    // to have that track, so until then mpv chooses.
    bool sendTrackSelectionForNextFile();
    // The loaded file's track list is read without waiting; the remembered ids are set once it
    // arrives, if that file is still the one loaded.
    void requestTrackListForRememberedTracks();
    void applyRememberedTracks(const mpv_event *event);
    // Sets from the pump, which must not wait for the core either.
    void setPropertyAsync(int index, mpv_format format, void *data);
    void setPositionAsync(int index, double value);
    void applySubtitlePositionsAsync();
    bool skipMissingProperty(const char *name);
    bool setIntSetting(int &field, int value, const char *mpvName, void (MpvEngine::*signal)(),
                       bool deferred);
    bool setDelaySetting(int &field, int value, const char *mpvName, void (MpvEngine::*signal)());
    bool setTrackSetting(int &field, int id, const char *mpvName, bool audio, void (MpvEngine::*signal)());

    std::shared_ptr<MpvCore> m_core;
    QTimer *m_eventTimer = nullptr;
    QTimer *m_saveTimer = nullptr;
    QString m_hwdecMode = QStringLiteral("auto-safe");
    double m_volume = 100.0;
    bool m_paused = false;
    bool m_ended = true;
    bool m_endOfFileHandled = false;
    int m_chromeAutoHideMs = 1800;
    double m_position = 0.0;
    double m_duration = 0.0;
    double m_playbackSpeed = 1.0;
    double m_preferredPlaybackSpeed = 1.0;
    bool m_alwaysApplyPreferredPlaybackSpeed = false;
    QString m_aspectMode = QStringLiteral("default");
    int m_videoRotation = 0;
    bool m_cropBlackBars = false;
    int m_videoBrightness = 0;
    int m_videoSaturation = 0;
    int m_videoContrast = 0;
    int m_videoHue = 0;
    bool m_videoEnhancementEnabled = false;
    QString m_audioChannelMode = QStringLiteral("stereo");
    QString m_audioOutputDevice = QStringLiteral("auto");
    int m_audioDelayMs = 0;
    int m_subtitleTrackId = -1;
    int m_subtitleDelayMs = 0;
    int m_secondarySubtitleTrackId = -1;
    int m_secondarySubtitleDelayMs = 0;
    int m_audioTrackId = 0;

    // Which play-list entry of mpv is ours: the id "loadfile" answered with, the id of the
    // latest START_FILE, and whether that entry's FILE_LOADED has been seen. Events of any
    // other entry belong to a replaced file.
    qint64 m_expectedEntryId = -1;
    qint64 m_startedEntryId = -1;
    bool m_currentFileLoaded = false;
    QString m_currentPath;
    // A seek was sent and mpv has not restarted playback yet: "eof-reached" may still describe
    // the position before the seek.
    bool m_seekPending = false;
    // Round of asynchronous reads: answers still due, and the generation an answer must carry
    // to count (raised by every change of ours to a polled property).
    int m_pollRepliesPending = 0;
    quint64 m_pollGeneration = 0;
    // The entry whose track list was asked for, -1 when no answer is awaited.
    qint64 m_trackListEntryId = -1;
    // Remembered track ids still to be applied to the file being loaded.
    bool m_pendingTrackSelection = false;
    // The pan filter of the mono channel modes is ours and set only while one is chosen.
    bool m_channelFilterActive = false;
    int m_wantedAudioTrackId = 0;
    int m_wantedSubtitleTrackId = -1;
    int m_wantedSecondarySubtitleTrackId = -1;
};
