// The player engine: one libmpv handle driven through options, properties, commands and a 10 ms event pump.
// The settings' domains and file live in PlayerSettings, the track lists in MpvTrackList, subtitle
// loading in MpvSubtitleFile and the pump's reads in MpvPropertyPoll; the engine ties them to mpv.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

#include <mpv/client.h>

#include "player/MpvTrackList.h"
#include "player/PlayerSettings.h"
#include "player/mpv/MpvPropertyPoll.h"

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
    QString hwdecMode() const { return m_settings.hwdecMode; }
    double volume() const { return m_settings.volume; }
    bool paused() const { return m_paused; }
    int chromeAutoHideMs() const { return m_settings.chromeAutoHideMs; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    double playbackSpeed() const { return m_settings.playbackSpeed; }
    double preferredPlaybackSpeed() const { return m_settings.preferredPlaybackSpeed; }
    bool alwaysApplyPreferredPlaybackSpeed() const { return m_settings.alwaysApplyPreferredPlaybackSpeed; }
    QString aspectMode() const { return m_settings.aspectMode; }
    int videoRotation() const { return m_settings.videoRotation; }
    // Counts the engine's writes of the picture's shape to mpv, so a surface that reshapes it
    // (drawing into the window) knows when to do so again.
    quint64 aspectWrites() const { return m_aspectWrites; }
    bool cropBlackBars() const { return m_settings.cropBlackBars; }
    int videoBrightness() const { return m_settings.videoBrightness; }
    int videoSaturation() const { return m_settings.videoSaturation; }
    int videoContrast() const { return m_settings.videoContrast; }
    int videoHue() const { return m_settings.videoHue; }
    bool videoEnhancementEnabled() const { return m_settings.videoEnhancementEnabled; }
    QString audioChannelMode() const { return m_settings.audioChannelMode; }
    QString audioOutputDevice() const { return m_settings.audioOutputDevice; }
    int audioDelayMs() const { return m_settings.audioDelayMs; }
    int subtitleTrackId() const { return m_settings.subtitleTrackId; }
    int subtitleDelayMs() const { return m_settings.subtitleDelayMs; }
    int secondarySubtitleTrackId() const { return m_settings.secondarySubtitleTrackId; }
    int secondarySubtitleDelayMs() const { return m_settings.secondarySubtitleDelayMs; }
    int audioTrackId() const { return m_settings.audioTrackId; }
    QVariantMap currentMediaInfo() const { return mediaInfo(); }

    // Playback state of the two flags: Idle (ended, not handled), Active, AtEnd (both set).
    bool isEnded() const { return m_ended; }
    bool isEndOfFileHandled() const { return m_endOfFileHandled; }

    bool setPause(bool paused);
    // Typed property access. Reads wait for the core; the setters report false when mpv
    // refuses the value or this libmpv lacks the property.
    QString stringProperty(const char *name) const;
    qint64 intProperty(const char *name, qint64 fallback) const;
    double doubleProperty(const char *name, double fallback) const;
    QVariant nodeProperty(const char *name) const;
    bool setMpvStringProperty(const char *name, const QString &value);
    bool setMpvIntProperty(const char *name, qint64 value);
    bool setMpvDoubleProperty(const char *name, double value);

    void loadSettings();
    void saveSettings() const;
    void scheduleSettingsSave();
    void flushScheduledSettingsSave();
    bool applyVideoEnhancementPreset(bool enabled);

    QVariantList availableTracksByType(const QString &type) const;
    bool commandAddSubtitleFile(const QString &path, bool selectAsSecondary);
    bool hasAlbumArtTrack() const;

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
    // True when the mpv property exists on this libmpv (before the first handle of the
    // process exists, nothing is known to be missing).
    Q_INVOKABLE bool supportsProperty(const QString &name) const;

    // GUI thread: the bound video surface has a new frame to draw. Progress read between two
    // frames is announced with the next one, so that the page and the picture change in the same
    // pass of the window: under a software rasteriser every pass costs a whole window's drawing.
    void videoFrameArrived();

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
    enum class SaveTiming { Now, Deferred };
    // The shape every plain setter shares: hand the normalised value to mpv when there is a
    // handle (a refusal keeps the old value), then store, save and announce it if it changed.
    template <typename T, typename SendToMpv>
    bool updateSetting(T &field, const T &value, SendToMpv sendToMpv, void (MpvEngine::*changed)(),
                       SaveTiming timing = SaveTiming::Now);
    bool setTrackSetting(int &field, int id, const char *mpvName, bool audio, void (MpvEngine::*changed)());

    // Playback state changes of the pump (MpvEnginePump.cpp).
    bool ownsEntry(qint64 entryId) const;
    bool markEndOfFile(const char *reason);
    void enterIdle();
    void enterIdleAfterError(const QString &path, int error);
    void handleEndFile(const mpv_event_end_file *data, bool &mediaInfoDirty);
    void handleFileEvent(bool loaded, bool &mediaInfoDirty);
    void handlePolledReply(const MpvPropertyPoll::Reply &reply, bool &mediaInfoDirty);
    void handleTrackListChange(const mpv_event *event, bool &mediaInfoDirty);

    bool checkedProperty(const char *name);
    void applySubtitlePositions();
    void applySubtitlePositionsAsync();
    bool setDoublePropertyAsReported(const char *name, double value);
    bool applyAudioChannelMode(const QString &mode);
    // Track ids are per file: a remembered id reaches mpv only once the loaded file is known
    // to have that track, so until then mpv chooses.
    bool sendTrackSelectionForNextFile();
    void applyRememberedTracks(const mpv_event *event);
    // Sets from the pump, which must not wait for the core either.
    void setPropertyAsync(const char *name, const QByteArray &value);

    // The pump wakes every 10 ms while there is a file, ten times a second without one.
    void adjustPumpRate();
    static constexpr int kPumpIntervalMs = 10;
    static constexpr int kIdlePumpIntervalMs = 100;

    // Progress from the poll waits for the next video frame while frames keep coming, and at most
    // this long, so that audio-only files, a paused picture or a hidden surface never hold it.
    void announcePosition();
    void releaseHeldPosition();
    static constexpr int kFramePacingMs = 100;
    QElapsedTimer m_lastVideoFrame;
    QTimer *m_positionRelease = nullptr;
    bool m_positionHeld = false;

    std::shared_ptr<MpvCore> m_core;
    quint64 m_aspectWrites = 0;
    QTimer *m_eventTimer = nullptr;
    QTimer *m_saveTimer = nullptr;
    PlayerSettings m_settings;
    bool m_paused = false;
    bool m_ended = true;
    bool m_endOfFileHandled = false;
    double m_position = 0.0;
    double m_duration = 0.0;

    MpvPropertyPoll m_poll;
    MpvTrackList m_tracks;
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
