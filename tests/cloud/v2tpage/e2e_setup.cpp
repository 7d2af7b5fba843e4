// Set-up of the video-to-text page end-to-end tests: the objects main publishes for the tool
// (real view model, job queue, prober, previews and Debian ffmpeg) and the program's own cloud
// conversion client, pointed at the loopback cloud server over TLS. The server's task states and
// faults are scripted per test: still converting, done, a refused sign-in, or gone altogether.
#include "CloudTestServer.h"
#include "PageTestHelper.h"
#include "PublishedServices.h"
#include "QmlTestSetup.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTaskModel.h"
#include "cloud/video_to_text/VideoToTextTiming.h"
#include "cloud/video_to_text/VideoToTextViewModel.h"
#include "i18n/I18n.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThreadPool>

#include <memory>

namespace {

const char kCredits[] = "00112233445566778899aabbccddeeff";
const char kProductInfo[] =
    "5D2A9C7E1B4F8036A2C5E9D17B3F6A084C1E7D2B9A5F3C60E8B4D1A7C2F95E3B6D0A8C4E1F7B2D95";

QString fixedDeviceId()
{
    return QStringLiteral("0123456789abcdef0123456789abcdef");
}

class E2eHelper : public tvxtest::PageTestHelper
{
    Q_OBJECT
public:
    E2eHelper(VideoToTextViewModel *viewModel, tvxtest::CloudTestServer *server, QString resultText)
        : m_viewModel(viewModel), m_server(server), m_resultText(std::move(resultText))
    {
    }

    // The server converts: "still converting" until finishConversion, then done; the result
    // address is the server's own, over TLS, and answers the text it "recognised".
    Q_INVOKABLE void serveConversion()
    {
        m_server->reset();
        m_server->setTaskStates(QStringLiteral("*"),
                                QJsonArray{QJsonObject{{"code", 20000}, {"message", "busy"}}});
        const QString resultPath = QStringLiteral("/result/converted.txt");
        m_server->addFault(QJsonObject{
            {"path", "/api/v4/taskdown"},
            {"patch",
             QJsonObject{{"downurl", QStringLiteral("https://%1%2").arg(m_server->host(), resultPath)}}}});
        m_server->addFault(QJsonObject{{"path", resultPath}, {"body", m_resultText}});
        m_server->clearRequests();
    }
    Q_INVOKABLE void finishConversion()
    {
        m_server->setTaskStates(QStringLiteral("*"),
                                QJsonArray{QJsonObject{{"code", 10000}, {"message", "done"}}});
    }
    // The account host refuses a request of a device nobody is signed in on.
    Q_INVOKABLE void refuseSignedOut(const QString &message)
    {
        m_server->reset();
        m_server->addFault(QJsonObject{{"path", "/api/v4/uploadpointpar"},
                                       {"json", QJsonObject{{"code", 10060}, {"message", message}}}});
        m_server->clearRequests();
    }
    Q_INVOKABLE void stopServer() { m_server->stop(); }
    Q_INVOKABLE int requestsTo(const QString &path) const { return m_server->requests(path).size(); }
    Q_INVOKABLE QString errorCodeAt(int row) const
    {
        VideoToTextTask *task = m_viewModel->taskModel()->taskObjectAt(row);
        return task ? task->errorCode() : QString();
    }

    Q_INVOKABLE QString writeFile(const QString &relative, const QString &text) const
    {
        return tvxtest::writeFile(tvxtest::scratchPath(relative), text.toUtf8());
    }
    Q_INVOKABLE QString readText(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    VideoToTextViewModel *m_viewModel;
    tvxtest::CloudTestServer *m_server;
    const QString m_resultText;
};

struct Published : tvxtest::PublishedServices
{
    VideoToTextTaskFactory factory;
    VideoToTextViewModel viewModel{&prober, &tasks, &factory};
    tvxtest::CloudTestServer server{QStringLiteral("v2t-cloud")};
    std::unique_ptr<E2eHelper> helper;
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
        Published &p = *g_published;
        p.i18nService.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN"));
        if (!p.server.start())
            qFatal("the loopback cloud server did not start");
        tvxtest::writeConfigOverride({{"cloud/host", p.server.host()},
                                      {"webapi/app_host", "account.invalid"},
                                      {"webapi/ca_file", p.server.caFile()},
                                      {"webapi/product_id", "101"},
                                      {"webapi/credits", kCredits}});
        p.server.setExpectations(QJsonObject{{"x-product", "101"},
                                             {"x-version", "1.0.0.0"},
                                             {"x-credits", kCredits},
                                             {"productinfo", kProductInfo}});
        user_pay::FileProcessService::setUuidSourceForTesting(&fixedDeviceId);
        // The result download goes through Qt's own TLS, which trusts the system's authorities
        // and, here, the loopback server's.
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(ssl.caCertificates() + QSslCertificate::fromPath(p.server.caFile()));
        QSslConfiguration::setDefaultConfiguration(ssl);
        p.helper = std::make_unique<E2eHelper>(&p.viewModel, &p.server,
                                               QStringLiteral("大家好，这是服务器识别出的文字。\n"));
    }
    Published &p = *g_published;
    QQmlContext *context = engine->rootContext();
    app::QmlContextObjects objects = p.contextObjects();
    objects.videoToTextViewModel = &p.viewModel;
    app::publishToQml(context, objects);
    context->setContextProperty(QStringLiteral("v2tHelper"), p.helper.get());
}

void QmlTestSetup::cleanupTestCase()
{
    if (g_published) {
        g_published->viewModel.clearTasks();
        g_published->tasks.shutdown(5000);
        QThreadPool::globalInstance()->waitForDone(tvxtest::scaledMs(10000));
    }
}

#include "e2e_setup.moc"
