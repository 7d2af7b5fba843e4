// The web view item under Xvfb with the fake engine beside the test program: signal contracts,
// one engine per process, input forwarding, pixel scaling, the painted picture, and teardown
// from inside engine calls. Engine start failures run in copies of this program placed in
// folders of their own, since the engine is started once per process.
#include "FakeWkeControl.h"
#include "TestSupport.h"
#include "webview/MiniBlinkRuntime.h"
#include "webview/MiniBlinkWrapper.h"

#include <QGuiApplication>
#include <QLibrary>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickView>
#include <QSignalSpy>
#include <QTextStream>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

// The fake engine's controls, from the same library the item loads.
struct FakeEngine
{
    QLibrary library;
    fakeWke_logSizeFn logSize = nullptr;
    fakeWke_logLineFn logLine = nullptr;
    fakeWke_initializeCountFn initializeCount = nullptr;
    fakeWke_setHookFn setHook = nullptr;

    bool open()
    {
        library.setFileName(webview::miniblinkCandidatePaths().constFirst());
        if (!library.load())
            return false;
        logSize = reinterpret_cast<fakeWke_logSizeFn>(library.resolve("fakeWke_logSize"));
        logLine = reinterpret_cast<fakeWke_logLineFn>(library.resolve("fakeWke_logLine"));
        initializeCount =
            reinterpret_cast<fakeWke_initializeCountFn>(library.resolve("fakeWke_initializeCount"));
        setHook = reinterpret_cast<fakeWke_setHookFn>(library.resolve("fakeWke_setHook"));
        return logSize && logLine && initializeCount && setHook;
    }

    // Log lines from index `from` on that start with prefix.
    QStringList lines(const QString &prefix, int from = 0) const
    {
        QStringList out;
        for (int i = from; i < logSize(); ++i) {
            const QString line = QString::fromUtf8(logLine(i));
            if (line.startsWith(prefix))
                out << line;
        }
        return out;
    }
};

// Names of the item's signals in the order they came.
class SignalRecorder : public QObject
{
public:
    explicit SignalRecorder(MiniBlinkWrapper *item)
    {
        connect(item, &MiniBlinkWrapper::urlChanged, this, [this] { names << "urlChanged"; });
        connect(item, &MiniBlinkWrapper::loadingChanged, this, [this] { names << "loadingChanged"; });
        connect(item, &MiniBlinkWrapper::loadStarted, this, [this] { names << "loadStarted"; });
        connect(item, &MiniBlinkWrapper::firstFrameRendered, this, [this] { names << "firstFrameRendered"; });
        connect(item, &MiniBlinkWrapper::loadFinished, this,
                [this](bool ok) { names << (ok ? "loadFinished(true)" : "loadFinished(false)"); });
    }
    QStringList names;
};

QString viewId(const FakeEngine &fake, int createdFrom)
{
    const QStringList created = fake.lines(QStringLiteral("wkeCreateWebView "), createdFrom);
    return created.isEmpty() ? QString() : created.constLast().section(QLatin1Char(' '), 1);
}

void deleteItem(void *item)
{
    delete static_cast<MiniBlinkWrapper *>(item);
}

// Child run of a copy of this program: one item, a navigation, then a second item after the
// refusal switch is cleared, all printed for the parent to judge.
int probeEngineChild(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    auto first = std::make_unique<MiniBlinkWrapper>();
    SignalRecorder recorder(first.get());
    first->setUrl(QStringLiteral("https://example.invalid/"));
    out << "available=" << int(first->engineAvailable()) << "\n";
    out << "error=" << first->engineError() << "\n";
    out << "signals=" << recorder.names.join(QLatin1Char(',')) << "\n";
    qunsetenv("TVX_FAKE_WKE_REFUSE_INIT");
    MiniBlinkWrapper second;
    out << "retry=" << int(second.engineAvailable()) << "\n";
    return 0;
}

