// Closes a pop-up once the pointer has stayed away from it for a grace time: while running it
// looks at `hovered` every pollMs and asks to close after ceil(graceMs / pollMs) polls in a row
// without it (at least one). A poll that finds the pointer starts the count again.
import QtQuick 2.14
import "../PlayerLogic.js" as Logic

QtObject {
    id: root

    property bool running: false
    // Whether the pop-up is open: only an open pop-up counts towards closing.
    property bool open: false
    property bool hovered: false
    property int pollMs: 100
    property int graceMs: 320
    readonly property int unhoveredPolls: count

    property int count: 0
    property Timer timer: Timer {
        interval: root.pollMs
        repeat: true
        // Closed and not pointed at, a poll changes nothing: the timer then sleeps.
        running: root.running && (root.open || root.hovered)
        onTriggered: root.poll()
    }

    // A poll that found the pointer over the pop-up or what opens it.
    signal hoverSeen()
    signal closeRequested()

    function reset() {
        count = 0
    }

    function poll() {
        if (hovered) {
            count = 0
            hoverSeen()
            return
        }
        if (!open)
            return
        count += 1
        if (count >= Logic.hoverCloseLimit(graceMs, pollMs))
            closeRequested()
    }
}
