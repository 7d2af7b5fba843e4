// I18nService as QML reads it: the context property "i18n" with locale and both t overloads.
#include "i18n/I18nService.h"

#include "TestSupport.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QtTest>

class I18nServiceTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    // clang-format off
    void fromQml_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        const auto u = [](const char *s) { return QString::fromUtf8(s); };
        QTest::newRow("locale") << "i18n.locale" << "zh-CN";
        QTest::newRow("key only") << "i18n.t('player.control.play')" << u("播放");
        QTest::newRow("named arguments") << "i18n.t('player.track.with_index', {type: 'T', id: 2})" << "T 2";
        QTest::newRow("one argument missing") << "i18n.t('tool.common.concat_with_space', {left: 'L'})"
                                              << "L %{right}";
        QTest::newRow("positional filled by QML") << "i18n.t('ui.text.about.version_with_arg').arg('1.0')"
                                                  << u("版本 1.0");
        QTest::newRow("missing key") << "i18n.t('no.such.key', {})" << "[[no.such.key]]";
    }
    // clang-format on
    void fromQml()
    {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        I18nService service;
        QVERIFY(service.initialize(QStringLiteral(":/i18n/zh-CN.properties"), QStringLiteral("zh-CN")));
        QQmlEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("i18n"), &service);
        QQmlExpression expr(engine.rootContext(), nullptr, expression);
        const QVariant result = expr.evaluate();
        QVERIFY2(!expr.hasError(), qPrintable(expr.error().toString()));
        QCOMPARE(result.toString(), expected);
    }

    void failedInitializeKeepsLocale()
    {
        I18nService service;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("\\[I18n\\] Failed to open")));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral(
                                                "\\[I18n\\] Initialization failed\\. locale= zh-CN")));
        QVERIFY(!service.initialize(tvxtest::scratchPath("absent.properties"), QStringLiteral("zh-CN")));
        QCOMPARE(service.locale(), QStringLiteral("zh-CN"));
        QCOMPARE(service.t(QStringLiteral("player.control.play")), QStringLiteral("[[player.control.play]]"));
    }
};

QTEST_GUILESS_MAIN(I18nServiceTest)
#include "tst_i18nservice.moc"
