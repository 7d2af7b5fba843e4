// Domains of the player settings and their file "player.ini".
#include "player/PlayerSettings.h"

#include "core/AppPaths.h"
#include "core/StateFile.h"

#include <QHash>
#include <QSettings>

#include <algorithm>
#include <memory>

namespace {

// The one place the settings file is opened, for reading and for writing alike.
std::unique_ptr<QSettings> openSettingsFile()
{
    return std::make_unique<QSettings>(
        app::checkedStateFile(PlayerSettings::filePath(), app::kSettingsStateFileMaxBytes),
        QSettings::IniFormat);
}

} // namespace

QString PlayerSettings::filePath()
{
    return app::appDataFilePath(QStringLiteral("player.ini"));
}

const QStringList &PlayerSettings::supportedHwdecModes()
{
    static const QStringList modes = {QStringLiteral("no"), QStringLiteral("auto-safe"),
                                      QStringLiteral("auto"), QStringLiteral("nvdec")};
    return modes;
}

bool PlayerSettings::isSupportedHwdecMode(const QString &mode)
{
    return supportedHwdecModes().contains(mode, Qt::CaseSensitive);
}

double PlayerSettings::clampVolume(double value)
{
    if (value > 100.0)
        return 100.0;
    if (!(value > 0.0)) // NaN included
        return 0.0;
    return value;
}

double PlayerSettings::clampSpeed(double value)
{
    if (value > 2.0)
        return 2.0;
    if (!(value > 0.5))
        return 0.5;
    return value;
}

int PlayerSettings::clampChromeAutoHideMs(int value)
{
    return std::clamp(value, 400, 10000);
}

int PlayerSettings::clampPicture(int value)
{
    return std::clamp(value, -100, 100);
}

int PlayerSettings::clampDelay(int value)
{
    return std::clamp(value, -10000, 10000);
}

int PlayerSettings::normalizeRotation(int degrees)
{
    int r = degrees % 360;
    if (r < 0)
        r += 360;
    return r % 90 == 0 ? r : 0;
}

QString PlayerSettings::sanitizeAspectMode(const QString &mode)
{
    const QString lower = mode.toLower();
    if (lower == QLatin1String("16:9") || lower == QLatin1String("4:3") || lower == QLatin1String("1:1") ||
        lower == QLatin1String("fill"))
        return lower;
    return QStringLiteral("default");
}

QString PlayerSettings::aspectModeToMpvValue(const QString &mode)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("default"), QStringLiteral("-1")}, {QStringLiteral("16:9"), QStringLiteral("16:9")},
        {QStringLiteral("4:3"), QStringLiteral("4:3")},    {QStringLiteral("1:1"), QStringLiteral("1:1")},
        {QStringLiteral("fill"), QStringLiteral("-1")},
    };
    return table.value(mode, QStringLiteral("-1"));
}

QString PlayerSettings::sanitizeAudioChannelMode(const QString &mode)
{
    const QString lower = mode.toLower();
    if (lower == QLatin1String("mono-left") || lower == QLatin1String("mono-right"))
        return lower;
    return QStringLiteral("stereo");
}

QString PlayerSettings::sanitizeAudioOutputDevice(const QString &deviceId)
{
    return deviceId.isEmpty() ? QStringLiteral("auto") : deviceId;
}

