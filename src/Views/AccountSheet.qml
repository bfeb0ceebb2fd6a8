import QtQuick
import Melodrift

// The account sheet (not built yet): its title and a close button.
NavigationPage {
    id: page

    signal dismissRequested()

    navigationTitle: "حساب کاربری"
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
        symbol: "person.crop.circle.fill"
        size: 56
        color: Qt.rgba(1, 1, 1, 0.25)
    }
}
