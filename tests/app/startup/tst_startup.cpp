// Start-up of the real executable: first log line, single-instance hand-off, exit codes.
#include "TestSupport.h"
#include "system/SingleInstanceService.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A running player whose stderr (where Qt's log lines go) is collected as it arrives.
class PlayerProcess
{
public:
    explicit PlayerProcess(const QString &exe = tvxtest::appExecutable()) : m_exe(exe)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
    }
    ~PlayerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(tvxtest::scaledMs(5000));
        }
    }
    void start(const QStringList &args,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(env);
        m_process.start(m_exe, args);
        QVERIFY(m_process.waitForStarted(tvxtest::scaledMs(10000)));
    }
    // One argument given as bytes, which QProcess would encode as text: a shell's printf makes
    // them from octal escapes.
    void startWithBytes(const QByteArray &argument)
    {
        QByteArray escaped;
        for (const char c : argument)
            escaped += (c & 0x80) ? QByteArray("\\") + QByteArray::number(uchar(c), 8) : QByteArray(1, c);
        m_process.start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf \"$1\")\""), m_exe,
                         QString::fromLatin1(escaped)});
        QVERIFY(m_process.waitForStarted(10000));
    }
    void setWorkingDirectory(const QString &dir) { m_process.setWorkingDirectory(dir); }
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }
    bool waitForLog(const QString &needle, int timeoutMs = 20000)
    {
        return tvxtest::waitUntil([&] { return log().contains(needle); }, timeoutMs);
    }
    bool waitForExit(int timeoutMs = 20000)
    {
        const bool done = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
        log();
        return done;
    }
    int exitCode() const { return m_process.exitCode(); }

private:
    QString m_exe;
    QProcess m_process;
    QString m_log;
};

