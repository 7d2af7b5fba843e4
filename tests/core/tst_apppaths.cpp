// Application paths: which functions create folders, trimming, separators and fallbacks.
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "core/FileUrl.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

class AppPathsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void appDataRootIsOrganisationThenApplication()
    {
        const QString root = app::appDataRootPath();
        QVERIFY(root.endsWith(QStringLiteral("/Kestrane/Tavrixo")));
        QVERIFY(root.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
        QVERIFY(!QFileInfo::exists(root)); // computing never creates
    }

    void creationTable_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("expectSuffix");
        QTest::addColumn<bool>("returnedExists");
        QTest::newRow("appDataFilePath creates root only") << "appDataFile"
                                                           << "player.ini"
                                                           << "/Tavrixo/player.ini" << false;
        QTest::newRow("appDataDirPath creates folder") << "appDataDir"
                                                       << "cache/x"
                                                       << "/Tavrixo/cache/x" << true;
        QTest::newRow("appDataDirPath empty is root") << "appDataDir"
                                                      << ""
                                                      << "/Kestrane/Tavrixo" << true;
        QTest::newRow("tempDirPath trims") << "tempDir"
                                           << "  sub dir  "
                                           << "/cache/sub dir" << true;
        QTest::newRow("tempDirPath blank is root") << "tempDir"
                                                   << "   "
                                                   << "/cache" << true;
        QTest::newRow("tempFilePath creates nothing") << "tempFile"
                                                      << "x.lock"
                                                      << "/cache/x.lock" << false;
        QTest::newRow("desktopOutputDirPath trims what it creates")
            << "deskOut"
            << "video_to_image  "
            << "/Desktop/Tavrixo/video_to_image" << true;
        QTest::newRow("desktopOutputDirPath blank is root") << "deskOut"
                                                            << " "
                                                            << "/Desktop/Tavrixo" << true;
        QTest::newRow("desktopOutputRootPath creates nothing") << "deskRoot"
                                                               << ""
                                                               << "/Desktop/Tavrixo" << false;
    }
    void creationTable()
    {
        QFETCH(QString, which);
        QFETCH(QString, arg);
        QFETCH(QString, expectSuffix);
        QFETCH(bool, returnedExists);
        // Start each row from nothing so "creates nothing" is observable.
        QDir(app::appDataRootPath()).removeRecursively();
        QDir(app::desktopOutputRootPath()).removeRecursively();
        QString got;
        if (which == "appDataFile")
            got = app::appDataFilePath(arg);
        else if (which == "appDataDir")
            got = app::appDataDirPath(arg);
        else if (which == "tempDir")
            got = app::tempDirPath(arg);
        else if (which == "tempFile")
            got = app::tempFilePath(arg);
        else if (which == "deskOut")
            got = app::desktopOutputDirPath(arg);
        else if (which == "deskRoot")
            got = app::desktopOutputRootPath();
        QVERIFY2(got.endsWith(expectSuffix), qPrintable(got));
        QCOMPARE(QFileInfo(got).isDir(), returnedExists);
        QVERIFY(!got.contains(QLatin1Char('\\')));
        QVERIFY(!got.endsWith(QLatin1Char('/')));
        if (which == "appDataFile")
            QVERIFY(QFileInfo(app::appDataRootPath()).isDir());
        if (which == "deskOut")
            QVERIFY(!QFileInfo::exists(app::desktopOutputRootPath() + "/video_to_image  "));
    }

    // A relative XDG value is ignored, as the base-directory rules say: the folders are the
    // defaults under the home folder wherever the program was started, and nothing is made in
    // the working folder.
    void relativeXdgValuesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("expected"); // under the home folder
        QTest::newRow("data: application data") << QByteArray("XDG_DATA_HOME") << "appData"
                                                << "/.local/share/Kestrane/Tavrixo";
        QTest::newRow("data: shared data") << QByteArray("XDG_DATA_HOME") << "genericData"
                                           << "/.local/share";
        QTest::newRow("config") << QByteArray("XDG_CONFIG_HOME") << "genericConfig"
                                << "/.config";
        QTest::newRow("cache: temporary root") << QByteArray("XDG_CACHE_HOME") << "tempRoot"
                                               << "/.cache";
        QTest::newRow("cache: private folder") << QByteArray("XDG_CACHE_HOME") << "tempDir"
                                               << "/.cache/Tavrixo/qmlcache/main";
    }
    void relativeXdgValuesAreIgnored()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, which);
        QFETCH(QString, expected);
        const QString cwd =
            tvxtest::scratchPath(QStringLiteral("cwd/.keep")).section(QLatin1Char('/'), 0, -2);
        QDir(cwd).removeRecursively();
        QDir().mkpath(cwd);
        const QString savedCwd = QDir::currentPath();
        const QByteArray saved = qgetenv(variable.constData());
        QDir::setCurrent(cwd);
        qputenv(variable.constData(), "relative/dir");
        QString got;
        if (which == "appData")
            got = app::appDataDirPath(QString());
        else if (which == "genericData")
            got = app::standardLocation(QStandardPaths::GenericDataLocation);
        else if (which == "genericConfig")
            got = app::standardLocation(QStandardPaths::GenericConfigLocation);
        else if (which == "tempRoot")
            got = app::tempRootPath();
        else if (which == "tempDir")
            got = app::tempDirPath(QStringLiteral("Tavrixo/qmlcache/main"));
        const QStringList madeInCwd =
            QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        qputenv(variable.constData(), saved);
        QDir::setCurrent(savedCwd);
        QCOMPARE(got, QDir::homePath() + expected);
        QCOMPARE(madeInCwd, QStringList());
    }

    void relativeRuntimeFolderIsIgnored()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", "runtime");
        const QString runtime = app::runtimeDirPath();
        qputenv("XDG_RUNTIME_DIR", saved);
        QVERIFY2(QDir::isAbsolutePath(runtime), qPrintable(runtime));
        QCOMPARE(runtime, app::tempDirPath(QStringLiteral("Tavrixo/runtime")));
    }

    // What main does first: the environment that Qt, the libraries and every child program read.
    void relativeXdgVariablesLeaveTheEnvironment()
    {
        const QList<QByteArray> names{"XDG_DATA_HOME",  "XDG_CONFIG_HOME", "XDG_CACHE_HOME",
                                      "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_DIRS",
                                      "XDG_CONFIG_DIRS"};
        QHash<QByteArray, QByteArray> saved;
        for (const QByteArray &name : names)
            saved.insert(name, qgetenv(name.constData()));
        qputenv("XDG_DATA_HOME", "reldata");
        qputenv("XDG_CONFIG_HOME", "/abs/config");
        qputenv("XDG_CACHE_HOME", "./relcache");
        qputenv("XDG_STATE_HOME", "relstate");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_DATA_DIRS", "share:/usr/local/share:/usr/share");
        qputenv("XDG_CONFIG_DIRS", "etc/xdg");
        const QStringList dropped = app::dropRelativeXdgVariables();
        QHash<QByteArray, QByteArray> after;
        QSet<QByteArray> present;
        for (const QByteArray &name : names) {
            after.insert(name, qgetenv(name.constData()));
            if (qEnvironmentVariableIsSet(name.constData()))
                present.insert(name);
        }
        for (const QByteArray &name : names) {
            if (saved.value(name).isNull())
                qunsetenv(name.constData());
            else
                qputenv(name.constData(), saved.value(name));
        }
        QCOMPARE(dropped, (QStringList{"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_DIRS",
                                       "XDG_CONFIG_DIRS"}));
        QCOMPARE(present, (QSet<QByteArray>{"XDG_CONFIG_HOME", "XDG_DATA_DIRS"}));
        QCOMPARE(after.value("XDG_CONFIG_HOME"), QByteArray("/abs/config"));
        QCOMPARE(after.value("XDG_DATA_DIRS"), QByteArray("/usr/local/share:/usr/share"));
    }

    void desktopOutputRootFallsBackToApplicationName()
    {
        const QString saved = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("  "));
        const QString root = app::desktopOutputRootPath();
        QCoreApplication::setApplicationName(saved);
        QVERIFY2(root.endsWith(QStringLiteral("/Tavrixo")), qPrintable(root));
    }

    void findExecutablePrefersExe()
    {
        const QString bin = tvxtest::scratchPath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8());
        QCOMPARE(app::findExecutablePath(QStringLiteral("ffprobe")), QString());
        tvxtest::writeScript(bin + QStringLiteral("/ffprobe"), QStringLiteral("exit 0"));
        QCOMPARE(app::findExecutablePath(QStringLiteral("ffprobe")), bin + QStringLiteral("/ffprobe"));
        tvxtest::writeScript(bin + QStringLiteral("/ffprobe.exe"), QStringLiteral("exit 0"));
        QCOMPARE(app::findExecutablePath(QStringLiteral("ffprobe")), bin + QStringLiteral("/ffprobe.exe"));
        qputenv("PATH", savedPath);
    }

    void timeStampForm()
    {
        const QString t = getCurrectTime();
        QCOMPARE(t.size(), 12);
        QVERIFY(QRegularExpression(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d\\.\\d{3}$"))
                    .match(t)
                    .hasMatch());
        QVERIFY(app::logHead("main").startsWith(QLatin1Char('[')));
        QVERIFY(app::logHead("main").endsWith(QStringLiteral("] FUNC: main")));
    }

    void fileUrlsKeepTheLeadingSlash_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absolute linux") << "file:///home/u/a.mp4"
                                        << "/home/u/a.mp4";
        QTest::newRow("percent-encoded blank") << "file:///home/u/a%20b.mp4"
                                               << "/home/u/a b.mp4";
        QTest::newRow("chinese") << "file:///home/u/%E6%B5%8B%E8%AF%95.mp4"
                                 << "/home/u/测试.mp4";
        QTest::newRow("plain path unchanged") << "  /home/u/a.mp4 "
                                              << "/home/u/a.mp4";
        QTest::newRow("web link unchanged") << "https://example.org/a.mp4"
                                            << "https://example.org/a.mp4";
    }
    void fileUrlsKeepTheLeadingSlash()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(app::localPathFromUrlOrPath(input), expected);
    }
};

QTEST_GUILESS_MAIN(AppPathsTest)
#include "tst_apppaths.moc"
