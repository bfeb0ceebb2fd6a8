import QtQuick
import Melodrift

// Load-test host of Sheet: shown open, with content.
Item {
    id: host
    property bool showSheet: true
    Sheet {
        presenter: host
        flag: "showSheet"
        NavigationPage { navigationTitle: "برگه" }
    }
}
