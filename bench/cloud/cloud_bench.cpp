// The cloud client's sliced upload of 256 MiB over loopback TLS, timed beside the curl program
// posting the same slices to the same server (one process per slice, and one process for all
// slices on a reused connection); then the peak memory of whole creations of 50 MiB and 1 GiB,
// each in a child process of its own.
#include "BenchFigures.h"
#include "CloudTestServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "cloud/FileProcessService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

using user_pay::CreateConvertTaskRequest;
using user_pay::FileProcessService;

namespace {

const qint64 kMiB = 1024 * 1024;
const int kSliceK = 2048;

using cloudbench::median;
using cloudbench::peakKiB;

QString makeFile(const QString &name, qint64 size)
{
    const QString path = tvxtest::scratchPath("bench/" + name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    QByteArray block(int(kMiB), Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += block.size()) {
        for (int i = 0; i < block.size(); i += 4)
            *reinterpret_cast<quint32 *>(block.data() + i) = quint32((written + i) * 2654435761u);
        file.write(block.constData(), std::min<qint64>(block.size(), size - written));
    }
    return path;
}

CreateConvertTaskRequest request(const QString &file)
{
    CreateConvertTaskRequest r;
    r.filePath = file;
    r.taskType = "voice2text";
    r.outExt = "txt";
    r.limitSizeK = 4 * 1024 * 1024;
    r.sliceSizeK = kSliceK;
    r.requestTimeoutMs = 60000;
    return r;
}

// Child mode: one whole creation, then its peak memory above what the process held before.
int memoryChild(const QString &file)
{
    FileProcessService &service = FileProcessService::instance();
    service.initialize();
    const long before = peakKiB();
    const auto result = service.createConvertTask(request(file));
    std::printf("%ld %ld %d\n", before, peakKiB(), result.success ? 1 : 0);
    return result.success ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--memory")
        return memoryChild(QString::fromLocal8Bit(argv[2]));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    tvxtest::CloudTestServer server;
    if (!server.start()) {
        std::fprintf(stderr, "the loopback cloud server did not start\n");
        return 1;
    }
    tvxtest::writeConfigOverride({{"cloud/host", server.host()}, {"webapi/ca_file", server.caFile()}});
    FileProcessService &service = FileProcessService::instance();
    service.initialize();

    const qint64 size = 256 * kMiB;
    const QString big = makeFile("upload-256.bin", size);
    const int slices = int(size / (kSliceK * 1024));
    // The curl program posts the same slices, cut into files beforehand.
    QStringList sliceFiles;
    {
        QFile in(big);
        in.open(QIODevice::ReadOnly);
        for (int i = 0; i < slices; ++i)
            sliceFiles << tvxtest::writeFile(tvxtest::scratchPath(QString("bench/slices/%1").arg(i)),
                                             in.read(kSliceK * 1024));
    }

    std::vector<double> client, curlEach, curlOne;
    for (int run = 0; run < runs; ++run) {
        const CreateConvertTaskRequest r = request(big);
        FileProcessService::UploadPointContext context;
        if (service.requestUploadPoint(r, &context).code != 0) {
            std::fprintf(stderr, "upload point failed\n");
            return 1;
        }
        int uploaded = 0;
        QElapsedTimer t;
        t.start();
        const auto sent = service.uploadFileChunks(r, context, &uploaded);
        client.push_back(t.nsecsElapsed() / 1e9);
        if (sent.code != 0 || uploaded != slices) {
            std::fprintf(stderr, "client upload failed: %s\n", qPrintable(sent.message));
            return 1;
        }

        const QString uploadUrl = service.buildRequestUrl("/api/v4/uploadpointfile");
        auto curlArgs = [&](int i) {
            const QString url = user_pay::buildUploadChunkUrl(uploadUrl, context, i);
            QStringList args{"-s",
                             "-o",
                             "/dev/null",
                             "--cacert",
                             server.caFile(),
                             "-H",
                             "Content-Type: application/octet-stream",
                             "-H",
                             "Expect:"};
            for (const auto &h : service.commonHeaders(url))
                args << "-H" << QString::fromUtf8(h.first + ": " + h.second);
            return args << "--data-binary"
                        << "@" + sliceFiles[i] << url;
        };
        t.restart();
        for (int i = 0; i < slices; ++i) {
            QProcess curl;
            curl.start("curl", curlArgs(i));
            if (!curl.waitForFinished(60000) || curl.exitCode() != 0) {
                std::fprintf(stderr, "curl failed\n");
                return 1;
            }
        }
        curlEach.push_back(t.nsecsElapsed() / 1e9);

        QStringList all;
        for (int i = 0; i < slices; ++i)
            all << (i ? QStringList{"--next"} : QStringList()) << curlArgs(i);
        QProcess curl;
        t.restart();
        curl.start("curl", all);
        if (!curl.waitForFinished(300000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl (one process) failed\n");
            return 1;
        }
        curlOne.push_back(t.nsecsElapsed() / 1e9);
    }
    const double c = median(client), e = median(curlEach), o = median(curlOne);
    const double mib = double(size) / kMiB;
    std::printf("upload of 256 MiB in %d slices of 2 MiB (%d runs, medians)\n", slices, runs);
    std::printf("  cloud client:                      %.2f s (%.0f MiB/s)\n", c, mib / c);
    std::printf("  curl, one process per slice:       %.2f s (%.0f MiB/s)  ratio client/curl %.2f\n", e,
                mib / e, c / e);
    std::printf("  curl, one process, reused conn.:   %.2f s (%.0f MiB/s)  ratio client/curl %.2f\n", o,
                mib / o, c / o);
    for (const QString &f : sliceFiles)
        QFile::remove(f);
    QFile::remove(big);

    // Peak memory of whole creations, each in a fresh process.
    long growth[2] = {0, 0};
    const qint64 sizes[2] = {50 * kMiB, 1024 * kMiB};
    for (int i = 0; i < 2; ++i) {
        const QString file = makeFile(QString("memory-%1.bin").arg(sizes[i]), sizes[i]);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--memory", file});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            std::fprintf(stderr, "memory run of %lld MiB failed\n", sizes[i] / kMiB);
            return 1;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        const long before = fields.value(0).toLong(), peak = fields.value(1).toLong();
        growth[i] = peak - before;
        std::printf("creation of %4lld MiB: peak RSS %ld KiB (%ld KiB above the idle process)\n",
                    sizes[i] / kMiB, peak, growth[i]);
        QFile::remove(file);
    }
    std::printf("difference 1 GiB vs 50 MiB: %ld KiB (one slice is %d KiB)\n", growth[1] - growth[0],
                kSliceK);
    return 0;
}
