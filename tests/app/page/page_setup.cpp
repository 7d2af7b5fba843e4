// Set-up of the player page's QML tests: fake engine and surface under the real module name,
// the real play list and coordinator, recording services and the catalog.
#include "PageFakes.h"

#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "app/QmlTypes.h"
#include "i18n/I18nService.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QtQml>

bool FakeVideoItem::readyByDefault = true;

// Under the sanitizer build these tests look for memory errors; leak checking stays off, as
// what it reports at exit belongs to the OpenGL driver, D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

void FakeMpvEngine::record(const QString &call)
{
    m_calls.append(call);
    emit callsChanged();
}

void FakeMpvEngine::clearCalls()
{
    m_calls.clear();
    m_seekAttempts = 0;
    emit callsChanged();
}

int FakeMpvEngine::countCalls(const QString &prefix) const
{
    int n = 0;
    for (const QString &call : m_calls)
        n += call.startsWith(prefix) ? 1 : 0;
    return n;
}

bool FakeMpvEngine::playFile(const QUrl &url)
{
    record(QStringLiteral("playFile:") + url.toString());
    if (m_playFileResult && m_paused) {
        m_paused = false;
        emit pausedChanged();
    }
    return m_playFileResult;
}

bool FakeMpvEngine::stopPlayback()
{
    record(QStringLiteral("stopPlayback"));
    return true;
}

bool FakeMpvEngine::togglePause()
{
    record(QStringLiteral("togglePause"));
    m_paused = !m_paused;
    emit pausedChanged();
    return true;
}

bool FakeMpvEngine::seekTo(double seconds)
{
    ++m_seekAttempts;
    record(QStringLiteral("seekTo:") + QString::number(seconds));
    if (m_seekFailures > 0) {
        --m_seekFailures;
        return false;
    }
    m_position = seconds;
    emit positionChanged();
    return true;
}

bool FakeMpvEngine::setVolume(double value)
{
    record(QStringLiteral("setVolume:") + QString::number(value));
    m_volume = value;
    emit volumeChanged();
    return true;
}

bool FakeMpvEngine::setPlaybackSpeed(double value)
{
    record(QStringLiteral("setPlaybackSpeed:") + QString::number(value));
    m_speed = value;
    emit playbackSpeedChanged();
    return true;
}

bool FakeMpvEngine::setVideoEnhancementEnabled(bool enabled)
{
    record(QStringLiteral("setVideoEnhancementEnabled:") + (enabled ? "true" : "false"));
    m_enhance = enabled;
    emit videoEnhancementEnabledChanged();
    return true;
}

bool FakeMpvEngine::setSubtitleTrackId(int id)
{
    record(QStringLiteral("setSubtitleTrackId:") + QString::number(id));
    m_mpvSid = id;
    m_subtitleTrackId = id;
    emit subtitleTrackIdChanged();
    return true;
}

bool FakeMpvEngine::setSecondarySubtitleTrackId(int id)
{
    record(QStringLiteral("setSecondarySubtitleTrackId:") + QString::number(id));
    m_mpvSecondarySid = id;
    m_secondaryTrackId = id;
    emit secondarySubtitleTrackIdChanged();
    return true;
}

bool FakeMpvEngine::addSubtitleFile(const QUrl &url, bool secondary)
{
    record(QStringLiteral("addSubtitleFile:") + url.toString() + (secondary ? ":secondary" : ":primary"));
    if (!m_addSubtitleResult)
        return false;
    const int id = m_subtitleTracks.size() + 1;
    m_subtitleTracks.append(QVariantMap{{"id", id}, {"title", url.fileName()}});
    // mpv selects a file added without a flag; the engine learns of it at its next poll.
    m_mpvSid = id;
    return true;
}

void FakeMpvEngine::poll()
{
    if (m_subtitleTrackId != m_mpvSid) {
        m_subtitleTrackId = m_mpvSid;
        emit subtitleTrackIdChanged();
    }
    if (m_secondaryTrackId != m_mpvSecondarySid) {
        m_secondaryTrackId = m_mpvSecondarySid;
        emit secondarySubtitleTrackIdChanged();
    }
}

void FakeServices::record(const QString &call)
{
    m_calls.append(call);
    emit callsChanged();
}

