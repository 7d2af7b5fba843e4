// The interface font: an installed family that has the Chinese glyphs.
#include "TestSupport.h"
#include "app/UiFont.h"

#include <QFont>
#include <QRawFont>
#include <QtTest>

class UiFontTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    void choice_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("cjkCapable");
        QTest::addColumn<QString>("expected");
        const QString yaHeiZh = QStringLiteral("微软雅黑");
        QTest::newRow("preferred Chinese name")
            << QStringList{"DejaVu Sans", yaHeiZh, "Noto Sans CJK SC"} << QStringList{} << yaHeiZh;
        QTest::newRow("preferred English name")
            << QStringList{"Noto Sans CJK SC", "Microsoft YaHei"} << QStringList{} << "Microsoft YaHei";
        QTest::newRow("Noto CJK on Debian")
            << QStringList{"DejaVu Sans", "Noto Sans CJK JP", "Noto Sans CJK SC"}
            << QStringList{"Noto Sans CJK JP", "Noto Sans CJK SC"} << "Noto Sans CJK SC";
        QTest::newRow("case of the database")
            << QStringList{"wenquanyi zen hei"} << QStringList{} << "WenQuanYi Zen Hei";
        QTest::newRow("any family with Chinese")
            << QStringList{"DejaVu Sans", "Some Han Font"} << QStringList{"Some Han Font"} << "Some Han Font";
        QTest::newRow("none installed") << QStringList{"DejaVu Sans"} << QStringList{} << "Microsoft YaHei";
    }
    void choice()
    {
        QFETCH(QStringList, installed);
        QFETCH(QStringList, cjkCapable);
        QFETCH(QString, expected);
        QCOMPARE(app::chooseUiFontFamily(installed, cjkCapable), expected);
    }

    void familyOnThisMachineHasTheGlyphs()
    {
        const QString family = app::uiFontFamily();
        const QRawFont raw = QRawFont::fromFont(QFont(family));
        QVERIFY2(raw.isValid(), qPrintable(family));
        for (const QChar c : QStringLiteral("播放列表设置"))
            QVERIFY2(raw.supportsCharacter(c), qPrintable(family + QStringLiteral(" lacks ") + c));
    }
};

QTEST_MAIN(UiFontTest)
#include "tst_uifont.moc"
