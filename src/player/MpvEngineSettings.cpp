// The engine's player settings: setters with their mpv mapping, and the "player.ini" file.
#include "player/MpvEngine.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "core/StateFile.h"
#include "player/MpvCore.h"

#include <QHash>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const char kChannelFilter[] = "@tvxchannel:lavfi=[pan=stereo|c0=%1|c1=%1]";

QString settingsFilePath()
{
    return app::checkedStateFile(app::appDataFilePath(QStringLiteral("player.ini")),
                                 app::kSettingsStateFileMaxBytes);
}

double clampVolume(double value)
{
    if (value > 100.0)
        return 100.0;
    if (!(value > 0.0))
        return 0.0;
    return value;
}

double clampSpeed(double value)
{
    if (value > 2.0)
        return 2.0;
    if (!(value > 0.5))
        return 0.5;
    return value;
}

int clampPicture(int value)
{
    return std::clamp(value, -100, 100);
}

int clampDelay(int value)
{
    return std::clamp(value, -10000, 10000);
}

bool fuzzyDiffers(double a, double b)
{
    return !qFuzzyCompare(1.0 + a, 1.0 + b);
}

} // namespace

bool MpvEngine::isSupportedHwdecMode(const QString &mode)
{
    static const QStringList modes = {QStringLiteral("no"), QStringLiteral("auto-safe"),
                                      QStringLiteral("auto"), QStringLiteral("nvdec")};
    return modes.contains(mode, Qt::CaseSensitive);
}

QStringList MpvEngine::supportedHwdecModes() const
{
    return {QStringLiteral("no"), QStringLiteral("auto-safe"), QStringLiteral("auto"),
            QStringLiteral("nvdec")};
}

QString MpvEngine::sanitizeAspectMode(const QString &mode)
{
    const QString lower = mode.toLower();
    if (lower == QLatin1String("16:9") || lower == QLatin1String("4:3") || lower == QLatin1String("1:1") ||
        lower == QLatin1String("fill"))
        return lower;
    return QStringLiteral("default");
}

QString MpvEngine::aspectModeToMpvValue(const QString &mode)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("default"), QStringLiteral("-1")}, {QStringLiteral("16:9"), QStringLiteral("16:9")},
        {QStringLiteral("4:3"), QStringLiteral("4:3")},    {QStringLiteral("1:1"), QStringLiteral("1:1")},
        {QStringLiteral("fill"), QStringLiteral("-1")},
    };
    return table.value(mode, QStringLiteral("-1"));
}

QString MpvEngine::sanitizeAudioChannelMode(const QString &mode)
{
    const QString lower = mode.toLower();
    if (lower == QLatin1String("mono-left") || lower == QLatin1String("mono-right"))
        return lower;
    return QStringLiteral("stereo");
}

QString MpvEngine::channelModeToMpvValue(const QString &mode)
{
    return mode;
}

int MpvEngine::normalizeRotation(int degrees)
{
    int r = degrees % 360;
    if (r < 0)
        r += 360;
    return r % 90 == 0 ? r : 0;
}

