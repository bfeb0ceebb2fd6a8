import QtQuick
import Melodrift

// The sign-in sheet (not built yet): its title and a close button.
NavigationPage {
    id: page

    signal dismissRequested()

    navigationTitle: "ورود به حساب"
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
        symbol: "person.crop.circle"
        size: 56
        color: Qt.rgba(1, 1, 1, 0.25)
    }
}
