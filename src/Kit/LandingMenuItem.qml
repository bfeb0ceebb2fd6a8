import QtQuick
import QtQuick.Controls

// An item of a LandingMenu: it follows the pointer only once the menu lets it.
MenuItem {
    id: item

    hoverEnabled: !item.menu || item.menu.pointerFollows !== false

    HoverHandler {
        onPointChanged: {
            if (item.menu && typeof item.menu.notePointer === "function")
                item.menu.notePointer(point.scenePosition)
        }
    }
}