void MpvEngine::loadSettings()
{
    QSettings s(settingsFilePath(), QSettings::IniFormat);
    const QString hwdec = s.value(QStringLiteral("player/hwdec_mode"), m_hwdecMode).toString();
    if (isSupportedHwdecMode(hwdec))
        m_hwdecMode = hwdec;
    m_volume = clampVolume(s.value(QStringLiteral("player/volume"), m_volume).toDouble());
    m_chromeAutoHideMs =
        std::clamp(s.value(QStringLiteral("ui/chrome_auto_hide_ms"), m_chromeAutoHideMs).toInt(), 400, 10000);
    m_playbackSpeed =
        clampSpeed(s.value(QStringLiteral("player/playback_speed"), m_playbackSpeed).toDouble());
    m_preferredPlaybackSpeed = clampSpeed(
        s.value(QStringLiteral("player/preferred_playback_speed"), m_preferredPlaybackSpeed).toDouble());
    m_alwaysApplyPreferredPlaybackSpeed =
        s.value(QStringLiteral("player/always_apply_preferred_playback_speed"),
                m_alwaysApplyPreferredPlaybackSpeed)
            .toBool();
    m_aspectMode = sanitizeAspectMode(s.value(QStringLiteral("video/aspect_mode"), m_aspectMode).toString());
    m_videoRotation = normalizeRotation(s.value(QStringLiteral("video/rotation"), m_videoRotation).toInt());
    m_cropBlackBars = s.value(QStringLiteral("video/crop_black_bars"), m_cropBlackBars).toBool();
    m_videoBrightness = clampPicture(s.value(QStringLiteral("video/brightness"), m_videoBrightness).toInt());
    m_videoSaturation = clampPicture(s.value(QStringLiteral("video/saturation"), m_videoSaturation).toInt());
    m_videoContrast = clampPicture(s.value(QStringLiteral("video/contrast"), m_videoContrast).toInt());
    m_videoHue = clampPicture(s.value(QStringLiteral("video/hue"), m_videoHue).toInt());
    m_videoEnhancementEnabled =
        s.value(QStringLiteral("video/enhancement_enabled"), m_videoEnhancementEnabled).toBool();
    m_audioChannelMode = sanitizeAudioChannelMode(
        s.value(QStringLiteral("audio/channel_mode"), m_audioChannelMode).toString());
    m_audioOutputDevice = s.value(QStringLiteral("audio/output_device"), m_audioOutputDevice).toString();
    if (m_audioOutputDevice.isEmpty())
        m_audioOutputDevice = QStringLiteral("auto");
    m_audioDelayMs = clampDelay(s.value(QStringLiteral("audio/delay_ms"), m_audioDelayMs).toInt());
    m_audioTrackId = s.value(QStringLiteral("audio/track_id"), m_audioTrackId).toInt();
    m_subtitleTrackId = s.value(QStringLiteral("subtitle/track_id"), m_subtitleTrackId).toInt();
    m_subtitleDelayMs = clampDelay(s.value(QStringLiteral("subtitle/delay_ms"), m_subtitleDelayMs).toInt());
    m_secondarySubtitleTrackId =
        s.value(QStringLiteral("subtitle/secondary_track_id"), m_secondarySubtitleTrackId).toInt();
    m_secondarySubtitleDelayMs = clampDelay(
        s.value(QStringLiteral("subtitle/secondary_delay_ms"), m_secondarySubtitleDelayMs).toInt());
}

void MpvEngine::saveSettings() const
{
    // QSettings keeps the groups it does not write (the play-list panel's own key) and
    // replaces the file atomically.
    QSettings s(settingsFilePath(), QSettings::IniFormat);
    app::clearOwnedGroups(s, {QStringLiteral("player"), QStringLiteral("ui"), QStringLiteral("video"),
                              QStringLiteral("audio"), QStringLiteral("subtitle")});
    s.setValue(QStringLiteral("player/hwdec_mode"), m_hwdecMode);
    s.setValue(QStringLiteral("player/volume"), m_volume);
    s.setValue(QStringLiteral("player/playback_speed"), m_playbackSpeed);
    s.setValue(QStringLiteral("player/preferred_playback_speed"), m_preferredPlaybackSpeed);
    s.setValue(QStringLiteral("player/always_apply_preferred_playback_speed"),
               m_alwaysApplyPreferredPlaybackSpeed);
    s.setValue(QStringLiteral("ui/chrome_auto_hide_ms"), m_chromeAutoHideMs);
    s.setValue(QStringLiteral("video/aspect_mode"), m_aspectMode);
    s.setValue(QStringLiteral("video/rotation"), m_videoRotation);
    s.setValue(QStringLiteral("video/crop_black_bars"), m_cropBlackBars);
    s.setValue(QStringLiteral("video/brightness"), m_videoBrightness);
    s.setValue(QStringLiteral("video/saturation"), m_videoSaturation);
    s.setValue(QStringLiteral("video/contrast"), m_videoContrast);
    s.setValue(QStringLiteral("video/hue"), m_videoHue);
    s.setValue(QStringLiteral("video/enhancement_enabled"), m_videoEnhancementEnabled);
    s.setValue(QStringLiteral("audio/channel_mode"), m_audioChannelMode);
    s.setValue(QStringLiteral("audio/output_device"), m_audioOutputDevice);
    s.setValue(QStringLiteral("audio/delay_ms"), m_audioDelayMs);
    s.setValue(QStringLiteral("audio/track_id"), m_audioTrackId);
    s.setValue(QStringLiteral("subtitle/track_id"), m_subtitleTrackId);
    s.setValue(QStringLiteral("subtitle/delay_ms"), m_subtitleDelayMs);
    s.setValue(QStringLiteral("subtitle/secondary_track_id"), m_secondarySubtitleTrackId);
    s.setValue(QStringLiteral("subtitle/secondary_delay_ms"), m_secondarySubtitleDelayMs);
    s.sync();
}

