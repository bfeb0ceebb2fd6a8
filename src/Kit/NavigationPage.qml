import QtQuick
import QtQuick.Controls
import Melodrift

// One page of a NavigationStack: a navigation bar (title in the inline style, a back button at the
// leading edge, the right in RTL, while the page is not the stack's root) over the page's content,
// on the application background.
//     NavigationPage {
//         navigationTitle: model.displayName
//         toolbarTrailing: Component { PlainButton { symbol: "ellipsis.circle" } }
//         ...content...
//     }
Item {
    id: page

    property string navigationTitle
    // What else the page is about, read with its title as the focus comes into it (who is signed
    // in, say): what a screen reader would otherwise find only by reading the page through.
    property string navigationSummary
    property bool navigationBarHidden: false
    // Items of the bar: leading after the back button, trailing at the far edge.
    property Component toolbarLeading
    property Component toolbarTrailing
    property color backgroundColor: Theme.background

    default property alias content: body.data

    // The stack this page is on (null before it is pushed).
    readonly property Item navigationStack: StackView.view ? StackView.view.navigationStack : null
    readonly property bool canGoBack: StackView.index > 0

    // Emitted when the page leaves the stack (back button or pop()).
    signal popped()

    // The page's title, where the focus waits for a control that is away for a while
    // (FocusLanding.standInFor).
    readonly property Item titleItem: title

    // Gives the keyboard focus to the page's title, where Tab goes on to the page's first control
    // (for a page whose focused control went away).
    function focusTitle() {
        title.forceActiveFocus(Qt.TabFocusReason)
    }

    StackView.onRemoved: popped()

    // On a stack the page is a named panel: a screen reader says its title (and summary: readers
    // say only a panel's name) as the focus comes into it, a pushed page as it opens. A sheet
    // names and describes its own node after the page instead.
    Accessible.role: Accessible.Pane
    Accessible.name: navigationSummary !== "" ? navigationTitle + "، " + navigationSummary : navigationTitle
    Accessible.ignored: navigationStack === null

    // F6 moves between the bar and the content (FocusRegions.h).
    FocusRegion { target: bar }
    FocusRegion { target: body }

    Rectangle {
        anchors.fill: parent
        color: page.backgroundColor
    }

    Item {
        id: bar
        visible: !page.navigationBarHidden
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: visible ? 44 : 0

        Row {
            id: leadingRow
            anchors.left: parent.left
            anchors.leftMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4

            PlainButton {
                visible: page.canGoBack
                symbol: "chevron.right"
                symbolSize: 22
                color: Theme.accent
                anchors.verticalCenter: parent.verticalCenter
                Accessible.name: "بازگشت"
                onClicked: page.navigationStack.pop()
            }
            Loader {
                sourceComponent: page.toolbarLeading
                anchors.verticalCenter: parent.verticalCenter
            }
        }

        StaticText {
            id: title
            objectName: "navigationTitle"
            anchors.centerIn: parent
            width: Math.max(0, parent.width - 2 * Math.max(leadingRow.width, trailing.width) - 32)
            Accessible.role: Accessible.Heading
            horizontalAlignment: Text.AlignHCenter
            text: page.navigationTitle
            font: Theme.headline
            color: Theme.label
            elide: Text.ElideRight
            maximumLineCount: 1
        }

        Loader {
            id: trailing
            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            sourceComponent: page.toolbarTrailing
        }
    }

    Item {
        id: body
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: bar.bottom
        anchors.bottom: parent.bottom
    }
}
