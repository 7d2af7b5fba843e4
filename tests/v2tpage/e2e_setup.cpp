// Set-up of the video-to-text page end-to-end tests: the objects main publishes for the tool
// (real view model, job queue, prober, previews and Debian ffmpeg), with a scripted cloud in
// place of the conversion service: it converts when told to, or answers as an unreachable host.
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "ffmpeg/MediaPreviewService.h"
#include "i18n/I18n.h"
#include "i18n/I18nService.h"
#include "system/FileDialogService.h"
#include "system/SystemActions.h"
#include "tasks/TaskManager.h"
#include "tools/video_to_text/CloudConversionTypes.h"
#include "tools/video_to_text/VideoToTextCloud.h"
#include "tools/video_to_text/VideoToTextTask.h"
#include "tools/video_to_text/VideoToTextTaskFactory.h"
#include "tools/video_to_text/VideoToTextTaskModel.h"
#include "tools/video_to_text/VideoToTextTiming.h"
#include "tools/video_to_text/VideoToTextViewModel.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <memory>

namespace {

// The conversion service as a script. Called on pool threads: its state is atomic, and the
// result address is set before any job starts.
class ScriptedCloud : public tools::VideoToTextCloud
{
public:
    std::atomic<bool> unreachable{false};
    std::atomic<bool> released{false};
    std::atomic<int> creations{0};
    QString resultUrl;

    void initialize() override {}

    user_pay::CreateConvertTaskResult createConvertTask(const user_pay::CreateConvertTaskRequest &request) override
    {
        const int n = ++creations;
        user_pay::CreateConvertTaskResult result;
        if (unreachable) {
            result.serviceCode = -1;
            result.message = QStringLiteral("Network error: Connection refused");
            return result;
        }
        result.success = QFileInfo(request.filePath).size() > 0;
        result.serviceCode = result.success ? 10000 : 18000;
        result.taskTag = QStringLiteral("tag-%1").arg(n);
        return result;
    }

    user_pay::QueryTaskStateResult queryTaskState(const user_pay::QueryTaskStateRequest &) override
    {
        user_pay::QueryTaskStateResult state;
        state.finished = released;
        state.shouldPoll = !released;
        state.code = released ? 10000 : 20000;
        return state;
    }

    user_pay::QueryTaskDownResult queryTaskDown(const user_pay::QueryTaskDownRequest &) override
    {
        user_pay::QueryTaskDownResult down;
        down.success = true;
        down.code = 10000;
        down.downUrl = resultUrl;
        return down;
    }
};

class E2eHelper : public QObject
{
    Q_OBJECT
public:
    E2eHelper(VideoToTextViewModel *viewModel, ScriptedCloud *cloud) : m_viewModel(viewModel), m_cloud(cloud) {}

    // A testsrc2 clip with a tone, made once per name.
    Q_INVOKABLE QString makeClip(const QString &name, int seconds, const QString &size) const
    {
        const QString out = tvxtest::scratchPath(QStringLiteral("clips/") + name);
        if (QFileInfo(out).size() > 0)
            return QUrl::fromLocalFile(out).toString();
        const auto r = tvxtest::runProcess(
            QStringLiteral("ffmpeg"),
            {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
             QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size).arg(seconds), "-f", "lavfi", "-i",
             QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), "-c:v", "libx264", "-preset",
             "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", out},
            120000);
        return r.exitCode == 0 ? QUrl::fromLocalFile(out).toString() : QString();
    }

    // The jobs now listed talk to the scripted cloud (the factory's jobs use the program's).
    Q_INVOKABLE void attachCloud() const
    {
        for (VideoToTextTask *task : m_viewModel->taskModel()->tasks())
            task->setCloud(m_cloud);
    }
    Q_INVOKABLE void scriptCloud(bool unreachable)
    {
        m_cloud->unreachable = unreachable;
        m_cloud->released = false;
    }
    Q_INVOKABLE void finishConversion() { m_cloud->released = true; }
    Q_INVOKABLE int creations() const { return m_cloud->creations; }
    Q_INVOKABLE QString errorCodeAt(int row) const
    {
        VideoToTextTask *task = m_viewModel->taskModel()->taskObjectAt(row);
        return task ? task->errorCode() : QString();
    }

    Q_INVOKABLE QString scratch(const QString &relative) const { return tvxtest::scratchPath(relative); }
    Q_INVOKABLE QString writeFile(const QString &relative, const QString &text) const
    {
        return tvxtest::writeFile(tvxtest::scratchPath(relative), text.toUtf8());
    }
    Q_INVOKABLE QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    Q_INVOKABLE QString readText(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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

private:
    VideoToTextViewModel *m_viewModel;
    ScriptedCloud *m_cloud;
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
    VideoToTextTaskFactory factory;
    VideoToTextViewModel viewModel{&prober, &tasks, &factory};
    ScriptedCloud cloud;
    E2eHelper helper{&viewModel, &cloud};
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
        // Polls and animations of a few tens of milliseconds keep the runs short.
        tools::VideoToTextTiming timing = tools::videoToTextTiming();
        timing.creationCheckMs = 20;
        timing.animationStepMs = 10;
        timing.creationDoneAnimationMs = 50;
        timing.pollAnimationMs = 100;
        timing.pollSleepMs = 50;
        timing.finishedAnimationMs = 50;
        timing.maxPolls = 100000;
        tools::setVideoToTextTiming(timing);
        g_published = std::make_unique<Published>();
        g_published->i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        const QString result = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("server/result.txt")),
                                                  QStringLiteral("大家好，这是服务器识别出的文字。\n").toUtf8());
        g_published->cloud.resultUrl = QUrl::fromLocalFile(result).toString();
    }
    Published &p = *g_published;
    QQmlContext *context = engine->rootContext();
    context->setContextProperty(QStringLiteral("mediaPreviewService"), &p.previews);
    context->setContextProperty(QStringLiteral("systemActions"), &p.actions);
    context->setContextProperty(QStringLiteral("fileDialogService"), &p.dialogs);
    context->setContextProperty(QStringLiteral("taskManager"), &p.tasks);
    context->setContextProperty(QStringLiteral("i18n"), &p.i18nService);
    context->setContextProperty(QStringLiteral("videoToTextViewModel"), &p.viewModel);
    context->setContextProperty(QStringLiteral("v2tHelper"), &p.helper);
}

void QmlTestSetup::cleanupTestCase()
{
    if (g_published) {
        g_published->viewModel.clearTasks();
        g_published->tasks.shutdown(5000);
        QThreadPool::globalInstance()->waitForDone(10000);
    }
}

#include "e2e_setup.moc"
