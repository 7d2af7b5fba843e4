// Reference for the start-up benchmark: a bare Qt Quick window of the main window's size.
#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick 2.14\nimport QtQuick.Window 2.14\n"
                    "Window { width: 1080; height: 720; visible: true; color: \"#050505\";"
                    " flags: Qt.Window | Qt.FramelessWindowHint }");
    return app.exec();
}
