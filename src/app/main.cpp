// Program entry: start-up sequence, service wiring and teardown.
#include "app/AppPaths.h"
#include "app/Log.h"

#include <QApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QUrl>

int main(int argc, char *argv[])
{
    TVX_LOG_INFO << "[Startup] Start Official Server APP!";
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/assets/app.ico")));
    QQmlApplicationEngine engine;
    const QUrl mainUrl(QStringLiteral("qrc:/qml/main.qml"));
    engine.load(mainUrl);
    return app.exec();
}
