// Every user-adjustable player setting, its domain, and the settings file "player.ini".
#pragma once

#include <QString>
#include <QStringList>

#include <cmath>

// Plain values with their defaults; the engine owns one copy and hands it to mpv.
struct PlayerSettings
{
    QString hwdecMode = QStringLiteral("auto-safe");
    double volume = 100.0;
    int chromeAutoHideMs = 1800;
    double playbackSpeed = 1.0;
    double preferredPlaybackSpeed = 1.0;
    bool alwaysApplyPreferredPlaybackSpeed = false;
    QString aspectMode = QStringLiteral("default");
    int videoRotation = 0;
    bool cropBlackBars = false;
    int videoBrightness = 0;
    int videoSaturation = 0;
    int videoContrast = 0;
    int videoHue = 0;
    bool videoEnhancementEnabled = false;
    QString audioChannelMode = QStringLiteral("stereo");
    QString audioOutputDevice = QStringLiteral("auto");
    int audioDelayMs = 0;
    int audioTrackId = 0;
    int subtitleTrackId = -1;
    int subtitleDelayMs = 0;
    int secondarySubtitleTrackId = -1;
    int secondarySubtitleDelayMs = 0;

    // Replaces the values with those stored in the file, corrected into their domains; a
    // missing file or key keeps the value as it is.
    void load();
    // Writes every key; the file's other groups (the play-list panel's) stay as they are.
    void save() const;
    static QString filePath();

    static const QStringList &supportedHwdecModes();
    static bool isSupportedHwdecMode(const QString &mode);
    static double clampVolume(double value);
    static double clampSpeed(double value);
    static int clampChromeAutoHideMs(int value);
    static int clampPicture(int value);
    static int clampDelay(int value);
    static int normalizeRotation(int degrees);
    static QString sanitizeAspectMode(const QString &mode);
    static QString aspectModeToMpvValue(const QString &mode);
    static QString sanitizeAudioChannelMode(const QString &mode);
    static QString sanitizeAudioOutputDevice(const QString &deviceId);

    // Whether a new value is a change: exact, except that speeds and the volume are compared
    // fuzzily.
    template <typename T> static bool differs(const T &a, const T &b) { return !(a == b); }
};

template <> inline bool PlayerSettings::differs<double>(const double &a, const double &b)
{
    return !qFuzzyCompare(1.0 + a, 1.0 + b);
}
