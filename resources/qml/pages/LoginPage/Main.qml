// Entry of the sign-in module, loaded by the player page only while the dialog is shown.
import QtQuick 2.14
import "Views"

LoginDialog {
}
