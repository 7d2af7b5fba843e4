// Where the device identifiers come from: the product UUID or else the machine id, the board
// serial when readable, and a volume id that is left out rather than made up.
#include "TestSupport.h"
#include "platform/DeviceIdentifiers.h"

#include <QtTest>

using platform::DeviceIdentifiers;
using platform::DeviceIdentifierSources;

class DeviceIdentifiersTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void sourcesTable_data()
    {
        QTest::addColumn<QByteArray>("product"); // "-" for no file
        QTest::addColumn<QByteArray>("machine");
        QTest::addColumn<QByteArray>("board");
        QTest::addColumn<QString>("expectedUuid");
        QTest::addColumn<QString>("expectedBoard");

        QTest::newRow("product UUID wins") << QByteArray("4C4C4544-0042\n") << QByteArray("abc\n")
                                           << QByteArray("BSN 1\n") << "4C4C4544-0042"
                                           << "BSN 1";
        QTest::newRow("unreadable product UUID: machine id")
            << QByteArray("-") << QByteArray("0123abcd\n") << QByteArray("-") << "0123abcd"
            << "";
        QTest::newRow("empty product UUID: machine id")
            << QByteArray("\n") << QByteArray("0123abcd\n") << QByteArray("") << "0123abcd"
            << "";
        QTest::newRow("nothing readable") << QByteArray("-") << QByteArray("-") << QByteArray("-") << ""
                                          << "";
    }

    void sourcesTable()
    {
        QFETCH(QByteArray, product);
        QFETCH(QByteArray, machine);
        QFETCH(QByteArray, board);
        QFETCH(QString, expectedUuid);
        QFETCH(QString, expectedBoard);

        const QString dir = tvxtest::scratchPath(QStringLiteral("ids/%1").arg(QTest::currentDataTag()));
        auto place = [&](const char *name, const QByteArray &bytes) {
            const QString path = dir + QLatin1Char('/') + QLatin1String(name);
            return bytes == "-" ? path : tvxtest::writeFile(path, bytes);
        };
        DeviceIdentifierSources sources;
        sources.productUuidFile = place("product_uuid", product);
        sources.machineIdFile = place("machine-id", machine);
        sources.boardSerialFile = place("board_serial", board);
        sources.volumePath = dir + QStringLiteral("/no-such-volume");
        sources.readProcessor = false;

        const DeviceIdentifiers ids = platform::readDeviceIdentifiers(sources);
        QCOMPARE(ids.productUuid, expectedUuid);
        QCOMPARE(ids.boardSerial, expectedBoard);
        QCOMPARE(ids.processorId, QString());
        QVERIFY2(ids.volumeSerial.isEmpty(), "an unreadable volume gives nothing, never \"0\"");
    }

    void realSourcesAreWellFormed()
    {
        const DeviceIdentifiers ids = platform::readDeviceIdentifiers();
        if (!ids.processorId.isEmpty()) {
            QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{16}$")).match(ids.processorId).hasMatch());
        }
        if (!ids.volumeSerial.isEmpty()) {
            bool ok = false;
            QVERIFY(ids.volumeSerial.toUInt(&ok) != 0 && ok);
        }
    }
};

QTEST_GUILESS_MAIN(DeviceIdentifiersTest)
#include "tst_deviceidentifiers.moc"
