// Time from MiniBlinkWrapper::setUrl to the first frame on the screen that shows the page, for
// the first view of a process (engine start included) and for a second view beside it, and the
// memory the first view adds to the process and its engine helpers (resident and proportional).
// Each run is a fresh process; the median of the runs is printed.
//   bench_webengine [runs]
#include "webview/MiniBlinkWrapper.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QQuickView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const QColor kBlock(0, 128, 255);

// The page: a block in a known colour at the top left, then some text.
void servePages(QTcpServer &server)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                const QByteArray body =
                    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>sign in</title></head>"
                    "<body style=\"margin:0\"><div "
                    "style=\"width:200px;height:100px;background:#0080ff\"></div>"
                    "<p>Scan the code to sign in</p></body></html>";
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                              "Content-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

// This process and every process below it.
QList<int> processTree()
{
    QHash<int, int> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        parents.insert(pid, fields.value(1).toInt());
    }
    QList<int> tree{int(QCoreApplication::applicationPid())};
    for (int i = 0; i < tree.size(); ++i) {
        for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
            if (it.value() == tree.at(i))
                tree << it.key();
        }
    }
    return tree;
}

// Sum over the tree of a "<key>: <n> kB" line of a /proc file.
qint64 sumKb(const QString &file, const QByteArray &key)
{
    qint64 total = 0;
    for (const int pid : processTree()) {
        QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith(key + ':'))
                total += line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return total;
}

bool shows(QQuickWindow &window, const QQuickItem *item)
{
    const QImage shot = window.grabWindow();
    const QPointF at = item->mapToScene(QPointF(40, 40)) * window.effectiveDevicePixelRatio();
    const QColor c = shot.pixelColor(at.toPoint());
    return qAbs(c.red() - kBlock.red()) < 8 && qAbs(c.green() - kBlock.green()) < 8 &&
           qAbs(c.blue() - kBlock.blue()) < 8;
}

// Milliseconds from setUrl to a window frame that shows the page; -1 after 60 s.
qint64 timeToPage(QQuickView &window, MiniBlinkWrapper *item, const QString &url)
{
    QElapsedTimer clock;
    clock.start();
    item->setUrl(url);
    while (!shows(window, item)) {
        if (clock.elapsed() > 60000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return clock.elapsed();
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int runOnce(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL, true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    QTcpServer server;
    servePages(server);
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    QQuickView window;
    window.resize(900, 400);
    window.show();
    settle(500);

    const qint64 rssBefore = sumKb(QStringLiteral("status"), "VmRSS");
    const qint64 pssBefore = sumKb(QStringLiteral("smaps_rollup"), "Pss");
    QElapsedTimer clock;
    clock.start();
    auto *first = new MiniBlinkWrapper(window.contentItem());
    first->setSize(QSizeF(400, 300));
    if (!first->engineAvailable()) {
        std::fprintf(stderr, "no engine: %s\n", qPrintable(first->engineError()));
        return 1;
    }
    const qint64 itemMade = clock.elapsed();
    const qint64 firstMs = timeToPage(window, first, url);
    settle(2000);
    const qint64 rssAfter = sumKb(QStringLiteral("status"), "VmRSS");
    const qint64 pssAfter = sumKb(QStringLiteral("smaps_rollup"), "Pss");

    auto *second = new MiniBlinkWrapper(window.contentItem());
    second->setSize(QSizeF(400, 300));
    second->setX(450);
    const qint64 secondMs = timeToPage(window, second, url);

    QTextStream out(stdout);
    out << "engine_start_ms=" << itemMade << "\nfirst_ms=" << firstMs << "\nsecond_ms=" << secondMs
        << "\nrss_added_kb=" << (rssAfter - rssBefore) << "\npss_added_kb=" << (pssAfter - pssBefore) << "\n";
    out.flush();
    delete second;
    delete first;
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

qint64 median(QList<qint64> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--once")
        return runOnce(argc, argv);
    const int runs = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 5;
    QCoreApplication app(argc, argv);
    QMap<QString, QList<qint64>> results;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once")});
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed\n", i + 1);
            return 1;
        }
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                results[QString::fromLatin1(line.left(eq))] << line.mid(eq + 1).toLongLong();
        }
    }
    std::printf("web engine, %d fresh processes, medians:\n", runs);
    std::printf("  first view: item made (engine started) %lld ms; setUrl to page on screen %lld ms\n",
                median(results.value("engine_start_ms")), median(results.value("first_ms")));
    std::printf("  second view: setUrl to page on screen %lld ms\n", median(results.value("second_ms")));
    std::printf(
        "  memory added by the first view: resident %lld MiB (sum over processes), proportional %lld MiB\n",
        median(results.value("rss_added_kb")) / 1024, median(results.value("pss_added_kb")) / 1024);
    return 0;
}
