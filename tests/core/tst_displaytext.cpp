// Text from a server as the interface shows it: one line, in the order it was written.
#include "core/DisplayText.h"

#include <QtTest>

class DisplayTextTest : public QObject
{
    Q_OBJECT

private slots:
    void displayText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("override and line break") << "Bob\u202eevil\nFAKE"
                                                 << "Bobevil FAKE";
        QTest::newRow("a run of breaks is one blank") << "a\r\n\tb\u2028\u2029c\u0085d"
                                                      << "a b c d";
        QTest::newRow("controls go") << "a\x01\x1b[31mb\x7f\u009bc"
                                     << "a[31mbc";
        QTest::newRow("marks, embeddings, isolates")
            << "\u200e\u200f\u202a\u202b\u202c\u202d\u2066\u2067\u2068\u2069\u061cx"
            << "x";
        QTest::newRow("markup stays text") << "<b><font color=\"red\">ADMIN</font></b>"
                                           << "<b><font color=\"red\">ADMIN</font></b>";
        QTest::newRow("Chinese, emoji, joiners kept") << "\u5f20\u4e09 \U0001F600\u200d\u200b"
                                                      << "\u5f20\u4e09 \U0001F600\u200d\u200b";
        QTest::newRow("empty") << ""
                               << "";
    }
    void displayText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(app::displayText(text), shown);
    }
};

QTEST_GUILESS_MAIN(DisplayTextTest)
#include "tst_displaytext.moc"
