import QtQuick
import Melodrift

// Load-test host of TelegramStep: the step of a sheet that has no session yet (the spinner).
Item {
    LoginSheetModel { id: loginModel }
    TelegramStep {
        anchors.left: parent.left
        anchors.right: parent.right
        sheet: loginModel
    }
}
