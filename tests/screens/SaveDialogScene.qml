import QtQuick
import Melodrift

// Screenshot scene of the save-as dialog, opened from the keyboard on a folder of the system's
// (its subfolders are the entries; what a machine holds there differs a little).
//   folder   where it opens
Item {
    id: scene

    property string folder: "/usr"

    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    Component {
        id: dialog
        SaveFileDialog { suffix: ".mp4" }
    }
    // Made once the scene stands in its window, whose overlay the dialog opens in.
    readonly property bool placed: Window.window !== null
    onPlacedChanged: {
        if (placed)
            dialog.createObject(scene).openAt(scene.folder, "story.mp4", true)
    }
}
