// Program entry: start-up sequence, service wiring and teardown.
#include "analytics/QxSensorsService.h"
#include "app/FramelessWindowMaximizeFilter.h"
#include "app/QmlContextObjects.h"
#include "app/QmlTypes.h"
#include "app/QuitSignals.h"
#include "app/StartupArguments.h"
#include "app/StartupDialogs.h"
#include "app/StartupState.h"
#include "app/UiFont.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextViewModel.h"
#include "core/AppPaths.h"
#include "core/FileUrl.h"
#include "core/Log.h"
#include "core/StateFile.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "player/MpvEngine.h"
#include "player/PlaybackCoordinator.h"
#include "player/PlaylistModel.h"
#include "player/mpv/MpvLibraryLoader.h"
#include "player/mpv/MpvVideoItem.h"
#include "system/FileDialogService.h"
#include "system/SingleInstanceService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"
#include "tools/video_capture/VideoCaptureViewModel.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressViewModel.h"
#include "tools/video_to_image/VideoToImageViewModel.h"
#include "user_pay/AccountManager.h"
#include "webview/MiniBlinkWrapper.h"

#include "tvx_build_config.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QScreen>
#include <QSslSocket>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtQml>

#include <clocale>

namespace {

const char kMainQmlUrl[] = "qrc:/qml/main.qml";

void setupScopedQmlDiskCachePath()
{
    const QString scope = app::packageEntryScope();
    const QString subDir = (scope.isEmpty() || scope == QLatin1String("main"))
                               ? QStringLiteral("Tavrixo/qmlcache/main")
                               : QStringLiteral("Tavrixo/qmlcache/%1").arg(scope);
    // Compiled QML is run as it is found: the folder must be one that only this user can write.
    const QString dir = app::tempDirPath(subDir);
    if (dir.isEmpty())
        return; // logged by the path code; Qt then keeps its own per-user cache
    qputenv("QML_FORCE_DISK_CACHE", "1");
    qputenv("QML_DISK_CACHE_PATH", QDir::toNativeSeparators(dir).toUtf8());
    TVX_LOG_INFO << "[Startup][QmlCache] QML_DISK_CACHE_PATH =" << QDir::fromNativeSeparators(dir);
}

} // namespace

