// One signed request over loopback TLS: the web client on a fresh channel, the same transfer
// done directly with libcurl (no 20 ms poll), and the curl program; then the idle CPU cost
// of 15 open channels over 10 s.
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "webapi/WebInterface.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::mutex g_mutex;
std::condition_variable g_answered;
int g_answers = 0;

void onAnswer(void *, int, int, std::string)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_answers;
    g_answered.notify_all();
}

bool waitAnswers(int count)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_answered.wait_for(lock, std::chrono::seconds(15), [&] { return g_answers >= count; });
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

WebInterface *newClient()
{
    auto *client = new WebInterface(nullptr, "dev1", "", "Tavrixo", "1.0.0.0", "zh-cn", "101",
                                    "00112233445566778899aabbccddeeff", "windows");
    client->connect(&onAnswer);
    return client;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 15;
    tvxtest::WebApiTestServer server;
    if (!server.start()) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 1;
    }
    tvxtest::writeConfigOverride({{"webapi/app_host", server.host()}, {"webapi/ca_file", server.caFile()}});
    const std::string url = "https://" + server.host().toStdString() + "/api/v4/checktoken";

    // The host probe runs once per process; keep it out of the measured requests.
    {
        WebInterface *warm = newClient();
        warm->V4CheckToken("86-138", "tok", 0);
        waitAnswers(1);
        delete warm;
    }

    std::vector<double> client, reused, direct, program;
    std::string body;
    for (int i = 0; i < runs; ++i) {
        // The web client on a fresh channel: new thread, new TLS connection, as for a call
        // type's first request.
        WebInterface *c = newClient();
        const int before = g_answers;
        QElapsedTimer t;
        t.start();
        c->V4CheckToken("86-138", "tok", i);
        waitAnswers(before + 1);
        client.push_back(t.nsecsElapsed() / 1e6);
        body = c->bodyBuffer(webapi::calltype::V4CheckToken);
        // A second request on the same channel reuses its connection.
        t.restart();
        c->V4CheckToken("86-138", "tok", i);
        waitAnswers(before + 2);
        reused.push_back(t.nsecsElapsed() / 1e6);
        delete c;

        // The same transfer with libcurl alone, on a fresh handle.
        CURL *easy = curl_easy_init();
        curl_slist *headers = curl_slist_append(nullptr, "Content-Type:application/json");
        std::string sink;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_CAINFO, server.caFile().toLocal8Bit().constData());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &curlhttp::response);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
        t.restart();
        curl_easy_perform(easy);
        direct.push_back(t.nsecsElapsed() / 1e6);
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);

        // The curl program making the same request.
        QProcess curl;
        t.restart();
        curl.start("curl", {"-s", "-o", "/dev/null", "--cacert", server.caFile(), "-H",
                            "Content-Type:application/json", "--data-binary", QString::fromStdString(body),
                            QString::fromStdString(url)});
        if (!curl.waitForFinished(15000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        program.push_back(t.nsecsElapsed() / 1e6);
    }
    const double mClient = median(client), mDirect = median(direct), mProgram = median(program);
    std::printf("signed request, fresh channel (%d runs): %.1f ms | curl program %.1f ms | ratio %.2f\n",
                runs, mClient, mProgram, mClient / mProgram);
    std::printf("signed request, channel's connection reused: %.1f ms\n", median(reused));
    std::printf("same transfer with libcurl directly: %.1f ms; the 20 ms poll adds %.1f ms\n", mDirect,
                mClient - mDirect);

    // Idle cost: 15 channels, each with its worker thread, doing nothing for 10 s.
    namespace calltype = webapi::calltype;
    const int callTypes[] = {
        calltype::V4GetImgCheckCode,  calltype::V4GetPhoneCheckCode,   calltype::V4PhoneCodeLogin,
        calltype::V4Logout,           calltype::V4WeChatLogin,         calltype::V4GetLoginState,
        calltype::V4CheckToken,       calltype::V4GetUserInfo,         calltype::V4QQlogin,
        calltype::SafePhoneCodeLogin, calltype::SafeGetPhoneCheckCode, calltype::VirtualactRegister,
        calltype::VirtualactBind,     calltype::BindWeChatQQ,          calltype::V4GetServerTime};
    WebInterface *idle = newClient();
    const int before = g_answers;
    idle->V4GetImgCheckCode(120, 40, 4, 18, 0);
    idle->V4GetPhoneCheckCode("86-138", 1, "", "1", "", "", 0);
    idle->V4PhoneCodeLogin("86-138", 1, "1", "", 0);
    idle->V4Logout("86-138", "tok", 0);
    idle->V4WeChatLogin(0);
    idle->V4GetLoginState("tag", 0);
    idle->V4CheckToken("86-138", "tok", 0);
    idle->V4GetUserInfo("86-138", 1, "tok", 0);
    idle->V4QQlogin(0);
    idle->SafePhoneCodeLogin("86-138", "1", 0);
    idle->SafeGetPhoneCheckCode("86-138", "1", "", "", 0);
    idle->VirtualactRegister("", 0, 0);
    idle->VirtualactBind("86-138", "tok", "1", "", 0);
    idle->BindWeChatQQ("open", "tok", 2, 0);
    idle->V4GetServerTime(0);
    waitAnswers(before + int(sizeof callTypes / sizeof callTypes[0]));
    const double cpuBefore = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double idleCpu = cpuSeconds() - cpuBefore;
    std::printf("idle CPU of 15 open channels over 10 s: %.3f s (%.1f ms per channel)\n", idleCpu,
                idleCpu * 1000 / 15);
    delete idle;
    return 0;
}
