import QtQuick
import Melodrift

// The recognition sheet (not built yet): its title and a close button.
NavigationPage {
    id: page

    signal dismissRequested()

    navigationTitle: "شناسایی آهنگ"
    toolbarLeading: Component {
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: Theme.accent
            onClicked: page.dismissRequested()
        }
    }

    SymbolImage {
        anchors.centerIn: parent
        symbol: "waveform"
        size: 56
        color: Qt.rgba(1, 1, 1, 0.25)
    }
}
