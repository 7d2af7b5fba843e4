// The engine's player settings: the setters and their mapping to mpv.
#include "player/MpvEngine.h"

#include "core/Log.h"
#include "player/mpv/MpvCore.h"
#include "player/mpv/MpvNames.h"

#include <QTimer>

#include <cmath>

namespace {

const char kChannelFilter[] = "@tvxchannel:lavfi=[pan=stereo|c0=%1|c1=%1]";

// Nothing to hand to mpv: the setting is the engine's or the page's own.
bool engineOnly()
{
    return true;
}

} // namespace

template <typename T, typename SendToMpv>
bool MpvEngine::updateSetting(T &field, const T &value, SendToMpv sendToMpv, void (MpvEngine::*changed)(),
                              SaveTiming timing)
{
    if (m_core && !sendToMpv())
        return false;
    if (!PlayerSettings::differs(field, value))
        return true;
    field = value;
    // Braced: with "emit" expanding to nothing, clang reads the next line as part of the else.
    if (timing == SaveTiming::Deferred) {
        scheduleSettingsSave();
    } else {
        saveSettings();
    }
    emit(this->*changed)();
    return true;
}

void MpvEngine::loadSettings()
{
    m_settings.load();
}

void MpvEngine::saveSettings() const
{
    m_settings.save();
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

QStringList MpvEngine::supportedHwdecModes() const
{
    return PlayerSettings::supportedHwdecModes();
}

bool MpvEngine::setHwdecMode(const QString &mode)
{
    if (!PlayerSettings::isSupportedHwdecMode(mode)) {
        TVX_LOG_WARN << "[mpv] unsupported hwdec mode:" << mode;
        return false;
    }
    if (mode == m_settings.hwdecMode)
        return true;
    m_settings.hwdecMode = mode;
    emit hwdecModeChanged();
    TVX_LOG_INFO << "[mpv] hwdec mode changed to:" << mode;
    if (m_core) {
        const int rc = mpv_set_property_string(m_core->handle(), mpvname::kHwdec, mode.toUtf8().constData());
        TVX_LOG_INFO << "[mpv] apply hwdec property result:" << rc;
        if (rc < 0)
            return false; // stays stored and published; the next save of any setting writes it
    }
    saveSettings();
    return true;
}

bool MpvEngine::setVolume(double value)
{
    const double v = PlayerSettings::clampVolume(value);
    if (m_core) {
        // The user's scale is perceived loudness; mpv's is linear in amplitude.
        double mpvVolume = v == 0.0 ? 0.0 : 100.0 * std::sqrt(v / 100.0);
        const int rc = mpv_set_property(m_core->handle(), mpvname::kVolume, MPV_FORMAT_DOUBLE, &mpvVolume);
        if (rc < 0) {
            TVX_LOG_WARN << "[mpv] set volume failed:" << rc << "value:" << v;
            return false;
        }
    }
    const bool changed = PlayerSettings::differs(v, m_settings.volume);
    m_settings.volume = v;
    saveSettings(); // also when unchanged
    if (changed)
        emit volumeChanged();
    return true;
}

bool MpvEngine::setChromeAutoHideMs(int value)
{
    return updateSetting(m_settings.chromeAutoHideMs, PlayerSettings::clampChromeAutoHideMs(value),
                         engineOnly, &MpvEngine::chromeAutoHideMsChanged);
}

bool MpvEngine::setPlaybackSpeed(double value)
{
    const double v = PlayerSettings::clampSpeed(value);
    return updateSetting(
        m_settings.playbackSpeed, v, [&] { return setMpvDoubleProperty(mpvname::kSpeed, v); },
        &MpvEngine::playbackSpeedChanged);
}

bool MpvEngine::setPreferredPlaybackSpeed(double value)
{
    return updateSetting(m_settings.preferredPlaybackSpeed, PlayerSettings::clampSpeed(value), engineOnly,
                         &MpvEngine::preferredPlaybackSpeedChanged);
}

bool MpvEngine::setAlwaysApplyPreferredPlaybackSpeed(bool enabled)
{
    return updateSetting(m_settings.alwaysApplyPreferredPlaybackSpeed, enabled, engineOnly,
                         &MpvEngine::alwaysApplyPreferredPlaybackSpeedChanged);
}

bool MpvEngine::setAspectMode(const QString &mode)
{
    const QString v = PlayerSettings::sanitizeAspectMode(mode);
    return updateSetting(
        m_settings.aspectMode, v,
        [&] {
            ++m_aspectWrites;
            const QString keep = v == QLatin1String("fill") ? QStringLiteral("no") : QStringLiteral("yes");
            return setMpvStringProperty(mpvname::kKeepAspect, keep) &&
                   setMpvStringProperty(mpvname::kVideoAspectOverride,
                                        PlayerSettings::aspectModeToMpvValue(v));
        },
        &MpvEngine::aspectModeChanged);
}

bool MpvEngine::setVideoRotation(int degrees)
{
    const int v = PlayerSettings::normalizeRotation(degrees);
    return updateSetting(
        m_settings.videoRotation, v, [&] { return setMpvIntProperty(mpvname::kVideoRotate, v); },
        &MpvEngine::videoRotationChanged);
}

bool MpvEngine::setCropBlackBars(bool enabled)
{
    return updateSetting(
        m_settings.cropBlackBars, enabled,
        [&] { return setMpvDoubleProperty(mpvname::kPanscan, enabled ? 1.0 : 0.0); },
        &MpvEngine::cropBlackBarsChanged);
}

// The picture equaliser is dragged as a slider: its file is written once the slider rests.
bool MpvEngine::setVideoBrightness(int value)
{
    const int v = PlayerSettings::clampPicture(value);
    return updateSetting(
        m_settings.videoBrightness, v, [&] { return setMpvIntProperty(mpvname::kBrightness, v); },
        &MpvEngine::videoBrightnessChanged, SaveTiming::Deferred);
}

bool MpvEngine::setVideoSaturation(int value)
{
    const int v = PlayerSettings::clampPicture(value);
    return updateSetting(
        m_settings.videoSaturation, v, [&] { return setMpvIntProperty(mpvname::kSaturation, v); },
        &MpvEngine::videoSaturationChanged, SaveTiming::Deferred);
}

bool MpvEngine::setVideoContrast(int value)
{
    const int v = PlayerSettings::clampPicture(value);
    return updateSetting(
        m_settings.videoContrast, v, [&] { return setMpvIntProperty(mpvname::kContrast, v); },
        &MpvEngine::videoContrastChanged, SaveTiming::Deferred);
}

bool MpvEngine::setVideoHue(int value)
{
    const int v = PlayerSettings::clampPicture(value);
    return updateSetting(
        m_settings.videoHue, v, [&] { return setMpvIntProperty(mpvname::kHue, v); },
        &MpvEngine::videoHueChanged, SaveTiming::Deferred);
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
        {mpvname::kDeband, "yes", "no"},
        {mpvname::kDebandIterations, "2", "1"},
        {mpvname::kDebandThreshold, "48", "64"},
        {mpvname::kDebandRange, "16", "16"},
        {mpvname::kDebandGrain, "6", "0"},
        {mpvname::kScale, "ewa_lanczossharp", "bilinear"},
        {mpvname::kChromaScale, "ewa_lanczossharp", "bilinear"},
        {mpvname::kDownScale, "mitchell", "bilinear"},
        {mpvname::kSigmoidUpscaling, "yes", "no"},
        {mpvname::kCorrectDownscaling, "yes", "no"},
    };
    for (const Step &step : steps) {
        if (!setMpvStringProperty(step.name, QString::fromLatin1(enabled ? step.on : step.off)))
            return false;
    }
    return true;
}

