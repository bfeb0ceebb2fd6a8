import QtQuick
import Melodrift

// The error banner of the account forms: a warning symbol and the message in red on a faint red
// rounded panel, as wide as the form; long messages wrap.
//     AccountErrorBanner { width: parent.width; message: model.errorMessage }
Rectangle {
    id: banner

    property string message

    implicitWidth: 300
    implicitHeight: Math.max(text.implicitHeight, icon.implicitHeight) + 20
    radius: 12
    color: Qt.rgba(Theme.red.r, Theme.red.g, Theme.red.b, 0.1)

    SymbolImage {
        id: icon
        anchors.left: parent.left
        anchors.leftMargin: 13
        anchors.verticalCenter: parent.verticalCenter
        symbol: "exclamationmark.triangle.fill"
        size: Theme.caption.pixelSize
        color: Theme.red
    }
    Text {
        id: text
        anchors.left: icon.right
        anchors.leftMargin: 8
        anchors.right: parent.right
        anchors.rightMargin: 13
        anchors.verticalCenter: parent.verticalCenter
        text: banner.message
        font: Theme.withWeight(Theme.footnote, Font.Medium)
        color: Theme.red
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignLeft
        textFormat: Text.PlainText
        Accessible.role: Accessible.AlertMessage
        Accessible.name: banner.message
    }
}
