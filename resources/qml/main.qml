import QtQuick 2.14
import QtQuick.Window 2.14

Window {
    width: 1080
    height: 720
    visible: true
    color: "#050505"
}