QProcessEnvironment envWith(const QString &key, const QString &value)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(key, value);
    return env;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(!tvxtest::appExecutable().isEmpty());
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
    }

    void firstLineAndHandOffToRunningInstance()
    {
        PlayerProcess primary;
        primary.start({});
        QVERIFY2(primary.waitForLog(QStringLiteral("SSL build =")), qPrintable(primary.log()));
        const QString firstLine = primary.log().section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] FUNC: main : "
                                                   "\\[Startup\\] Start Official Server APP!$"))
                     .match(firstLine)
                     .hasMatch(),
                 qPrintable(firstLine));

        // Blank, missing and folder arguments are skipped; the first existing file wins and
        // arguments after it are ignored.
        const QString file = tvxtest::fixtures::unicodeNamedMp4();
        PlayerProcess second;
        second.start({QStringLiteral("  "), QString(), QStringLiteral("/no/such/file.mp4"),
                      tvxtest::scratchDir(), QUrl::fromLocalFile(file).toString(),
                      tvxtest::fixtures::smallMp4()});
        QVERIFY(second.waitForExit());
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(second.log().contains(QStringLiteral("Existing process activated. Exit current process.")),
                 qPrintable(second.log()));
        QVERIFY2(!second.log().contains(QStringLiteral("SSL build =")), "the second start must not go on");

        const QString expectedUrl = QUrl::fromLocalFile(file).toString();
        QVERIFY2(primary.waitForLog(QStringLiteral("mediaOpenRequested ") + expectedUrl),
                 qPrintable(primary.log()));
    }

    // Names users have, given relative to the working folder: one that reads as a URL of the
    // scheme "Talk" is the file of that name, and a Latin-1 name (not valid UTF-8) is said to be
    // unreadable in this system's encoding, not missing; on the first start and handed on by a
    // second one.
    void namesGivenOnTheCommandLine_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("handedOn");
        QTest::addColumn<QString>("expected"); // a log line; "%1" is the working folder's URL
        const QString opened = QStringLiteral("[mpv] loadfile result: 0 path: ");
        const QString unreadable =
            QStringLiteral("[MediaPlayerPage] not opened %1/caf%E9.mp4 reason encoding");
        QTest::newRow("colon, first start") << QByteArray("Talk: part1.mp4") << false << opened;
        QTest::newRow("colon, handed on") << QByteArray("Talk: part1.mp4") << true << opened;
        QTest::newRow("Latin-1, first start") << QByteArray("caf\xe9.mp4") << false << unreadable;
        QTest::newRow("Latin-1, handed on") << QByteArray("caf\xe9.mp4") << true << unreadable;
    }
    void namesGivenOnTheCommandLine()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, handedOn);
        QFETCH(QString, expected);
        const QString dir =
            tvxtest::scratchPath(QStringLiteral("names/.keep")).section(QLatin1Char('/'), 0, -2);
        const QByteArray path = QFile::encodeName(dir) + '/' + name;
        if (QFile::encodeName(QFile::decodeName(path)) == path) {
            QFile::remove(QFile::decodeName(path));
            QVERIFY(QFile::copy(tvxtest::fixtures::smallMp4(), QFile::decodeName(path)));
        } else {
            // No QFile reaches this name: it is made from its bytes (empty; it is not played).
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        const QString dirUrl = QUrl::fromLocalFile(dir).toString();
        if (expected.contains(QLatin1String("loadfile")))
            expected += QDir(dir).filePath(QFile::decodeName(name));
        else
            expected = expected.arg(dirUrl);

        PlayerProcess primary;
        PlayerProcess second;
        primary.setWorkingDirectory(dir);
        second.setWorkingDirectory(dir);
        if (handedOn) {
            primary.start({});
            QVERIFY2(primary.waitForLog(QStringLiteral("SSL build =")), qPrintable(primary.log()));
            second.startWithBytes(name);
            QVERIFY(second.waitForExit());
            QVERIFY2(second.log().contains(QStringLiteral("Existing process activated.")),
                     qPrintable(second.log()));
        } else {
            primary.startWithBytes(name);
        }
        QVERIFY2(primary.waitForLog(expected, 60000),
                 qPrintable(expected + QLatin1Char('\n') + primary.log()));
        QVERIFY2(!primary.log().contains(QStringLiteral("reason missing")), qPrintable(primary.log()));
    }

    // Relative XDG folders are ignored, as the base-directory rules say: the program keeps its
    // files under the home folder's defaults and makes nothing in the folder it was started in,
    // nor does any program it starts.
    void relativeXdgFoldersAreIgnored()
    {
        const QString cwd =
            tvxtest::scratchPath(QStringLiteral("xdg-cwd/.keep")).section(QLatin1Char('/'), 0, -2);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("reldata"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("relconfig"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), QStringLiteral("relcache"));
        PlayerProcess player;
        player.setWorkingDirectory(cwd);
        player.start({tvxtest::fixtures::smallMp4()}, env);
        // By then the window has drawn (its graphics libraries keep caches), the ffmpeg programs'
        // warm-ups have been started and mpv has opened the file.
        QVERIFY2(player.waitForLog(QStringLiteral("[mpv][event] FILE_LOADED"), 60000),
                 qPrintable(player.log()));
        const QString home = QDir::homePath();
        QVERIFY(QFileInfo(home + QStringLiteral("/.local/share/Kestrane/Tavrixo")).isDir());
        QVERIFY(QFileInfo(home + QStringLiteral("/.cache/Tavrixo")).isDir());
        QCOMPARE(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QVERIFY2(
            player.log().contains(QStringLiteral("relative values ignored: XDG_DATA_HOME XDG_CONFIG_HOME "
                                                 "XDG_CACHE_HOME")),
            qPrintable(player.log()));
    }

    void staleLockIsTakenOver()
    {
        // A primary killed without clean-up leaves its lock file; the next start must not be blocked.
        {
            PlayerProcess crashed;
            crashed.start({});
            QVERIFY(crashed.waitForLog(QStringLiteral("SSL build =")));
        }
        PlayerProcess next;
        next.start({});
        QVERIFY2(next.waitForLog(QStringLiteral("SSL build =")), qPrintable(next.log()));
        QVERIFY(!next.log().contains(QStringLiteral("Failed to initialize")));
    }

    void brokenMainDocumentExitsMinusOne()
    {
        PlayerProcess broken(QStringLiteral(TVX_BROKEN_MAIN_EXE));
        broken.start({});
        QVERIFY2(broken.waitForExit(30000), qPrintable(broken.log()));
        QCOMPARE(static_cast<qint8>(broken.exitCode()), qint8(-1));
    }

    void unreachableEndpointExitsMinusThree()
    {
        // A live process (this test) holds the lock but serves nothing: no listen, no hand-off.
        SingleInstanceService service(QStringLiteral("main"));
        QLockFile lock(service.lockFilePath());
        QVERIFY(lock.tryLock(0));
        PlayerProcess blocked;
        blocked.start({}, envWith(QStringLiteral("TVX_TEST_DISMISS_DIALOGS_MS"), QStringLiteral("50")));
        QVERIFY2(blocked.waitForExit(30000), qPrintable(blocked.log()));
        QCOMPARE(static_cast<qint8>(blocked.exitCode()), qint8(-3));
        QVERIFY(blocked.log().contains(QStringLiteral("Failed to initialize single instance endpoint.")));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