void MpvEngine::scheduleSettingsSave()
{
    if (m_saveTimer)
        m_saveTimer->start();
    else
        saveSettings();
}

void MpvEngine::flushScheduledSettingsSave()
{
    if (m_saveTimer && m_saveTimer->isActive()) {
        m_saveTimer->stop();
        saveSettings();
    }
}

bool MpvEngine::setHwdecMode(const QString &mode)
{
    if (!isSupportedHwdecMode(mode)) {
        TVX_LOG_WARN << "[mpv] unsupported hwdec mode:" << mode;
        return false;
    }
    if (mode == m_hwdecMode)
        return true;
    m_hwdecMode = mode;
    emit hwdecModeChanged();
    TVX_LOG_INFO << "[mpv] hwdec mode changed to:" << mode;
    if (m_core) {
        const int rc = mpv_set_property_string(m_core->handle(), "hwdec", mode.toUtf8().constData());
        TVX_LOG_INFO << "[mpv] apply hwdec property result:" << rc;
        if (rc < 0)
            return false;
    }
    saveSettings();
    return true;
}

bool MpvEngine::setVolume(double value)
{
    const double v = clampVolume(value);
    if (m_core) {
        double mpvVolume = v == 0.0 ? 0.0 : 100.0 * std::sqrt(v / 100.0);
        const int rc = mpv_set_property(m_core->handle(), "volume", MPV_FORMAT_DOUBLE, &mpvVolume);
        if (rc < 0) {
            TVX_LOG_WARN << "[mpv] set volume failed:" << rc << "value:" << v;
            return false;
        }
    }
    const bool changed = fuzzyDiffers(v, m_volume);
    m_volume = v;
    saveSettings();
    if (changed)
        emit volumeChanged();
    return true;
}

bool MpvEngine::setChromeAutoHideMs(int value)
{
    const int v = std::clamp(value, 400, 10000);
    if (v != m_chromeAutoHideMs) {
        m_chromeAutoHideMs = v;
        saveSettings();
        emit chromeAutoHideMsChanged();
    }
    return true;
}

bool MpvEngine::setPlaybackSpeed(double value)
{
    const double v = clampSpeed(value);
    if (m_core && !setMpvDoubleProperty("speed", v))
        return false;
    if (fuzzyDiffers(v, m_playbackSpeed)) {
        m_playbackSpeed = v;
        saveSettings();
        emit playbackSpeedChanged();
    }
    return true;
}

bool MpvEngine::setPreferredPlaybackSpeed(double value)
{
    const double v = clampSpeed(value);
    if (fuzzyDiffers(v, m_preferredPlaybackSpeed)) {
        m_preferredPlaybackSpeed = v;
        saveSettings();
        emit preferredPlaybackSpeedChanged();
    }
    return true;
}

bool MpvEngine::setAlwaysApplyPreferredPlaybackSpeed(bool enabled)
{
    if (enabled != m_alwaysApplyPreferredPlaybackSpeed) {
        m_alwaysApplyPreferredPlaybackSpeed = enabled;
        saveSettings();
        emit alwaysApplyPreferredPlaybackSpeedChanged();
    }
    return true;
}

