import QtQuick
import Melodrift

// The full player's transport rows with a screen model of its own.
Item {
    FullPlayerViewModel { id: screen }
    PlayerTransport { width: parent.width; model: screen }
}
