// Pure rules of the convert and compress jobs: names, ffmpeg arguments, bit-rate plan, size texts,
// option maps and the progress reader.
#include "TestSupport.h"
#include "i18n/I18n.h"
#include "tools/common/FFmpegProgressParser.h"
#include "tools/common/OutputNaming.h"
#include "tools/common/StreamSelection.h"
#include "tools/format_convert/FormatConvertTask.h"
#include "tools/video_compress/VideoCompressTask.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

const QString kTaskId = QStringLiteral("T");

QString freshDir(const QString &name)
{
    const QString dir = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

// Streams from "type:codec" texts in file order; a third part "default" or "cover" sets that flag.
QVector<ffmpeg::StreamInfo> streamList(const QStringList &texts)
{
    QVector<ffmpeg::StreamInfo> streams;
    for (const QString &text : texts) {
        const QStringList parts = text.split(QLatin1Char(':'));
        ffmpeg::StreamInfo stream;
        stream.index = streams.size();
        stream.codecType = parts.value(0);
        stream.codecName = parts.value(1);
        stream.isDefault = parts.value(2) == QLatin1String("default");
        stream.attachedPicture = parts.value(2) == QLatin1String("cover");
        streams.append(stream);
    }
    return streams;
}

QString sparseFile(const QString &path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
        return QString();
    return path;
}

} // namespace

class ConvertRulesTest : public QObject
{
    Q_OBJECT
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void outputNames_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");

