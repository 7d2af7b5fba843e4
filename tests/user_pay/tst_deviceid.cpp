// The device id: how the raw identifiers are cleaned and combined, and what a machine with
// none of them gets.
#include "TestSupport.h"
#include "user_pay/UUIDProvider.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QtTest>

namespace {
QString md5(const QByteArray &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex());
}
} // namespace

class DeviceIdTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void combineTable_data()
    {
        QTest::addColumn<QString>("productUuid");
        QTest::addColumn<QString>("boardSerial");
        QTest::addColumn<QString>("processorId");
        QTest::addColumn<QString>("volumeSerial");
        QTest::addColumn<QString>("expected");

        QTest::newRow("all four, joined in order")
            << "4C4C4544-0042-3510"
            << "BSN123"
            << "BFEBFBFF000906EA"
            << "2882343476" << md5("4C4C454400423510BSN123BFEBFBFF000906EA2882343476");
        QTest::newRow("hyphens, blanks, breaks and underscores go, case stays") << " ab-Cd_eF\r\n"
                                                                                << "x y"
                                                                                << "Z"
                                                                                << "12" << md5("abCdeFxyZ12");
        QTest::newRow("a serial of only separators contributes nothing") << "u"
                                                                         << " -_ \n"
                                                                         << "p"
                                                                         << "7" << md5("up7");
        QTest::newRow("an unreadable volume contributes nothing") << "u"
                                                                  << "b"
                                                                  << "p"
                                                                  << "" << md5("ubp");
        QTest::newRow("volume alone") << ""
                                      << ""
                                      << ""
                                      << "305419896" << md5("305419896");
        QTest::newRow("non-Latin-1 text digests as '?'") << "é中"
                                                         << ""
                                                         << ""
                                                         << "" << md5("\xe9?");
        QTest::newRow("all empty gives the fallback, not a shared digest") << ""
                                                                           << ""
                                                                           << ""
                                                                           << ""
                                                                           << " ";
        QTest::newRow("all separators gives the fallback") << "--"
                                                           << "__"
                                                           << " \n"
                                                           << ""
                                                           << " ";
    }

    void combineTable()
    {
        QFETCH(QString, productUuid);
        QFETCH(QString, boardSerial);
        QFETCH(QString, processorId);
        QFETCH(QString, volumeSerial);
        QFETCH(QString, expected);
        QCOMPARE(UUIDProvider::combine(productUuid, boardSerial, processorId, volumeSerial), expected);
    }

    void fallbackIsTheCallersChoice()
    {
        QCOMPARE(UUIDProvider::combine(QString(), QString(), QString(), QString(), QStringLiteral("fb")),
                 QStringLiteral("fb"));
    }

    void thisMachineGivesAStableId()
    {
        const QString id = UUIDProvider::getUuid();
        QCOMPARE(UUIDProvider::getUuid(), id);
        if (id != QLatin1String(" ")) {
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(id).hasMatch(),
                     qPrintable(id));
        }
    }
};

QTEST_GUILESS_MAIN(DeviceIdTest)
#include "tst_deviceid.moc"
