import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: window
    width: 430
    height: 860
    visible: true
    title: "Melodrift Radio"
    color: Qt.rgba(0.043, 0.043, 0.051, 1)

    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true
}
