// The log of a sign-in and of a whole speech-to-text job, captured line by line: the user's
// token, the task's token and the phone number never appear whole, while the lines that carry
// them are still written.
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"
#include "cloud/video_to_text/VideoToTextTiming.h"
#include "i18n/I18n.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/AccountManager.h"
#include "user_pay/WebUIAPIService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <memory>

namespace {

const QString kPhone = QStringLiteral("13912345678");
const QString kMaskedPhone = QStringLiteral("139****5678");
const QString kToken = QStringLiteral("tok-secret-4711");
const QString kDevice = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString kResultPath = QStringLiteral("/result/converted.txt");

QMutex g_logMutex;
QStringList g_log;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_log << message;
    }
    g_previous(type, context, message);
}

QString capturedLog()
{
    QMutexLocker lock(&g_logMutex);
    return g_log.join(QLatin1Char('\n'));
}

QString deviceId()
{
    return kDevice;
}

} // namespace

class LogSecretsTest : public QObject
{
    Q_OBJECT
    tvxtest::WebApiTestServer m_account;
    tvxtest::CloudTestServer m_cloud;

    void verifyNothingWhole(const QStringList &secrets)
    {
        const QString log = capturedLog();
        for (const QString &secret : secrets)
            QVERIFY2(!log.contains(secret), qPrintable(secret + " in the log"));
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        QVERIFY(m_account.start());
        QVERIFY(m_cloud.start());
        // One bundle trusts both loopback servers, as one CA file serves the account and cloud hosts.
        QFile accountCa(m_account.caFile());
        QFile cloudCa(m_cloud.caFile());
        QVERIFY(accountCa.open(QIODevice::ReadOnly) && cloudCa.open(QIODevice::ReadOnly));
        const QString bundle = tvxtest::writeFile(tvxtest::scratchPath("ca-bundle.pem"),
                                                  accountCa.readAll() + cloudCa.readAll());
        tvxtest::writeConfigOverride({{"webapi/app_host", m_account.host()},
                                      {"webapi/app_host_backup", m_account.host()},
                                      {"cloud/host", m_cloud.host()},
                                      {"webapi/ca_file", bundle},
                                      {"webapi/request_timeout_ms", "3000"},
                                      {"webapi/server_time_timeout_ms", "3000"},
                                      {"user_pay/blocking_call_timeout_ms", "1500"}});
        m_account.clearRules(
            QJsonObject{{"account", QJsonObject{{"valid_tokens", QJsonArray{kToken, "vt-01234567"}}}}});
        user_pay::FileProcessService::setUuidSourceForTesting(&deviceId);
        g_previous = qInstallMessageHandler(&capture);
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previous); }

    // Start-up with a stored phone account (token check and refresh), then a phone bind of a
    // fresh virtual account.
    void signIn()
    {
        user_pay::AccountInfo stored;
        stored.accountId = kPhone;
        stored.token = kToken;
        stored.accountType = 1;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        auto bridge = std::make_shared<user_pay::WebUIAPIService>([] { return kDevice; });
        {
            user_pay::AccountManager manager(bridge, nullptr);
            manager.initialize();
            QVERIFY(tvxtest::waitUntil([&] { return m_account.requests().size() >= 2; }, 8000));
            QCOMPARE(manager.accountId(), kPhone);
        }
        user_pay::AccountLocalStore().clear();
        user_pay::AccountManager manager(bridge, nullptr);
        manager.initialize();
        QVERIFY(tvxtest::waitUntil([&] { return manager.isLoggedIn(); }, 8000));
        manager.setLoginScene(1);
        QSignalSpy bound(&manager, &user_pay::AccountManager::phoneLoginSucceeded);
        for (int attempt = 0; attempt < 50 && bound.isEmpty(); ++attempt) {
            manager.loginByPhoneCode(kPhone, "1234", "");
            if (bound.isEmpty())
                QTest::qWait(100); // the bridge needs the server's clock first
        }
        QCOMPARE(bound.count(), 1);
        verifyNothingWhole({kPhone, kToken});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(capturedLog().contains("local account loaded, accountId = " + kMaskedPhone));
        QVERIFY(capturedLog().contains("phone = " + kMaskedPhone));
    }

    // A job with the stored account: its bodies, answers and addresses are logged masked.
    void cloudJob()
    {
        user_pay::AccountInfo stored;
        stored.accountId = kPhone;
        stored.token = kToken;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        const QString result = QStringLiteral("https://%1%2").arg(m_cloud.host(), kResultPath);
        m_cloud.addFault(QJsonObject{{"path", "/api/v4/taskdown"},
                                     {"patch", QJsonObject{{"downurl", result + "?usertoken=" + kToken}}}});
        m_cloud.addFault(QJsonObject{{"path", kResultPath}, {"body", "text"}});
        tools::VideoToTextTiming t;
        t.creationEaseMs = 100;
        t.creationCheckMs = 5;
        t.animationStepMs = 2;
        t.creationDoneAnimationMs = 5;
        t.pollAnimationMs = 5;
        t.pollSleepMs = 2;
        t.finishedAnimationMs = 5;
        t.downloadCreepMs = 5;
        tools::setVideoToTextTiming(t);
        VideoToTextParams params;
        params.sourcePath = tvxtest::fixtures::smallMp4();
        params.outputDirectory = tvxtest::scratchPath("out/x").section('/', 0, -2);
        params.outputFormat = QStringLiteral("TXT");
        params.recognitionLanguage = QStringLiteral("English");
        std::unique_ptr<VideoToTextTask> task(VideoToTextTaskFactory().createTask(params));
        TaskManager manager;
        QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
        manager.submitTask(task.get());
        QVERIFY(tvxtest::waitUntil([&] { return finished.count() > 0; }, 60000));
        QCOMPARE(task->status(), int(BackgroundTask::Completed));

        const QList<QJsonObject> opened = m_cloud.requests("/api/v4/uploadpointpar");
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().value("json").toObject().value("usertoken").toString(), kToken);
        const QList<QJsonObject> slices = m_cloud.requests("/api/v4/uploadpointfile");
        QVERIFY(!slices.isEmpty());
        const QString taskToken = slices.first().value("query").toObject().value("tasktoken").toString();
        QVERIFY(!taskToken.isEmpty());
        verifyNothingWhole({kPhone, kToken, taskToken, QUrl::toPercentEncoding(taskToken)});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(capturedLog().contains(QStringLiteral("\"usertoken\":\"***\"")));
        QVERIFY(capturedLog().contains("\"account\":\"" + kMaskedPhone));
        QThreadPool::globalInstance()->waitForDone(30000);
    }
};

QTEST_GUILESS_MAIN(LogSecretsTest)
#include "tst_logsecrets.moc"