bool MpvEngine::setAspectMode(const QString &mode)
{
    const QString v = sanitizeAspectMode(mode);
    if (m_core) {
        if (!setMpvStringProperty("keepaspect",
                                  v == QLatin1String("fill") ? QStringLiteral("no") : QStringLiteral("yes")))
            return false;
        if (!setMpvStringProperty("video-aspect-override", aspectModeToMpvValue(v)))
            return false;
    }
    if (v != m_aspectMode) {
        m_aspectMode = v;
        saveSettings();
        emit aspectModeChanged();
    }
    return true;
}

bool MpvEngine::setIntSetting(int &field, int value, const char *mpvName, void (MpvEngine::*signal)(),
                              bool deferred)
{
    if (m_core && mpvName && !setMpvIntProperty(mpvName, value))
        return false;
    if (value != field) {
        field = value;
        if (deferred)
            scheduleSettingsSave();
        else
            saveSettings();
        emit(this->*signal)();
    }
    return true;
}

bool MpvEngine::setDelaySetting(int &field, int value, const char *mpvName, void (MpvEngine::*signal)())
{
    const int v = clampDelay(value);
    if (m_core && !setMpvDoubleProperty(mpvName, v / 1000.0))
        return false;
    if (v != field) {
        field = v;
        saveSettings();
        emit(this->*signal)();
    }
    return true;
}

bool MpvEngine::setTrackSetting(int &field, int id, const char *mpvName, bool audio,
                                void (MpvEngine::*signal)())
{
    if (m_core) {
        QString value;
        if (audio)
            value = id <= 0 ? QStringLiteral("auto") : QString::number(id);
        else
            value = id < 0 ? QStringLiteral("no") : QString::number(id);
        if (!setMpvStringProperty(mpvName, value))
            return false;
    }
    if (id != field) {
        field = id;
        saveSettings();
        emit(this->*signal)();
    }
    return true;
}

bool MpvEngine::setVideoRotation(int degrees)
{
    return setIntSetting(m_videoRotation, normalizeRotation(degrees), "video-rotate",
                         &MpvEngine::videoRotationChanged, false);
}

bool MpvEngine::setCropBlackBars(bool enabled)
{
    if (m_core && !setMpvDoubleProperty("panscan", enabled ? 1.0 : 0.0))
        return false;
    if (enabled != m_cropBlackBars) {
        m_cropBlackBars = enabled;
        saveSettings();
        emit cropBlackBarsChanged();
    }
    return true;
}

bool MpvEngine::setVideoBrightness(int value)
{
    return setIntSetting(m_videoBrightness, clampPicture(value), "brightness",
                         &MpvEngine::videoBrightnessChanged, true);
}

bool MpvEngine::setVideoSaturation(int value)
{
    return setIntSetting(m_videoSaturation, clampPicture(value), "saturation",
                         &MpvEngine::videoSaturationChanged, true);
}

bool MpvEngine::setVideoContrast(int value)
{
    return setIntSetting(m_videoContrast, clampPicture(value), "contrast", &MpvEngine::videoContrastChanged,
                         true);
}

bool MpvEngine::setVideoHue(int value)
{
    return setIntSetting(m_videoHue, clampPicture(value), "hue", &MpvEngine::videoHueChanged, true);
}

bool MpvEngine::applyVideoEnhancementPreset(bool enabled)
{
    if (!m_core)
        return false;
    struct Step
    {
        const char *name;
        const char *on;
        const char *off;
    };
    static const Step steps[] = {
        {"deband", "yes", "no"},
        {"deband-iterations", "2", "1"},
        {"deband-threshold", "48", "64"},
        {"deband-range", "16", "16"},
        {"deband-grain", "6", "0"},
        {"scale", "ewa_lanczossharp", "bilinear"},
        {"cscale", "ewa_lanczossharp", "bilinear"},
        {"dscale", "mitchell", "bilinear"},
        {"sigmoid-upscaling", "yes", "no"},
        {"correct-downscaling", "yes", "no"},
    };
    for (const Step &step : steps) {
        if (!setMpvStringProperty(step.name, QString::fromLatin1(enabled ? step.on : step.off)))
            return false;
    }
    return true;
}

