import QtQuick 2.14
// Deliberately broken main document: the program must end with -1 when it cannot load.
Window { this is not QML
