import QtQuick
import Melodrift

// The radio tab: the home screen and the mini player bar at the bottom from the first chosen
// station on (a tap on it opens the full player, which the window presents over either tab). Acts
// on the development launch arguments the first time it appears.
Item {
    id: root

    readonly property alias model: content

    ContentViewModel {
        id: content
    }

    Component.onCompleted: content.appear()

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    HomeView {
        id: home
        anchors.fill: parent
    }

    // The mini player bar slides in from the bottom edge with a fade.
    Item {
        id: barSlot
        objectName: "miniPlayerSlot"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: bar.implicitHeight
        visible: shown > 0
        opacity: shown
        transform: Translate { y: (1 - barSlot.shown) * barSlot.height }

        property real shown: content.hasCurrentStation ? 1 : 0
        Behavior on shown {
            // A spring of response 0.4 s that barely overshoots.
            NumberAnimation { duration: 400; easing.type: Easing.OutBack; easing.overshoot: 0.6 }
        }

        // Behind the bar: a tap anywhere on it but its button opens the full player. A button, so
        // that the keyboard and assistive technology can open it too.
        ButtonBase {
            objectName: "miniPlayerTapArea"
            anchors.fill: parent
            anchors.leftMargin: bar.sideInset
            anchors.rightMargin: bar.sideInset
            anchors.bottomMargin: bar.bottomInset
            enabled: content.hasCurrentStation
            focusRingRadius: 23
            background: null
            Accessible.name: bar.summary
            onClicked: content.presentFullPlayer()
        }

        MiniPlayerBar {
            id: bar
            anchors.fill: parent
        }
    }
}