        QTest::newRow("convert: two collisions")
            << "convert"
            << "in/clip.mp4"
            << "MKV" << QStringList{"clip.mkv", "clip(1).mkv"} << "clip(2).mkv";
        QTest::newRow("convert: free name") << "convert"
                                            << "in/clip.mp4"
                                            << " mkv " << QStringList{} << "clip.mkv";
        QTest::newRow("convert: no base name") << "convert"
                                               << "in/.mp4"
                                               << "MKV" << QStringList{} << "converted_file.mkv";
        QTest::newRow("convert: never the source") << "convert"
                                                   << "a.mp4"
                                                   << "MP4" << QStringList{} << "a(1).mp4";
        QTest::newRow("convert: counter in the name") << "convert"
                                                      << "a(1).mp4"
                                                      << "MP4" << QStringList{} << "a(1)(1).mp4";
        QTest::newRow("convert: dots in the base") << "convert"
                                                   << "in/a.b.avi"
                                                   << "MKV" << QStringList{} << "a.b.mkv";
        QTest::newRow("convert: a folder takes the name")
            << "convert"
            << "in/clip.mp4"
            << "MKV" << QStringList{"clip.mkv/"} << "clip(1).mkv";
        QTest::newRow("compress: source avi") << "compress"
                                              << "in/clip.avi"
                                              << "Source" << QStringList{} << "clip_compressed.mp4";
        QTest::newRow("compress: source MOV lowered") << "compress"
                                                      << "in/clip.MOV"
                                                      << "source" << QStringList{} << "clip_compressed.mov";
        QTest::newRow("compress: MKV for any source") << "compress"
                                                      << "in/clip.avi"
                                                      << "MKV" << QStringList{} << "clip_compressed.mkv";
        QTest::newRow("compress: no base name") << "compress"
                                                << "in/.mp4"
                                                << "Source" << QStringList{} << "compressed_video.mp4";
        QTest::newRow("compress: collisions")
            << "compress"
            << "in/clip.mp4"
            << "Source" << QStringList{"clip_compressed.mp4", "clip_compressed(1).mp4"}
            << "clip_compressed(2).mp4";
    }

    void outputNames()
    {
        QFETCH(QString, tool);
        QFETCH(QString, sourceName);
        QFETCH(QString, format);
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);

        const QString dir = freshDir(QStringLiteral("names"));
        const QString source = tvxtest::writeFile(dir + QLatin1Char('/') + sourceName, "src");
        for (const QString &name : existing) {
            if (name.endsWith(QLatin1Char('/')))
                QDir().mkpath(dir + QLatin1Char('/') + name);
            else
                tvxtest::writeFile(dir + QLatin1Char('/') + name, "taken");
        }
        QString path;
        if (tool == QLatin1String("convert")) {
            FormatConvertParams p;
            p.sourcePath = source;
            p.outputDirectory = dir;
            p.outputFormat = format;
            path = FormatConvertTask(kTaskId, p, nullptr).buildOutputFilePath();
        } else {
            VideoCompressParams p;
            p.sourcePath = source;
            p.outputDirectory = dir;
            p.outputFormat = format;
            path = VideoCompressTask(kTaskId, p, nullptr).buildOutputFilePath();
        }
        QCOMPARE(path, dir + QLatin1Char('/') + expected);
    }

    // Sources named as long as a file name may be: every output and temporary name still fits
    // NAME_MAX, the base is cut between characters, and what follows it is kept whole.
    void longNamesFit_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("tail");
        const QString cjk250 = tvxtest::longCjkFileName(250, QStringLiteral("mp4"));
        const QString cjk255 = tvxtest::longCjkFileName(255, QStringLiteral("mp4"));
        // Four bytes a character: a cut inside one would leave a broken name.
        QString astral;
        for (int i = 0; i < 62; ++i)
            astral += QString::fromUcs4(U"\U0001F3AC");
        astral += QStringLiteral(".mp4");
        QTest::newRow("convert, 250 bytes") << "convert" << cjk250 << "MKV" << QStringList{} << ".mkv";
        QTest::newRow("convert, longer extension")
            << "convert" << cjk255 << "WEBM" << QStringList{} << ".webm";
        QTest::newRow("convert, name taken")
            << "convert" << cjk255 << "MKV" << QStringList{QStringLiteral("*.mkv")} << "(1).mkv";
        QTest::newRow("compress, 250 bytes")
            << "compress" << cjk250 << "Source" << QStringList{} << "_compressed.mp4";
        QTest::newRow("compress, name taken") << "compress" << cjk250 << "Source"
                                              << QStringList{QStringLiteral("*.mp4")} << "_compressed(1).mp4";
        QTest::newRow("convert, characters outside the basic plane")
            << "convert" << astral << "MKV" << QStringList{} << ".mkv";
    }

    void longNamesFit()
    {
        QFETCH(QString, tool);
        QFETCH(QString, sourceName);
        QFETCH(QString, format);
        QFETCH(QStringList, existing);
        QFETCH(QString, tail);

        const QString dir = freshDir(QStringLiteral("longnames"));
        const QString source = tvxtest::writeFile(dir + QLatin1Char('/') + sourceName, "src");
        const QString base = QFileInfo(source).completeBaseName();
        const QString id = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        const auto outputPath = [&] {
            if (tool == QLatin1String("convert")) {
                FormatConvertParams p;
                p.sourcePath = source;
                p.outputDirectory = dir;
                p.outputFormat = format;
                return FormatConvertTask(id, p, nullptr).buildOutputFilePath();
            }
            VideoCompressParams p;
            p.sourcePath = source;
            p.outputDirectory = dir;
            p.outputFormat = format;
            return VideoCompressTask(id, p, nullptr).buildOutputFilePath();
        };
        // "*" stands for the name the tool chooses first: it is taken before the second look.
        for (const QString &name : existing) {
            const QString first = QFileInfo(outputPath()).completeBaseName();
            tvxtest::writeFile(dir + QLatin1Char('/') + QString(name).replace(QLatin1Char('*'), first),
                               "taken");
        }

        const QString output = outputPath();
        const QString temporary = tools::temporaryOutputFilePath(output, id);
        QCOMPARE(QFileInfo(output).absolutePath(), dir);
        QCOMPARE(QFileInfo(temporary).absolutePath(), dir);
        const QString problem = tvxtest::shortenedNameProblem(output, base, tail);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QString temporaryTail =
            QStringLiteral(".__tvx_tmp__.") + id + QStringLiteral(".part.") + QFileInfo(output).suffix();
        const QString temporaryProblem = tvxtest::shortenedNameProblem(temporary, base, temporaryTail);
        QVERIFY2(temporaryProblem.isEmpty(), qPrintable(temporaryProblem));

        // The name can really be made, and ffmpeg's temporary beside it too.
        QVERIFY2(tvxtest::writeFile(output, "out") == output && QFile::exists(output), qPrintable(output));
        QFile temporaryFile(temporary);
        QVERIFY2(temporaryFile.open(QIODevice::WriteOnly), qPrintable(temporaryFile.errorString()));
    }

    void emptyFolderOrFormatGiveNoName()
    {
        FormatConvertParams p;
        p.sourcePath = QStringLiteral("/in/a.mp4");
        p.outputDirectory = QStringLiteral("  ");
        QVERIFY(FormatConvertTask(kTaskId, p, nullptr).buildOutputFilePath().isEmpty());
        p.outputDirectory = tvxtest::scratchDir();
        p.outputFormat = QStringLiteral(" ");
        QVERIFY(FormatConvertTask(kTaskId, p, nullptr).buildOutputFilePath().isEmpty());
    }

    void temporaryNames_data()
    {
        QTest::addColumn<QString>("finalPath");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/out/clip(2).mkv"
                               << "/out/clip(2).__tvx_tmp__.T.part.mkv";
        // Complete base name "a.b" and complete suffix "b.mkv", as QFileInfo reads them.
        QTest::newRow("several dots") << "/out/a.b.mkv"
                                      << "/out/a.b.__tvx_tmp__.T.part.mkv";
        QTest::newRow("no suffix") << "/out/clip"
                                   << "/out/clip.__tvx_tmp__.T.part";
        QTest::newRow("empty") << ""
                               << "";
    }

    void temporaryNames()
    {
        QFETCH(QString, finalPath);
        QFETCH(QString, expected);
        QCOMPARE(tools::temporaryOutputFilePath(finalPath, kTaskId), expected);
        QCOMPARE(FormatConvertTask(kTaskId, FormatConvertParams(), nullptr)
                     .buildTemporaryOutputFilePath(finalPath),
                 expected);
        QCOMPARE(VideoCompressTask(kTaskId, VideoCompressParams(), nullptr)
                     .buildTemporaryOutputFilePath(finalPath),
                 expected);
    }

    // The finished file takes a free name and never replaces one that appeared meanwhile; a
    // failure that no fresh name can mend ends the attempts.
    void renameToFreeName()
    {
        const QString dir = tvxtest::scratchPath(QStringLiteral("commit"));
        QVERIFY(QDir().mkpath(dir));
        const QString temporary = dir + QStringLiteral("/a.part.mkv");
        const QString first = dir + QStringLiteral("/a.mkv");
        const QString second = dir + QStringLiteral("/a(1).mkv");
        tvxtest::writeFile(temporary, "new");
        tvxtest::writeFile(first, "someone else's");
        QStringList asked;
        const auto names = [&](const QString &last) {
            asked << last;
            return last.isEmpty() ? first : second;
        };
        QCOMPARE(tools::renameToFreeName(temporary, names), second);
        QCOMPARE(asked, (QStringList{QString(), first}));
        QCOMPARE(readAll(first), QByteArray("someone else's"));
        QCOMPARE(readAll(second), QByteArray("new"));

        // No temporary file: nothing to retry. The same taken name again: no endless loop.
        int calls = 0;
        QVERIFY(tools::renameToFreeName(temporary, [&](const QString &) {
                    ++calls;
                    return dir + QStringLiteral("/b.mkv");
                }).isEmpty());
        QCOMPARE(calls, 1);
        tvxtest::writeFile(temporary, "again");
        calls = 0;
        QVERIFY(tools::renameToFreeName(temporary, [&](const QString &) {
                    ++calls;
                    return first;
                }).isEmpty());
        QCOMPARE(calls, 2);
        QCOMPARE(readAll(temporary), QByteArray("again"));
    }

    void outputFolder()
    {
        const QString empty = i18n::t(QStringLiteral("cpp.msg.output_directory_empty"));
        FormatConvertParams p;
        QString error;
        p.outputDirectory = QStringLiteral(" ");
        QVERIFY(!FormatConvertTask(kTaskId, p, nullptr).ensureOutputDirectoryReady(&error));
        QCOMPARE(error, empty);

        p.outputDirectory =
            tvxtest::scratchPath(QStringLiteral("made/deep/x")).section(QLatin1Char('/'), 0, -2) +
            QStringLiteral("/new");
        QVERIFY(FormatConvertTask(kTaskId, p, nullptr).ensureOutputDirectoryReady(&error));
        QVERIFY(QFileInfo(p.outputDirectory).isDir());

        // A regular file where a parent folder should be (permissions do not stop root).
        const QString blocker = tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("blocker")), "x");
        VideoCompressParams c;
        c.outputDirectory = blocker + QStringLiteral("/sub");
        error.clear();
        QVERIFY(!VideoCompressTask(kTaskId, c, nullptr).ensureOutputDirectoryReady(&error));
        QCOMPARE(error, i18n::t(QStringLiteral("tool.common.error.output_dir_create_failed")));
    }

    void convertArguments_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("videoCodec");
        QTest::addColumn<QString>("frameRate");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QString>("videoBitrate");
        QTest::addColumn<QString>("audioCodec");
        QTest::addColumn<QString>("audioBitrate");
        QTest::addColumn<QStringList>("middle");

        const QString A = QStringLiteral("Auto");
        QTest::newRow("MP4 auto") << "MP4" << A << A << A << A << A << A
                                  << QStringList{"-c:v", "libx264", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("MKV auto") << "MKV" << A << A << A << A << A << A
                                  << QStringList{"-c:v", "libx264", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("MP3 audio only")
            << "MP3"
            << "H.265"
            << "30"
            << "1280x720"
            << "2400" << A << A << QStringList{"-vn", "-c:a", "libmp3lame", "-b:a", "192k"};
        QTest::newRow("WAV") << "WAV" << A << A << A << A << A << A
                             << QStringList{"-vn", "-c:a", "pcm_s16le"};
        QTest::newRow("FLAC with a bit rate")
            << " flac " << A << A << A << A << A << "320" << QStringList{"-vn", "-c:a", "flac"};
        QTest::newRow("AAC") << "AAC" << A << A << A << A << A << A
                             << QStringList{"-vn", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("AVI auto") << "AVI" << A << A << A << A << A << A
                                  << QStringList{"-c:v", "mpeg4", "-c:a", "libmp3lame", "-b:a", "192k"};
        QTest::newRow("copy drops the video bit rate")
            << "MP4"
            << "Copy" << A << A << "2400" << A << A
            << QStringList{"-c:v", "copy", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("H.264 with a bit rate")
            << "MOV"
            << "H.264" << A << A << "2400" << A << A
            << QStringList{"-c:v", "libx264", "-b:v", "2400k", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("rate and scale, even with copy")
            << "MKV"
            << "Copy"
            << " 29.97 "
            << "1920x1080" << A << A << A
            << QStringList{"-c:v", "copy", "-r",   "29.97", "-vf", "scale=1920x1080",
                           "-c:a", "aac",  "-b:a", "192k"};
        QTest::newRow("H.265, VP9-like pass-through, units kept")
            << "MKV"
            << "libfoo" << A << A << "3M"
            << "MP3"
            << "256" << QStringList{"-c:v", "libfoo", "-b:v", "3M", "-c:a", "libmp3lame", "-b:a", "256k"};
        QTest::newRow("H.265 and zero bit rate kept as text")
            << "MKV"
            << "H.265"
            << ""
            << " "
            << "0" << A << A << QStringList{"-c:v", "libx265", "-b:v", "0", "-c:a", "aac", "-b:a", "192k"};
        QTest::newRow("VP9, PCM never gets a bit rate")
            << "MKV"
            << "VP9" << A << A << A << "PCM"
            << "192" << QStringList{"-c:v", "libvpx-vp9", "-c:a", "pcm_s16le"};
        QTest::newRow("MPEG-4, audio copy")
            << "AVI"
            << "MPEG-4" << A << A << A << "Copy" << A << QStringList{"-c:v", "mpeg4", "-c:a", "copy"};
        QTest::newRow("FLAC codec in MKV")
            << "MKV" << A << A << A << A << "FLAC" << A << QStringList{"-c:v", "libx264", "-c:a", "flac"};
        QTest::newRow("empty audio bit rate") << "MP4" << A << A << A << A << "AAC"
                                              << " " << QStringList{"-c:v", "libx264", "-c:a", "aac"};
    }

    void convertArguments()
    {
        QFETCH(QString, format);
        QFETCH(QString, videoCodec);
        QFETCH(QString, frameRate);
        QFETCH(QString, resolution);
        QFETCH(QString, videoBitrate);
        QFETCH(QString, audioCodec);
        QFETCH(QString, audioBitrate);
        QFETCH(QStringList, middle);

        FormatConvertParams p;
        p.sourcePath = QStringLiteral("/in/a.avi");
        p.outputFormat = format;
        p.videoCodec = videoCodec;
        p.frameRate = frameRate;
        p.resolution = resolution;
        p.videoBitrate = videoBitrate;
        p.audioCodec = audioCodec;
        p.audioBitrate = audioBitrate;
        const QString temporary = QStringLiteral("/out/a.__tvx_tmp__.T.part.mp4");
        const QStringList expected = QStringList{"-nostdin",  "-hide_banner", "-y",     "-i",
                                                 "/in/a.avi", "-progress",    "pipe:1", "-nostats"} +
                                     middle + QStringList{temporary};
        QCOMPARE(FormatConvertTask::buildFFmpegArguments(p, temporary), expected);
    }

    // What each container keeps of a source's streams; the rest is named in the log, never a failure.
    void streamSelection_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("streams");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<int>>("leftOut");
        const QStringList film{"video:h264",      "audio:aac",    "audio:ac3:default",
                               "subtitle:subrip", "subtitle:ass", "subtitle:hdmv_pgs_subtitle",
                               "data:bin_data"};
        QTest::newRow("mp4: text subtitles as mov_text")
            << "mp4" << film
            << QStringList{"-map", "0:0",    "-map",     "0:1",  "-map", "0:2",    "-map",
                           "0:3",  "-c:s:0", "mov_text", "-map", "0:4",  "-c:s:1", "mov_text"}
            << QList<int>{5, 6};
        QTest::newRow("mkv: subtitles as they are")
            << "MKV" << film
            << QStringList{"-map", "0:0",  "-map", "0:1",    "-map", "0:2",  "-map", "0:3",    "-c:s:0",
                           "copy", "-map", "0:4",  "-c:s:1", "copy", "-map", "0:5",  "-c:s:2", "copy"}
            << QList<int>{6};
        QTest::newRow("mkv: mov_text becomes srt")
            << "mkv" << QStringList{"video:h264", "subtitle:mov_text"}
            << QStringList{"-map", "0:0", "-map", "0:1", "-c:s:0", "srt"} << QList<int>{};
        QTest::newRow("avi: no subtitles")
            << "avi" << film << QStringList{"-map", "0:0", "-map", "0:1", "-map", "0:2"}
            << QList<int>{3, 4, 5, 6};
        QTest::newRow("mp3: the default audio track only")
            << "mp3" << film << QStringList{"-map", "0:2"} << QList<int>{0, 1, 3, 4, 5, 6};
        QTest::newRow("wav without a default: the first")
            << "wav" << QStringList{"audio:aac", "audio:aac"} << QStringList{"-map", "0:0"} << QList<int>{1};
        QTest::newRow("a cover gives way to the moving picture")
            << "mov" << QStringList{"video:mjpeg:cover", "video:h264", "audio:aac"}
            << QStringList{"-map", "0:1", "-map", "0:2"} << QList<int>{0};
        QTest::newRow("a cover alone is kept") << "mp4" << QStringList{"audio:mp3", "video:mjpeg:cover"}
                                               << QStringList{"-map", "0:0", "-map", "0:1"} << QList<int>{};
        QTest::newRow("streams unknown: ffmpeg chooses")
            << "mp4" << QStringList{} << QStringList{} << QList<int>{};
    }
    void streamSelection()
    {
        QFETCH(QString, extension);
        QFETCH(QStringList, streams);
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, leftOut);
        const tools::StreamSelection selection = tools::selectStreams(extension, streamList(streams));
        QCOMPARE(selection.arguments, arguments);
        QCOMPARE(selection.leftOut.size(), leftOut.size());
        for (int i = 0; i < leftOut.size(); ++i)
            QVERIFY2(selection.leftOut.at(i).startsWith(QStringLiteral("stream %1 (").arg(leftOut.at(i))),
                     qPrintable(selection.leftOut.at(i)));
    }

    void compressPlan_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("ratio");
        QTest::addColumn<qint64>("sizeBytes");
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("crf");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QStringList>("rateArgs");
        QTest::addColumn<bool>("fastDecode");

        // Six million bytes over 60 s is 800 kbit/s.
        QTest::newRow("balanced 70") << "Balanced" << 70 << qint64(6000000) << qint64(60) << "medium" << 25
                                     << "128k" << QStringList{"432k", "496k", "864k"} << false;
        QTest::newRow("speed 70") << "Speed" << 70 << qint64(6000000) << qint64(60) << "veryfast" << 30
                                  << "96k" << QStringList{"385k", "442k", "770k"} << true;
        QTest::newRow("quality 70") << "Quality" << 70 << qint64(6000000) << qint64(60) << "slow" << 22
                                    << "160k" << QStringList{"467k", "537k", "934k"} << false;
        // 500000 bytes over 15 s is 266 kbit/s, 138 of them left for the picture beside 128 for
        // the sound: the floor would exceed the source's own picture rate, so that rate holds.
        QTest::newRow("floor held under the source's rate")
            << "Balanced" << 70 << qint64(500000) << qint64(15) << "medium" << 25 << "128k"
            << QStringList{"138k", "138k", "276k"} << false;
        // 65250 bytes in 1 s at 50 % is exactly 261 kbit/s: above the threshold, below the floor.
        QTest::newRow("floor: total 261") << "Balanced" << 50 << qint64(65250) << qint64(1) << "medium" << 25
                                          << "128k" << QStringList{"220k", "252k", "440k"} << false;
        // The ceiling stops at the 672 kbit/s the source's picture takes beside 128 for the sound.
        QTest::newRow("ratio 150 as 100") << "Balanced" << 150 << qint64(6000000) << qint64(60) << "medium"
                                          << 25 << "128k" << QStringList{"656k", "672k", "1312k"} << false;
        QTest::newRow("ratio 10 as 20") << "Balanced" << 10 << qint64(60000000) << qint64(60) << "medium"
                                        << 25 << "128k" << QStringList{"1472k", "1692k", "2944k"} << false;
        QTest::newRow("'speed ' with a blank")
            << "speed " << 70 << qint64(6000000) << qint64(60) << "veryfast" << 30 << "96k"
            << QStringList{"385k", "442k", "770k"} << true;
        QTest::newRow("unknown mode is balanced")
            << "Fast" << 70 << qint64(6000000) << qint64(60) << "medium" << 25 << "128k"
            << QStringList{"432k", "496k", "864k"} << false;
        QTest::newRow("duration 0 divides by 1 s")
            << "Balanced" << 70 << qint64(6000000) << qint64(0) << "medium" << 25 << "128k"
            << QStringList{"33472k", "38492k", "66944k"} << false;
    }

    void compressPlan()
    {
        QFETCH(QString, mode);
        QFETCH(int, ratio);
        QFETCH(qint64, sizeBytes);
        QFETCH(qint64, seconds);
        QFETCH(QString, preset);
        QFETCH(int, crf);
        QFETCH(QString, audio);
        QFETCH(QStringList, rateArgs);
        QFETCH(bool, fastDecode);

        const QString source = sparseFile(tvxtest::scratchPath(QStringLiteral("plan/clip.mkv")), sizeBytes);
        QVERIFY(!source.isEmpty());
        VideoCompressParams p;
        p.sourcePath = source;
        p.compressionMode = mode;
        p.compressionRatio = ratio;
        FFprobeService::MediaInfo info;
        info.durationSeconds = seconds;
        info.width = 320;
        info.height = 240;
        const VideoCompressTask task(kTaskId, p, nullptr);
        const VideoCompressTask::CompressionPlan plan = task.buildCompressionPlan(info);
        QCOMPARE(plan.extension, QStringLiteral("mkv"));
        QCOMPARE(plan.videoCodec, QStringLiteral("libx264"));
        QCOMPARE(plan.audioCodec, QStringLiteral("aac"));
        QCOMPARE(plan.preset, preset);
        QCOMPARE(plan.crf, crf);
        QCOMPARE(plan.audioBitrate, audio);
        QCOMPARE(QStringLiteral("%1k").arg(plan.videoBitrateKbps), rateArgs.at(0));

        const QString temporary = QStringLiteral("/out/clip_compressed.__tvx_tmp__.T.part.mkv");
        QStringList expected{
            "-nostdin",  "-hide_banner",       "-y",   "-i",           source,     "-progress",
            "pipe:1",    "-nostats",           "-c:v", "libx264",      "-preset",  preset,
            "-crf",      QString::number(crf), "-b:v", rateArgs.at(0), "-maxrate", rateArgs.at(1),
            "-bufsize",  rateArgs.at(2),       "-c:a", "aac",          "-b:a",     audio,
            "-movflags", "+faststart"};
        if (fastDecode)
            expected << "-tune"
                     << "fastdecode";
        expected << temporary;
        QCOMPARE(VideoCompressTask::buildFFmpegArguments(p, plan, temporary), expected);
    }

    // The rates ffprobe states per stream bound the plan: no audio track above its own rate, the
    // picture never above the source's picture, and no plan at all when nothing would be left.
    void compressPlanBelowSourceRates_data()
    {
        QTest::addColumn<qint64>("sizeBytes");
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<qint64>("videoRate"); // bit/s; 0 when unstated
        QTest::addColumn<QList<qint64>>("audioRates");
        QTest::addColumn<QStringList>("rateArgs");
        QTest::addColumn<QStringList>("audioArgs");
        QTest::addColumn<bool>("belowSource");
        // 10-bit HEVC at 143 kbit/s with 48 kbit/s AAC: 220 + 128 would make it bigger.
        QTest::newRow("low-rate HEVC")
            << qint64(102941) << qint64(4) << qint64(142956) << QList<qint64>{48430}
            << QStringList{"142k", "142k", "284k"} << QStringList{"-b:a", "48k"} << true;
        QTest::newRow("one track below the mode's rate")
            << qint64(6000000) << qint64(60) << qint64(0) << QList<qint64>{192000, 32000}
            << QStringList{"432k", "496k", "864k"} << QStringList{"-b:a", "128k", "-b:a:1", "32k"} << true;
        QTest::newRow("stated picture rate below the budget")
            << qint64(6000000) << qint64(60) << qint64(300000) << QList<qint64>{128000}
            << QStringList{"300k", "300k", "600k"} << QStringList{"-b:a", "128k"} << true;
        QTest::newRow("unstated rates of a plentiful source")
            << qint64(6000000) << qint64(60) << qint64(0) << QList<qint64>{0}
            << QStringList{"432k", "496k", "864k"} << QStringList{"-b:a", "128k"} << true;
        // 100000 bytes over 60 s is 13 kbit/s: the sound alone takes it all.
        QTest::newRow("no room left") << qint64(100000) << qint64(60) << qint64(0) << QList<qint64>{}
                                      << QStringList{} << QStringList{"-b:a", "13k"} << false;
    }
    void compressPlanBelowSourceRates()
    {
        QFETCH(qint64, sizeBytes);
        QFETCH(qint64, seconds);
        QFETCH(qint64, videoRate);
        QFETCH(QList<qint64>, audioRates);
        QFETCH(QStringList, rateArgs);
        QFETCH(QStringList, audioArgs);
        QFETCH(bool, belowSource);
        FFprobeService::MediaInfo info;
        info.durationSeconds = seconds;
        info.width = 320;
        info.height = 240;
        if (videoRate > 0 || !audioRates.isEmpty()) {
            ffmpeg::StreamInfo video;
            video.index = 0;
            video.codecType = QStringLiteral("video");
            video.codecName = QStringLiteral("hevc");
            video.bitRate = videoRate;
            info.streams << video;
            for (const qint64 rate : audioRates) {
                ffmpeg::StreamInfo audio;
                audio.index = info.streams.size();
                audio.codecType = QStringLiteral("audio");
                audio.codecName = QStringLiteral("aac");
                audio.bitRate = rate;
                info.streams << audio;
            }
        }
        VideoCompressParams p;
        p.sourcePath = QStringLiteral("/in/clip.mp4");
        const VideoCompressTask::CompressionPlan plan =
            VideoCompressTask::compressionPlanFor(p, sizeBytes, info);
        QCOMPARE(plan.belowSource, belowSource);
        const QStringList args =
            VideoCompressTask::buildFFmpegArguments(p, plan, QStringLiteral("/out/t.mp4"));
        const int audioAt = args.indexOf(QStringLiteral("-b:a"));
        QVERIFY(audioAt > 0);
        QCOMPARE(args.mid(audioAt, audioArgs.size()), audioArgs);
        if (!belowSource)
            return;
        const int videoAt = args.indexOf(QStringLiteral("-b:v"));
        QVERIFY(videoAt > 0);
        QCOMPARE((QStringList{args.value(videoAt + 1), args.value(videoAt + 3), args.value(videoAt + 5)}),
                 rateArgs);
    }

    void compressFactorAndTexts_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("ratio");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("ratioText");
        QTest::newRow("speed 20 floors at 0.18") << "Speed" << 20 << 0.18 << "20%";
        QTest::newRow("quality 100 caps at 0.98") << "Quality" << 100 << 0.98 << "100%";
        QTest::newRow("balanced 70") << "balanced" << 70 << 0.7 << "70%";
        QTest::newRow("ratio 5 reads 20%") << "Balanced" << 5 << 0.2 << "20%";
        QTest::newRow("ratio 150 reads 100%") << "Balanced" << 150 << 0.98 << "100%";
        QTest::newRow("quality 50") << " QUALITY" << 50 << 0.56 << "50%";
    }

    void compressFactorAndTexts()
    {
        QFETCH(QString, mode);
        QFETCH(int, ratio);
        QFETCH(double, factor);
        QFETCH(QString, ratioText);
        VideoCompressParams p;
        p.compressionMode = mode;
        p.compressionRatio = ratio;
        const VideoCompressTask task(kTaskId, p, nullptr);
        QVERIFY(qAbs(task.effectiveCompressionFactor() - factor) < 1e-12);
        QCOMPARE(task.compressionRatioText(), ratioText);
    }

    void compressDisplay()
    {
        const QString source =
            sparseFile(tvxtest::scratchPath(QStringLiteral("gib/clip.MOV")), qint64(1) << 30);
        VideoCompressParams p;
        p.sourcePath = source;
        VideoCompressTask task(kTaskId, p, nullptr);
        QCOMPARE(task.targetSizeText(), QStringLiteral("716.80MB"));
        QCOMPARE(task.targetSizeLabel(), i18n::t(QStringLiteral("tool.video_compress.size.estimated_label")));
        QCOMPARE(task.estimatedOutputSizeBytes(), qint64(751619276));
        QCOMPARE(task.targetFormat(), QStringLiteral("MOV"));
        QCOMPARE(task.sourceFormat(), QStringLiteral("MOV"));
        QCOMPARE(task.sourceFileSizeText(), QStringLiteral("1.00GB"));
        QCOMPARE(task.compressionModeLabel(), i18n::t(QStringLiteral("tool.video_compress.mode.balanced")));
        QCOMPARE(task.targetResolution(),
                 QStringLiteral("70% ") + i18n::t(QStringLiteral("tool.video_compress.mode.balanced")));
        QCOMPARE(task.actualOutputSizeBytes(), qint64(-1));

        VideoCompressParams speed = p;
        speed.sourcePath = QStringLiteral("/elsewhere/other.mp4");
        speed.compressionMode = QStringLiteral("Speed");
        task.applyPreset(speed);
        QCOMPARE(task.sourcePath(), source);
        QCOMPARE(task.compressionModeLabel(), i18n::t(QStringLiteral("tool.video_compress.mode.speed")));

        task.setSourceResolution(QStringLiteral("1920x1080"));
        task.setSourceResolution(QString());
        QCOMPARE(task.sourceResolution(), QStringLiteral("1920x1080"));

        VideoCompressParams noSuffix;
        noSuffix.sourcePath = QStringLiteral("/in/clip");
        QCOMPARE(VideoCompressTask(kTaskId, noSuffix, nullptr).sourceFormat(),
                 i18n::t(QStringLiteral("tool.common.unknown")));
    }

    void sizeTexts_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("convertText");
        QTest::addColumn<QString>("compressText");
        QTest::newRow("zero") << qint64(0) << "0B"
                              << "0.00KB";
        QTest::newRow("negative") << qint64(-5) << "0B"
                                  << "0.00KB";
        QTest::newRow("500 B") << qint64(500) << "500B"
                               << "0.49KB";
        QTest::newRow("1023 B") << qint64(1023) << "1023B"
                                << "1.00KB";
        QTest::newRow("512 KiB") << qint64(512 * 1024) << "512K"
                                 << "512.00KB";
        QTest::newRow("1.5 MiB") << qint64(3 * 512 * 1024) << "1.5M"
                                 << "1.50MB";
        QTest::newRow("70 MiB") << qint64(73400320) << "70.0M"
                                << "70.00MB";
        QTest::newRow("3 GiB") << (qint64(3) << 30) << "3.0G"
                               << "3.00GB";
        QTest::newRow("2048 GiB") << (qint64(2048) << 30) << "2048G"
                                  << "2048.00GB";
    }

    void sizeTexts()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, convertText);
        QFETCH(QString, compressText);
        QCOMPARE(FormatConvertTask::formatFileSize(bytes), convertText);
        QCOMPARE(VideoCompressTask::formatFileSize(bytes), compressText);
    }

    void convertGetters()
    {
        FormatConvertParams p;
        p.sourcePath = QStringLiteral("/in/clip.mkv");
        p.outputFormat = QStringLiteral("MP3");
        p.resolution = QStringLiteral("1280x720");
        FormatConvertTask task(kTaskId, p, nullptr);
        QCOMPARE(task.sourceFileName(), QStringLiteral("clip.mkv"));
        QCOMPARE(task.sourceFormat(), QStringLiteral("MKV"));
        QCOMPARE(task.sourceFileSizeText(), QStringLiteral("0B"));
        QCOMPARE(task.targetResolution(), i18n::t(QStringLiteral("cpp.msg.audio_only")));
        QCOMPARE(task.sourceResolution(), QStringLiteral("Auto"));

        FormatConvertParams preset;
        preset.sourcePath = QStringLiteral("/other.mp4");
        preset.outputFormat = QStringLiteral(" MKV ");
        preset.resolution = QStringLiteral("1280x720");
        task.applyPreset(preset);
        QCOMPARE(task.sourcePath(), p.sourcePath);
        QCOMPARE(task.targetFormat(), QStringLiteral(" MKV "));
        QCOMPARE(task.normalizedOutputExtension(), QStringLiteral("mkv"));
        QCOMPARE(task.targetResolution(), QStringLiteral("1280x720"));

        FormatConvertParams noSuffix;
        noSuffix.sourcePath = QStringLiteral("/in/clip");
        QCOMPARE(FormatConvertTask(kTaskId, noSuffix, nullptr).sourceFormat(),
                 i18n::t(QStringLiteral("cpp.msg.unknown")));
    }

    void paramsMaps()
    {
        FormatConvertParams p;
        p.sourcePath = QStringLiteral("/in/a.mp4");
        p.outputDirectory = QStringLiteral("/out");
        p.outputFormat = QStringLiteral("MKV");
        p.videoCodec = QStringLiteral("H.265");
        p.frameRate = QStringLiteral("30");
        p.resolution = QStringLiteral("1280x720");
        p.videoBitrate = QStringLiteral("2400");
        p.audioCodec = QStringLiteral("FLAC");
        p.audioBitrate = QStringLiteral("320");
        p.shutdownWhenFinished = true;
        const QVariantMap map = p.toVariantMap();
        QCOMPARE(map.size(), 10);
        QCOMPARE(map.value(QStringLiteral("shutdownWhenFinished")).type(), QVariant::Bool);
        QCOMPARE(FormatConvertParams::fromVariantMap(map).toVariantMap(), map);

        const FormatConvertParams defaults = FormatConvertParams::fromVariantMap(
            {{QStringLiteral("frameRate"), 25},
             {QStringLiteral("shutdownWhenFinished"), QStringLiteral("true")}});
        QCOMPARE(defaults.sourcePath, QString());
        QCOMPARE(defaults.outputFormat, QStringLiteral("MP4"));
        QCOMPARE(defaults.videoCodec, QStringLiteral("Auto"));
        QCOMPARE(defaults.frameRate, QStringLiteral("25"));
        QCOMPARE(defaults.shutdownWhenFinished, true);
    }

    void progressReader()
    {
        tools::FFmpegProgressParser parser;
        // A value split between two reads is read once, whole.
        QVERIFY(!parser.feed("frame=10\nout_time_ms=610"));
        QCOMPARE(parser.lastOutTime(), qint64(-1));
        QVERIFY(parser.feed("00000\nprogress=continue\nout_time_ms=1"));
        QCOMPARE(parser.lastOutTime(), qint64(61000000));
        QVERIFY(!parser.feed("2"));
        QVERIFY(parser.finish());
        QCOMPARE(parser.lastOutTime(), qint64(12));
        // The last value of a read wins; other keys and garbage are skipped.
        QVERIFY(parser.feed(
            "out_time_ms=5\nout_time_us=9\nxout_time_ms=7 tail\nout_time_ms=\nout_time_ms=N/A\n"));
        QCOMPARE(parser.lastOutTime(), qint64(7));
        QVERIFY(!parser.feed("out_time_ms=99999999999999999999999\n"));
        QCOMPARE(parser.lastOutTime(), qint64(7));

        QVERIFY(qAbs(tools::FFmpegProgressParser::progressFor(61000000, 120) - 61.0 / 120.0) < 1e-12);
        QCOMPARE(int(tools::FFmpegProgressParser::progressFor(61000000, 120) * 100), 50);
        QCOMPARE(tools::FFmpegProgressParser::progressFor(500000000, 120), 0.99);
        QCOMPARE(tools::FFmpegProgressParser::progressFor(1000, 120), 0.15);
    }
};

QTEST_GUILESS_MAIN(ConvertRulesTest)
#include "tst_convert_rules.moc"