QString FakeServices::setAsDefaultPlayer()
{
    // What the menu had stored when the registration ran.
    if (!m_menuSettingsFile.isEmpty())
        m_tickSeen = readIni(m_menuSettingsFile, QStringLiteral("AppSettingsMenu/defaultPlayerEnabled"));
    record(QStringLiteral("setAsDefaultPlayer"));
    return QStringLiteral("default-player-set");
}

QString FakeServices::clearDefaultPlayer()
{
    if (!m_menuSettingsFile.isEmpty())
        m_tickSeen = readIni(m_menuSettingsFile, QStringLiteral("AppSettingsMenu/defaultPlayerEnabled"));
    record(QStringLiteral("clearDefaultPlayer"));
    return QStringLiteral("default-player-cleared");
}

QVariantMap FakeServices::previewForFile(const QString &sourcePath)
{
    record(QStringLiteral("previewForFile:") + sourcePath);
    const QVariant known = m_previews.value(QFileInfo(sourcePath).fileName());
    if (known.isValid())
        return known.toMap();
    return QVariantMap{{"thumbnailPath", QString()}, {"durationSeconds", 0}, {"durationText", QString()},
                       {"qualityTag", QString()},    {"parseFailed", false}, {"loading", true}};
}

void FakeServices::clearCalls()
{
    m_calls.clear();
    m_tickSeen = QVariant();
    emit callsChanged();
}

int FakeServices::countCalls(const QString &prefix) const
{
    int n = 0;
    for (const QString &call : m_calls)
        n += call.startsWith(prefix) ? 1 : 0;
    return n;
}

QVariant FakeServices::readIni(const QString &file, const QString &key) const
{
    // A fresh reader on the file on disk: only what was really written counts.
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QVariant();
    const QString wanted = key.section('/', 1);
    const QString group = QLatin1Char('[') + key.section('/', 0, 0) + QLatin1Char(']');
    bool inGroup = false;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('['))
            inGroup = line == group;
        else if (inGroup && line.section('=', 0, 0).trimmed() == wanted)
            return line.section('=', 1).trimmed();
    }
    return QVariant();
}

QString FakeServices::writeMediaFile(const QString &name) const
{
    return tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("media/") + name),
                              QByteArray("not really media"));
}

QString FakeServices::fileUrl(const QString &path) const
{
    return QUrl::fromLocalFile(path).toString();
}

bool FakeServices::removeFile(const QString &path) const
{
    return QFile::remove(path);
}

bool FakeServices::writeText(const QString &path, const QString &text) const
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0;
}

void FakeServices::putOnClipboard(const QString &text) const
{
    QGuiApplication::clipboard()->setText(text);
}

namespace {
PlaylistModel *g_playlist = nullptr;
I18nService *g_i18n = nullptr;
FakeServices *g_services = nullptr;
FakeAccountManager *g_account = nullptr;
} // namespace

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
    app::registerQmlTypes<FakeMpvEngine, FakeVideoItem, FakeMiniBlinkWrapper>();
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    if (!g_playlist) {
        g_playlist = new PlaylistModel;
        g_i18n = new I18nService;
        g_i18n->initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        g_services = new FakeServices;
        g_account = new FakeAccountManager;
        g_services->setProperty("menuSettingsFile", tvxtest::scratchPath("app_settings_menu.ini"));
    }
    app::QmlContextObjects objects;
    objects.playlistStore = g_playlist;
    objects.playerSettingsFilePath = tvxtest::scratchPath("player.ini");
    objects.appSettingsMenuSettingsFilePath = tvxtest::scratchPath("app_settings_menu.ini");
    objects.i18n = g_i18n;
    objects.systemActions = g_services;
    objects.fileDialogService = g_services;
    objects.mediaPreviewService = g_services;
    objects.accountManager = g_account;
    objects.loginDialogSettingsFilePath = tvxtest::scratchPath("login_dialog.ini");
    objects.startupShouldTrackActivityFromCpp = true;
    QQmlContext *context = engine->rootContext();
    app::publishToQml(context, objects);
    context->setContextProperty("testServices", g_services);
}

void QmlTestSetup::cleanupTestCase() {}