QMap<QString, QString> parseChildOutput(const QByteArray &out)
{
    QMap<QString, QString> values;
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    return values;
}

} // namespace

class TestWebView : public QObject
{
    Q_OBJECT

private:
    FakeEngine m_fake;
    std::unique_ptr<QQuickView> m_window;

    // An item of 400 x 300 at the window's top-left corner, shown.
    MiniBlinkWrapper *showItem()
    {
        auto *item = new MiniBlinkWrapper(m_window->contentItem());
        item->setSize(QSizeF(400, 300));
        return item;
    }

    bool waitForLoad(MiniBlinkWrapper *item)
    {
        QSignalSpy finished(item, &MiniBlinkWrapper::loadFinished);
        return finished.count() > 0 || finished.wait(5000);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY2(m_fake.open(), "the fake engine must sit beside the test program");
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        qmlRegisterType<MiniBlinkWrapper>("com.myapp.miniblink", 1, 0, "MiniBlinkWrapper");
    }

    void init()
    {
        m_window = std::make_unique<QQuickView>();
        m_window->resize(500, 400);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void navigationSignalsWithEngine()
    {
        const int from = m_fake.logSize();
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        QVERIFY(item->engineAvailable());
        QVERIFY(item->engineError().isEmpty());
        const QString id = viewId(m_fake, from);
        SignalRecorder recorder(item.get());

        item->setUrl(QStringLiteral("https://a.example/login?x=1"));
        QCOMPARE(recorder.names, QStringList({"loadingChanged", "loadStarted", "urlChanged"}));
        QVERIFY(item->isLoading());
        QVERIFY(waitForLoad(item.get()));
        QCOMPARE(recorder.names, QStringList({"loadingChanged", "loadStarted", "urlChanged", "loadingChanged",
                                              "firstFrameRendered", "loadFinished(true)"}));
        QVERIFY(!item->isLoading());
        QCOMPARE(m_fake.lines("wkeLoadURL " + id, from),
                 QStringList({"wkeLoadURL " + id + " https://a.example/login?x=1"}));

        // The same address again is no navigation; reload() is, but reports no second load.
        recorder.names.clear();
        item->setUrl(QStringLiteral("https://a.example/login?x=1"));
        item->reload();
        QTest::qWait(100);
        QVERIFY(recorder.names.isEmpty());
        QCOMPARE(m_fake.lines("wkeLoadURL " + id, from).size(), 1);
        QCOMPARE(m_fake.lines("wkeReload " + id, from).size(), 1);

        // Each navigation reports its first frame once.
        item->setUrl(QStringLiteral("https://b.example/"));
        QVERIFY(waitForLoad(item.get()));
        QTest::qWait(100);
        QCOMPARE(recorder.names.count("firstFrameRendered"), 1);
    }

    void oneEngineStartForItemsAndWarmup()
    {
        const int from = m_fake.logSize();
        std::unique_ptr<MiniBlinkWrapper> first(showItem());
        std::unique_ptr<MiniBlinkWrapper> second(showItem());
        MiniBlinkWrapper::warmup();
        MiniBlinkWrapper::warmup();
        QVERIFY(first->engineAvailable() && second->engineAvailable());
        QCOMPARE(m_fake.initializeCount(), 1);
        // Three views were made: two items and the one warm-up, which stopped its own.
        const QStringList created = m_fake.lines(QStringLiteral("wkeCreateWebView "), from);
        QCOMPARE(created.size(), 3);
        const QString warmupView = created.constLast().section(QLatin1Char(' '), 1);
        QCOMPARE(m_fake.lines("wkeStopLoading " + warmupView, from).size(), 1);
        // Every view keeps its page storage and cookies in the one folder.
        const QString cookies =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).filePath("cookies");
        QVERIFY(QFileInfo(cookies).isDir());
        QCOMPARE(m_fake.lines("wkeSetCookieJarFullPath ", from).size(), 3);
        QVERIFY(
            m_fake.lines("wkeSetCookieJarFullPath ", from).constFirst().endsWith(QDir::cleanPath(cookies)));
        QVERIFY(m_fake.lines("wkeSetLocalStorageFullPath ", from)
                    .constFirst()
                    .endsWith(QDir::cleanPath(cookies)));
    }

