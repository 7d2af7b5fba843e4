// The player page's wiring as a small scene, loaded by the main-road test and its benchmark:
// the list's current file becomes a play request, an end of file goes back to the coordinator
// with the file that was playing.
#pragma once

#include <QByteArray>

namespace tvxtest {

// windowProperties: QML property lines for the window (size, position, flags).
inline QByteArray mainRoadSceneQml(const QByteArray &windowProperties)
{
    return QByteArrayLiteral("import QtQuick 2.14\n"
                             "import QtQuick.Window 2.14\n"
                             "import Tavrixo 1.0\n"
                             "import \"qrc:/qml/components\"\n"
                             "Window {\n") +
           windowProperties +
           QByteArrayLiteral(
               "\n"
               "    visible: true; color: \"black\"\n"
               "    property alias player: player\n"
               "    CommonVideoPlayer {\n"
               "        id: player\n"
               "        anchors.fill: parent\n"
               "        hoverCenterControlEnabled: false\n"
               "        onEndOfFileReached: coordinator.onPlaybackFinished(player.currentFileUrl)\n"
               "    }\n"
               "    PlaybackCoordinator {\n"
               "        id: coordinator\n"
               "        playlistModel: playlistStore\n"
               "        onPlayFileRequested: player.play(fileUrl)\n"
               "        onClearPlaybackRequested: player.stop()\n"
               "    }\n"
               "    Connections {\n"
               "        target: playlistStore\n"
               "        function onCurrentFileUrlChanged() {\n"
               "            coordinator.onPlaylistCurrentFileChanged(playlistStore.currentFileUrl)\n"
               "        }\n"
               "    }\n"
               "}\n");
}

} // namespace tvxtest
