// Set-up of the capture and to-image page flows: the real view models over the real ffmpeg,
// the real player types, a generated clip and a few file checks for the QML side.
#include "QmlTestSetup.h"
#include "RealPlayerTypes.h"
#include "TestSupport.h"
#include "app/QmlContextObjects.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "tools/video_capture/VideoCaptureViewModel.h"
#include "tools/video_to_image/VideoToImageViewModel.h"

#include <QDir>
#include <QFileInfo>
#include <QQmlContext>
#include <QQmlEngine>

#include <memory>

// Under the sanitizer build these flows look for memory errors; leak checking stays off, as
// what it reports at exit belongs to the OpenGL driver, D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

namespace {

class FileChecks : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE bool exists(const QString &path) const { return QFileInfo(path).isFile(); }
    Q_INVOKABLE QString scratchPath(const QString &relative) const { return tvxtest::scratchPath(relative); }
    // Where screenshots of the pages go when TVX_SCREENSHOT_DIR is set; empty otherwise.
    Q_INVOKABLE QString screenshotDir() const { return qEnvironmentVariable("TVX_SCREENSHOT_DIR"); }
};

struct Scene
{
    FFmpegEnvironment environment;
    FFprobeService prober{&environment};
    I18nService i18nService;
    VideoCaptureViewModel capture{&environment, &prober};
    VideoToImageViewModel toImage{&environment, &prober};
    FileChecks files;
};

std::unique_ptr<Scene> g_scene;

QString makeClip()
{
    const QString path = tvxtest::scratchPath("media/preview clip.mp4");
    const auto r = tvxtest::runProcess("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                                  "testsrc2=size=640x360:rate=25:duration=3", "-c:v",
                                                  "libx264", "-pix_fmt", "yuv420p", path});
    return r.exitCode == 0 ? path : QString();
}

} // namespace

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
    tvxtest::registerRealPlayerTypes();
    i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    if (!g_scene) {
        g_scene = std::make_unique<Scene>();
        g_scene->i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        g_scene->capture.setOutputDirectory(tvxtest::scratchPath("capture_out"));
        g_scene->toImage.setOutputDirectory(tvxtest::scratchPath("to_image_out"));
    }
    QQmlContext *context = engine->rootContext();
    app::QmlContextObjects objects;
    objects.i18n = &g_scene->i18nService;
    objects.videoCaptureViewModel = &g_scene->capture;
    objects.videoToImageViewModel = &g_scene->toImage;
    app::publishToQml(context, objects);
    context->setContextProperty(QStringLiteral("fileChecks"), &g_scene->files);
    context->setContextProperty(QStringLiteral("testClipPath"), makeClip());
}

void QmlTestSetup::cleanupTestCase()
{
    if (g_scene) {
        g_scene->capture.waitForJobs(tvxtest::scaledMs(5000));
        g_scene->toImage.waitForJobs(tvxtest::scaledMs(5000));
    }
}

#include "pages_setup.moc"
