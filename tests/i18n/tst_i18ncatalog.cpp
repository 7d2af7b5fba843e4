// Catalog parsing, escape decoding, substitution, loading, and the shipped resource's key set.
#include "i18n/I18nCatalog.h"

#include "MessageCapture.h"
#include "TestSupport.h"

#include <QFile>
#include <QSet>
#include <QTextCodec>
#include <QtTest>

namespace {
const QString kResource = QStringLiteral(":/i18n/zh-CN.properties");
}

class I18nCatalogTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { tvxtest::initTestProcess(); }

    // clang-format off
    void parseEntry_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("blanks around equals") << "  a.b = v" << "a.b" << "v";
        QTest::newRow("colon, no blanks") << "a.b:v" << "a.b" << "v";
        QTest::newRow("blanks only") << "a.b   v" << "a.b" << "v";
        QTest::newRow("tabs around colon") << "a.b\t:\tv" << "a.b" << "v";
        QTest::newRow("blank, colon, then equals in value") << "k : =v" << "k" << "=v";
        QTest::newRow("first equals separates") << "a=b=c" << "a" << "b=c";
        QTest::newRow("escaped equals in key") << R"(a\=b=c)" << "a=b" << "c";
        QTest::newRow("escaped blank in key") << R"(a\ b c)" << "a b" << "c";
        QTest::newRow("escaped colon in key") << R"(a\:b:c)" << "a:b" << "c";
        QTest::newRow("key only") << "lonely" << "lonely" << "";
        QTest::newRow("key then blanks") << "k   " << "k" << "";
        QTest::newRow("empty value") << "k=" << "k" << "";
        QTest::newRow("key ends in backslash") << R"(k\)" << R"(k\)" << "";
        QTest::newRow("trailing blanks kept") << "k=v  " << "k" << "v  ";
        QTest::newRow("escaped leading blank") << QString::fromUtf8(R"(k=\ 倍)") << "k" << QString::fromUtf8(" 倍");
        QTest::newRow("escapes in value") << R"(k=a\tb\nc)" << "k" << "a\tb\nc";
        QTest::newRow("no continuation line") << R"(k=first\)" << "k" << R"(first\)";
        QTest::newRow("unicode spaces before key") << QString::fromUtf8("\u00A0\u3000k=v") << "k" << "v";
        QTest::newRow("white space only") << " \t " << "" << "";
        QTest::newRow("leading equals") << "=v" << "" << "v";
        QTest::newRow("leading colon") << ": v" << "" << "v";
    }
    // clang-format on
    void parseEntry()
    {
        QFETCH(QString, line);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const I18nCatalog::Entry entry = I18nCatalog::parseEntry(line);
        QCOMPARE(entry.key, key);
        QCOMPARE(entry.value, value);
    }

    // clang-format off
    void decodeEscapedText_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("plain") << "abc" << "abc";
        QTest::newRow("control escapes") << R"(a\nb\rc\td)" << "a\nb\rc\td";
        QTest::newRow("unicode, lower hex") << R"(\u4e2d\u6587)" << QString::fromUtf8("中文");
        QTest::newRow("unicode, upper hex, at end") << R"(\u00E9)" << QString::fromUtf8("é");
        QTest::newRow("surrogate pair") << R"(\uD83D\uDE00)" << QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("fewer than four left") << R"(x\u12)" << R"(x\u12)";
        QTest::newRow("non-hex among four") << R"(\u12G4z)" << R"(\u12G4z)";
        QTest::newRow("u then another escape") << R"(\u\n)" << "\\u\n";
        QTest::newRow("escaped backslash") << R"(a\\b)" << R"(a\b)";
        QTest::newRow("escaped separators and letters") << R"(\ \:\=\q)" << " :=q";
        QTest::newRow("trailing backslash") << R"(end\)" << R"(end\)";
    }
    // clang-format on
    void decodeEscapedText()
    {
        QFETCH(QString, raw);
        QFETCH(QString, decoded);
        QCOMPARE(I18nCatalog::decodeEscapedText(raw), decoded);
    }

    // clang-format off
    void applyArgs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariantMap>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("value holding another placeholder")
            << "%{left} %{right}" << QVariantMap{{"left", "%{right}"}, {"right", "R"}} << "%{right} R";
        QTest::newRow("value holding its own placeholder") << "%{a}!" << QVariantMap{{"a", "%{a}"}} << "%{a}!";
        QTest::newRow("missing name kept") << "%{left} %{right}" << QVariantMap{{"left", "L"}} << "L %{right}";
        QTest::newRow("same placeholder twice") << "%{n}+%{n}" << QVariantMap{{"n", 3}} << "3+3";
        QTest::newRow("positional marker left alone") << "v%1 %{x}" << QVariantMap{{"x", "y"}} << "v%1 y";
        QTest::newRow("empty map") << "%{a}" << QVariantMap() << "%{a}";
        QTest::newRow("dots, dashes, underscores") << "[%{a.b-c_1}]" << QVariantMap{{"a.b-c_1", "ok"}} << "[ok]";
        QTest::newRow("not placeholders") << "%{} %{a b} %a %{a" << QVariantMap{{"a", "X"}, {"a b", "Y"}}
                                          << "%{} %{a b} %a %{a";
        QTest::newRow("case-sensitive names") << "%{Name}" << QVariantMap{{"name", "x"}} << "%{Name}";
        QTest::newRow("number converted") << "%{count}/%{ratio}" << QVariantMap{{"count", 5}, {"ratio", 0.5}}
                                          << "5/0.5";
    }
    // clang-format on
    void applyArgs()
    {
        QFETCH(QString, text);
        QFETCH(QVariantMap, args);
        QFETCH(QString, expected);
        QCOMPARE(I18nCatalog::applyArgs(text, args), expected);
    }

    void loadFile()
    {
        const QByteArray bytes = "# comment\r\n"
                                 "\r\n"
                                 "   ! indented comment\r\n"
                                 " \t \r\n"
                                 "=orphan\r\n"
                                 "dup=first\n"
                                 "a!b=not a comment\r\n"
                                 "dup = second\r\n"
                                 "bad.utf8=x\xff"
                                 "y\r\n"
                                 "#hidden=1\r\n"
                                 "last:no line end";
        const QString path = tvxtest::writeFile(tvxtest::scratchPath("load/sample.properties"), bytes);
        I18nCatalog catalog;
        MessageCapture capture;
        QVERIFY(catalog.loadFromResource(path));
        QCOMPARE(
            capture.count(QtWarningMsg, QStringLiteral("[I18n] Ignored invalid entry at line 5 in ") + path),
            1);
        QCOMPARE(capture.count(QtInfoMsg, QStringLiteral("[I18n] Loaded entries: 4 from ") + path), 1);

        QCOMPARE(catalog.translate("dup"), QStringLiteral("second"));
        QCOMPARE(catalog.translate("a!b"), QStringLiteral("not a comment"));
        QCOMPARE(catalog.translate("bad.utf8"),
                 QString(QStringLiteral("x") + QChar(0xFFFD) + QStringLiteral("y")));
        QCOMPARE(catalog.translate("last"), QStringLiteral("no line end"));
        QCOMPARE(catalog.translate("#hidden"), QStringLiteral("[[#hidden]]"));
    }

    void failedLoadKeepsEntries()
    {
        const QString good = tvxtest::writeFile(tvxtest::scratchPath("keep/good.properties"), "k=v\r\n");
        const QString empty =
            tvxtest::writeFile(tvxtest::scratchPath("keep/empty.properties"), "# nothing\r\n");
        I18nCatalog catalog;
        QVERIFY(catalog.loadFromResource(good));
        {
            MessageCapture capture;
            QVERIFY(!catalog.loadFromResource(tvxtest::scratchPath("keep/absent.properties")));
            QCOMPARE(capture.count(QtCriticalMsg, QStringLiteral("[I18n] Failed to open properties file:")),
                     1);
        }
        QCOMPARE(catalog.translate("k"), QStringLiteral("v"));

        QVERIFY(catalog.loadFromResource(empty));
        QCOMPARE(catalog.translate("k"), QStringLiteral("[[k]]"));
    }

    void missingKeyWarnsOncePerLookup()
    {
        I18nCatalog catalog;
        MessageCapture capture;
        QCOMPARE(catalog.translate("no.such.key", QVariantMap{{"a", 1}}), QStringLiteral("[[no.such.key]]"));
        QCOMPARE(capture.count(QtWarningMsg, QStringLiteral("[I18n] Missing key: no.such.key")), 1);
        QCOMPARE(catalog.translate("no.such.key"), QStringLiteral("[[no.such.key]]"));
        QCOMPARE(capture.count(QtWarningMsg, QStringLiteral("[I18n] Missing key: no.such.key")), 2);
        QCOMPARE(capture.total(), 2);
    }

    // The shipped resource holds exactly the listed keys, once each, in the stated file form.
    void resourceKeySet()
    {
        QFile listFile(tvxtest::sourceDir() + QStringLiteral("/tests/i18n/data/catalog-keys.txt"));
        QVERIFY2(listFile.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(listFile.fileName()));
        QSet<QString> expected;
        for (const QByteArray &raw : listFile.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            QVERIFY2(!expected.contains(line), qPrintable(QStringLiteral("listed twice: ") + line));
            expected.insert(line);
        }

        QFile resource(kResource);
        QVERIFY(resource.open(QIODevice::ReadOnly));
        const QByteArray bytes = resource.readAll();
        QTextCodec::ConverterState state;
        const QString text =
            QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
        QCOMPARE(state.invalidChars, 0);
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(text.startsWith(QString::fromUtf8("# Tavrixo 简体中文文案（阶段 A 最小集合）\r\n")));

        QSet<QString> actual;
        for (const QString &line : text.split(QStringLiteral("\r\n"))) {
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) ||
                trimmed.startsWith(QLatin1Char('!')))
                continue;
            const I18nCatalog::Entry entry = I18nCatalog::parseEntry(line);
            QVERIFY2(!entry.key.isEmpty(), qPrintable(line));
            QVERIFY2(!entry.value.trimmed().isEmpty(), qPrintable(entry.key));
            QVERIFY2(!actual.contains(entry.key), qPrintable(QStringLiteral("duplicate ") + entry.key));
            actual.insert(entry.key);
        }
        QStringList missing = (expected - actual).values();
        QStringList extra = (actual - expected).values();
        missing.sort();
        extra.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing: ") + missing.join(QLatin1Char(' '))));
        QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("extra: ") + extra.join(QLatin1Char(' '))));
        QCOMPARE(actual.size(), expected.size());
    }

    // clang-format off
    void resourceTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariantMap>("args");
        QTest::addColumn<QString>("expected");
        const auto u = [](const char *s) { return QString::fromUtf8(s); };
        QTest::newRow("escaped blank starts speed suffix") << "ui.text.playback.speed_suffix" << QVariantMap() << u(" 倍");
        QTest::newRow("padding kept: format") << "tool.common.label.format_with_padding" << QVariantMap() << u("格式:  ");
        QTest::newRow("padding kept: resolution")
            << "tool.common.label.resolution_with_padding" << QVariantMap() << u("分辨率:  ");
        QTest::newRow("padding kept: size") << "tool.common.label.size_with_padding" << QVariantMap() << u("大小:  ");
        QTest::newRow("padding kept: actual") << "tool.video_compress.size.actual_label" << QVariantMap() << u("实际大小:  ");
        QTest::newRow("padding kept: estimated")
            << "tool.video_compress.size.estimated_label" << QVariantMap() << u("预估大小:  ");
        QTest::newRow("padding kept: language") << "ui.text.language.label" << QVariantMap() << u("语种:  ");
        QTest::newRow("concat with only left") << "tool.common.concat_with_space" << QVariantMap{{"left", "L"}}
                                               << u("L %{right}");
        QTest::newRow("positional left for caller") << "ui.text.about.version_with_arg" << QVariantMap{{"x", 1}}
                                                    << u("版本 %1");
        QTest::newRow("line feeds decoded")
            << "app.error.ssl_runtime_missing_detail" << QVariantMap{{"build", "B"}, {"runtime", "R"}}
            << u("OpenSSL 运行时不可用。\n请部署 OpenSSL 1.1.x 运行库。\n\nBuild: B\nRuntime: R");
        QTest::newRow("percent sign after placeholder")
            << "tool.video_compress.task.compressing_percent" << QVariantMap{{"percent", 42}} << u("压缩中 42%");
    }
    // clang-format on
    void resourceTexts()
    {
        QFETCH(QString, key);
        QFETCH(QVariantMap, args);
        QFETCH(QString, expected);
        static I18nCatalog catalog;
        static const bool loaded = catalog.loadFromResource(kResource);
        QVERIFY(loaded);
        QCOMPARE(catalog.translate(key, args), expected);
    }
};

QTEST_GUILESS_MAIN(I18nCatalogTest)
#include "tst_i18ncatalog.moc"
