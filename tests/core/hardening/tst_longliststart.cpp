// The real program started twice over a long play list that the list saved itself: every start
// finds all of it and sets nothing aside.
#include "AppProcess.h"
#include "TestSupport.h"
#include "core/AppPaths.h"
#include "player/PlaylistModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class LongListStartTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(!tvxtest::appExecutable().isEmpty());
        QVERIFY(!tvxtest::fixtures::smallMp4().isEmpty());
    }

    // A start once dropped the entries numbered 40, 64 and 100 onwards (their keys read as
    // escapes) and kept two copies of the list aside each time.
    void longListSurvivesEveryStart()
    {
        const QString playlist = app::appDataFilePath(QStringLiteral("playlist.ini"));
        const QString clip = tvxtest::fixtures::smallMp4();
        const QString folder = tvxtest::scratchPath(QStringLiteral("长列表 @;=#%/"));
        QVariantList urls;
        for (int i = 1; i <= 3000; ++i) {
            const QString path = folder + QStringLiteral("%1 第%1集 \"x\" 100%.mp4").arg(i);
            QFile::remove(path);
            QVERIFY(::link(QFile::encodeName(clip).constData(), QFile::encodeName(path).constData()) == 0);
            urls << QUrl::fromLocalFile(path);
        }
        QStringList saved;
        {
            PlaylistModel model;
            model.addFiles(urls);
            saved = model.sourcePaths();
        }
        QCOMPARE(saved.size(), 3000);

        const QFileInfo info(playlist);
        for (int start = 1; start <= 2; ++start) {
            tvxtest::AppProcess program;
            QVERIFY(program.start());
            QVERIFY2(program.waitForLog(QStringLiteral("[render] createRenderer"), 90000),
                     qPrintable(program.log().right(3000)));
            QVERIFY(program.signal(SIGTERM));
            QVERIFY(program.waitForExit(30000));
            QVERIFY2(!program.log().contains(QStringLiteral("[StateFile]")),
                     qPrintable(program.log().right(3000)));
            QCOMPARE(QSettings(playlist, QSettings::IniFormat)
                         .value(QStringLiteral("playlist/items/size"))
                         .toInt(),
                     3000);
            QCOMPARE(info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")}, QDir::Files),
                     QStringList());
        }
        QVERIFY(PlaylistModel().sourcePaths() == saved);
    }
};

QTEST_GUILESS_MAIN(LongListStartTest)
#include "tst_longliststart.moc"
