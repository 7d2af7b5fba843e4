// The shared guard, catalog and theme helpers, seen from a document of a test engine whose root
// context publishes some objects ("i18n", "singleInstanceService") and not others.
import QtQuick 2.14
import QtTest 1.2
import "qrc:/qml/shared"

TestCase {
    id: testCase
    name: "SharedHelpers"

    // A document's own object in hand, as an engine or a loaded page is.
    QtObject {
        id: objectInHand
        objectName: "objectInHand"
        property int count: 0
        property var nothing: null
        function bump(step) { count += step; return count }
    }

    function expectGuardWarning(pattern, action) {
        guardWarningProbe.expect(1)
        ignoreWarning(new RegExp("^tvx-guard: " + pattern + "$"))
        var result = action()
        compare(guardWarningProbe.pending(), 0, "the guard warned")
        return result
    }

    function test_contextObjects() {
        verify(Guard.object("i18n") !== null)
        verify(Guard.object("singleInstanceService") !== null)
        compare(Guard.object("startupMediaFileUrlFromCpp"), "file:///tmp/start%20up.mp4")
        compare(Guard.object("playlistStore"), null)
        expectGuardWarning("unknown context object playlistStor", function () {
            compare(Guard.object("playlistStor"), null)
        })
    }

    function test_missingObjectIsSilent() {
        compare(Guard.call("playlistStore", "addFiles", [["file:///a.mp4"], false]), undefined)
        compare(Guard.read("systemActions", "applicationVersion", "none"), "none")
        verify(!Guard.has("fileDialogService", "pickPlayableMediaFile"))
        compare(Guard.call(null, "bump", [1]), undefined)
        compare(Guard.read(undefined, "count", -1), -1)
        compare(Guard.optionalCall("playlistStore", "count", [], 7), 7)
    }

    function test_presentMembers() {
        compare(Guard.call("i18n", "t", ["a.key"]), "<a.key>")
        compare(Guard.call("i18n", "t", ["a.key", {n: 1}]), "<a.key>")
        compare(Guard.call(objectInHand, "bump", [2]), 2)
        compare(Guard.read(objectInHand, "count", -1), 2)
        compare(Guard.read(objectInHand, "nothing", "fallback"), "fallback")
        verify(Guard.has(objectInHand, "bump"))
        verify(Guard.has("singleInstanceService", "activationRequested"))
        compare(Guard.optionalCall(objectInHand, "bump", [1], -1), 3)
        compare(Guard.optionalCall(objectInHand, "supportsProperty", ["x"], true), true)
    }

    function test_presentObjectWithoutMemberWarns() {
        expectGuardWarning("i18n has no member translate", function () {
            compare(Guard.call("i18n", "translate", ["a.key"]), undefined)
        })
        expectGuardWarning("QObject\\(objectInHand\\) has no member lenght", function () {
            compare(Guard.read(objectInHand, "lenght", 5), 5)
        })
        expectGuardWarning("QObject\\(objectInHand\\) has no member bumb", function () {
            compare(Guard.call(objectInHand, "bumb", [1]), undefined)
        })
        compare(objectInHand.count, 3)
        // A property is not a function: calling it is the same mistake.
        expectGuardWarning("QObject\\(objectInHand\\) has no member count", function () {
            Guard.call(objectInHand, "count")
        })
        expectGuardWarning("QObject\\(objectInHand\\) has no member bumb", function () {
            verify(!Guard.has(objectInHand, "bumb"))
        })
    }

    function test_catalogTexts() {
        compare(Tr.t("ui.text.window.title_slogan"), "<ui.text.window.title_slogan>")
        compare(Tr.t("ui.text.window.title_slogan", {name: "x"}), "<ui.text.window.title_slogan>")
        compare(Tr.tOr("ui.text.window.title_slogan", ""), "<ui.text.window.title_slogan>")
    }

    function test_theme() {
        compare(String(Theme.accent), "#3d8bff")
        verify(Theme.fontBody > 0)
    }
}
