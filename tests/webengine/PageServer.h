// A loopback HTTP server with the few pages the engine tests show: a coloured block with a
// button that recolours it and a text field that reports its value, a second page, a cookie
// that is set and one that is echoed, a block that changes colour by itself and reports each
// change, a page taller than the view, a page of JavaScript dialogs, one that writes to the
// console, one that sends its top frame elsewhere, and an address that never answers.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

class PageServer : public QObject
{
    Q_OBJECT

public:
    // Colours of the block: as first shown, after the button's click, and on the second page.
    static QColor blockColour() { return QColor(0, 128, 255); }
    static QColor clickedColour() { return QColor(255, 64, 0); }
    static QColor secondColour() { return QColor(0, 160, 0); }

    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

    // Values the text field reported, in order.
    QStringList typed;
    // The Cookie header of every request for "/cookie-echo" ("" when none was sent).
    QStringList echoedCookies;
    // Paths requested, in order.
    QStringList requested;
    // Colour changes the changing block reported.
    int ticks = 0;
    // What the dialog page's confirm and prompt returned ("c=...&p=...").
    QStringList dialogAnswers;

    PageServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.clear();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        const QUrl target(QString::fromLatin1(requestLine.value(1)));
        QByteArray cookie;
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("cookie:"))
                cookie = line.mid(7).trimmed();
        }
        const QString path = target.path();
        requested << path;

        QByteArray headers;
        QByteArray body;
        if (path == QLatin1String("/page") || path == QLatin1String("/cookie-set")) {
            body = page(blockColour(), path == QLatin1String("/cookie-set"));
            if (path == QLatin1String("/cookie-set"))
                headers = "Set-Cookie: tvx=kept; Max-Age=86400; Path=/\r\n";
        } else if (path == QLatin1String("/second")) {
            body = page(secondColour(), false);
        } else if (path == QLatin1String("/cookie-echo")) {
            echoedCookies << QString::fromLatin1(cookie);
            body = page(blockColour(), false);
        } else if (path == QLatin1String("/typed")) {
            typed << QUrl::fromPercentEncoding(target.query(QUrl::FullyEncoded).mid(2).toLatin1());
            body = "ok";
        } else if (path == QLatin1String("/changing")) {
            body = page(blockColour(), true);
            body.replace("</body>", "<script>var n=0;setInterval(function(){n++;"
                                    "document.getElementById('block').style.background=n%2?'" +
                                        secondColour().name().toLatin1() + "':'" +
                                        blockColour().name().toLatin1() +
                                        "';fetch('/tick')},150)</script></body>");
        } else if (path == QLatin1String("/tick")) {
            ++ticks;
            body = "ok";
        } else if (path == QLatin1String("/tall")) {
            body = page(blockColour(), true);
            body.replace("</body>", "<div style=\"height:4000px\"></div></body>");
        } else if (path == QLatin1String("/dialogs")) {
            // A page that loops on alerts, then asks to confirm and to fill in a prompt.
            body = page(blockColour(), true);
            body.replace("</body>", "<script>for(var i=0;i<20;i++)alert('alert '+i);var c=confirm('sure?');"
                                    "var p=prompt('name','preset');fetch('/dialog-answers?c='+c+'&p='+p)"
                                    "</script></body>");
        } else if (path == QLatin1String("/dialog-answers")) {
            dialogAnswers << target.query();
            body = "ok";
        } else if (path == QLatin1String("/leave")) {
            // Sends the top frame to the address in "to", and to the second page a while later.
            body = page(blockColour(), true);
            body.replace("</body>", "<script>setTimeout(function(){location.href=decodeURIComponent('" +
                                        target.query(QUrl::FullyEncoded).mid(3).toLatin1() +
                                        "')},0);setTimeout(function(){location.href='/second'},1500)"
                                        "</script></body>");
        } else if (path == QLatin1String("/console")) {
            body = page(blockColour(), true);
            body.replace("</body>", "<script>console.log('one');console.log('two')</script></body>");
        } else if (path == QLatin1String("/elsewhere")) {
            body = page(clickedColour(), true);
        } else if (path == QLatin1String("/never")) {
            return; // the socket stays open and unanswered
        } else {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const QByteArray type = body.startsWith("<!DOCTYPE") ? "text/html; charset=utf-8" : "text/plain";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nCache-Control: no-store\r\n" +
                      headers + "Content-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    // The block fills CSS pixels (0,0)-(200,100); the button (20,140)-(180,200); the field
    // (20,220)-(220,260). The button and the field are only on the first page.
    static QByteArray page(const QColor &colour, bool cookiePage)
    {
        QByteArray html =
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>engine test</title><style>"
            "body{margin:0;background:#fff}"
            "#block{position:absolute;left:0;top:0;width:200px;height:100px;background:" +
            colour.name().toLatin1() +
            "}"
            "#btn{position:absolute;left:20px;top:140px;width:160px;height:60px;margin:0}"
            "#field{position:absolute;left:20px;top:220px;width:200px;height:40px;margin:0;"
            "padding:0;border:1px solid #888;font-size:20px}"
            "</style></head><body><div id=\"block\"></div>";
        if (colour == blockColour() && !cookiePage) {
            html += "<button id=\"btn\" onclick=\"document.getElementById('block').style.background='" +
                    clickedColour().name().toLatin1() +
                    "'\">go</button>"
                    "<input id=\"field\" oninput=\"fetch('/typed?v='+encodeURIComponent(this.value))\">";
        }
        html += "</body></html>";
        return html;
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
