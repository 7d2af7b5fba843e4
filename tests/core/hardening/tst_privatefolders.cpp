// Per-user folders that another user could have planted, log lines a file name could forge,
// and out-of-range durations.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "core/Log.h"
#include "ffmpeg/ProbeParsing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtTest>

#include <cmath>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList s_messages;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_messages << message;
}

QString cacheHome()
{
    return QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
}

void plantFolder(const QString &path, mode_t mode)
{
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), mode);
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

auto setEnv(const char *name, const QByteArray &value)
{
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray saved = qgetenv(name);
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
    return qScopeGuard([=]() {
        if (had)
            qputenv(name, saved);
        else
            qunsetenv(name);
    });
}

} // namespace

class PrivateFoldersTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void init() { s_messages.clear(); }

    void cacheFoldersAreMadePrivate()
    {
        const QString dir = app::tempDirPath(QStringLiteral("Tavrixo/qmlcache/main"));
        QCOMPARE(dir, cacheHome() + QStringLiteral("/Tavrixo/qmlcache/main"));
        QCOMPARE(modeOf(cacheHome() + QStringLiteral("/Tavrixo")), mode_t(0700));
        QCOMPARE(modeOf(dir), mode_t(0700));
        QCOMPARE(app::tempRootPath(), cacheHome());

        // The application-data folder holds the account's token and the sign-in cookies.
        const QString data = app::appDataRootPath();
        QDir(data).removeRecursively();
        QCOMPARE(app::ensureAppDataRootPath(), data);
        QCOMPARE(modeOf(data), mode_t(0700));
    }

    void plantedFoldersAreRefused_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("how");
        QTest::newRow("world-writable leaf") << "Tavrixo/qmlcache/main"
                                             << "0777";
        QTest::newRow("group-writable level above") << "Tavrixo"
                                                    << "0775";
        QTest::newRow("another user's folder") << "Tavrixo/mpv_subtitles"
                                               << "nobody";
        QTest::newRow("symbolic link to a shared folder") << "Tavrixo/qmlcache"
                                                          << "link";
    }
    void plantedFoldersAreRefused()
    {
        QFETCH(QString, planted);
        QFETCH(QString, how);
        const QString base =
            tvxtest::scratchPath(QStringLiteral("plant-") + QString::number(QTest::currentDataTag()[0]));
        QDir(base).removeRecursively();
        auto cache = setEnv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/cache")));
        const QString runtime = base + QStringLiteral("/runtime");
        plantFolder(runtime, 0700);
        auto runtimeEnv = setEnv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

        const QString target = base + QStringLiteral("/cache/") + planted;
        if (how == QLatin1String("link")) {
            const QString shared = base + QStringLiteral("/shared");
            plantFolder(shared, 0777);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QVERIFY(QFile::link(shared, target));
        } else if (how == QLatin1String("nobody")) {
            if (::getuid() != 0)
                QSKIP("needs root to plant another user's folder");
            plantFolder(target, 0700);
            QCOMPARE(::chown(QFile::encodeName(target).constData(), 65534, 65534), 0);
        } else {
            plantFolder(target, mode_t(how.toUInt(nullptr, 8)));
        }

        qInstallMessageHandler(captureMessage);
        const QString qmlCache = app::tempDirPath(QStringLiteral("Tavrixo/qmlcache/main"));
        const QString subtitles = app::tempDirPath(QStringLiteral("Tavrixo/mpv_subtitles"));
        qInstallMessageHandler(nullptr);

        for (const QString &dir : {qmlCache, subtitles}) {
            QVERIFY2(!dir.isEmpty(), qPrintable(dir));
            QVERIFY2(QFileInfo(dir).isDir(), qPrintable(dir));
            QVERIFY(app::privateFolderProblem(dir).isEmpty());
        }
        // The path through the planted folder is refused for the runtime folder, and said so.
        const QString refused = planted == QLatin1String("Tavrixo/mpv_subtitles") ? subtitles : qmlCache;
        QVERIFY2(refused.startsWith(runtime + QLatin1Char('/')), qPrintable(refused));
        QVERIFY(s_messages.filter(QStringLiteral("[Paths] refusing folder")).size() >= 1);
        QVERIFY(s_messages.filter(QStringLiteral(": [ERROR]")).size() >= 1);
    }

    void unsafeRootsFallBack()
    {
        const QString base = tvxtest::scratchPath(QStringLiteral("roots"));
        // A cache folder everybody can write (XDG_CACHE_HOME pointed at a shared folder).
        plantFolder(base + QStringLiteral("/sharedcache"), 01777);
        auto cache = setEnv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/sharedcache")));
        plantFolder(base + QStringLiteral("/run"), 0700);
        auto runtime = setEnv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/run")));
        QCOMPARE(app::tempRootPath(), base + QStringLiteral("/run"));

        // No usable runtime folder either: a fresh private folder of this process.
        auto noRuntime = setEnv("XDG_RUNTIME_DIR", QByteArray());
        const QString last = app::tempDirPath(QStringLiteral("Tavrixo/x"));
        QVERIFY2(last.startsWith(QDir::tempPath() + QStringLiteral("/Tavrixo-")), qPrintable(last));
        QCOMPARE(modeOf(QFileInfo(last).absolutePath()), mode_t(0700));
        QCOMPARE(app::tempDirPath(QStringLiteral("Tavrixo/x")), last); // the same for the whole run
    }

    void runtimeFolderFallsBackToPrivateCacheFolder_data()
    {
        QTest::addColumn<QByteArray>("runtime");
        QTest::addColumn<int>("mode");
        QTest::newRow("unset") << QByteArray() << 0;
        QTest::newRow("world-writable") << QByteArray("open") << 0777;
        QTest::newRow("missing") << QByteArray("missing") << 0;
    }
    void runtimeFolderFallsBackToPrivateCacheFolder()
    {
        QFETCH(QByteArray, runtime);
        QFETCH(int, mode);
        QByteArray value = runtime;
        if (!runtime.isNull()) {
            value =
                QFile::encodeName(tvxtest::scratchPath(QStringLiteral("rt-") + QString::fromLatin1(runtime)));
            if (mode)
                plantFolder(QFile::decodeName(value), mode_t(mode));
        }
        auto env = setEnv("XDG_RUNTIME_DIR", value);
        const QString dir = app::runtimeDirPath();
        QCOMPARE(dir, cacheHome() + QStringLiteral("/Tavrixo/runtime"));
        QCOMPARE(modeOf(dir), mode_t(0700));
    }

    void controlCharactersInLoggedTextAreEscaped()
    {
        qInstallMessageHandler(captureMessage);
        TVX_LOG_INFO << "[Test] file ="
                     << QStringLiteral("a\n[00:00:00.000] FUNC: main : forged\r\tz\x01\u2028") << 7 << true
                     << QStringList{QStringLiteral("x\ny")} << QByteArray("b\nc");
        qInstallMessageHandler(nullptr);
        QCOMPARE(s_messages.size(), 1);
        const QString line = s_messages.first();
        QVERIFY(!line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
        QVERIFY2(line.endsWith(QStringLiteral(
                     ": [Test] file = a\\n[00:00:00.000] FUNC: main : forged\\r\\tz\\x01\\u2028 "
                     "7 true (x\\ny) b\\nc")),
                 qPrintable(line));
        QVERIFY(line.contains(QStringLiteral("FUNC: controlCharactersInLoggedTextAreEscaped :")));
    }

    void durationsAreClamped_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("fraction rounds up") << 0.2 << qint64(1);
        QTest::newRow("whole") << 2.0 << qint64(2);
        QTest::newRow("8e21") << 8e21 << ffmpeg::kMaxDurationSeconds;
        QTest::newRow("1e300") << 1e300 << ffmpeg::kMaxDurationSeconds;
        QTest::newRow("just above the clamp") << 2147483647.5 << ffmpeg::kMaxDurationSeconds;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << qint64(0);
        QTest::newRow("NaN") << std::nan("") << qint64(0);
        QTest::newRow("negative") << -1e300 << qint64(0);
    }
    void durationsAreClamped()
    {
        QFETCH(double, seconds);
        QFETCH(qint64, expected);
        QCOMPARE(ffmpeg::ceilSeconds(seconds), expected);
    }
};

QTEST_GUILESS_MAIN(PrivateFoldersTest)
#include "tst_privatefolders.moc"
