// Real ffmpeg runs through the job queue: conversions of a generated clip, a compression, and an
// audio file refused by the compressor; results checked with ffprobe.
#include "TestSupport.h"
#include "ffmpeg/FFmpegEnvironment.h"
#include "ffmpeg/FFprobeService.h"
#include "i18n/I18n.h"
#include "tasks/TaskManager.h"
#include "tasks/TaskScheduler.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/format_convert/FormatConvertTaskFactory.h"
#include "tools/video_compress/VideoCompressTask.h"
#include "tools/video_compress/VideoCompressTaskFactory.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

struct Probe
{
    QString formatName;
    QStringList streams; // "video:h264", "audio:aac", ...
    QStringList tracks;  // the same with the language of audio and subtitles: "audio:aac:eng", ...
    double duration = 0.0;
};

Probe probe(const QString &path)
{
    const tvxtest::ProcessResult r =
        tvxtest::runProcess(QStringLiteral("ffprobe"),
                            {"-v", "error", "-show_entries",
                             "format=format_name,duration:stream=codec_type,codec_name:stream_tags=language",
                             "-of", "json", path});
    Probe p;
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    p.formatName = root.value("format").toObject().value("format_name").toString();
    p.duration = root.value("format").toObject().value("duration").toString().toDouble();
    for (const QJsonValue &s : root.value("streams").toArray()) {
        const QString type = s.toObject().value("codec_type").toString();
        const QString stream = type + ":" + s.toObject().value("codec_name").toString();
        const QString language = s.toObject().value("tags").toObject().value("language").toString();
        p.streams << stream;
        p.tracks << (language.isEmpty() || type == "video" ? stream : stream + ":" + language);
    }
    return p;
}

QString freshDir(const QString &name)
{
    const QString dir = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// Runs task through a job queue of its own; false when it has not ended within timeoutMs.
bool runThroughQueue(BackgroundTask *task, int timeoutMs)
{
    TaskManager manager;
    QSignalSpy finished(manager.scheduler(), &TaskScheduler::taskFinished);
    manager.submitTask(task);
    return finished.wait(timeoutMs);
}

} // namespace

class ConvertRealTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
        // No "ffmpeg.exe" in this folder: the programs come from the search path.
        m_environment =
            std::make_unique<FFmpegEnvironment>(tvxtest::scratchPath(QStringLiteral("no-ffmpeg-here")));
        QVERIFY(m_environment->ready());
        m_prober = std::make_unique<FFprobeService>(m_environment.get());
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
        QVERIFY(!tvxtest::fixtures::audioMp3().isEmpty());
    }

    void convert_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("formatName");
        QTest::addColumn<QStringList>("streams");
        QTest::newRow("MKV") << "MKV"
                             << "matroska,webm" << QStringList{"video:h264", "audio:aac"};
        QTest::newRow("MP3") << "MP3"
                             << "mp3" << QStringList{"audio:mp3"};
        QTest::newRow("AVI") << "AVI"
                             << "avi" << QStringList{"video:mpeg4", "audio:mp3"};
    }

    void convert()
    {
        QFETCH(QString, format);
        QFETCH(QString, formatName);
        QFETCH(QStringList, streams);

        const QString outDir = freshDir(QStringLiteral("convert-") + format);
        FormatConvertParams params;
        params.sourcePath = tvxtest::fixtures::smallMp4();
        params.outputDirectory = outDir;
        params.outputFormat = format;
        std::unique_ptr<FormatConvertTask> task(FormatConvertTaskFactory(m_prober.get()).createTask(params));
        QVERIFY(runThroughQueue(task.get(), 120000));
        QCOMPARE(task->errorText(), QString());
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        const QString expectedName = QFileInfo(params.sourcePath).completeBaseName() + "." + format.toLower();
        QCOMPARE(filesIn(outDir), QStringList{expectedName});
        const QString output = outDir + "/" + expectedName;
        QCOMPARE(task->message(),
                 i18n::t("cpp.msg.completed_with_path").replace("%1", QDir::toNativeSeparators(output)));
        const Probe p = probe(output);
        QCOMPARE(p.formatName, formatName);
        QCOMPARE(p.streams, streams);
        QVERIFY2(p.duration > 2.5 && p.duration < 3.6, qPrintable(QString::number(p.duration)));
    }

    void compress()
    {
        const QString base = freshDir(QStringLiteral("compress"));
        const QString source = base + QStringLiteral("/in/clip.mp4");
        QDir().mkpath(base + QStringLiteral("/in"));
        QVERIFY(QFile::copy(tvxtest::fixtures::smallMp4(), source));
        const QString outDir = base + QStringLiteral("/out");
        VideoCompressParams params;
        params.sourcePath = source;
        params.outputDirectory = outDir; // created by the job
        params.compressionMode = QStringLiteral("Speed");
        params.compressionRatio = 50;
        std::unique_ptr<VideoCompressTask> task(VideoCompressTaskFactory(m_prober.get()).createTask(params));
        QVERIFY(runThroughQueue(task.get(), 120000));
        QCOMPARE(task->errorText(), QString());
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        QCOMPARE(filesIn(outDir), QStringList{"clip_compressed.mp4"});
        const QString output = outDir + QStringLiteral("/clip_compressed.mp4");
        QCOMPARE(task->actualOutputSizeBytes(), QFileInfo(output).size());
        QCOMPARE(task->targetSizeText(), VideoCompressTask::formatFileSize(QFileInfo(output).size()));
        QCOMPARE(task->message(), i18n::t("tool.video_compress.task.completed_with_path",
                                          {{"path", QDir::toNativeSeparators(output)}}));
        const Probe p = probe(output);
        QVERIFY(p.formatName.contains(QLatin1String("mp4")));
        QCOMPARE(p.streams, (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(filesIn(base + QStringLiteral("/in")), QStringList{"clip.mp4"});
    }

    // A source whose name is 250 bytes of Chinese text: ffmpeg writes the temporary file and the
    // result under names that fit, and only the result is left.
    void longSourceName_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("tail");
        QTest::newRow("convert") << "convert"
                                 << ".mkv";
        QTest::newRow("compress") << "compress"
                                  << "_compressed.mp4";
    }

    void longSourceName()
    {
        QFETCH(QString, tool);
        QFETCH(QString, tail);
        const QString source = tvxtest::fixtures::longNamedMp4();
        QVERIFY(!source.isEmpty());
        QCOMPARE(QFile::encodeName(QFileInfo(source).fileName()).size(), 250);
        const QString outDir = freshDir(QStringLiteral("long-") + tool);
        const bool compress = tool == QLatin1String("compress");
        const std::unique_ptr<tools::FFmpegOutputTask> task = outputTask(
            compress, source, outDir, compress ? QStringLiteral("Source") : QStringLiteral("MKV"), 50);
        QVERIFY(runThroughQueue(task.get(), 120000));
        QCOMPARE(task->errorText(), QString());
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        const QStringList files = filesIn(outDir);
        QCOMPARE(files.size(), 1);
        const QString problem =
            tvxtest::shortenedNameProblem(files.first(), QFileInfo(source).completeBaseName(), tail);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const Probe p = probe(outDir + QLatin1Char('/') + files.first());
        QCOMPARE(p.streams, (QStringList{"video:h264", "audio:aac"}));
    }

    // Every audio track survives, and the subtitles wherever the container can hold them; what it
    // cannot hold is left out without failing the job.
    void tracksAndSubtitlesKept_data()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("tracks");
        const QStringList mp4{"video:h264", "audio:aac:eng", "audio:aac:chi", "subtitle:mov_text:eng"};
        const QStringList mkv{"video:h264", "audio:aac:eng", "audio:aac:chi", "subtitle:subrip:eng"};
        QTest::newRow("convert to MP4") << false << "MP4" << mp4;
        QTest::newRow("convert to MOV") << false << "MOV" << mp4;
        QTest::newRow("convert to MKV") << false << "MKV" << mkv;
        QTest::newRow("convert to AVI: no subtitles there")
            << false << "AVI" << QStringList{"video:mpeg4", "audio:mp3", "audio:mp3"};
        QTest::newRow("convert to MP3: one track") << false << "MP3" << QStringList{"audio:mp3"};
        QTest::newRow("compress to MP4") << true << "MP4" << mp4;
        QTest::newRow("compress keeps MKV") << true << "Source" << mkv;
    }
    void tracksAndSubtitlesKept()
    {
        QFETCH(bool, compress);
        QFETCH(QString, format);
        QFETCH(QStringList, tracks);
        const QString source = tvxtest::fixtures::mkvWithTracks();
        QVERIFY(!source.isEmpty());
        const QString outDir =
            freshDir(QStringLiteral("tracks-") + QString(QTest::currentDataTag()).replace(' ', '_'));
        const std::unique_ptr<tools::FFmpegOutputTask> task = outputTask(compress, source, outDir, format);
        QVERIFY(runThroughQueue(task.get(), 120000));
        QCOMPARE(task->errorText(), QString());
        QCOMPARE(task->status(), int(BackgroundTask::Completed));
        const QStringList outputs = filesIn(outDir);
        QCOMPARE(outputs.size(), 1);
        QCOMPARE(probe(outDir + "/" + outputs.first()).tracks, tracks);
    }

    // A low-rate 10-bit HEVC clip: x264 at the tool's usual floor (220 + 128 kbit/s) made it
    // bigger and reported success. Now it is either smaller or the task fails saying it cannot be,
    // without an output, and the source stays as it was.
    void compressNeverGrows()
    {
        const QString base = freshDir(QStringLiteral("never-grows"));
        const QString source = base + QStringLiteral("/in/hevc.mp4");
        QDir().mkpath(base + QStringLiteral("/in"));
        QVERIFY(QFile::copy(tvxtest::fixtures::lowRateHevcMp4(), source));
        QFile sourceFile(source);
        QVERIFY(sourceFile.open(QIODevice::ReadOnly));
        const QByteArray sourceBytes = sourceFile.readAll();
        sourceFile.close();
        const QString outDir = base + QStringLiteral("/out");
        VideoCompressParams params;
        params.sourcePath = source;
        params.outputDirectory = outDir;
        std::unique_ptr<VideoCompressTask> task(VideoCompressTaskFactory(m_prober.get()).createTask(params));
        QVERIFY(runThroughQueue(task.get(), 120000));
        const QStringList outputs = filesIn(outDir);
        if (task->status() == BackgroundTask::Completed) {
            QCOMPARE(outputs, QStringList{"hevc_compressed.mp4"});
            const qint64 outputSize = QFileInfo(outDir + QStringLiteral("/hevc_compressed.mp4")).size();
            QVERIFY2(outputSize < sourceBytes.size(),
                     qPrintable(QStringLiteral("%1 from %2 bytes").arg(outputSize).arg(sourceBytes.size())));
        } else {
            QCOMPARE(task->status(), int(BackgroundTask::Failed));
            QCOMPARE(task->errorCode(), QStringLiteral("output_not_smaller"));
            QCOMPARE(task->errorText(), i18n::t("tool.video_compress.error.cannot_shrink"));
            QCOMPARE(outputs, QStringList());
        }
        QVERIFY(sourceFile.open(QIODevice::ReadOnly));
        QVERIFY(sourceFile.readAll() == sourceBytes);
        QCOMPARE(filesIn(base + QStringLiteral("/in")), QStringList{"hevc.mp4"});
    }

    void compressRefusesAudio()
    {
        const QString outDir = freshDir(QStringLiteral("refuse"));
        VideoCompressParams params;
        params.sourcePath = tvxtest::fixtures::audioMp3();
        params.outputDirectory = outDir;
        std::unique_ptr<VideoCompressTask> task(VideoCompressTaskFactory(m_prober.get()).createTask(params));
        QVERIFY(runThroughQueue(task.get(), 60000));
        QCOMPARE(task->status(), int(BackgroundTask::Failed));
        QCOMPARE(task->errorCode(), QStringLiteral("invalid_video_source"));
        QCOMPARE(task->errorText(), i18n::t("tool.video_compress.error.only_video_supported"));
        QCOMPARE(filesIn(outDir), QStringList());
    }

private:
    // A convert job, or a compress job at "Speed" with the given ratio.
    std::unique_ptr<tools::FFmpegOutputTask> outputTask(bool compress, const QString &source,
                                                        const QString &outDir, const QString &format,
                                                        int ratio = 70) const
    {
        if (compress) {
            VideoCompressParams params;
            params.sourcePath = source;
            params.outputDirectory = outDir;
            params.outputFormat = format;
            params.compressionMode = QStringLiteral("Speed");
            params.compressionRatio = ratio;
            return std::unique_ptr<tools::FFmpegOutputTask>(
                VideoCompressTaskFactory(m_prober.get()).createTask(params));
        }
        FormatConvertParams params;
        params.sourcePath = source;
        params.outputDirectory = outDir;
        params.outputFormat = format;
        return std::unique_ptr<tools::FFmpegOutputTask>(
            FormatConvertTaskFactory(m_prober.get()).createTask(params));
    }

    std::unique_ptr<FFmpegEnvironment> m_environment;
    std::unique_ptr<FFprobeService> m_prober;
};

QTEST_GUILESS_MAIN(ConvertRealTest)
#include "tst_convert_real.moc"
