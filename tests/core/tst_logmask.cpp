// What the log shows of tokens, phone numbers and the bodies and addresses that carry them.
#include "core/Log.h"

#include <QtTest>

class LogMaskTest : public QObject
{
    Q_OBJECT

private slots:
    void phoneKeepsOnlyItsEnds_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("mobile number") << "13812345678"
                                       << "138****5678";
        QTest::newRow("eight characters") << "12345678"
                                          << "123*5678";
        QTest::newRow("seven characters hide whole") << "1234567"
                                                     << "***";
        QTest::newRow("empty stays empty") << ""
                                           << "";
    }
    void phoneKeepsOnlyItsEnds()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(app::maskPhone(value), shown);
        QCOMPARE(app::maskToken(value), value.isEmpty() ? QString() : QStringLiteral("***"));
    }

    void secretsInBodiesAndAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("request body")
            << "{\"account\":\"13812345678\",\"datasign\":\"ab\",\"usertoken\":\"tok-9\",\"tasktag\":\"T1\"}"
            << "{\"account\":\"138****5678\",\"datasign\":\"ab\",\"usertoken\":\"***\",\"tasktag\":\"T1\"}";
        QTest::newRow("answer with spaces, nested, escaped quote")
            << "{\"code\": 10000, \"userinfo\": {\"usertoken\": \"a\\\"b\", \"accountid\": \"v-1234567890\"}}"
            << "{\"code\": 10000, \"userinfo\": {\"usertoken\": \"***\", \"accountid\": \"v-1*****7890\"}}";
        QTest::newRow("number value stays valid JSON") << "{\"phone\":13812345678,\"n\":5}"
                                                       << "{\"phone\":\"138****5678\",\"n\":5}";
        QTest::newRow("any letter case") << "{\"TaskToken\":\"tk+1/=\",\"Mobile\":\"13812345678\"}"
                                         << "{\"TaskToken\":\"***\",\"Mobile\":\"138****5678\"}";
        QTest::newRow("query items")
            << "https://h/api/v4/uploadpointfile?tasktag=T1&timestamp=5&tasktoken=tk%2B1&chunk=0"
            << "https://h/api/v4/uploadpointfile?tasktag=T1&timestamp=5&tasktoken=***&chunk=0";
        QTest::newRow("address inside an answer") << "{\"downurl\":\"https://h/r.txt?sig=1&usertoken=tok-9\"}"
                                                  << "{\"downurl\":\"https://h/r.txt?sig=1&usertoken=***\"}";
        QTest::newRow("the web API's names for account, phone and passwords")
            << "{\"username\":\"86-13812345678\",\"bindaccount\":\"13912345678\",\"oldpwd\":\"a\",\"newpwd\":"
               "\"b\"}"
            << "{\"username\":\"86-*******5678\",\"bindaccount\":\"139****5678\",\"oldpwd\":\"***\","
               "\"newpwd\":\"***\"}";
        QTest::newRow("form body behind a label")
            << "pszData: phonenumber=13812345678&loginkey=k1&password=p%26w&softname=T"
            << "pszData: phonenumber=138****5678&loginkey=***&password=***&softname=T";
        QTest::newRow("nothing secret") << "{\"code\":10000,\"message\":\"token expired\"}"
                                        << "{\"code\":10000,\"message\":\"token expired\"}";
        QTest::newRow("not JSON at all") << "<html>account=x</html>"
                                         << "<html>account=x</html>";
    }
    void secretsInBodiesAndAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(app::maskSecrets(text), shown);
    }
};

QTEST_GUILESS_MAIN(LogMaskTest)
#include "tst_logmask.moc"
