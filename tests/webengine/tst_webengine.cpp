// The web view item with the real engine library beside the test program, under Xvfb, against
// pages of a loopback server: the page is shown at the item's size and zoom, clicks and typed
// text reach it, navigations report in order, items share one engine and its cookies, an item
// dies cleanly mid-load, cookies outlive the process, and the program starts without the
// engine, showing the engine error when the library or Qt WebEngine is missing.
#include "PageServer.h"
#include "TestSupport.h"
#include "WebApiTestServer.h"
#include "webview/MiniBlinkRuntime.h"
#include "webview/MiniBlinkWrapper.h"

#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QJsonObject>
#include <QProcess>
#include <QQuickView>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// Item positions, in the item's own coordinates, of the test page's parts as laid out at the
// item's zoom of 90 %: inside the block, just right of it, the button and the text field.
const QPoint kInBlock(60, 45);
const QPoint kRightOfBlock(190, 45);
const QPoint kButton(90, 153);
const QPoint kField(100, 217);

bool sameColour(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 6 && qAbs(a.green() - b.green()) <= 6 && qAbs(a.blue() - b.blue()) <= 6;
}

// The colour on the screen at an item's point.
QColor colourAt(QQuickWindow *window, const QQuickItem *item, const QPoint &point)
{
    const QImage shot = window->grabWindow();
    const QPointF scene = item->mapToScene(QPointF(point));
    const qreal ratio = window->effectiveDevicePixelRatio();
    return shot.pixelColor(int(scene.x() * ratio), int(scene.y() * ratio));
}

bool waitForColour(QQuickWindow *window, const QQuickItem *item, const QPoint &point, const QColor &colour)
{
    return tvxtest::waitUntil([&] { return sameColour(colourAt(window, item, point), colour); }, 30000);
}

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

// The program's own application set-up, which Qt WebEngine relies on.
void setProgramAttributes()
{
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL, true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
}

// Child run: one item, shown, loads the address and waits for the page's block; prints what
// came of it and quits through the event loop, as the program does.
int showPageChild(int argc, char **argv, const QString &url)
{
    setProgramAttributes();
    QApplication app(argc, argv);
    tvxtest::initTestProcess();
    QTextStream out(stdout);
    QQuickView window;
    window.resize(500, 400);
    window.show();
    auto *item = new MiniBlinkWrapper(window.contentItem());
    item->setSize(QSizeF(400, 300));
    QTimer::singleShot(0, &app, [&] {
        item->setUrl(url);
        const bool shown = QTest::qWaitForWindowExposed(&window, tvxtest::scaledMs(5000)) &&
                           waitForColour(&window, item, kInBlock, PageServer::blockColour());
        out << "shown=" << int(shown) << "\n";
        out.flush();
        app.quit();
    });
    return app.exec();
}

// Child run: the sign-in answer arrives while the page shows one of its dialogs. Any box the
// page opens has its item destroyed under it and is then acknowledged; prints how many boxes
// opened.
int dialogUnderCloseChild(int argc, char **argv, const QString &url)
{
    setProgramAttributes();
    QApplication app(argc, argv);
    tvxtest::initTestProcess();
    QTextStream out(stdout);
    QQuickView window;
    window.resize(500, 400);
    window.show();
    QPointer<MiniBlinkWrapper> item = new MiniBlinkWrapper(window.contentItem());
    item->setSize(QSizeF(400, 300));
    int boxes = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box || boxes > 0)
            return;
        ++boxes;
        delete item.data();
        QTimer::singleShot(300, box, [box] {
            if (auto *dialog = qobject_cast<QDialog *>(box))
                dialog->accept();
            else
                box->close();
        });
    });
    watcher.start(20);
    QTimer::singleShot(0, &app, [&] {
        if (!QTest::qWaitForWindowExposed(&window))
            return app.exit(3);
        item->setUrl(url);
        tvxtest::waitUntil(
            [&] {
                return boxes > 0 ||
                       (item && sameColour(colourAt(&window, item, kInBlock), PageServer::blockColour()));
            },
            30000);
        delete item.data();
        // Long enough for an acknowledged box to hand control back to the page's renderer.
        QTest::qWait(1500);
        out << "boxes=" << boxes << "\n";
        out.flush();
        app.quit();
    });
    return app.exec();
}

