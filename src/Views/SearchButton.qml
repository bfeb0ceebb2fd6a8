import QtQuick
import Melodrift

// The square button beside a search or link field: 46 x 46 on a rounded box (radius 14), with a
// white spinner while `busy`, else its symbol. Icon-only: give it `Accessible.name`.
//     SearchButton { symbol: "magnifyingglass"; symbolSize: 18; busy: model.isLoading
//                    enabled: model.canSearch && !model.isLoading; onClicked: model.search() }
ButtonBase {
    id: control

    property string symbol
    property real symbolSize: 18
    property bool busy: false
    property color fill: Qt.rgba(1, 1, 1, 0.08)
    // The button's look while disabled (the controls decide whether to dim it).
    property real restingOpacity: 1.0

    implicitWidth: 46
    implicitHeight: 46
    padding: 0
    focusRingRadius: 17
    opacity: pressed ? 0.55 : restingOpacity
    Accessible.description: busy ? "در حال بارگذاری" : ""

    background: Rectangle {
        radius: 14
        color: control.fill
    }

    contentItem: Item {
        ProgressView {
            anchors.centerIn: parent
            visible: control.busy
            tint: "white"
        }
        SymbolImage {
            anchors.centerIn: parent
            visible: !control.busy
            symbol: control.symbol
            size: control.symbolSize
            color: "white"
        }
    }
}
