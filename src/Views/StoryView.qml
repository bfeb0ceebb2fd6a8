import QtQuick
import Melodrift

// The story sheet (not built yet): its title and a close button. It keeps its own copy of the
// station it was opened for.
NavigationPage {
    id: page

    property var station: null

    signal dismissRequested()

    navigationTitle: "استوری"
    toolbarLeading: Component {
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: Theme.accent
            onClicked: page.dismissRequested()
        }
    }
}