// Child run: a caller whose console callback stops its view and asks for a new one, which is
// the same view handed on, from inside the view's own call; the view then shows the next page.
int stopInConsoleChild(int argc, char **argv, const QString &url, const QString &nextUrl)
{
    setProgramAttributes();
    QApplication app(argc, argv);
    tvxtest::initTestProcess();
    QTextStream out(stdout);
    if (!webview::ensureMiniBlinkInitialized())
        return 2;
    struct State
    {
        const WkeFunctions *wke = nullptr;
        wkeWebView view = nullptr;
        wkeWebView next = nullptr;
        int messages = 0;
    } state;
    state.wke = webview::miniblinkFunctions();
    state.view = state.wke->createWebView();
    state.wke->resize(state.view, 400, 300);
    state.wke->onConsole(
        state.view,
        [](wkeWebView view, void *param, int, const char *) {
            auto *s = static_cast<State *>(param);
            ++s->messages;
            if (s->next)
                return;
            s->wke->stopLoading(view);
            s->next = s->wke->createWebView();
        },
        &state);
    const QByteArray address = url.toUtf8();
    state.wke->loadURL(state.view, address.constData());
    QTimer::singleShot(0, &app, [&] {
        tvxtest::waitUntil([&] { return state.next != nullptr; }, 30000);
        bool shown = false;
        if (state.next) {
            state.wke->resize(state.next, 400, 300);
            const QByteArray second = nextUrl.toUtf8();
            state.wke->loadURL(state.next, second.constData());
            QImage frame(400, 300, QImage::Format_ARGB32_Premultiplied);
            shown = tvxtest::waitUntil(
                [&] {
                    if (!state.wke->isDirty(state.next))
                        return false;
                    state.wke->setDirty(state.next, false);
                    state.wke->paint(state.next, frame.bits(), int(frame.bytesPerLine()));
                    return sameColour(frame.pixelColor(60, 45), PageServer::secondColour());
                },
                30000);
        }
        out << "messages=" << state.messages << "\n";
        out << "reused=" << int(state.next == state.view) << "\n";
        out << "shown=" << int(shown) << "\n";
        out.flush();
        app.quit();
    });
    return app.exec();
}

// Child run: whether an item has an engine, and why not.
int probeEngineChild(int argc, char **argv, bool widgets, bool sharedContexts)
{
    if (sharedContexts)
        setProgramAttributes();
    std::unique_ptr<QGuiApplication> app(widgets ? new QApplication(argc, argv)
                                                 : new QGuiApplication(argc, argv));
    QTextStream out(stdout);
    MiniBlinkWrapper item;
    out << "available=" << int(item.engineAvailable()) << "\n";
    out << "error=" << item.engineError() << "\n";
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

// Runs a child while this process's event loop goes on, so the page server keeps answering.
tvxtest::ProcessResult runServedChild(const QStringList &args, const QProcessEnvironment &env)
{
    tvxtest::ProcessResult result;
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    result.started = child.waitForStarted(tvxtest::scaledMs(10000));
    if (!result.started)
        return result;
    result.timedOut = !tvxtest::waitUntil([&] { return child.state() == QProcess::NotRunning; }, 90000);
    if (result.timedOut) {
        child.kill();
        child.waitForFinished(tvxtest::scaledMs(5000));
    }
    result.crashed = child.exitStatus() == QProcess::CrashExit;
    result.exitCode = child.exitCode();
    result.out = child.readAllStandardOutput();
    result.err = child.readAllStandardError();
    return result;
}

// The engine's views alive in this process: each is a top-level web view widget.
int engineViews()
{
    int count = 0;
    for (const QWidget *widget : QApplication::topLevelWidgets())
        count += widget->inherits("QWebEngineView") ? 1 : 0;
    return count;
}

// Shared objects mapped into a running process.
QString mappedFiles(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(maps.readAll()) : QString();
}

} // namespace

class TestWebEngine : public QObject
{
    Q_OBJECT

private:
    PageServer m_server;
    std::unique_ptr<QQuickView> m_window;

    // An item of 400 x 300 at x in the window.
    MiniBlinkWrapper *showItem(qreal x = 0)
    {
        auto *item = new MiniBlinkWrapper(m_window->contentItem());
        item->setSize(QSizeF(400, 300));
        item->setX(x);
        return item;
    }

