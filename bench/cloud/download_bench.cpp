// The speech-to-text job's download of its result over loopback HTTP, timed beside the curl
// program fetching the same answer; then the peak memory of a 200 MiB answer (with and without a
// declared length) and of a 1 GiB answer, each in a child process of its own.
#include "BenchFigures.h"
#include "TestSupport.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "cloud/video_to_text/VideoToTextTaskFactory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const qint64 kMiB = 1024 * 1024;

// Serves GET /<bytes>/<declared> with that many bytes, the length declared when it is 1.
const char kServer[] = R"py(
import http.server, sys
class Answer(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def do_GET(self):
        _, size, declared = self.path.split("/")
        size = int(size)
        self.send_response(200)
        if declared == "1":
            self.send_header("Content-Length", str(size))
        self.end_headers()
        block = b"z" * (1 << 20)
        while size > 0:
            n = min(size, len(block))
            self.wfile.write(block[:n])
            size -= n
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Answer)
print(server.server_address[1], flush=True)
server.serve_forever()
)py";

using cloudbench::median;
using cloudbench::peakKiB;

// Child mode: one download; prints the peak memory before and after, success and seconds.
int downloadChild(const QString &url, const QString &target)
{
    VideoToTextParams params;
    params.sourcePath = target;
    std::unique_ptr<VideoToTextTask> task(VideoToTextTaskFactory().createTask(params));
    const long before = peakKiB();
    QString error;
    QString saved;
    QElapsedTimer t;
    t.start();
    const bool ok = task->downloadResultFile(url, target, 600000, &error, &saved);
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("%ld %ld %d %.3f %lld\n", before, peakKiB(), ok ? 1 : 0, seconds,
                ok ? QFileInfo(saved).size() : 0LL);
    if (ok)
        QFile::remove(saved);
    return 0;
}

struct ChildRun
{
    long growthKiB = -1;
    bool ok = false;
    double seconds = 0;
    qint64 bytes = 0;
};

ChildRun runChild(const QString &url)
{
    ChildRun run;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--download", url, tvxtest::scratchPath("bench/download/result.txt")});
    if (!child.waitForFinished(900000))
        return run;
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    run.growthKiB = f.value(1).toLong() - f.value(0).toLong();
    run.ok = f.value(2) == "1";
    run.seconds = f.value(3).toDouble();
    run.bytes = f.value(4).toLongLong();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--download")
        return downloadChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    QProcess server;
    server.start("python3", {"-c", QString::fromLatin1(kServer)});
    if (!server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the loopback answer server did not start\n");
        return 1;
    }
    const QString base = "http://127.0.0.1:" + QString::fromLatin1(server.readLine().trimmed());
    auto url = [&](qint64 bytes, bool declared) {
        return base + QString("/%1/%2").arg(bytes).arg(declared ? 1 : 0);
    };

    const qint64 size = 200 * kMiB;
    std::vector<double> job, curl;
    for (int run = 0; run < runs; ++run) {
        const ChildRun r = runChild(url(size, true));
        if (!r.ok || r.bytes != size) {
            std::fprintf(stderr, "the job's download failed\n");
            return 1;
        }
        job.push_back(r.seconds);
        const QString target = tvxtest::scratchPath("bench/download/curl.txt");
        QProcess c;
        QElapsedTimer t;
        t.start();
        c.start("curl", {"-s", "-o", target, url(size, true)});
        if (!c.waitForFinished(600000) || c.exitCode() != 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curl.push_back(t.nsecsElapsed() / 1e9);
        QFile::remove(target);
    }
    const double j = median(job), c = median(curl);
    std::printf("download of 200 MiB over loopback HTTP (%d runs, medians)\n", runs);
    std::printf("  video-to-text job: %.2f s (%.0f MiB/s)\n", j, 200 / j);
    std::printf("  curl program:      %.2f s (%.0f MiB/s)  ratio job/curl %.2f\n", c, 200 / c, j / c);

    const struct
    {
        qint64 bytes;
        bool declared;
    } cases[] = {{200 * kMiB, true}, {200 * kMiB, false}, {1024 * kMiB, true}, {1024 * kMiB, false}};
    for (const auto &k : cases) {
        const ChildRun r = runChild(url(k.bytes, k.declared));
        std::printf(
            "answer of %4lld MiB, length %-10s: %s in %.2f s, peak RSS %ld KiB above the idle process\n",
            k.bytes / kMiB, k.declared ? "declared" : "undeclared", r.ok ? "saved" : "refused", r.seconds,
            r.growthKiB);
    }
    server.kill();
    server.waitForFinished(5000);
    return 0;
}
