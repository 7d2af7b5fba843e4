// Stand-in for the playback settings window: opens on showWindow, closes on close().
import QtQuick 2.14

Item {
    property var ownerWindow: null
    property var playerEngine: null
    property var audioTrackOptions: []
    property var subtitleTrackOptions: []
    property int shownCount: 0

    signal primarySubtitleFileRequested()
    signal secondarySubtitleFileRequested()
    signal primarySubtitleTrackSelectionRequested(int trackId)
    signal secondarySubtitleTrackSelectionRequested(int trackId)

    function showWindow() {
        shownCount += 1
        visible = true
    }
    function close() {
        visible = false
    }

    visible: false
}
