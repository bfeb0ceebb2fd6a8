import QtQuick
import Melodrift

// The full player's header with a screen model of its own.
Item {
    FullPlayerViewModel { id: screen }
    FullPlayerHeader { width: parent.width; model: screen }
}
