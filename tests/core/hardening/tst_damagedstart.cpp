// The real program started over damaged state files: it runs, keeps each damaged file aside,
// and loses nothing that could be read; FIFOs, devices and folders in their place are set aside
// without being opened.
#include "TestSupport.h"
#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class DamagedStartTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(!tvxtest::appExecutable().isEmpty());
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
    }

    void startsOverDamagedStateFiles()
    {
        const QByteArray bomb = "x=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\n";
        const QByteArray clip = tvxtest::fixtures::smallMp4().toUtf8();
        const QByteArray song = tvxtest::fixtures::audioMp3().toUtf8();
        const QString playlist = app::appDataFilePath(QStringLiteral("playlist.ini"));
        const QString player = app::appDataFilePath(QStringLiteral("player.ini"));
        const QString sensors = app::appDataFilePath(QStringLiteral("sensors_state.ini"));
        // The list's size line is damaged too: both entries must survive the start's saves.
        tvxtest::writeFile(playlist, "[playlist]\nitems\\size=1\nitems\\1\\source_path=" + clip +
                                         "\nitems\\2\\source_path=" + song + "\n[junk]\n" + bomb);
        tvxtest::writeFile(player, "[player]\nvolume=37\n" + bomb);
        tvxtest::writeFile(sensors, "[startup]\nactivity_tracked=true\n" + bomb);

        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(tvxtest::appExecutable(), QStringList());
        QVERIFY(program.waitForStarted(tvxtest::scaledMs(10000)));
        QString log;
        // Long enough for the page to load and to save the list once on its own.
        QVERIFY(!tvxtest::waitUntil(
            [&]() {
                log += QString::fromUtf8(program.readAll());
                return program.state() == QProcess::NotRunning;
            },
            9000));
        program.kill();
        program.waitForFinished(tvxtest::scaledMs(5000));
        log += QString::fromUtf8(program.readAll());
        QVERIFY2(log.contains(QStringLiteral("SSL build =")), qPrintable(log));

        for (const QString &path : {playlist, player, sensors}) {
            const QFileInfo info(path);
            const QStringList aside =
                info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")}, QDir::Files);
            QVERIFY2(!aside.isEmpty(), qPrintable(path));
            QVERIFY2(log.contains(QStringLiteral("[StateFile] ") + path), qPrintable(log));
        }
        const QSettings list(playlist, QSettings::IniFormat);
        QCOMPARE(list.value(QStringLiteral("playlist/items/1/source_path")).toString(),
                 QString::fromUtf8(clip));
        QCOMPARE(list.value(QStringLiteral("playlist/items/2/source_path")).toString(),
                 QString::fromUtf8(song));
        QCOMPARE(QSettings(player, QSettings::IniFormat).value(QStringLiteral("player/volume")).toInt(), 37);
        QCOMPARE(QSettings(sensors, QSettings::IniFormat)
                     .value(QStringLiteral("startup/activity_tracked"))
                     .toBool(),
                 true);
    }

    // A FIFO, a device or a folder where a state file should be: the start neither waits on it
    // nor reads it, and sets each aside. The sign-in dialog's file is checked before its page
    // can open it.
    void startsOverStateFilesThatAreNotFiles()
    {
        QStringList planted;
        for (const char *name : {"player.ini", "video_to_text.ini", "format_convert.ini",
                                 "video_compress.ini", "login_dialog.ini", "app_settings_menu.ini"}) {
            const QString path = app::appDataFilePath(QString::fromLatin1(name));
            QFile::remove(path);
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            planted << path;
        }
        const QString account = app::appDataFilePath(QStringLiteral("account_info.json"));
        QFile::remove(account);
        QVERIFY(::symlink("/dev/zero", QFile::encodeName(account).constData()) == 0);
        planted << account;

        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(tvxtest::appExecutable(), QStringList());
        QVERIFY(program.waitForStarted(tvxtest::scaledMs(10000)));
        QString log;
        const bool drawn = tvxtest::waitUntil(
            [&]() {
                log += QString::fromUtf8(program.readAll());
                return log.contains(QStringLiteral("[render] createRenderer")) ||
                       program.state() == QProcess::NotRunning;
            },
            30000);
        program.kill();
        program.waitForFinished(tvxtest::scaledMs(5000));
        log += QString::fromUtf8(program.readAll());
        QVERIFY2(drawn && log.contains(QStringLiteral("[render] createRenderer")),
                 qPrintable(log.right(3000)));
        for (const QString &path : planted) {
            const QFileInfo info(path); // gone, or a file a save wrote afresh
            QVERIFY2(!info.isSymLink() && (!info.exists() || info.isFile()), qPrintable(path));
            QVERIFY2(log.contains(QStringLiteral("[StateFile] ") + path), qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(DamagedStartTest)
#include "tst_damagedstart.moc"
