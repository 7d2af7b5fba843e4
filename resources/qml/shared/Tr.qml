// Tr: catalog texts for QML, through the "i18n" context object.
//
//   import "qrc:/qml/shared"            (or the relative path of this folder)
//   Tr.t(key)                           the catalog text of key
//   Tr.t(key, args)                     the same with named arguments ({name: value} fills
//                                       "%{name}"); positional "%1" is left for .arg()
//   Tr.tOr(key, fallback)               the catalog text, or fallback while no catalog service
//                                       is published (for texts that must stay empty then)
//
// Without a catalog service Tr.t answers the key itself, so an unwired control shows what it
// is for instead of nothing. Used in a binding, the text follows the service appearing.
pragma Singleton
import QtQml 2.14

QtObject {
    function tOr(key, fallback) {
        if (Guard.object("i18n") === null)
            return fallback
        return String(Guard.call("i18n", "t", [key]))
    }

    function t(key, args) {
        if (Guard.object("i18n") === null)
            return key
        return String(args === undefined ? Guard.call("i18n", "t", [key]) : Guard.call("i18n", "t", [key, args]))
    }
}
