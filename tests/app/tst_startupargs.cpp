// The start-up file chosen from the command line, and the one handed on to be refused.
#include "TestSupport.h"
#include "app/StartupArguments.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

class StartupArgumentsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/clip.mp4")), "x");
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/notes.txt")), "x");
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/Talk: part1.mp4")), "x");
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/file:clip.mp4")), "x");
        tvxtest::writeFile(tvxtest::scratchPath(QStringLiteral("args/ padded.mp4 ")), "x");
        const QByteArray latin1 =
            QFile::encodeName(tvxtest::scratchPath(QStringLiteral("args"))) + "/caf\xe9.mp4";
        const int fd = ::open(latin1.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
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
        // A name that also reads as a URL: the file of that name wins.
        QTest::newRow("relative name with a colon") << QStringList{"Talk: part1.mp4"} << "%1/Talk: part1.mp4";
        QTest::newRow("relative name that reads as a file URL")
            << QStringList{"file:clip.mp4"} << "%1/file:clip.mp4";
        QTest::newRow("missing name with a colon reads as a URL")
            << QStringList{"Talk: part2.mp4", "%1/clip.mp4"} << "%1/clip.mp4";
        QTest::newRow("blanks that belong to the name") << QStringList{" padded.mp4 "} << "%1/ padded.mp4 ";
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

    // File names are bytes: a Latin-1 name under UTF-8 cannot be held by Qt, yet it is the file
    // given. It is handed on with its bytes as URL escapes, so the window can say why it does not
    // open, and not that it is missing. "%1" stands for the scratch folder, percent-encoded.
    void namesQtCannotHold_data()
    {
        QTest::addColumn<QByteArrayList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("relative Latin-1 name") << QByteArrayList{"caf\xe9.mp4"} << "file://%1/caf%E9.mp4";
        QTest::newRow("absolute Latin-1 name") << QByteArrayList{"%1/caf\xe9.mp4"} << "file://%1/caf%E9.mp4";
        QTest::newRow("Latin-1 name as a file URL")
            << QByteArrayList{"file://%1/caf%E9.mp4"} << "file://%1/caf%E9.mp4";
        QTest::newRow("existing Latin-1 name wins over a missing one")
            << QByteArrayList{"gon\xe9.mp4", "caf\xe9.mp4"} << "file://%1/caf%E9.mp4";
        QTest::newRow("missing Latin-1 name is handed on with its bytes")
            << QByteArrayList{"gon\xe9.mp4"} << "file://%1/gon%E9.mp4";
        QTest::newRow("UTF-8 name stays plain") << QByteArrayList{"clip.mp4"} << "file://%1/clip.mp4";
    }
    void namesQtCannotHold()
    {
        QFETCH(QByteArrayList, args);
        QFETCH(QString, expected);
        const QByteArray dir = QFile::encodeName(QDir::currentPath());
        QByteArrayList given{QByteArrayLiteral("tavrixo")};
        for (QByteArray arg : qAsConst(args))
            given.append(arg.replace("%1", dir));
        const QString url = app::startupFileUrl(given);
        QCOMPARE(url, expected.arg(QString::fromLatin1(dir.toPercentEncoding("/"))));
        QVERIFY(QUrl(url).isLocalFile());
    }
};

QTEST_GUILESS_MAIN(StartupArgumentsTest)
#include "tst_startupargs.moc"
