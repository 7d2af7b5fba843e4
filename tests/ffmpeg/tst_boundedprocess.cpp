// The child-process runner against small shell scripts: what it keeps of standard error, how a
// stop reaches the child, and a run without a time limit.
#include "TestSupport.h"
#include "ffmpeg/BoundedProcess.h"

#include <QFileInfo>
#include <QtTest>

using ffmpeg::BoundedRunOptions;
using ffmpeg::BoundedRunResult;

class BoundedProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void stderrCapKeepsTheChosenEnd_data()
    {
        QTest::addColumn<bool>("keepTail");
        QTest::addColumn<QByteArray>("expected");
        // 3000 bytes of noise, then the reason: only the tail still holds the reason.
        QTest::newRow("head") << false << QByteArray(100, 'n');
        QTest::newRow("tail") << true << QByteArray(90, 'n') + "the reason";
    }

    void stderrCapKeepsTheChosenEnd()
    {
        QFETCH(bool, keepTail);
        QFETCH(QByteArray, expected);
        const QString script = tvxtest::writeScript(
            tvxtest::scratchPath(QStringLiteral("noisy.sh")),
            QStringLiteral("head -c 3000 /dev/zero | tr '\\0' n >&2\nprintf 'the reason' >&2\nexit 3\n"));
        BoundedRunOptions options;
        options.maxStderrBytes = 100;
        options.keepStderrTail = keepTail;
        const BoundedRunResult run = ffmpeg::runBoundedProcess(script, {}, options);
        QVERIFY(run.finished());
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.standardError, expected);
    }

    // A job that writes a file is asked to stop before it is killed, so it can close its output;
    // without a terminate grace the kill comes at once.
    void stopAsksBeforeItKills_data()
    {
        QTest::addColumn<int>("terminateGraceMs");
        QTest::addColumn<bool>("sawTheRequest");
        QTest::newRow("terminate first") << 2000 << true;
        QTest::newRow("kill at once") << 0 << false;
    }

    void stopAsksBeforeItKills()
    {
        QFETCH(int, terminateGraceMs);
        QFETCH(bool, sawTheRequest);
        const QString folder = tvxtest::scratchPath(QStringLiteral("stop/%1/x").arg(terminateGraceMs))
                                   .section(QLatin1Char('/'), 0, -2);
        const QString marker = folder + QStringLiteral("/closed");
        const QString ready = folder + QStringLiteral("/ready");
        const QString script = tvxtest::writeScript(
            folder + QStringLiteral("/job.sh"),
            QStringLiteral("trap 'echo closed > \"%1\"; exit 0' TERM\necho progress\ntouch \"%2\"\n"
                           "while :; do sleep 0.05; done\n")
                .arg(marker, ready));
        int started = 0;
        QByteArray output;
        BoundedRunOptions options;
        options.timeoutMs = -1;
        options.terminateGraceMs = terminateGraceMs;
        options.onStarted = [&] { ++started; };
        options.onStdout = [&](const QByteArray &chunk) { output += chunk; };
        options.cancelRequested = [&] { return QFileInfo::exists(ready); };
        const BoundedRunResult run = ffmpeg::runBoundedProcess(script, {}, options);
        QCOMPARE(int(run.end), int(BoundedRunResult::End::Cancelled));
        QCOMPARE(started, 1);
        QCOMPARE(output, QByteArray("progress\n"));
        QCOMPARE(QFileInfo::exists(marker), sawTheRequest);
    }

    void cancelBeforeTheStartRunsNothing()
    {
        int started = 0;
        BoundedRunOptions options;
        options.onStarted = [&] { ++started; };
        options.cancelRequested = [] { return true; };
        const BoundedRunResult run = ffmpeg::runBoundedProcess(QStringLiteral("/bin/true"), {}, options);
        QCOMPARE(int(run.end), int(BoundedRunResult::End::Cancelled));
        QCOMPARE(started, 0);
    }

    // A negative limit is none: the run outlives many poll steps and ends on its own.
    void negativeTimeoutMeansNoLimit()
    {
        BoundedRunOptions options;
        options.timeoutMs = -1;
        options.pollMs = 5;
        const BoundedRunResult run = ffmpeg::runBoundedProcess(
            QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("sleep 0.3")}, options);
        QVERIFY(run.succeeded());
    }
};

QTEST_GUILESS_MAIN(BoundedProcessTest)
#include "tst_boundedprocess.moc"
