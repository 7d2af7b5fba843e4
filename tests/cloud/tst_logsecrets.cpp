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
#include "core/Log.h"
#include "i18n/I18n.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "user_pay/AccountLocalStore.h"
#include "user_pay/AccountManager.h"
#include "user_pay/WebUIAPIService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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
const QString kPassword = QStringLiteral("s3cretpw");
const QString kUserInfo = QStringLiteral("user:") + kPassword;

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

    // One speech-to-text job of the small fixture with the stored account, run to its end.
    int runJob()
    {
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
        if (!tvxtest::waitUntil([&] { return finished.count() > 0; }, 60000))
            return -1;
        return task->status();
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

    // The account's lines: a refresh refused with a message of megabytes and an avatar address
    // that names a user and password are logged cut and masked.
    void accountLines()
    {
        const QString avatar =
            QStringLiteral("http://%1@%2/avatar.png?usertoken=%3").arg(kUserInfo, m_account.host(), kToken);
        const QString message = QStringLiteral("Bob\u202eevil ") + QString(3 << 20, QLatin1Char('m'));
        m_account.setPathRule(
            "/api/v4/memprofile",
            QJsonObject{
                {"body", QString::fromUtf8(QJsonDocument(QJsonObject{{"code", 12345}, {"message", message}})
                                               .toJson(QJsonDocument::Compact))}});
        m_account.setPathRule("/avatar.png", QJsonObject{{"status", 404}});
        user_pay::AccountInfo stored;
        stored.accountId = kPhone;
        stored.token = kToken;
        stored.accountType = 1;
        stored.avatarUrl = avatar;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        int first = 0;
        {
            QMutexLocker lock(&g_logMutex);
            first = g_log.size();
        }
        {
            user_pay::AccountManager manager(
                std::make_shared<user_pay::WebUIAPIService>([] { return kDevice; }), nullptr);
            manager.initialize();
            QVERIFY(manager.isLoggedIn());
        }
        QStringList lines;
        {
            QMutexLocker lock(&g_logMutex);
            lines = g_log.mid(first);
        }
        m_account.setPathRule("/api/v4/memprofile", QJsonObject());
        m_account.setPathRule("/avatar.png", QJsonObject());
        const QString joined = lines.join(QLatin1Char('\n'));
        QVERIFY2(!joined.contains(kPassword) && !joined.contains(kToken), qPrintable(joined.left(2000)));
        QVERIFY2(joined.contains("download failed, url = http://***@" + m_account.host() +
                                 "/avatar.png?usertoken=***"),
                 qPrintable(joined.left(4000)));
        bool refused = false;
        for (const QString &line : qAsConst(lines)) {
            QVERIFY2(line.size() <= 2 * app::kLogExcerptBytes + 512, qPrintable(line.left(200)));
            if (line.contains(QStringLiteral("silent refresh failed:"))) {
                refused = true;
                // The message is the one the user is shown: already without the override.
                QVERIFY2(line.contains(QStringLiteral("failed: Bobevil mmm")), qPrintable(line.left(200)));
                QVERIFY2(line.endsWith(QStringLiteral(" bytes)")), qPrintable(line.right(200)));
            }
        }
        QVERIFY(refused);
    }

    // A job with the stored account: its bodies, answers and addresses are logged masked.
    void cloudJob()
    {
        user_pay::AccountInfo stored;
        stored.accountId = kPhone;
        stored.token = kToken;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        // The result address names a user and password of its own.
        const QString result = QStringLiteral("https://%1@%2%3").arg(kUserInfo, m_cloud.host(), kResultPath);
        m_cloud.addFault(QJsonObject{{"path", "/api/v4/taskdown"},
                                     {"patch", QJsonObject{{"downurl", result + "?usertoken=" + kToken}}}});
        m_cloud.addFault(QJsonObject{{"path", kResultPath}, {"body", "text"}});
        QCOMPARE(runJob(), int(BackgroundTask::Completed));

        const QList<QJsonObject> opened = m_cloud.requests("/api/v4/uploadpointpar");
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().value("json").toObject().value("usertoken").toString(), kToken);
        const QList<QJsonObject> slices = m_cloud.requests("/api/v4/uploadpointfile");
        QVERIFY(!slices.isEmpty());
        const QString taskToken = slices.first().value("query").toObject().value("tasktoken").toString();
        QVERIFY(!taskToken.isEmpty());
        verifyNothingWhole({kPhone, kToken, taskToken, QUrl::toPercentEncoding(taskToken), kPassword});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(capturedLog().contains(QStringLiteral("\"usertoken\":\"***\"")));
        QVERIFY(capturedLog().contains("url=https://***@" + m_cloud.host() + kResultPath));
        QVERIFY(capturedLog().contains("\"account\":\"" + kMaskedPhone));
        QThreadPool::globalInstance()->waitForDone(30000);
    }

    // The state query answered with a 3 MB message that would also start a line of its own and
    // reverse the rest of it: every line stays within the bound and says how long the text was,
    // and the line that reports the failure shows the override and the line break as escapes.
    void longServerMessage()
    {
        m_cloud.reset();
        user_pay::AccountInfo stored;
        stored.accountId = kPhone;
        stored.token = kToken;
        QVERIFY(user_pay::AccountLocalStore().save(stored));
        const QString message = QStringLiteral("Bob\u202eevil\nFAKE ") + QString(3 << 20, QLatin1Char('m'));
        m_cloud.setTaskStates("*", QJsonArray{QJsonObject{{"code", 20000}, {"message", message}},
                                              QJsonObject{{"code", 19000}, {"message", message}}});
        int first = 0;
        {
            QMutexLocker lock(&g_logMutex);
            first = g_log.size();
        }
        QCOMPARE(runJob(), int(BackgroundTask::Failed));
        QThreadPool::globalInstance()->waitForDone(30000);
        QStringList lines;
        {
            QMutexLocker lock(&g_logMutex);
            lines = g_log.mid(first);
        }
        const QString whole = QStringLiteral("\u2026 (%1 bytes)").arg(message.toUtf8().size());
        bool reported = false;
        int cut = 0;
        for (const QString &line : qAsConst(lines)) {
            // An address and a body at most, each within the bound, and the line's head.
            QVERIFY2(line.size() <= 2 * app::kLogExcerptBytes + 512, qPrintable(line.left(200)));
            QVERIFY2(!line.contains(QChar(0x202e)) && !line.contains(QLatin1Char('\n')),
                     qPrintable(line.left(200)));
            cut += line.contains(QStringLiteral(" bytes)")) ? 1 : 0;
            if (line.contains(QStringLiteral("query task failed"))) {
                reported = true;
                QVERIFY2(line.contains(QStringLiteral("err=Bob\\u202eevil\\nFAKE mmm")),
                         qPrintable(line.left(200)));
                QVERIFY2(line.endsWith(whole), qPrintable(line.right(200)));
            }
        }
        QVERIFY(reported);
        QVERIFY(cut >= 4); // two answers, two poll lines, the failure
    }
};

QTEST_GUILESS_MAIN(LogSecretsTest)
#include "tst_logsecrets.moc"
