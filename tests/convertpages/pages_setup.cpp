// Set-up of the convert-page tests: the objects main publishes for the two batch tools, wired
// as main wires them, with a recorder in place of the power-off command, plus a small helper
// that makes clips and reads outputs with ffprobe.
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "platform/ShutdownLauncher.h"
#include "system/FileDialogService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/format_convert/FormatConvertViewModel.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"
#include "tools/video_compress/VideoCompressViewModel.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QUrl>

#include <memory>

namespace {

class PagesTestHelper : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A testsrc2 clip of the given length and size, made once per name.
    Q_INVOKABLE QString makeClip(const QString &name, int seconds, const QString &size) const
    {
        const QString out = tvxtest::scratchPath(QStringLiteral("clips/") + name);
        if (QFileInfo(out).size() > 0)
            return QUrl::fromLocalFile(out).toString();
        const auto r = tvxtest::runProcess(
            QStringLiteral("ffmpeg"),
            {"-nostdin",
             "-hide_banner",
             "-loglevel",
             "error",
             "-y",
             "-f",
             "lavfi",
             "-i",
             QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size).arg(seconds),
             "-f",
             "lavfi",
             "-i",
             QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
             "-c:v",
             "libx264",
             "-preset",
             "ultrafast",
             "-pix_fmt",
             "yuv420p",
             "-c:a",
             "aac",
             "-shortest",
             out},
            120000);
        return r.exitCode == 0 ? QUrl::fromLocalFile(out).toString() : QString();
    }

    // The files in a folder, names only.
    Q_INVOKABLE QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    // ffprobe's view of a file: format name, duration in seconds and the codec of each stream.
    Q_INVOKABLE QVariantMap probe(const QString &path) const
    {
        const auto r = tvxtest::runProcess(
            QStringLiteral("ffprobe"),
            {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path}, 30000);
        QVariantMap result;
        const QJsonObject root = QJsonDocument::fromJson(r.out).object();
        result.insert(QStringLiteral("exitCode"), r.exitCode);
        result.insert(QStringLiteral("format"),
                      root.value("format").toObject().value("format_name").toString());
        result.insert(QStringLiteral("duration"),
                      root.value("format").toObject().value("duration").toString().toDouble());
        QStringList codecs;
        for (const auto &stream : root.value("streams").toArray())
            codecs << stream.toObject().value("codec_name").toString();
        result.insert(QStringLiteral("codecs"), codecs);
        return result;
    }

    Q_INVOKABLE QString scratch(const QString &relative) const { return tvxtest::scratchPath(relative); }
    Q_INVOKABLE QString writeFile(const QString &relative) const
    {
        return tvxtest::writeFile(tvxtest::scratchPath(relative), "x");
    }

    // Saves a window's picture when TVX_SCREENSHOT_DIR names a folder (for the README).
    Q_INVOKABLE bool saveScreenshot(QObject *window, const QString &name) const
    {
        const QString dir = qEnvironmentVariable("TVX_SCREENSHOT_DIR");
        auto *quickWindow = qobject_cast<QQuickWindow *>(window);
        if (dir.isEmpty() || !quickWindow)
            return false;
        QDir().mkpath(dir);
        return quickWindow->grabWindow().save(QDir(dir).filePath(name));
    }
};

struct Published
{
    MediaPreviewService previews;
    SystemActions actions;
    FileDialogService dialogs;
    FFmpegEnvironment ffmpeg;
    FFprobeService prober{&ffmpeg};
    TaskManager tasks;
    I18nService i18nService;
    FormatConvertTaskFactory convertFactory{&prober};
    VideoCompressTaskFactory compressFactory{&prober};
    FormatConvertViewModel formatConvert{&ffmpeg, &prober, &tasks, &actions, &convertFactory};
    VideoCompressViewModel videoCompress{&ffmpeg, &prober, &tasks, &actions, &compressFactory};
    PagesTestHelper helper;
};

std::unique_ptr<Published> g_published;

} // namespace

QmlTestSetup::QmlTestSetup() = default;
QmlTestSetup::~QmlTestSetup() = default;

void QmlTestSetup::applicationAvailable()
{
    tvxtest::initTestProcess();
}

void QmlTestSetup::qmlEngineAvailable(QQmlEngine *engine)
{
    if (!g_published) {
        i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties"));
        g_published = std::make_unique<Published>();
        g_published->i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"),
                                            QStringLiteral("zh-CN"));
        g_published->actions.setShutdownLauncher(platform::ShutdownLauncher(QStringLiteral("/bin/true"), {}));
    }
    Published &p = *g_published;
    QQmlContext *context = engine->rootContext();
    context->setContextProperty(QStringLiteral("mediaPreviewService"), &p.previews);
    context->setContextProperty(QStringLiteral("systemActions"), &p.actions);
    context->setContextProperty(QStringLiteral("fileDialogService"), &p.dialogs);
    context->setContextProperty(QStringLiteral("taskManager"), &p.tasks);
    context->setContextProperty(QStringLiteral("i18n"), &p.i18nService);
    context->setContextProperty(QStringLiteral("formatConvertViewModel"), &p.formatConvert);
    context->setContextProperty(QStringLiteral("videoCompressViewModel"), &p.videoCompress);
    context->setContextProperty(QStringLiteral("testHelper"), &p.helper);
}

void QmlTestSetup::cleanupTestCase()
{
    // Jobs still running hold pointers into the published objects.
    if (g_published)
        g_published->tasks.shutdown(5000);
}

#include "pages_setup.moc"