int main(int argc, char *argv[])
{
    app::installLogLineOutput();
    TVX_LOG_INFO << "[Startup] Start Official Server APP!";
    // Before anything reads them: the folders of this start and of every program it starts.
    const QStringList ignoredXdg = app::dropRelativeXdgVariables();
    if (!ignoredXdg.isEmpty())
        TVX_LOG_WARN << "[Startup][Paths] relative values ignored:" << ignoredXdg.join(QLatin1Char(' '));

    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL, true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    QCoreApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral(TVX_ORGANIZATION_DOMAIN));
    QCoreApplication::setApplicationName(QStringLiteral("Tavrixo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TVX_VERSION));

    setupScopedQmlDiskCachePath();

    QApplication app(argc, argv);
    app::QuitSignals quitSignals;
    // libmpv parses numbers with the C library and refuses to start under a locale that Qt
    // may have set from the environment.
    std::setlocale(LC_NUMERIC, "C");
    app.setWindowIcon(QIcon(QStringLiteral(":/assets/app.ico")));

    i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));

    const QStringList args = QCoreApplication::arguments();
    TVX_LOG_INFO << "[Startup][Args] count =" << args.size();
    for (int i = 0; i < args.size(); ++i)
        TVX_LOG_INFO << "[Startup][Args]" << i << "=" << args.at(i);

    // The bytes as given: QCoreApplication::arguments() decodes them, and a file name that is
    // not valid text in the system's encoding would be lost there. QApplication has taken its
    // own options out of argv already.
    QByteArrayList rawArgs;
    for (int i = 0; i < argc; ++i)
        rawArgs.append(QByteArray(argv[i]));
    const QString startupFileUrl = app::startupFileUrl(rawArgs);

    SingleInstanceService singleInstance(QString::fromUtf8(TVX_ENTRY_SCOPE));
    TVX_LOG_INFO << "[Startup][SingleInstance] entry_scope =" << QStringLiteral("main");

    if (singleInstance.notifyPrimary(startupFileUrl, 1200)) {
        TVX_LOG_INFO << "[Startup][SingleInstance] Existing process activated. Exit current process.";
        return 0;
    }
    if (!singleInstance.startPrimary()) {
        constexpr int kAttempts = 6;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (singleInstance.notifyPrimary(startupFileUrl, 1200)) {
                TVX_LOG_INFO << "[Startup][SingleInstance] Existing process activated after listen failure. "
                                "Exit current process.";
                return 0;
            }
            if (attempt + 1 < kAttempts)
                QThread::msleep(120);
        }
        TVX_LOG_ERROR << "[Startup][SingleInstance] Failed to initialize single instance endpoint.";
        app::showStartupFailureBox(QStringLiteral("Startup Failed"),
                                   QStringLiteral("Single-instance initialization failed. Please close "
                                                  "existing process and retry."));
        return -3;
    }

    const QString sslBuild = QSslSocket::sslLibraryBuildVersionString();
    const QString sslRuntime = QSslSocket::sslLibraryVersionString();
    TVX_LOG_INFO << "SSL build =" << sslBuild << " runtime =" << sslRuntime;
    if (!QSslSocket::supportsSsl()) {
        const QString detail =
            i18n::t(QStringLiteral("app.error.ssl_runtime_missing_detail"),
                    {{QStringLiteral("build"), sslBuild}, {QStringLiteral("runtime"), sslRuntime}});
        TVX_LOG_ERROR << "[Startup][SSL] TLS initialization failed:" << detail;
        app::showStartupFailureBox(i18n::t(QStringLiteral("app.error.ssl_runtime_missing_title")), detail);
        return -2;
    }

    const QString family = app::uiFontFamily();
    TVX_LOG_INFO << "[Startup][Font] family =" << family;
    app.setFont(QFont(family));

    FramelessWindowMaximizeFilter maximizeFilter;
    app.installNativeEventFilter(&maximizeFilter);

    app::registerQmlTypes();

    // Read before the events are sent: the page keys its first-start behaviour on it even
    // when this start's activity event is the one that gets delivered.
    const bool shouldTrackActivity = app::shouldTrackActivityOnStartup();
    QxSensorsService *sensors = QxSensorsService::instance();
    sensors->initialize();
    sensors->trackLaunchEvent();
    if (shouldTrackActivity) {
        const bool activityTracked = sensors->trackActivityEvent();
        TVX_LOG_INFO << "[QxSensors] startup activity tracked =" << activityTracked;
        if (activityTracked)
            app::markActivityTrackedOnStartup();
    }

    PlaylistModel playlistModel;
    MediaPreviewService mediaPreviewService;
    SystemActions systemActions;
    FileDialogService fileDialogService;
    FFmpegEnvironment ffmpegEnvironment;
    FFprobeService ffprobeService(&ffmpegEnvironment);
    {
        const QString ffmpegPath = ffmpegEnvironment.ffmpegExecutablePath();
        const QString ffprobePath = ffmpegEnvironment.ffprobeExecutablePath();
        TVX_LOG_INFO << "[FFmpeg][Startup] ffmpeg=" << ffmpegPath
                     << " ffmpeg_exists=" << QFileInfo::exists(ffmpegPath) << " ffprobe=" << ffprobePath
                     << " ffprobe_exists=" << QFileInfo::exists(ffprobePath);
    }

    TaskManager taskManager;
    I18nService i18nService;
    i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
    // The stored account is settled before any window exists: the page opens with the account
    // it will keep (each server call on this path is bounded by the bridge's time limit).
    user_pay::AccountManager accountManager;
    accountManager.initialize();
    QTimer::singleShot(0, &app, [&accountManager] { accountManager.warmupLoginResources(); });

    FormatConvertTaskFactory formatConvertTaskFactory(&ffprobeService);
    VideoCompressTaskFactory videoCompressTaskFactory(&ffprobeService);
    FormatConvertViewModel formatConvertViewModel(&ffmpegEnvironment, &ffprobeService, &taskManager,
                                                  &systemActions, &formatConvertTaskFactory);
    VideoCompressViewModel videoCompressViewModel(&ffmpegEnvironment, &ffprobeService, &taskManager,
                                                  &systemActions, &videoCompressTaskFactory);
    VideoToTextTaskFactory videoToTextTaskFactory;
    VideoToTextViewModel videoToTextViewModel(&ffprobeService, &taskManager, &videoToTextTaskFactory);
    VideoCaptureViewModel videoCaptureViewModel(&ffmpegEnvironment, &ffprobeService);
    VideoToImageViewModel videoToImageViewModel(&ffmpegEnvironment, &ffprobeService);

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app,
                     [&] { mediaPreviewService.cleanupCacheBySourcePaths(playlistModel.sourcePaths()); });

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app,
                     [] { QxSensorsService::instance()->shutdown(); });
    // The running tool job is cancelled while the objects it reports to still exist; waiting
    // is bounded because the job's ffmpeg has its own kill path.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&] { taskManager.shutdown(5000); });
    // The ffmpeg programs' warm-ups serve the first preview and probe, not the window: they start
    // once the main window has shown its first frame, so they do not compete with it.
    bool warmupsStarted = false;
    const auto startWarmups = [&] {
        if (warmupsStarted)
            return;
        warmupsStarted = true;
        mediaPreviewService.warmup();
        ffprobeService.warmup();
    };
    // libmpv and its few hundred shared objects are not needed for the first frame (the
    // player page shows no video yet): they load on a thread of their own after it.
    MpvLibraryLoader mpvLibrary;
    // Moves the web engine's start-up off the path of the first sign-in page.
    if (qEnvironmentVariableIntValue("TVX_MINIBLINK_WARMUP") == 1)
        QTimer::singleShot(0, &app, [] { MiniBlinkWrapper::warmup(); });

    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        app::QmlContextObjects published;
        published.playlistStore = &playlistModel;
        published.playerSettingsFilePath = app::checkedStateFile(
            app::appDataFilePath(QStringLiteral("player.ini")), app::kSettingsStateFileMaxBytes);
        published.appSettingsMenuSettingsFilePath = app::checkedStateFile(
            app::appDataFilePath(QStringLiteral("app_settings_menu.ini")), app::kSettingsStateFileMaxBytes);
        published.loginDialogSettingsFilePath = app::checkedStateFile(
            app::appDataFilePath(QStringLiteral("login_dialog.ini")), app::kSettingsStateFileMaxBytes);
        published.mediaPreviewService = &mediaPreviewService;
        published.systemActions = &systemActions;
        published.fileDialogService = &fileDialogService;
        published.taskManager = &taskManager;
        published.mpvLibrary = &mpvLibrary;
        published.i18n = &i18nService;
        published.formatConvertViewModel = &formatConvertViewModel;
        published.videoCompressViewModel = &videoCompressViewModel;
        published.videoToTextViewModel = &videoToTextViewModel;
        published.videoCaptureViewModel = &videoCaptureViewModel;
        published.videoToImageViewModel = &videoToImageViewModel;
        published.accountManager = &accountManager;
        published.startupMediaFileUrlFromCpp = startupFileUrl;
        published.startupShouldTrackActivityFromCpp = shouldTrackActivity;
        published.singleInstanceService = &singleInstance;
        // The window opens on the primary screen; its first size has to fit what is left of it.
        const QScreen *screen = QGuiApplication::primaryScreen();
        published.screenAvailableSizeFromCpp = screen ? screen->availableGeometry().size() : QSize();
        app::publishToQml(engine.rootContext(), published);

        // The process tests read back what the page is given.
        for (const app::QmlContextEntry &entry : app::qmlContextEntries(published)) {
            if (!entry.loggedAtStartup || !entry.value.isValid())
                continue;
            const QObject *object = entry.value.value<QObject *>();
            TVX_LOG_INFO << "[Startup][Context]" << entry.name << "="
                         << (object ? QString::fromLatin1(object->metaObject()->className())
                                    : entry.value.toString());
        }

        const QUrl mainUrl(QString::fromLatin1(kMainQmlUrl));
        QObject::connect(
            &engine, &QQmlApplicationEngine::objectCreated, &app,
            [mainUrl](QObject *object, const QUrl &url) {
                if (!object && url == mainUrl)
                    QCoreApplication::exit(-1);
            },
            Qt::QueuedConnection);
        engine.load(mainUrl);
        const QList<QObject *> roots = engine.rootObjects();
        auto *mainWindow = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
        QMetaObject::Connection firstFrame;
        if (mainWindow) {
            firstFrame = QObject::connect(
                mainWindow, &QQuickWindow::frameSwapped, &app,
                [&] {
                    QObject::disconnect(firstFrame);
                    mpvLibrary.loadInBackground();
                    startWarmups();
                },
                Qt::QueuedConnection);
        } else {
            mpvLibrary.loadInBackground();
            startWarmups();
        }
        // A quit signal that came while the stored account was settled ended only the local loop
        // it arrived in (the avatar's download): the program still quits the normal way.
        if (quitSignals.quitRequested())
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        exitCode = app.exec();
    }
    // The capture tools' probes and ffmpeg runs call the prober: they end before it is destroyed.
    videoToImageViewModel.waitForJobs(5000);
    videoCaptureViewModel.waitForJobs(5000);
    // Pool jobs (previews, probes, tool jobs) may still hold pointers to the services below.
    QThreadPool::globalInstance()->waitForDone(10000);
    return exitCode;
}