bool MpvEngine::setVideoEnhancementEnabled(bool enabled)
{
    if (m_core && !applyVideoEnhancementPreset(enabled))
        return false;
    if (enabled != m_videoEnhancementEnabled) {
        m_videoEnhancementEnabled = enabled;
        saveSettings();
        emit videoEnhancementEnabledChanged();
    }
    return true;
}

bool MpvEngine::applyAudioChannelMode(const QString &mode)
{
    const QString value = channelModeToMpvValue(mode);
    if (value == QLatin1String("stereo")) {
        if (!setMpvStringProperty("audio-channels", value))
            return false;
        if (m_channelFilterActive) {
            if (!setMpvStringProperty("af", QString()))
                return false;
            m_channelFilterActive = false;
        }
        return true;
    }
    // Newer libmpv takes the mono modes as a channel layout; 0.35 refuses them, and a pan
    // filter that copies one side to both gives the same sound.
    if (mpv_set_property_string(m_core->handle(), "audio-channels", value.toUtf8().constData()) >= 0) {
        if (m_channelFilterActive && setMpvStringProperty("af", QString()))
            m_channelFilterActive = false;
        return true;
    }
    if (!setMpvStringProperty("audio-channels", QStringLiteral("stereo")))
        return false;
    const QString source = value == QLatin1String("mono-left") ? QStringLiteral("c0") : QStringLiteral("c1");
    if (!setMpvStringProperty("af", QString::fromLatin1(kChannelFilter).arg(source)))
        return false;
    m_channelFilterActive = true;
    return true;
}

bool MpvEngine::setAudioChannelMode(const QString &mode)
{
    const QString v = sanitizeAudioChannelMode(mode);
    if (m_core && !applyAudioChannelMode(v))
        return false;
    if (v != m_audioChannelMode) {
        m_audioChannelMode = v;
        saveSettings();
        emit audioChannelModeChanged();
    }
    return true;
}

bool MpvEngine::setAudioOutputDevice(const QString &deviceId)
{
    const QString v = deviceId.isEmpty() ? QStringLiteral("auto") : deviceId;
    if (m_core && !setMpvStringProperty("audio-device", v))
        return false;
    if (v != m_audioOutputDevice) {
        m_audioOutputDevice = v;
        saveSettings();
        emit audioOutputDeviceChanged();
    }
    return true;
}

bool MpvEngine::setAudioDelayMs(int value)
{
    return setDelaySetting(m_audioDelayMs, value, "audio-delay", &MpvEngine::audioDelayMsChanged);
}

bool MpvEngine::setSubtitleDelayMs(int value)
{
    return setDelaySetting(m_subtitleDelayMs, value, "sub-delay", &MpvEngine::subtitleDelayMsChanged);
}

bool MpvEngine::setSecondarySubtitleDelayMs(int value)
{
    return setDelaySetting(m_secondarySubtitleDelayMs, value, "secondary-sub-delay",
                           &MpvEngine::secondarySubtitleDelayMsChanged);
}

bool MpvEngine::setAudioTrackId(int id)
{
    m_wantedAudioTrackId = id;
    return setTrackSetting(m_audioTrackId, id, "aid", true, &MpvEngine::audioTrackIdChanged);
}

bool MpvEngine::setSubtitleTrackId(int id)
{
    m_wantedSubtitleTrackId = id;
    return setTrackSetting(m_subtitleTrackId, id, "sid", false, &MpvEngine::subtitleTrackIdChanged);
}

bool MpvEngine::setSecondarySubtitleTrackId(int id)
{
    m_wantedSecondarySubtitleTrackId = id;
    return setTrackSetting(m_secondarySubtitleTrackId, id, "secondary-sid", false,
                           &MpvEngine::secondarySubtitleTrackIdChanged);
}
