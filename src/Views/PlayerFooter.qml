import QtQuick
import Melodrift

// The full player's footer (not built yet): the download control and the Telegram link.
Item {
    property var station: null
    implicitHeight: 0
}
