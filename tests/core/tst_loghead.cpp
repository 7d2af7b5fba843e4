// The function named in a log line's head: the compiler's own name, except inside a lambda,
// where the line names the function the lambda is written in.
#include "core/Log.h"
#include "core/StateFile.h"

#include <QtTest>

#include <functional>

namespace {

QStringList g_heads;

void recordHead(QtMsgType, const QMessageLogContext &, const QString &message)
{
    const int at = message.indexOf(QLatin1String("FUNC: "));
    g_heads << message.mid(at + 6).section(QLatin1Char(' '), 0, 0);
}

struct Widget
{
    Widget()
    {
        TVX_LOG_INFO << "[Test]";
        [] { TVX_LOG_INFO << "[Test]"; }();
    }
    void method(int, const char *) const
    {
        TVX_LOG_INFO << "[Test]";
        const auto outer = [](const QString &) { [] { TVX_LOG_WARN << "[Test]"; }(); };
        outer(QString());
    }
    bool operator==(const Widget &) const
    {
        [] { TVX_LOG_INFO << "[Test]"; }();
        return true;
    }
    void operator()(int)
    {
        TVX_LOG_INFO << "[Test]";
        [=]() mutable { TVX_LOG_ERROR << "[Test]"; }();
    }
};

template <typename T> std::function<void(T)> templated()
{
    return [](T) { TVX_LOG_INFO << "[Test]"; };
}

} // namespace

class LogHeadTest : public QObject
{
    Q_OBJECT

private slots:
    void namesTheFunctionOfAPrettyName_data()
    {
        QTest::addColumn<QString>("pretty");
        QTest::addColumn<QString>("expected");
        // As GCC writes them.
        QTest::newRow("free function") << "int main(int, char**)"
                                       << "main";
        QTest::newRow("const method") << "void ns::Foo::m(int, const char*) const"
                                      << "m";
        QTest::newRow("lambda in free function") << "main(int, char**)::<lambda()>"
                                                 << "main";
        QTest::newRow("lambda in const method") << "ns::Foo::m(int, const char*) const::<lambda(const "
                                                   "std::map<int, int>&)>"
                                                << "m";
        QTest::newRow("nested lambda") << "ns::Foo::m(int, const char*) const::<lambda(const "
                                          "std::string&)>::<lambda()>"
                                       << "m";
        QTest::newRow("lambda in constructor") << "ns::Foo::Foo()::<lambda()>"
                                               << "Foo";
        QTest::newRow("destructor") << "ns::Foo::~Foo()"
                                    << "~Foo";
        QTest::newRow("lambda in operator==") << "ns::Foo::operator==(const ns::Foo&) const::<lambda()>"
                                              << "operator==";
        QTest::newRow("lambda in operator<<") << "ns::Foo::operator<<(int)::<lambda()>"
                                              << "operator<<";
        QTest::newRow("operator<") << "bool ns::Foo::operator<(const ns::Foo&) const"
                                   << "operator<";
        QTest::newRow("mutable lambda in call operator") << "ns::Foo::operator()(int)::<lambda()> mutable"
                                                         << "operator()";
        QTest::newRow("conversion operator") << "ns::Foo::operator bool() const"
                                             << "operator bool";
        QTest::newRow("operator template") << "S::operator->*<int>(int)::<lambda()>"
                                           << "operator->*";
        QTest::newRow("return type with parentheses") << "static std::function<void(int)> ns::Foo::make()"
                                                      << "make";
        QTest::newRow("member template") << "void ns::Bar<T>::baz(U) [with U = double; T = int]"
                                         << "baz";
        QTest::newRow("lambda in member template") << "ns::Bar<int>::baz<double>(double)::<lambda()>"
                                                   << "baz";
        QTest::newRow("lambda type as template argument")
            << "tf<main()::<lambda()> >(main()::<lambda()>)::<lambda()>"
            << "tf";
        QTest::newRow("anonymous namespace, function pointer parameter")
            << "{anonymous}::anon(void (*)(int))::<lambda()>"
            << "anon";
        QTest::newRow("lambda outside any function") << "<lambda()>" << QString();
        QTest::newRow("lambda in a member initialiser") << "ns::Foo::<lambda()>" << QString();
        // As clang writes them.
        QTest::newRow("clang nested lambda") << "auto ns::Foo::m(int, const char *)::(anonymous "
                                                "class)::operator()(const std::string &)::(anonymous "
                                                "class)::operator()() const"
                                             << "m";
        QTest::newRow("clang reference return") << "ns::Foo &ns::Foo::operator<<(int)"
                                                << "operator<<";
        QTest::newRow("clang lambda in template") << "auto ns::Bar<int>::baz(double)::(anonymous "
                                                     "class)::operator()() const [T = int]"
                                                  << "baz";
        QTest::newRow("clang lambda type as argument") << "auto tf((lambda at a.cpp:5:17))::(anonymous "
                                                          "class)::operator()() const"
                                                       << "tf";
        QTest::newRow("clang lambda at") << "auto (anonymous namespace)::anon(void (*)(int))::(lambda at "
                                            "a.cpp:3:5)::operator()() const"
                                         << "anon";
        QTest::newRow("clang lambda outside any function")
            << "auto (anonymous class)::operator()() const" << QString();
    }

    void namesTheFunctionOfAPrettyName()
    {
        QFETCH(QString, pretty);
        QFETCH(QString, expected);
        QCOMPARE(app::enclosingFunctionName(pretty.toLatin1().constData()), expected);
    }

    // The lines this compiler writes: outside lambdas exactly its own function names.
    void logLinesNameTheEnclosingFunction()
    {
        g_heads.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordHead);
        [] { TVX_LOG_INFO << "[Test]"; }();
        Widget widget;
        widget.method(1, "");
        QVERIFY(widget == widget);
        widget(1);
        templated<int>()(1);
        qInstallMessageHandler(previous);
        QCOMPARE(g_heads, (QStringList{"logLinesNameTheEnclosingFunction", "Widget", "Widget", "method",
                                       "method", "operator==", "operator()", "operator()", "templated"}));

        QCOMPARE(app::logHead("operator()", "<lambda()>").section(QLatin1Char(' '), 2),
                 QStringLiteral("operator()"));
    }

    // A library's lines carry its category, so the logging rules switch one library alone; the
    // text and the level stay the same.
    void linesCarryTheirLibrarysCategory()
    {
        static QList<QPair<QString, QString>> lines;
        lines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
                if (type == QtWarningMsg && text.contains(QLatin1String("[StateFile]")))
                    lines.append({QString::fromLatin1(context.category), text});
                else if (text.contains(QLatin1String("[CategoryTest]")))
                    lines.append({QString::fromLatin1(context.category), text});
            });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[a]\nb=1\n");
        file.close();

        const auto logBoth = [&] {
            app::keepStateFileCopy(path); // a warning of the core library
            TVX_LOG_INFO << "[CategoryTest]";
        };
        logBoth();
        QLoggingCategory::setFilterRules(QStringLiteral("tvx.core.warning=false"));
        logBoth();
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);

        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).first, QStringLiteral("tvx.core"));
        QVERIFY(lines.at(0).second.contains(QLatin1String(": [WARN] [StateFile]")));
        QCOMPARE(lines.at(1).first, QStringLiteral("tvx"));
        QCOMPARE(lines.at(2).first, QStringLiteral("tvx"));
    }
};

QTEST_MAIN(LogHeadTest)
#include "tst_loghead.moc"
