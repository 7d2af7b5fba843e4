// The start-up file chosen from the command line, and the one handed on to be refused.
#include "TestSupport.h"
#include "app/StartupArguments.h"

#include <QDir>
#include <QUrl>
#include <QtTest>

class StartupArgumentsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/clip.mp4")), "x");
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/notes.txt")), "x");
        QDir::setCurrent(tvxtest::scratchPath(QStringLiteral("args")));
    }

    // "%1" stands for the scratch folder the arguments are read in; expected is a path.
    void chosenFile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no arguments") << QStringList{} << "";
        QTest::newRow("blank only") << QStringList{"  ", ""} << "";
        QTest::newRow("existing file wins over an earlier missing one and a folder")
            << QStringList{"%1/gone.mp4", "%1", "%1/clip.mp4"} << "%1/clip.mp4";
        QTest::newRow("relative path, trimmed") << QStringList{" clip.mp4 "} << "%1/clip.mp4";
        QTest::newRow("unsupported file is still the file given")
            << QStringList{"%1/notes.txt"} << "%1/notes.txt";
        QTest::newRow("missing file is handed on")
            << QStringList{"", "%1/gone.mp4", "%1/other.mp4"} << "%1/gone.mp4";
        QTest::newRow("missing file URL is handed on") << QStringList{"file://%1/gone.mp4"} << "%1/gone.mp4";
        QTest::newRow("folder is handed on") << QStringList{"%1"} << "%1";
        QTest::newRow("options and other schemes are not files")
            << QStringList{"--verbose", "https://example.invalid/a.mp4"} << "";
    }
    void chosenFile()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const QString dir = QDir::currentPath();
        QStringList given{QStringLiteral("tavrixo")};
        for (const QString &arg : qAsConst(args))
            given.append(arg.contains(QLatin1String("%1")) ? arg.arg(dir) : arg);
        QCOMPARE(app::startupFileUrl(given),
                 expected.isEmpty() ? QString() : QUrl::fromLocalFile(expected.arg(dir)).toString());
    }
};

QTEST_GUILESS_MAIN(StartupArgumentsTest)
#include "tst_startupargs.moc"