bool MpvEngine::setVideoEnhancementEnabled(bool enabled)
{
    return updateSetting(
        m_settings.videoEnhancementEnabled, enabled, [&] { return applyVideoEnhancementPreset(enabled); },
        &MpvEngine::videoEnhancementEnabledChanged);
}

bool MpvEngine::applyAudioChannelMode(const QString &mode)
{
    const QString &value = mode; // mpv names the channel modes as we do
    if (value == QLatin1String("stereo")) {
        if (!setMpvStringProperty(mpvname::kAudioChannels, value))
            return false;
        if (m_channelFilterActive) {
            if (!setMpvStringProperty(mpvname::kAudioFilter, QString()))
                return false;
            m_channelFilterActive = false;
        }
        return true;
    }
    // Newer libmpv takes the mono modes as a channel layout; 0.35 refuses them, and a pan
    // filter that copies one side to both gives the same sound.
    if (mpv_set_property_string(m_core->handle(), mpvname::kAudioChannels, value.toUtf8().constData()) >= 0) {
        if (m_channelFilterActive && setMpvStringProperty(mpvname::kAudioFilter, QString()))
            m_channelFilterActive = false;
        return true;
    }
    if (!setMpvStringProperty(mpvname::kAudioChannels, QStringLiteral("stereo")))
        return false;
    const QString source = value == QLatin1String("mono-left") ? QStringLiteral("c0") : QStringLiteral("c1");
    if (!setMpvStringProperty(mpvname::kAudioFilter, QString::fromLatin1(kChannelFilter).arg(source)))
        return false;
    m_channelFilterActive = true;
    return true;
}

