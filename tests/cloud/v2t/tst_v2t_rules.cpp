// The video-to-text job's pure rules: language codes, output extensions, size texts, the eased
// curve, the audio name, the result's folder and path, and the free-name search.
#include "TestSupport.h"
#include "cloud/video_to_text/VideoToTextTask.h"
#include "i18n/I18n.h"
#include "tools/common/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

QString freshDir(const QString &name)
{
    const QString dir = tvxtest::scratchPath(name + QStringLiteral("/x")).section(QLatin1Char('/'), 0, -2);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

} // namespace

class V2tRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(i18n::initialize(QStringLiteral(":/i18n/zh-CN.properties")));
    }

    void languageCode_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("code");
        QTest::newRow("chinese") << QStringLiteral("中文") << "zh";
        QTest::newRow("english") << "English"
                                 << "en";
        QTest::newRow("english caps blanks") << "  ENGLISH  "
                                             << "en";
        QTest::newRow("en") << "en"
                            << "en";
        QTest::newRow("ying character") << QStringLiteral("英语") << "en";
        QTest::newRow("other languages") << QStringLiteral("其他语种") << "all";
        QTest::newRow("other word") << "Other"
                                    << "all";
        QTest::newRow("all") << " all "
                             << "all";
        QTest::newRow("japanese") << "Japanese"
                                  << "zh";
        QTest::newRow("en-US is not en") << "en-US"
                                         << "zh";
        QTest::newRow("empty") << ""
                               << "zh";
    }
    void languageCode()
    {
        QFETCH(QString, language);
        QFETCH(QString, code);
        QCOMPARE(VideoToTextTask::resolveLanguageCode(language), code);
    }

    void outputExtension_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("extension");
        QTest::newRow("TXT") << "TXT"
                             << "txt";
        QTest::newRow("word") << "word"
                              << "docx";
        QTest::newRow("Word blanks") << " Word "
                                     << "docx";
        QTest::newRow("SRT") << "SRT"
                             << "srt";
        QTest::newRow("srt lower") << "srt"
                                   << "srt";
        QTest::newRow("unknown") << "PDF"
                                 << "txt";
        QTest::newRow("empty") << ""
                               << "txt";
    }
    void outputExtension()
    {
        QFETCH(QString, format);
        QFETCH(QString, extension);
        QCOMPARE(VideoToTextTask::resolveOutputExtension(format), extension);
    }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << qint64(-5) << "0B";
        QTest::newRow("zero") << qint64(0) << "0B";
        QTest::newRow("1023") << qint64(1023) << "1023B";
        QTest::newRow("1024") << qint64(1024) << "1.0K";
        QTest::newRow("1536") << qint64(1536) << "1.5K";
        QTest::newRow("100 KiB") << qint64(100 * 1024) << "100K";
        QTest::newRow("150 KiB") << qint64(150 * 1024) << "150K";
        QTest::newRow("just below 1 MiB") << qint64(1024 * 1024 - 1) << "1024K";
        QTest::newRow("5 MiB") << qint64(5) * 1024 * 1024 << "5.0M";
        QTest::newRow("2 GiB") << qint64(2) * 1024 * 1024 * 1024 << "2.0G";
        QTest::newRow("3000 GiB") << qint64(3000) * 1024 * 1024 * 1024 << "3000G";
    }
    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(VideoToTextTask::formatFileSize(bytes), text);
    }

    void sourceSizeOfRealFiles()
    {
        const QString dir = freshDir(QStringLiteral("sizes"));
        const QString small = tvxtest::writeFile(dir + "/a.mp4", QByteArray(1023, 'x'));
        const QString kib = tvxtest::writeFile(dir + "/b.MKV", QByteArray(1024, 'x'));
        VideoToTextParams params;
        params.sourcePath = small;
        VideoToTextTask a(QStringLiteral("a"), params);
        QCOMPARE(a.sourceFileSizeText(), QStringLiteral("1023B"));
        QCOMPARE(a.sourceFormat(), QStringLiteral("MP4"));
        params.sourcePath = kib;
        VideoToTextTask b(QStringLiteral("b"), params);
        QCOMPARE(b.sourceFileSizeText(), QStringLiteral("1.0K"));
        QCOMPARE(b.sourceFormat(), QStringLiteral("MKV"));
        params.sourcePath = dir + "/missing";
        VideoToTextTask missing(QStringLiteral("c"), params);
        QCOMPARE(missing.sourceFileSizeBytes(), qint64(0));
        QCOMPARE(missing.sourceFileSizeText(), QStringLiteral("0B"));
        QCOMPARE(missing.sourceFormat(), i18n::t(QStringLiteral("cpp.msg.unknown")));
        QVERIFY(!missing.sourceFormat().startsWith(QLatin1String("[[")));
    }

    void easeOut()
    {
        QCOMPARE(VideoToTextTask::logEaseOut(-1.0), 0.0);
        QCOMPARE(VideoToTextTask::logEaseOut(0.0), 0.0);
        QCOMPARE(VideoToTextTask::logEaseOut(1.0), 1.0);
        QCOMPARE(VideoToTextTask::logEaseOut(7.0), 1.0);
        // Fast at first: a tenth of the way gives more than a quarter of the rise.
        QVERIFY(VideoToTextTask::logEaseOut(0.1) > 0.27);
        double previous = 0.0;
        for (int i = 1; i <= 100; ++i) {
            const double value = VideoToTextTask::logEaseOut(i / 100.0);
            QVERIFY(value > previous);
            previous = value;
        }
    }

    void audioName_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::newRow("chinese with blanks")
            << QStringLiteral("/v/会议 记录 01.mp4") << QStringLiteral("会议_记录_01");
        QTest::newRow("plus signs") << "/v/+++.mkv"
                                    << "___";
        QTest::newRow("blank base") << "/v/   .mp4"
                                    << "audio";
        QTest::newRow("no base") << "/v/.mp4"
                                 << "audio";
        QTest::newRow("dash and digits kept") << "/v/take-2.final.mov"
                                              << "take-2_final";
        QTest::newRow("non-ascii symbol") << QStringLiteral("/v/a★b.mp4") << "a_b";
        QTest::newRow("sixty characters")
            << "/v/" + QString(60, QLatin1Char('k')) + ".mp4" << QString(48, 'k');
    }
    void audioName()
    {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QCOMPARE(VideoToTextTask::audioBaseNameFor(source), name);
    }

    void resultPath_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("outputDirectory");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("path");
        QTest::newRow("beside source") << "/videos/lecture.mp4"
                                       << ""
                                       << "SRT"
                                       << "/videos/lecture.srt";
        QTest::newRow("blank folder") << "/videos/lecture.mp4"
                                      << "   "
                                      << "TXT"
                                      << "/videos/lecture.txt";
        QTest::newRow("own folder") << "/videos/lecture.mp4"
                                    << " /out "
                                    << "word"
                                    << "/out/lecture.docx";
        QTest::newRow("last suffix only") << "/videos/a.b.mkv"
                                          << "/out/"
                                          << "TXT"
                                          << "/out/a.b.txt";
        QTest::newRow("dot name") << "/videos/.hidden"
                                  << "/out"
                                  << "TXT"
                                  << "/out/.hidden.txt";
    }
    void resultPath()
    {
        QFETCH(QString, source);
        QFETCH(QString, outputDirectory);
        QFETCH(QString, format);
        QFETCH(QString, path);
        VideoToTextParams params;
        params.sourcePath = source;
        params.outputDirectory = outputDirectory;
        params.outputFormat = format;
        QCOMPARE(VideoToTextTask::resultFilePathFor(params), path);
        VideoToTextTask task(QStringLiteral("t"), params);
        QCOMPARE(task.buildResultFilePath(), path);
    }

    void uniquePath()
    {
        const QString dir = freshDir(QStringLiteral("unique"));
        const QString target = dir + "/lecture.srt";
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(target), target);
        tvxtest::writeFile(target, "1");
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(target), dir + "/lecture_1.srt");
        tvxtest::writeFile(dir + "/lecture_1.srt", "2");
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(target), dir + "/lecture_2.srt");
        // A folder holds a name as much as a file does.
        QDir().mkpath(dir + "/lecture_2.srt");
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(target), dir + "/lecture_3.srt");
        tvxtest::writeFile(dir + "/notes", "x");
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(dir + "/notes"), dir + "/notes_1");
    }

    // A source named as long as a file name may be: the result, a numbered result and the
    // temporary download beside it keep their endings and fit NAME_MAX.
    void longNamesFit()
    {
        const QString dir = freshDir(QStringLiteral("long"));
        const QString sourceName = tvxtest::longCjkFileName(255, "mp4");
        const QString base = QFileInfo(sourceName).completeBaseName();
        VideoToTextParams params;
        params.sourcePath = tvxtest::writeFile(dir + "/" + sourceName, "x");
        params.outputFormat = "word";
        const QString result = VideoToTextTask::resultFilePathFor(params);
        QString problem = tvxtest::shortenedNameProblem(result, base, ".docx");
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        tvxtest::writeFile(result, "1");
        QCOMPARE(QFileInfo(result).size(), 1);
        const QString numbered = VideoToTextTask::ensureUniqueFilePath(result);
        problem = tvxtest::shortenedNameProblem(numbered, base, "_1.docx");
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QString id = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        const QString temporary = tools::temporaryOutputFilePath(result, id);
        problem = tvxtest::shortenedNameProblem(temporary, base, ".__tvx_tmp__." + id + ".part.docx");
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void uniquePathExhausted()
    {
        const QString dir = freshDir(QStringLiteral("exhausted"));
        tvxtest::writeFile(dir + "/r.txt", "0");
        for (int n = 1; n <= 9999; ++n) {
            QFile f(dir + QStringLiteral("/r_%1.txt").arg(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(dir + "/r.txt"), QString());
        QFile::remove(dir + "/r_9999.txt");
        QCOMPARE(VideoToTextTask::ensureUniqueFilePath(dir + "/r.txt"), dir + "/r_9999.txt");
    }

    void accessorsAndPreset()
    {
        VideoToTextParams params;
        params.sourcePath = "/videos/talk.mp4";
        params.outputFormat = " srt ";
        params.recognitionLanguage = "English";
        VideoToTextTask task(QStringLiteral("t"), params);
        QCOMPARE(task.toolId(), QStringLiteral("video-to-text"));
        QCOMPARE(task.status(), int(BackgroundTask::Pending));
        QCOMPARE(task.sourceFileName(), QStringLiteral("talk.mp4"));
        QCOMPARE(task.targetFormat(), QStringLiteral("SRT"));
        QCOMPARE(task.targetLanguage(), QStringLiteral("English"));
        QCOMPARE(task.sourceResolution(), QStringLiteral("Auto"));
        task.setSourceResolution(QString());
        QCOMPARE(task.sourceResolution(), QStringLiteral("Auto"));
        task.setSourceResolution(QStringLiteral("1920x1080"));
        QCOMPARE(task.sourceResolution(), QStringLiteral("1920x1080"));

        VideoToTextParams preset;
        preset.sourcePath = "/elsewhere/other.mkv";
        preset.outputDirectory = "/out";
        preset.outputFormat = "word";
        preset.recognitionLanguage = QStringLiteral("其他语种");
        task.applyPreset(preset);
        const VideoToTextParams now = task.params();
        QCOMPARE(now.sourcePath, QStringLiteral("/videos/talk.mp4"));
        QCOMPARE(now.outputDirectory, QStringLiteral("/out"));
        QCOMPARE(now.outputFormat, QStringLiteral("word"));
        QCOMPARE(now.recognitionLanguage, QStringLiteral("其他语种"));
        QCOMPARE(task.targetFormat(), QStringLiteral("WORD"));
    }
};

QTEST_GUILESS_MAIN(V2tRulesTest)
#include "tst_v2t_rules.moc"
