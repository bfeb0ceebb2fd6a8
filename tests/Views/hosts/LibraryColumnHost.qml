import QtQuick
import Melodrift

// The library tab's column needs the tab's screen model.
Item {
    LibraryViewModel { id: libraryModel }
    LibraryColumn {
        width: parent.width
        library: libraryModel
    }
}
