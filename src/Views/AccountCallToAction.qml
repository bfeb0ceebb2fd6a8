import QtQuick
import QtQuick.Controls
import Melodrift

// The main button of an account form: a symbol and a title in white on a gradient from the accent
// to violet with a soft accent shadow; a white spinner in their place while a request runs. The
// button works only while its rule holds and nothing is in flight, and is dimmed only while its
// rule does not hold.
//     AccountCallToAction { title: "ورود به رادیو"; symbol: "play.fill"; valid: model.loginValid
//                           submitting: model.isSubmitting; onClicked: model.submitLogin() }
ScaleButtonStyle {
    id: control

    property string title
    property string symbol
    property bool valid: true
    property bool submitting: false

    enabled: valid && !submitting
    opacity: valid ? 1.0 : 0.55
    text: title
    focusRingRadius: 18

    implicitWidth: 300
    implicitHeight: content.implicitHeight

    contentItem: Item {
        id: content
        implicitHeight: Math.max(label.implicitHeight, spinner.implicitHeight) + 30

        SoftShadow {
            anchors.fill: fill
            radius: fill.radius
            color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.4)
            blur: 12
            offsetY: 5
        }
        Rectangle {
            id: fill
            anchors.fill: parent
            radius: 16
            // From the leading edge (the right in RTL) to the trailing one.
            readonly property bool mirrored: control.LayoutMirroring.enabled
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0.0; color: fill.mirrored ? Qt.rgba(0.63, 0.38, 0.96, 1) : Qt.rgba(0.39, 0.40, 0.95, 1) }
                GradientStop { position: 1.0; color: fill.mirrored ? Qt.rgba(0.39, 0.40, 0.95, 1) : Qt.rgba(0.63, 0.38, 0.96, 1) }
            }
        }
        SymbolLabel {
            id: label
            anchors.centerIn: parent
            visible: !control.submitting
            text: control.title
            symbol: control.symbol
            symbolSize: 14
            spacing: 8
            font: Theme.headline
            color: "white"
        }
        ProgressView {
            id: spinner
            anchors.centerIn: parent
            visible: control.submitting
            tint: "white"
        }
    }
}
