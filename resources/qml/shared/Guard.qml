// Guard: the one way a QML document reaches the objects C++ publishes and their members.
//
//   import "qrc:/qml/shared"            (or the relative path of this folder)
//   Guard.object(name)                  the context object or value published as name, or
//                                       null while it is not published
//   Guard.call(target, member, args)    target.member(...args); undefined when the target is
//                                       missing or lacks the member (args: an array, optional)
//   Guard.read(target, member, fallback) target.member, or fallback when the target is
//                                       missing, lacks the member or holds null/undefined
//   Guard.has(target, member)           whether target.member can be used (for a choice made
//                                       before the call; warns like call when it cannot)
//   Guard.offers(target, member)        whether target has member, silently: only for choosing
//                                       between the shapes an object may take (the tool
//                                       pages), never for a member the caller relies on
//   Guard.optionalCall(target, member, args, fallback)
//                                       for a member that only some builds of the object
//                                       offer (a capability probe): silent when absent
//
// target is the name of a context object ("playlistStore") or an object in hand (an engine,
// a view model, a loaded page). A missing target makes the action do nothing, silently: a
// service that is not wired leaves its controls inert. A present target without the member is
// a wiring mistake, logged as "tvx-guard: <target> has no member <member>"; the test
// set-up turns that line into a failure. A name not listed in contextObjects is logged too.
//
// Write the member as a string literal at the call site: tests/app/page/tst_pagewiring.cpp reads
// the call sites from the QML sources and checks every member against the real classes. A new
// context object gets a line in contextObjects below and a member in main's table
// (src/app/QmlContextObjects.h; tests/app/tst_qmlcontext.cpp holds the two together), and is
// published in that test as main publishes it; an object in hand is named there by the expression the documents use for it
// (as "videoPlayer.engine" is), or the test reports an unknown target.
pragma Singleton
import QtQml 2.14

QtObject {
    readonly property string warningPrefix: "tvx-guard:"

    // Everything C++ may publish in the root context; absent names read as undefined here.
    readonly property var contextObjects: ({
        "playlistStore": typeof playlistStore !== "undefined" ? playlistStore : null,
        "mediaPreviewService": typeof mediaPreviewService !== "undefined" ? mediaPreviewService : null,
        "systemActions": typeof systemActions !== "undefined" ? systemActions : null,
        "fileDialogService": typeof fileDialogService !== "undefined" ? fileDialogService : null,
        "accountManager": typeof accountManager !== "undefined" ? accountManager : null,
        "mpvLibrary": typeof mpvLibrary !== "undefined" ? mpvLibrary : null,
        "taskManager": typeof taskManager !== "undefined" ? taskManager : null,
        "i18n": typeof i18n !== "undefined" ? i18n : null,
        "singleInstanceService": typeof singleInstanceService !== "undefined" ? singleInstanceService : null,
        "formatConvertViewModel": typeof formatConvertViewModel !== "undefined" ? formatConvertViewModel : null,
        "videoCompressViewModel": typeof videoCompressViewModel !== "undefined" ? videoCompressViewModel : null,
        "videoCaptureViewModel": typeof videoCaptureViewModel !== "undefined" ? videoCaptureViewModel : null,
        "videoToImageViewModel": typeof videoToImageViewModel !== "undefined" ? videoToImageViewModel : null,
        "videoToTextViewModel": typeof videoToTextViewModel !== "undefined" ? videoToTextViewModel : null,
        "playerSettingsFilePath": typeof playerSettingsFilePath !== "undefined" ? playerSettingsFilePath : null,
        "appSettingsMenuSettingsFilePath": typeof appSettingsMenuSettingsFilePath !== "undefined"
                                           ? appSettingsMenuSettingsFilePath : null,
        "loginDialogSettingsFilePath": typeof loginDialogSettingsFilePath !== "undefined"
                                       ? loginDialogSettingsFilePath : null,
        "startupMediaFileUrlFromCpp": typeof startupMediaFileUrlFromCpp !== "undefined"
                                      ? startupMediaFileUrlFromCpp : null,
        "startupShouldTrackActivityFromCpp": typeof startupShouldTrackActivityFromCpp !== "undefined"
                                             ? startupShouldTrackActivityFromCpp : null,
        "screenAvailableSizeFromCpp": typeof screenAvailableSizeFromCpp !== "undefined"
                                      ? screenAvailableSizeFromCpp : null
    })

    function warn(text) {
        console.warn(warningPrefix + " " + text)
    }

    function object(name) {
        if (!contextObjects.hasOwnProperty(name)) {
            warn("unknown context object " + name)
            return null
        }
        var value = contextObjects[name]
        return value === undefined ? null : value
    }

    function resolve(target) {
        var value = typeof target === "string" ? object(target) : target
        return value === undefined || value === null ? null : value
    }

    // The context name, or the class of an object in hand with its object name:
    // "MpvEngine(0x...)" gives MpvEngine, a QML type's generated suffix is dropped.
    function label(target, value) {
        if (typeof target === "string")
            return target
        var match = /^[A-Za-z_][A-Za-z0-9_:]*/.exec(String(value))
        var name = match ? match[0].replace(/_QML(TYPE)?_[0-9]+$/, "") : String(value)
        var objectName = value.objectName
        return typeof objectName === "string" && objectName.length > 0 ? name + "(" + objectName + ")" : name
    }

    function lacks(value, member) {
        return !(member in value)
    }

    function has(target, member) {
        var value = resolve(target)
        if (value === null)
            return false
        if (lacks(value, member)) {
            warn(label(target, value) + " has no member " + member)
            return false
        }
        return true
    }

    function offers(target, member) {
        var value = resolve(target)
        return value !== null && !lacks(value, member)
    }

    function call(target, member, args) {
        var value = resolve(target)
        if (value === null)
            return undefined
        if (typeof value[member] !== "function") {
            warn(label(target, value) + " has no member " + member)
            return undefined
        }
        return value[member].apply(value, args === undefined ? [] : args)
    }

    function read(target, member, fallback) {
        var value = resolve(target)
        if (value === null)
            return fallback
        if (lacks(value, member)) {
            warn(label(target, value) + " has no member " + member)
            return fallback
        }
        var result = value[member]
        return result === undefined || result === null ? fallback : result
    }

    function optionalCall(target, member, args, fallback) {
        var value = resolve(target)
        if (value === null || typeof value[member] !== "function")
            return fallback
        return value[member].apply(value, args === undefined ? [] : args)
    }
}
