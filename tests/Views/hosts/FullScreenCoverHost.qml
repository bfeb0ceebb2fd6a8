import QtQuick
import Melodrift

// Load-test host of FullScreenCover: shown open, with a sheet opened from its content.
Item {
    id: host
    property bool showCover: true
    property bool showSheet: true
    FullScreenCover {
        presenter: host
        flag: "showCover"
        Item {
            Sheet { presenter: host; flag: "showSheet"; Item {} }
        }
    }
}