    QColor colourAt(const QQuickItem *item, const QPoint &point) const
    {
        return ::colourAt(m_window.get(), item, point);
    }
    bool waitForColour(const QQuickItem *item, const QPoint &point, const QColor &colour) const
    {
        return ::waitForColour(m_window.get(), item, point, colour);
    }
    bool waitForTyped(const QString &value)
    {
        return tvxtest::waitUntil([&] { return m_server.typed.contains(value); }, 20000);
    }

private slots:
    void initTestCase()
    {
        tvxtest::initTestProcess();
        QVERIFY(m_server.start());
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }

    void init()
    {
        m_window = std::make_unique<QQuickView>();
        m_window->resize(900, 400);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), tvxtest::scaledMs(5000)));
    }

    void cleanup() { m_window.reset(); }

    void pageIsShownAtTheItemsSizeAndZoom()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        QVERIFY2(item->engineAvailable(), qPrintable(item->engineError()));
        item->setUrl(m_server.url("/page").toString());
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        // The block is 200 CSS pixels wide, 180 item pixels at 90 % (Qt WebEngine may show a
        // committed page once at its host's zoom before the view's zoom reaches it).
        QVERIFY(waitForColour(item.get(), kRightOfBlock, Qt::white));
        QVERIFY(sameColour(colourAt(item.get(), QPoint(170, 80)), PageServer::blockColour()));

        // A new size lays the page out again; the block keeps its place and size.
        item->setSize(QSizeF(300, 250));
        QTest::qWait(200);
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        QVERIFY(waitForColour(item.get(), kRightOfBlock, Qt::white));
    }

    void clickThroughTheItemRecoloursTheBlock()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/page").toString());
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, kButton);
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::clickedColour()));
    }

    void typedTextReachesTheField()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/page").toString());
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, kField);
        for (const char key : {'a', 'b', 'C', '1'})
            QTest::keyClick(m_window.get(), key);
        QVERIFY2(waitForTyped(QStringLiteral("abC1")), qPrintable(m_server.typed.join('|')));
        QTest::keyClick(m_window.get(), Qt::Key_Backspace);
        QVERIFY2(waitForTyped(QStringLiteral("abC")), qPrintable(m_server.typed.join('|')));
        // Committed input-method text, one with a character outside the basic plane.
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8("中文\xF0\x9F\x98\x80"));
        QCoreApplication::sendEvent(item.get(), &commit);
        QVERIFY2(waitForTyped(QString::fromUtf8("abC中文\xF0\x9F\x98\x80")),
                 qPrintable(m_server.typed.join('|')));
        // Editing keys with control: select all, then the next key replaces the selection.
        QTest::keyClick(m_window.get(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), 'z');
        QVERIFY2(waitForTyped(QStringLiteral("z")), qPrintable(m_server.typed.join('|')));
    }

    void pageChangesReachTheItem()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/changing").toString());
        // A page that changes by itself, as a refreshing code does, is painted again each time.
        for (int i = 0; i < 2; ++i) {
            QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
            QVERIFY(waitForColour(item.get(), kInBlock, PageServer::secondColour()));
        }
    }

    void wheelScrollsThePage()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/tall").toString());
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        const QPointF at(200, 150);
        QWheelEvent down(at, item->mapToGlobal(at), QPoint(), QPoint(0, -120 * 5), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(item.get(), &down);
        QVERIFY(waitForColour(item.get(), kInBlock, Qt::white));
        QWheelEvent up(at, item->mapToGlobal(at), QPoint(), QPoint(0, 120 * 5), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(item.get(), &up);
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
    }

    void aDestroyedItemsPageStopsWorking()
    {
        // Items never destroy their engine views; a view left behind must not go on running.
        auto *item = showItem();
        item->setUrl(m_server.url("/changing").toString());
        QVERIFY(tvxtest::waitUntil([&] { return m_server.ticks >= 3; }, 30000));
        delete item;
        const int atDeletion = m_server.ticks;
        // A running page reports about 20 changes in 3 s, a hidden one about 3; one report
        // may have been on its way.
        QTest::qWait(3000);
        QVERIFY2(m_server.ticks - atDeletion <= 1, qPrintable(QString::number(m_server.ticks - atDeletion)));
    }

    // Every opening of the sign-in dialog makes an item and destroys it: the engine's views
    // must not pile up, and a view handed on starts blank, without its last page.
    void openingsReuseTheViewsAtRest()
    {
        const int before = engineViews();
        for (int i = 0; i < 12; ++i) {
            std::unique_ptr<MiniBlinkWrapper> item(showItem());
            item->setUrl(m_server.url(i % 2 ? "/second" : "/page").toString());
            QVERIFY(waitForColour(item.get(), kInBlock,
                                  i % 2 ? PageServer::secondColour() : PageServer::blockColour()));
        }
        QVERIFY2(engineViews() <= qMax(before, 1),
                 qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(engineViews())));

        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/never").toString());
        QVERIFY(!tvxtest::waitUntil(
            [&] { return sameColour(colourAt(item.get(), kInBlock), PageServer::secondColour()); }, 1500));
    }

    // The sign-in pages' host may be signed by the authority the program's web calls are
    // configured to trust: its pages are shown, and a host signed by any other is refused.
    void configuredAuthorityIsTrustedAndNoOther()
    {
        tvxtest::WebApiTestServer signedByIt(QStringLiteral("tls-configured"));
        tvxtest::WebApiTestServer signedByOther(QStringLiteral("tls-other"));
        QVERIFY(signedByIt.start());
        QVERIFY(signedByOther.start());
        const QJsonObject page{{"body",
                                "<!DOCTYPE html><html><body style=\"margin:0\"><div style=\"width:200px;"
                                "height:100px;background:rgb(0,128,255)\"></div></body></html>"},
                               {"headers", QJsonObject{{"Content-Type", "text/html; charset=utf-8"}}}};
        signedByIt.setPathRule("/signin", page);
        signedByOther.setPathRule("/signin", page);
        tvxtest::writeConfigOverride({{"webapi/ca_file", signedByIt.caFile()}});
        const auto shown = [this](const QString &host) {
            std::unique_ptr<MiniBlinkWrapper> item(showItem());
            item->setUrl("https://" + host + "/signin");
            return tvxtest::waitUntil(
                [&] { return sameColour(colourAt(item.get(), kInBlock), PageServer::blockColour()); }, 4000);
        };
        QVERIFY(!shown(signedByOther.host()));
        QVERIFY(signedByOther.requests().isEmpty()); // no request crossed the refused handshake
        QVERIFY(shown(signedByIt.host()));
        QCOMPARE(signedByIt.requests().value(0).value("path").toString(), QString("/signin"));
    }

    // A page's alerts are acknowledged and its confirm and prompt refused at once: no box of
    // Qt's opens outside the caller's window, and a page that loops on alerts holds nothing.
    void javaScriptDialogsAreAnsweredAtOnce()
    {
        int boxes = 0;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                ++boxes;
                dialog->reject();
            }
        });
        watcher.start(20);
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        item->setUrl(m_server.url("/dialogs").toString());
        QVERIFY(tvxtest::waitUntil([&] { return !m_server.dialogAnswers.isEmpty(); }, 60000));
        QCOMPARE(m_server.dialogAnswers, QStringList{"c=false&p=null"});
        QCOMPARE(boxes, 0);
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
    }

    // The sign-in answer may close the dialog while the page is inside one of its own calls:
    // neither a box left open under a destroyed item nor a caller that stops its view from
    // its console callback ends the process, and the view handed on shows the next page.
    void viewsOutliveTheirOwnCalls()
    {
        // Each child keeps its storage apart from this process's open one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", tvxtest::scratchPath("child-dialog-data"));
        auto run = runServedChild({"--dialog-under-close", m_server.url("/dialogs").toString()}, env);
        QVERIFY2(!run.crashed && run.exitCode == 0,
                 ("box under a closed item: " + run.err.right(3000)).constData());
        QCOMPARE(parseChildOutput(run.out).value("boxes"), QString("0"));

        env.insert("XDG_DATA_HOME", tvxtest::scratchPath("child-console-data"));
        run = runServedChild(
            {"--stop-in-console", m_server.url("/console").toString(), m_server.url("/second").toString()},
            env);
        QVERIFY2(!run.crashed && run.exitCode == 0,
                 ("stop in the console call: " + run.err.right(3000)).constData());
        const auto values = parseChildOutput(run.out);
        QVERIFY(values.value("messages").toInt() >= 1);
        QCOMPARE(values.value("reused"), QString("1"));
        QCOMPARE(values.value("shown"), QString("1"));
    }

    // The top frame goes to web pages only, wherever a page sends it: the page that tried
    // stays until it moves on to its second page.
    void topFrameGoesToWebPagesOnly_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("followed");
        const QString elsewhere =
            QStringLiteral("<!DOCTYPE html><body style=\"margin:0\"><div style=\"width:200px;"
                           "height:100px;background:rgb(255,64,0)\"></div></body>");
        QTest::newRow("web page") << m_server.url("/elsewhere").toString() << true;
        QTest::newRow("data page") << "data:text/html," + elsewhere << false;
        QTest::newRow("program resource") << "qrc:/engine-test/elsewhere.html" << false;
        QTest::newRow("local file") << QUrl::fromLocalFile(
                                           tvxtest::writeFile(tvxtest::scratchPath("elsewhere.html"),
                                                              elsewhere.toUtf8()))
                                           .toString()
                                    << false;
        QTest::newRow("page source") << "view-source:" + m_server.url("/elsewhere").toString() << false;
    }
    void topFrameGoesToWebPagesOnly()
    {
        QFETCH(QString, target);
        QFETCH(bool, followed);
        QVERIFY(QFile::exists(QStringLiteral(":/engine-test/elsewhere.html")));
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        QUrl leave = m_server.url("/leave");
        leave.setQuery("to=" + QString::fromLatin1(QUrl::toPercentEncoding(target)));
        item->setUrl(leave.toString());
        const auto colour = [&] { return colourAt(item.get(), kInBlock); };
        QVERIFY(tvxtest::waitUntil(
            [&] {
                return sameColour(colour(), PageServer::clickedColour()) ||
                       sameColour(colour(), PageServer::secondColour());
            },
            30000));
        QVERIFY(sameColour(colour(), followed ? PageServer::clickedColour() : PageServer::secondColour()));
    }

    void navigationSignalsComeInOrder()
    {
        std::unique_ptr<MiniBlinkWrapper> item(showItem());
        SignalRecorder recorder(item.get());
        QSignalSpy finished(item.get(), &MiniBlinkWrapper::loadFinished);
        item->setUrl(m_server.url("/page").toString());
        QCOMPARE(recorder.names, QStringList({"loadingChanged", "loadStarted", "urlChanged"}));
        QVERIFY(finished.wait(tvxtest::scaledMs(20000)));
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        const QStringList oneNavigation{"loadingChanged", "loadStarted",        "urlChanged",
                                        "loadingChanged", "firstFrameRendered", "loadFinished(true)"};
        QCOMPARE(recorder.names, oneNavigation);

        recorder.names.clear();
        item->setUrl(m_server.url("/second").toString());
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::secondColour()));
        QCOMPARE(recorder.names, oneNavigation);

        // History moves show the pages again without reporting navigations of the item.
        recorder.names.clear();
        item->goBack();
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::blockColour()));
        item->goForward();
        QVERIFY(waitForColour(item.get(), kInBlock, PageServer::secondColour()));
        QVERIFY(recorder.names.isEmpty());
    }

    void twoItemsShareOneEngine()
    {
        std::unique_ptr<MiniBlinkWrapper> first(showItem());
        std::unique_ptr<MiniBlinkWrapper> second(showItem(450));
        first->setUrl(m_server.url("/cookie-set").toString());
        QVERIFY(waitForColour(first.get(), kInBlock, PageServer::blockColour()));
        // The cookie one view was given goes with the other view's requests.
        second->setUrl(m_server.url("/cookie-echo").toString());
        QVERIFY(waitForColour(second.get(), kInBlock, PageServer::blockColour()));
        QCOMPARE(m_server.echoedCookies.value(m_server.echoedCookies.size() - 1), QString("tvx=kept"));
        // Each shows its own page.
        first->setUrl(m_server.url("/second").toString());
        QVERIFY(waitForColour(first.get(), kInBlock, PageServer::secondColour()));
        QVERIFY(sameColour(colourAt(second.get(), kInBlock), PageServer::blockColour()));
    }

    void destroyingAnItemDuringALoadIsClean()
    {
        auto *item = showItem();
        QPointer<MiniBlinkWrapper> guard(item);
        item->setUrl(m_server.url("/never").toString());
        QVERIFY(tvxtest::waitUntil([&] { return m_server.requested.contains("/never"); }, 20000));
        delete item;
        QTest::qWait(300);
        // The engine goes on serving the next item.
        std::unique_ptr<MiniBlinkWrapper> next(showItem());
        next->setUrl(m_server.url("/page").toString());
        QVERIFY(waitForColour(next.get(), kInBlock, PageServer::blockColour()));
        // And an item destroyed right after its navigation was handed over.
        auto *early = showItem(450);
        early->setUrl(m_server.url("/second").toString());
        delete early;
        QTest::qWait(300);
        QVERIFY(waitForColour(next.get(), kInBlock, PageServer::blockColour()));
    }

    void cookiesOutliveTheProcess()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString data = tvxtest::scratchPath("child-data");
        env.insert("XDG_DATA_HOME", data);
        auto run = runServedChild({"--show-page", m_server.url("/cookie-set").toString()}, env);
        QVERIFY2(run.exitCode == 0 && !run.crashed, run.err.constData());
        QCOMPARE(parseChildOutput(run.out).value("shown"), QString("1"));
        // Kept in the web view's "cookies" folder.
        QStringList stores;
        QDirIterator it(data, {"Cookies"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            stores << it.next();
        QCOMPARE(stores.size(), 1);
        QVERIFY2(stores.constFirst().contains("/cookies/"), qPrintable(stores.constFirst()));

        const int before = m_server.echoedCookies.size();
        run = runServedChild({"--show-page", m_server.url("/cookie-echo").toString()}, env);
        QVERIFY2(run.exitCode == 0 && !run.crashed, run.err.constData());
        QCOMPARE(m_server.echoedCookies.mid(before), QStringList({"tvx=kept"}));
    }

    void missingEngineShowsTheEngineError_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("errorPattern"); // %1 the folder, %2 the library's path
        QTest::newRow("no library") << "none"
                                    << "^No MiniBlink runtime found under: %1$";
        QTest::newRow("no Qt WebEngine")
            << "no-webengine"
            << "^MiniBlink load failed: %2: libQt5WebEngineWidgetX\\.so\\.5: cannot open shared";
        QTest::newRow("no widgets application") << "gui-only"
                                                << "^wkeInitialize failed for dll: %2$";
        QTest::newRow("no shared OpenGL contexts") << "no-shared-gl"
                                                   << "^wkeInitialize failed for dll: %2$";
    }

    void missingEngineShowsTheEngineError()
    {
        QFETCH(QString, setup);
        QFETCH(QString, errorPattern);
        const QString folder = tvxtest::scratchPath("engine-" + setup);
        const QString program = tvxtest::copyTestProgramInto(folder);
        QVERIFY(!program.isEmpty());
        const QString engine = webview::miniblinkCandidatePaths().constFirst();
        const QString libraryPath = QDir(folder).filePath(webview::miniblinkLibraryFileName());
        if (setup != "none")
            QVERIFY(QFile::copy(engine, libraryPath));
        if (setup == "no-webengine") {
            // The same library, needing a Qt WebEngine that is not installed.
            QFile file(libraryPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QByteArray bytes = file.readAll();
            file.close();
            const QByteArray needed("libQt5WebEngineWidgets.so.5");
            QVERIFY(bytes.contains(needed));
            bytes.replace(needed, QByteArray("libQt5WebEngineWidgetX.so.5"));
            tvxtest::writeFile(libraryPath, bytes);
        }
        QStringList args{"--probe-engine"};
        if (setup == "gui-only")
            args << "--gui-only";
        if (setup == "no-shared-gl")
            args << "--no-shared-gl";
        const auto run = tvxtest::runProcess(program, args, 60000);
        QVERIFY2(run.exitCode == 0 && !run.crashed, run.err.constData());
        const auto values = parseChildOutput(run.out);
        QCOMPARE(values.value("available"), QString("0"));
        const QRegularExpression pattern(
            QString(errorPattern)
                .replace("%1", QRegularExpression::escape(QDir::cleanPath(folder)))
                .replace("%2", QRegularExpression::escape(libraryPath)));
        QVERIFY2(pattern.match(values.value("error")).hasMatch(), qPrintable(values.value("error")));
    }

    void playerStartsTheEngineOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("warmup");
        QTest::newRow("plain start") << false;
        QTest::newRow("warm-up asked") << true;
    }

    void playerStartsTheEngineOnlyWhenAsked()
    {
        QFETCH(bool, warmup);
        QVERIFY(QFileInfo::exists(QFileInfo(tvxtest::appExecutable()).dir().filePath("libminiblink.so")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", tvxtest::scratchPath(warmup ? "player-warm" : "player-plain"));
        env.insert("XDG_CONFIG_HOME",
                   tvxtest::scratchPath(warmup ? "player-warm-config" : "player-plain-config"));
        env.insert("TVX_MINIBLINK_WARMUP", warmup ? "1" : "0");
        // Under the sanitizer build what leak checking finds at exit belongs to the OpenGL
        // driver, with or without the engine; memory errors still fail the exit code.
        env.insert(
            "ASAN_OPTIONS",
            (env.value("ASAN_OPTIONS") + ":detect_leaks=0").mid(env.value("ASAN_OPTIONS").isEmpty() ? 1 : 0));
        QProcess player;
        player.setProcessEnvironment(env);
        player.start(tvxtest::appExecutable(), QStringList());
        QVERIFY(player.waitForStarted(tvxtest::scaledMs(10000)));
        QString log;
        const auto waitForLog = [&](const QString &needle) {
            return tvxtest::waitUntil(
                [&] {
                    log += QString::fromUtf8(player.readAllStandardError());
                    return log.contains(needle);
                },
                60000);
        };
        QVERIFY2(waitForLog(QStringLiteral("[Startup][Context]")), qPrintable(log));
        if (warmup) {
            QVERIFY2(waitForLog(QStringLiteral("[MiniBlink] wkeInitialize result = 1")), qPrintable(log));
            QVERIFY2(waitForLog(QStringLiteral("[WebEngine] Chromium switches:")), qPrintable(log));
            // The warm-up opens the storage too.
            QVERIFY2(waitForLog(QStringLiteral("/Tavrixo/cookies")), qPrintable(log));
        } else {
            // Long enough for the window and the zero-delay start-up steps to have run.
            QTest::qWait(3000);
            log += QString::fromUtf8(player.readAllStandardError());
            QVERIFY2(!log.contains(QStringLiteral("[MiniBlink]")), qPrintable(log));
        }
        const QString maps = mappedFiles(player.processId());
        QVERIFY(!maps.isEmpty());
        QCOMPARE(maps.contains("libminiblink.so"), warmup);
        QCOMPARE(maps.contains("libQt5WebEngineCore.so"), warmup);
        // Closing goes through the engine's teardown as well.
        QVERIFY(::kill(pid_t(player.processId()), SIGTERM) == 0);
        QVERIFY(tvxtest::waitUntil([&] { return player.state() == QProcess::NotRunning; }, 30000));
        log += QString::fromUtf8(player.readAllStandardError());
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QVERIFY2(player.exitCode() == 0, qPrintable(log.right(3000)));
    }
};

// Under the sanitizer build leak checking stays off: what it finds at exit belongs to Chromium,
// the OpenGL driver and fontconfig.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

int main(int argc, char **argv)
{
    // "--scale=F" runs the suite at device pixel ratio F; it must be set before the application.
    std::vector<char *> args;
    QString showUrl;
    QStringList scenario; // its name and addresses
    bool probe = false;
    bool widgets = true;
    bool sharedContexts = true;
    for (int i = 0; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--scale="))
            qputenv("QT_SCALE_FACTOR", arg.mid(8));
        else if (arg == "--show-page" && i + 1 < argc)
            showUrl = QString::fromUtf8(argv[++i]);
        else if (arg == "--probe-engine")
            probe = true;
        else if ((arg == "--dialog-under-close" || arg == "--stop-in-console") && i + 1 < argc)
            scenario = QStringList{QString::fromUtf8(arg), QString::fromUtf8(argv[++i])};
        else if (!scenario.isEmpty() && scenario.size() < 3 && !arg.startsWith("-"))
            scenario << QString::fromUtf8(arg);
        else if (arg == "--gui-only")
            widgets = false;
        else if (arg == "--no-shared-gl")
            sharedContexts = false;
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    if (!showUrl.isEmpty())
        return showPageChild(count, args.data(), showUrl);
    if (probe)
        return probeEngineChild(count, args.data(), widgets, sharedContexts);
    if (scenario.value(0) == "--dialog-under-close")
        return dialogUnderCloseChild(count, args.data(), scenario.value(1));
    if (scenario.value(0) == "--stop-in-console")
        return stopInConsoleChild(count, args.data(), scenario.value(1), scenario.value(2));
    setProgramAttributes();
    QApplication app(count, args.data());
    int result = 0;
    {
        TestWebEngine test;
        result = QTest::qExec(&test, count, args.data());
    }
    // Qt WebEngine's own teardown talks; the test log is closed by now.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    // The program leaves its event loop before the application object goes; so do the tests.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();
    return result;
}

#include "tst_webengine.moc"