bool MpvEngine::setAudioChannelMode(const QString &mode)
{
    const QString v = PlayerSettings::sanitizeAudioChannelMode(mode);
    return updateSetting(
        m_settings.audioChannelMode, v, [&] { return applyAudioChannelMode(v); },
        &MpvEngine::audioChannelModeChanged);
}

bool MpvEngine::setAudioOutputDevice(const QString &deviceId)
{
    const QString v = PlayerSettings::sanitizeAudioOutputDevice(deviceId);
    return updateSetting(
        m_settings.audioOutputDevice, v, [&] { return setMpvStringProperty(mpvname::kAudioDevice, v); },
        &MpvEngine::audioOutputDeviceChanged);
}

// mpv takes delays in seconds.
bool MpvEngine::setAudioDelayMs(int value)
{
    const int v = PlayerSettings::clampDelay(value);
    return updateSetting(
        m_settings.audioDelayMs, v, [&] { return setMpvDoubleProperty(mpvname::kAudioDelay, v / 1000.0); },
        &MpvEngine::audioDelayMsChanged);
}

bool MpvEngine::setSubtitleDelayMs(int value)
{
    const int v = PlayerSettings::clampDelay(value);
    return updateSetting(
        m_settings.subtitleDelayMs, v,
        [&] { return setMpvDoubleProperty(mpvname::kSubtitleDelay, v / 1000.0); },
        &MpvEngine::subtitleDelayMsChanged);
}

bool MpvEngine::setSecondarySubtitleDelayMs(int value)
{
    const int v = PlayerSettings::clampDelay(value);
    return updateSetting(
        m_settings.secondarySubtitleDelayMs, v,
        [&] { return setMpvDoubleProperty(mpvname::kSecondarySubtitleDelay, v / 1000.0); },
        &MpvEngine::secondarySubtitleDelayMsChanged);
}

bool MpvEngine::setTrackSetting(int &field, int id, const char *mpvName, bool audio,
                                void (MpvEngine::*changed)())
{
    const auto send = [&] {
        QString value;
        if (audio)
            value = id <= 0 ? QStringLiteral("auto") : QString::number(id);
        else
            value = id < 0 ? QStringLiteral("no") : QString::number(id);
        return setMpvStringProperty(mpvName, value);
    };
    return updateSetting(field, id, send, changed);
}

bool MpvEngine::setAudioTrackId(int id)
{
    m_wantedAudioTrackId = id;
    return setTrackSetting(m_settings.audioTrackId, id, mpvname::kAudioId, true,
                           &MpvEngine::audioTrackIdChanged);
}

bool MpvEngine::setSubtitleTrackId(int id)
{
    m_wantedSubtitleTrackId = id;
    return setTrackSetting(m_settings.subtitleTrackId, id, mpvname::kSubtitleId, false,
                           &MpvEngine::subtitleTrackIdChanged);
}

bool MpvEngine::setSecondarySubtitleTrackId(int id)
{
    m_wantedSecondarySubtitleTrackId = id;
    return setTrackSetting(m_settings.secondarySubtitleTrackId, id, mpvname::kSecondarySubtitleId, false,
                           &MpvEngine::secondarySubtitleTrackIdChanged);
}
