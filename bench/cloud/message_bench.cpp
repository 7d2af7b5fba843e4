// The state query answered with a 3 MB server message, as a job polls it: the time of one poll
// and the bytes of log it writes, with the log lines written to a file as the program's are.
#include "BenchFigures.h"
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

using user_pay::FileProcessService;

namespace {

std::FILE *g_logFile = nullptr;
std::atomic<qint64> g_logBytes{0};

void writeLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    const QByteArray line = message.toUtf8() + '\n';
    g_logBytes += line.size();
    std::fwrite(line.constData(), 1, size_t(line.size()), g_logFile);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    tvxtest::CloudTestServer server;
    if (!server.start()) {
        std::fprintf(stderr, "the loopback cloud server did not start\n");
        return 1;
    }
    tvxtest::writeConfigOverride({{"cloud/host", server.host()}, {"webapi/ca_file", server.caFile()}});
    FileProcessService &service = FileProcessService::instance();
    service.initialize();

    const int messageBytes = 3 << 20;
    QString message(messageBytes, QLatin1Char('m'));
    // A few secret-looking items inside, so the masking has work as it would in a real answer.
    for (int at = 0; at + 40 < messageBytes; at += 64 * 1024)
        message.replace(at, 20, QStringLiteral("&usertoken=tok-4711&"));
    server.setTaskStates("*", QJsonArray{QJsonObject{{"code", 20000}, {"message", message}}});

    g_logFile = std::fopen(qPrintable(tvxtest::scratchPath("bench/message.log")), "w");
    if (!g_logFile) {
        std::fprintf(stderr, "the log file could not be made\n");
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(&writeLog);
    user_pay::QueryTaskStateRequest request;
    request.taskTag = QStringLiteral("T1");
    request.account = QStringLiteral("13912345678");
    request.userToken = QStringLiteral("tok-4711");
    std::vector<double> seconds;
    qint64 logPerPoll = 0;
    bool answered = true;
    for (int run = 0; run < runs; ++run) {
        const qint64 before = g_logBytes;
        QElapsedTimer t;
        t.start();
        const auto result = service.queryTaskState(request);
        seconds.push_back(t.nsecsElapsed() / 1e9);
        logPerPoll = g_logBytes - before;
        answered = answered && result.message.size() >= messageBytes;
    }
    qInstallMessageHandler(previous);
    std::fclose(g_logFile);
    if (!answered) {
        std::fprintf(stderr, "the state query was not answered as scripted\n");
        return 1;
    }
    std::printf("state query answered with a %d-byte message (%d runs, median)\n", messageBytes, runs);
    std::printf("  one poll: %.3f s, log written per poll: %lld bytes\n", cloudbench::median(seconds),
                static_cast<long long>(logPerPoll));
    return 0;
}
