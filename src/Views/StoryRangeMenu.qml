import QtQuick
import QtQuick.Controls
import Melodrift

// One of the story sheet's two range menus: its title over the chosen line's label, on a rounded
// tile; opens a menu of every line.
//     StoryRangeMenu { title: "از خط"; label: model.startLabel; items: model.lineItems; current: model.startLine
//                      onChosen: index => model.chooseStart(index) }
// The menu's items exist only while it is open, and only those in view: lyrics may hold tens of
// thousands of lines. In the open menu the arrow keys, Page Up/Down, Home and End move, Enter or
// Space chooses and Escape closes; each item is an accessible menu item.
PlainButton {
    id: root

    property string title
    property string label
    // A StoryLineItems (a list model with the role itemText).
    property var items: null
    property int current: 0
    readonly property bool menuOpen: menu.opened

    signal chosen(int index)

    // Choosing closes the menu, which takes its list (and the item or key handler that chose)
    // with it: that happens once the event has returned, never from inside its handler.
    function choose(index) {
        Qt.callLater(root.finishChoice, index)
    }
    function finishChoice(index) {
        menu.close()
        root.chosen(index)
    }
    // Whether the menu was opened from the keyboard, so that the focus coming back shows.
    property bool openedByKeyboard: false

    width: 140 + 28
    height: tile.implicitHeight + 20
    background: Rectangle { radius: 12; color: Qt.rgba(1, 1, 1, 0.08) }
    contentItem: Column {
        id: tile
        spacing: 3
        Text {
            textFormat: Text.PlainText
            width: 140
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: root.title
            font: Theme.caption2
            color: Qt.rgba(1, 1, 1, 0.55)
        }
        Text {
            textFormat: Text.PlainText
            width: 140
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: root.label
            font: Theme.caption
            color: "white"
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }
    Accessible.role: Accessible.ButtonMenu
    Accessible.name: root.title + " " + root.label
    onClicked: {
        root.openedByKeyboard = !root.activatedByPointer
        menu.open()
    }

    Popup {
        id: menu
        objectName: "lineMenu"
        // Above the sheet (z 1) the button sits in; level with it, the sheet hides the menu.
        z: 2
        // As wide as a whole item text ("12345. " and 26 characters with "…") needs; narrower
        // windows wrap it rather than cut it.
        width: Math.max(0, Math.min(400, root.Window.width - 2 * margins))
        height: Math.min(360, topPadding + bottomPadding + 44 * (root.items ? root.items.count : 0))
        x: (root.width - width) / 2
        y: root.height + 4
        margins: 8
        padding: 6
        modal: true
        dim: false
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        background: Rectangle {
            radius: 12
            color: Theme.secondaryBackground
            border.color: Qt.rgba(1, 1, 1, 0.1)
        }

        // While open, the sheet under it is out of reach of assistive technology; it closes with
        // the sheet (hidden as it goes).
        readonly property ModalCover modalCover: ModalCover {
            active: menu.visible
            content: menu.contentItem ? menu.contentItem.parent : null
        }
        // Named by what it chooses ("از خط").
        readonly property NodeName nodeName: NodeName {
            target: menu.contentItem ? menu.contentItem.parent : null
            name: root.title
        }
        Connections {
            target: root
            function onVisibleChanged() {
                if (!root.visible)
                    menu.close()
            }
        }

        // The list lives from the menu's opening until just after its closing. Its items go first,
        // through the list's own release, as the menu closes: a list destroyed with its items in
        // place takes them down while it is half gone itself, which assistive technology watching
        // them does not survive.
        property bool listWanted: false
        onAboutToShow: listWanted = true
        onClosed: Qt.callLater(menu.dropList)
        readonly property MenuReturn focusReturn: MenuReturn {
            menu: menu
            opener: root
            keyboard: root.openedByKeyboard
        }
        function dropList() {
            if (!menu.visible)
                menu.listWanted = false
        }

        contentItem: Loader {
            focus: true
            active: menu.listWanted
            sourceComponent: ListView {
                id: list
                objectName: "lineList"
                focus: true
                clip: true
                model: menu.visible ? root.items : null
                boundsBehavior: Flickable.StopAtBounds
                keyNavigationEnabled: true
                // One page of rows for Page Up/Down.
                readonly property int pageRows: Math.max(1, Math.floor(height / 44))
                Accessible.role: Accessible.PopupMenu
                Accessible.name: root.title
                ScrollIndicator.vertical: ScrollIndicator {}

                // At the current line each time the menu shows its items.
                function showCurrent() {
                    if (!model)
                        return
                    currentIndex = Math.max(0, Math.min(root.current, count - 1))
                    positionViewAtIndex(currentIndex, ListView.Center)
                }
                Component.onCompleted: showCurrent()
                // Whatever takes the menu down first (its sheet, the application quitting), the
                // items go before the list, as they do when it closes.
                Component.onDestruction: list.model = null
                onModelChanged: showCurrent()
                onCurrentIndexChanged: positionViewAtIndex(currentIndex, ListView.Contain)

                Keys.onPressed: event => {
                    const last = count - 1
                    switch (event.key) {
                    case Qt.Key_Home: currentIndex = 0; break
                    case Qt.Key_End: currentIndex = last; break
                    case Qt.Key_PageUp: currentIndex = Math.max(0, currentIndex - pageRows); break
                    case Qt.Key_PageDown: currentIndex = Math.min(last, currentIndex + pageRows); break
                    case Qt.Key_Return:
                    case Qt.Key_Enter:
                    case Qt.Key_Space:
                        if (currentIndex >= 0)
                            root.choose(currentIndex)
                        break
                    default: return
                    }
                    event.accepted = true
                }

                delegate: MenuItem {
                    required property int index
                    required property string itemText
                    required property string itemName
                    objectName: "lineItem"
                    width: ListView.view.width
                    text: itemText
                    font: Theme.body
                    checkable: true
                    checked: index === root.current
                    highlighted: ListView.isCurrentItem
                    focusPolicy: Qt.NoFocus
                    // Declared, not left to the control: an item built inside an open popup's
                    // list is otherwise missing from the accessible tree.
                    Accessible.role: Accessible.MenuItem
                    // The whole line, where the text on screen is cut.
                    Accessible.name: itemName
                    Accessible.checkable: true
                    Accessible.checked: checked
                    Accessible.onPressAction: root.choose(index)
                    contentItem: Text {
                        // Room for the check mark, on its side.
                        readonly property real indicatorPadding: parent.indicator ? parent.indicator.width + parent.spacing : 0
                        leftPadding: parent.mirrored ? 0 : indicatorPadding
                        rightPadding: parent.mirrored ? indicatorPadding : 0
                        text: parent.text
                        textFormat: Text.PlainText
                        font: parent.font
                        color: Theme.label
                        wrapMode: Text.Wrap
                        horizontalAlignment: Text.AlignLeft
                        verticalAlignment: Text.AlignVCenter
                    }
                    onTriggered: root.choose(index)
                }
            }
        }
    }
}
