import QtQuick
import Melodrift

// The card behind the account forms' content: a rounded panel of faint white with a fine border.
//     AccountCard { anchors.fill: parent }
Rectangle {
    radius: 22
    color: Qt.rgba(1, 1, 1, 0.045)
    border.width: 0.8
    border.color: Qt.rgba(1, 1, 1, 0.09)
}