    void mouseKeysAndScaling()
    {
        const qreal ratio = qApp->devicePixelRatio();
        const int from = m_fake.logSize();
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        const QString id = viewId(m_fake, from);
        // The view and its buffer take the item's size in device pixels.
        QCOMPARE(m_fake.lines("wkeResize " + id, from).constLast(),
                 QString("wkeResize %1 %2 %3").arg(id).arg(int(400 * ratio)).arg(int(300 * ratio)));

        // Keys before a click into the item stay out of the page.
        item->forceActiveFocus();
        QTest::keyClick(m_window.get(), Qt::Key_A);
        QVERIFY(m_fake.lines("wkeFireKeyPressEvent " + id, from).isEmpty());

        // A right-button press is the engine's button-down message with the right-button flag;
        // the position is scaled like the view and rounded half away from zero.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(10.5, 20.4), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QGuiApplication::sendEvent(m_window.get(), &press);
        const QString expected = QString("wkeFireMouseEvent %1 513 %2 %3 2")
                                     .arg(id)
                                     .arg(std::lround(10.5 * ratio))
                                     .arg(std::lround(20.4 * ratio));
        QCOMPARE(m_fake.lines("wkeFireMouseEvent " + id + " 513", from), QStringList({expected}));
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10.5, 20.4), Qt::RightButton, Qt::NoButton,
                            Qt::NoModifier);
        QGuiApplication::sendEvent(m_window.get(), &release);
        QCOMPARE(m_fake.lines("wkeFireMouseEvent " + id + " 514", from).size(), 1);

        QKeyEvent shiftA(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
        QGuiApplication::sendEvent(m_window.get(), &shiftA);
        QKeyEvent shiftARelease(QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
        QGuiApplication::sendEvent(m_window.get(), &shiftARelease);
        QTest::keyClick(m_window.get(), Qt::Key_Backspace);
        QCOMPARE(
            m_fake.lines("wkeFireKeyPressEvent " + id, from),
            QStringList({"wkeFireKeyPressEvent " + id + " 65 4 0", "wkeFireKeyPressEvent " + id + " 65 4 1",
                         "wkeFireKeyPressEvent " + id + " 8 0 0", "wkeFireKeyPressEvent " + id + " 8 0 1"}));
        QCOMPARE(m_fake.lines("wkeFireKeyUpEvent " + id, from).constFirst(),
                 "wkeFireKeyUpEvent " + id + " 65 4 0");

        // Losing focus ends typing into the page until the next click.
        const int before = m_fake.lines("wkeFireKeyPressEvent " + id, from).size();
        item->setFocus(false);
        QTest::keyClick(m_window.get(), Qt::Key_B);
        QCOMPARE(m_fake.lines("wkeFireKeyPressEvent " + id, from).size(), before);
    }

    void windowShowsEnginePicture()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(QStringLiteral("https://picture.example/"));
        QVERIFY(waitForLoad(item.get()));
        const QColor expected = QColor::fromRgb(kFakeWkeColour);
        QImage grabbed;
        QVERIFY(tvxtest::waitUntil(
            [&] {
                grabbed = m_window->grabWindow();
                return grabbed.pixelColor(grabbed.width() * 200 / 500, grabbed.height() * 150 / 400) ==
                       expected;
            },
            5000));
        // Outside the item the window's own background shows.
        QVERIFY(grabbed.pixelColor(grabbed.width() * 450 / 500, grabbed.height() * 350 / 400) != expected);
    }

    void failedResizeNeverPaintsPastTheBuffer()
    {
        const int from = m_fake.logSize();
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        const QString id = viewId(m_fake, from);
        // Too wide for any buffer: the view takes the size, the buffer cannot.
        item->setWidth(20000);
        QCOMPARE(m_fake.lines("wkeResize " + id, from).constLast(),
                 QString("wkeResize %1 %2 %3")
                     .arg(id)
                     .arg(int(20000 * qApp->devicePixelRatio()))
                     .arg(int(300 * qApp->devicePixelRatio())));
        const int paintsBefore = m_fake.lines("wkePaint " + id, from).size();
        QSignalSpy finished(item.get(), &MiniBlinkWrapper::loadFinished);
        item->setUrl(QStringLiteral("https://wide.example/"));
        QTest::qWait(150);
        QCOMPARE(m_fake.lines("wkePaint " + id, from).size(), paintsBefore);
        QCOMPARE(finished.count(), 0);
        // A later resize that succeeds paints again and completes the load.
        item->setWidth(400);
        QVERIFY(finished.count() > 0 || finished.wait(5000));
        QCOMPARE(finished.constFirst().constFirst().toBool(), true);
        QVERIFY(m_fake.lines("wkePaint " + id, from).size() > paintsBefore);
    }

    void destroyedInsideEngineCall_data()
    {
        QTest::addColumn<int>("where");
        QTest::newRow("while the engine updates") << int(kFakeWkeHookUpdate);
        QTest::newRow("while the engine paints") << int(kFakeWkeHookPaint);
    }

    void destroyedInsideEngineCall()
    {
        QFETCH(int, where);
        QPointer<MiniBlinkWrapper> item(showItem());
        item->setUrl(QStringLiteral("https://teardown.example/"));
        m_fake.setHook(where, deleteItem, item.data());
        QVERIFY(tvxtest::waitUntil([&] { return item.isNull(); }, 5000));
        QTest::qWait(100);
        // The engine carries on for the next item.
        std::unique_ptr<MiniBlinkWrapper> next(showItem());
        next->setUrl(QStringLiteral("https://after.example/"));
        QVERIFY(waitForLoad(next.get()));
    }

    void destroyedWithNavigationPending()
    {
        // Straight after the request, before any tick of the frame pump.
        auto *item = showItem();
        item->setUrl(QStringLiteral("https://pending.example/"));
        delete item;

        // A QML scene that loads its page in the declaration and is gone in the same turn.
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.15\nimport com.myapp.miniblink 1.0\n"
                          "MiniBlinkWrapper { width: 200; height: 100; url: \"https://declared.example/\" }",
                          QUrl());
        std::unique_ptr<QObject> declared(component.create());
        QVERIFY2(declared, qPrintable(component.errorString()));
        QCOMPARE(declared->property("loading").toBool(), true);
        qobject_cast<QQuickItem *>(declared.get())->setParentItem(m_window->contentItem());
        QTest::qWait(5);
        declared.reset();

        std::unique_ptr<MiniBlinkWrapper> next(showItem());
        next->setUrl(QStringLiteral("https://after.example/"));
        QVERIFY(waitForLoad(next.get()));
    }

    void engineStartFailures_data()
    {
        QTest::addColumn<QString>("library"); // what lies in the copy's folder
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("errorPattern"); // %1 the folder, %2 the library's path
        QTest::addColumn<bool>("retrySucceeds");
        QTest::newRow("no engine file") << "" << false << "^No MiniBlink runtime found under: %1$" << false;
        QTest::newRow("engine lacks an export")
            << "lacking" << false << "^wkeInitialize failed for dll: %2 \\(missing: wkePaint\\)$" << false;
        QTest::newRow("engine refuses to start")
            << "fake" << true << "^wkeInitialize failed for dll: %2$" << true;
        QTest::newRow("engine of another architecture")
            << "other-class" << false
            << "^MiniBlink load failed: %2: architecture mismatch, current process is \\S+$" << false;
        QTest::newRow("not a library")
            << "garbage" << false << "^MiniBlink load failed: %2: invalid ELF header$" << false;
    }

    void engineStartFailures()
    {
        QFETCH(QString, library);
        QFETCH(bool, refuse);
        QFETCH(QString, errorPattern);
        QFETCH(bool, retrySucceeds);
        const QString folder =
            tvxtest::scratchPath("engine-" + QString(QTest::currentDataTag()).replace(' ', '-'));
        const QString program = tvxtest::copyTestProgramInto(folder);
        QVERIFY(!program.isEmpty());
        const QString libraryPath = QDir(folder).filePath(webview::miniblinkLibraryFileName());
        if (library == "fake" || library == "other-class") {
            QVERIFY(QFile::copy(QStringLiteral(TVX_FAKE_ENGINE), libraryPath));
        } else if (library == "lacking") {
            QVERIFY(QFile::copy(QStringLiteral(TVX_FAKE_ENGINE_LACKING), libraryPath));
        } else if (library == "garbage") {
            tvxtest::writeFile(libraryPath, QByteArray(4096, 'x'));
        }
        if (library == "other-class") {
            // The ELF class byte: a 32-bit library for a 64-bit process, or the other way round.
            QFile file(libraryPath);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(4);
            const char elfClass = sizeof(void *) == 8 ? 1 : 2;
            file.write(&elfClass, 1);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (refuse)
            env.insert("TVX_FAKE_WKE_REFUSE_INIT", "1");
        const auto run = tvxtest::runProcess(program, {"--probe-engine"}, 60000, env);
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const auto values = parseChildOutput(run.out);
        QCOMPARE(values.value("available"), QString("0"));
        const QRegularExpression pattern(
            QString(errorPattern)
                .replace("%1", QRegularExpression::escape(QDir::cleanPath(folder)))
                .replace("%2", QRegularExpression::escape(libraryPath)));
        QVERIFY2(pattern.match(values.value("error")).hasMatch(), qPrintable(values.value("error")));
        QCOMPARE(values.value("signals"), QString("loadingChanged,loadFinished(false),urlChanged"));
        QCOMPARE(values.value("retry"), QString(retrySucceeds ? "1" : "0"));
    }

    // An installed program keeps the engine in its private library folder, not beside itself.
    void engineAmongTheInstalledPrivateLibraries()
    {
        const QString tree = tvxtest::scratchPath("installed");
        const QString program = tvxtest::copyTestProgramInto(tree + "/bin");
        QVERIFY(!program.isEmpty());
        const QString libraryPath = QDir::cleanPath(tree + "/bin/" TVX_PRIVATE_LIBDIR_FROM_BINDIR "/" +
                                                    webview::miniblinkLibraryFileName());
        QVERIFY(QDir().mkpath(QFileInfo(libraryPath).absolutePath()));
        QVERIFY(QFile::copy(QStringLiteral(TVX_FAKE_ENGINE), libraryPath));
        const auto run = tvxtest::runProcess(program, {"--probe-engine"});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const auto values = parseChildOutput(run.out);
        QCOMPARE(values.value("error"), QString());
        QCOMPARE(values.value("available"), QString("1"));
    }
};

// Under the sanitizer build this suite looks for memory errors in teardown. Leak checking
// stays off, as for the video surface: what it finds at exit belongs to the OpenGL driver,
// D-Bus and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

int main(int argc, char **argv)
{
    // "--scale=F" runs the suite at device pixel ratio F; it must be set before the application.
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--scale="))
            qputenv("QT_SCALE_FACTOR", arg.mid(8));
        else if (arg == "--probe-engine")
            return probeEngineChild(argc, argv);
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    QGuiApplication app(count, args.data());
    TestWebView test;
    return QTest::qExec(&test, count, args.data());
}

#include "tst_webview.moc"