void PlayerSettings::load()
{
    const std::unique_ptr<QSettings> file = openSettingsFile();
    QSettings &s = *file;
    const QString hwdec = s.value(QStringLiteral("player/hwdec_mode"), hwdecMode).toString();
    if (isSupportedHwdecMode(hwdec))
        hwdecMode = hwdec;
    volume = clampVolume(s.value(QStringLiteral("player/volume"), volume).toDouble());
    chromeAutoHideMs =
        clampChromeAutoHideMs(s.value(QStringLiteral("ui/chrome_auto_hide_ms"), chromeAutoHideMs).toInt());
    playbackSpeed = clampSpeed(s.value(QStringLiteral("player/playback_speed"), playbackSpeed).toDouble());
    preferredPlaybackSpeed = clampSpeed(
        s.value(QStringLiteral("player/preferred_playback_speed"), preferredPlaybackSpeed).toDouble());
    alwaysApplyPreferredPlaybackSpeed =
        s.value(QStringLiteral("player/always_apply_preferred_playback_speed"),
                alwaysApplyPreferredPlaybackSpeed)
            .toBool();
    aspectMode = sanitizeAspectMode(s.value(QStringLiteral("video/aspect_mode"), aspectMode).toString());
    videoRotation = normalizeRotation(s.value(QStringLiteral("video/rotation"), videoRotation).toInt());
    cropBlackBars = s.value(QStringLiteral("video/crop_black_bars"), cropBlackBars).toBool();
    videoBrightness = clampPicture(s.value(QStringLiteral("video/brightness"), videoBrightness).toInt());
    videoSaturation = clampPicture(s.value(QStringLiteral("video/saturation"), videoSaturation).toInt());
    videoContrast = clampPicture(s.value(QStringLiteral("video/contrast"), videoContrast).toInt());
    videoHue = clampPicture(s.value(QStringLiteral("video/hue"), videoHue).toInt());
    videoEnhancementEnabled =
        s.value(QStringLiteral("video/enhancement_enabled"), videoEnhancementEnabled).toBool();
    audioChannelMode =
        sanitizeAudioChannelMode(s.value(QStringLiteral("audio/channel_mode"), audioChannelMode).toString());
    audioOutputDevice = sanitizeAudioOutputDevice(
        s.value(QStringLiteral("audio/output_device"), audioOutputDevice).toString());
    audioDelayMs = clampDelay(s.value(QStringLiteral("audio/delay_ms"), audioDelayMs).toInt());
    audioTrackId = s.value(QStringLiteral("audio/track_id"), audioTrackId).toInt();
    subtitleTrackId = s.value(QStringLiteral("subtitle/track_id"), subtitleTrackId).toInt();
    subtitleDelayMs = clampDelay(s.value(QStringLiteral("subtitle/delay_ms"), subtitleDelayMs).toInt());
    secondarySubtitleTrackId =
        s.value(QStringLiteral("subtitle/secondary_track_id"), secondarySubtitleTrackId).toInt();
    secondarySubtitleDelayMs =
        clampDelay(s.value(QStringLiteral("subtitle/secondary_delay_ms"), secondarySubtitleDelayMs).toInt());
}

void PlayerSettings::save() const
{
    // QSettings keeps the groups it does not write (the play-list panel's own key) and
    // replaces the file atomically.
    const std::unique_ptr<QSettings> file = openSettingsFile();
    QSettings &s = *file;
    app::clearOwnedGroups(s, {QStringLiteral("player"), QStringLiteral("ui"), QStringLiteral("video"),
                              QStringLiteral("audio"), QStringLiteral("subtitle")});
    s.setValue(QStringLiteral("player/hwdec_mode"), hwdecMode);
    s.setValue(QStringLiteral("player/volume"), volume);
    s.setValue(QStringLiteral("player/playback_speed"), playbackSpeed);
    s.setValue(QStringLiteral("player/preferred_playback_speed"), preferredPlaybackSpeed);
    s.setValue(QStringLiteral("player/always_apply_preferred_playback_speed"),
               alwaysApplyPreferredPlaybackSpeed);
    s.setValue(QStringLiteral("ui/chrome_auto_hide_ms"), chromeAutoHideMs);
    s.setValue(QStringLiteral("video/aspect_mode"), aspectMode);
    s.setValue(QStringLiteral("video/rotation"), videoRotation);
    s.setValue(QStringLiteral("video/crop_black_bars"), cropBlackBars);
    s.setValue(QStringLiteral("video/brightness"), videoBrightness);
    s.setValue(QStringLiteral("video/saturation"), videoSaturation);
    s.setValue(QStringLiteral("video/contrast"), videoContrast);
    s.setValue(QStringLiteral("video/hue"), videoHue);
    s.setValue(QStringLiteral("video/enhancement_enabled"), videoEnhancementEnabled);
    s.setValue(QStringLiteral("audio/channel_mode"), audioChannelMode);
    s.setValue(QStringLiteral("audio/output_device"), audioOutputDevice);
    s.setValue(QStringLiteral("audio/delay_ms"), audioDelayMs);
    s.setValue(QStringLiteral("audio/track_id"), audioTrackId);
    s.setValue(QStringLiteral("subtitle/track_id"), subtitleTrackId);
    s.setValue(QStringLiteral("subtitle/delay_ms"), subtitleDelayMs);
    s.setValue(QStringLiteral("subtitle/secondary_track_id"), secondarySubtitleTrackId);
    s.setValue(QStringLiteral("subtitle/secondary_delay_ms"), secondarySubtitleDelayMs);
    s.sync();
}
