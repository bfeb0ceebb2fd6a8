import QtQuick
import QtQuick.Controls
import Melodrift

// The equaliser sheet: the switch, the preset menu, the five band rows and a line on the range.
// Every control writes straight into the equaliser settings, which are heard at once and stored;
// the sheet keeps nothing. It takes `station` like the other sheets of the full player and does
// not use it.
NavigationPage {
    id: page

    property var station: null

    signal dismissRequested()

    navigationTitle: "اکولایزر"
    navigationBarHidden: true
    backgroundColor: Theme.background
    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    EQViewModel { id: model }

    Keys.onEscapePressed: page.dismissRequested()

    // F6 moves between the switch and what it switches (FocusRegions.h).
    FocusRegion { target: switchRow }
    FocusRegion { target: controls }

    Flickable {
        anchors.fill: parent
        contentHeight: column.height + 24
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        Column {
            id: column
            width: parent.width
            spacing: 18

            // Grabber.
            Item {
                width: parent.width
                height: 14
                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: 10
                    width: 40
                    height: 4
                    radius: 2
                    color: Qt.rgba(1, 1, 1, 0.25)
                }
            }

            // The switch row.
            Item {
                id: switchRow
                width: parent.width
                height: Math.max(title.implicitHeight, toggle.implicitHeight)
                SymbolLabel {
                    id: title
                    anchors.left: parent.left
                    anchors.leftMargin: 18
                    anchors.verticalCenter: parent.verticalCenter
                    text: "اکولایزر"
                    symbol: "slider.horizontal.3"
                    font: Theme.headline
                    color: "white"
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Toggle {
                    id: toggle
                    objectName: "eqToggle"
                    anchors.right: parent.right
                    anchors.rightMargin: 18
                    anchors.verticalCenter: parent.verticalCenter
                    checked: model.enabled
                    // However it was switched (a click, a key, an assistive action).
                    onCheckedChanged: if (checked !== model.enabled) model.enabled = checked
                    Accessible.name: "اکولایزر"
                }
            }

            // The preset and the bands, which the switch turns on and off.
            Column {
                id: controls
                width: parent.width
                spacing: 18

                // The preset menu.
                PullDownMenu {
                    id: presetMenu
                    objectName: "presetMenu"
                    x: 18
                    width: parent.width - 36
                    enabled: model.enabled
                    items: model.presetNames
                    currentIndex: model.presetNames.indexOf(model.selectedPreset)
                    onChosen: (index, name) => model.applyPreset(name)
                    Accessible.name: model.presetLabel
                    topPadding: 10
                    bottomPadding: 10
                    leftPadding: 14
                    rightPadding: 14
                    focusRingRadius: 12
                    background: Rectangle {
                        radius: 12
                        color: Qt.rgba(1, 1, 1, 0.08)
                    }
                    contentItem: Item {
                        implicitHeight: Math.max(presetText.implicitHeight, chevron.implicitHeight)
                        Text {
                            id: presetText
                            textFormat: Text.PlainText
                            objectName: "presetLabel"
                            anchors.left: parent.left
                            anchors.verticalCenter: parent.verticalCenter
                            text: model.presetLabel
                            font: Theme.subheadline
                            color: "white"
                        }
                        SymbolImage {
                            id: chevron
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "chevron.down"
                            size: Theme.caption.pixelSize
                            color: "white"
                        }
                    }
                }

                // The band rows.
                Column {
                    x: 18
                    width: parent.width - 36
                    spacing: 14

                    Repeater {
                        model: 5
                        delegate: Item {
                            id: row
                            required property int index
                            objectName: "band" + index
                            width: parent.width
                            height: slider.implicitHeight
                            enabled: model.enabled

                            Text {
                                id: bandTitle
                                textFormat: Text.PlainText
                                anchors.left: parent.left
                                anchors.verticalCenter: parent.verticalCenter
                                width: 66
                                horizontalAlignment: Text.AlignLeft
                                text: model.bandTitles[row.index]
                                font: Theme.caption
                                color: Qt.rgba(1, 1, 1, 0.6)
                                opacity: row.enabled ? 1.0 : 0.5
                            }
                            ValueSlider {
                                id: slider
                                objectName: "bandSlider"
                                anchors.left: bandTitle.right
                                anchors.leftMargin: 10
                                anchors.right: gainText.left
                                anchors.rightMargin: 10
                                anchors.verticalCenter: parent.verticalCenter
                                from: model.minGain
                                to: model.maxGain
                                modelValue: model.gains[row.index]
                                onMoved: model.setGain(row.index, value)
                                Accessible.name: model.bandTitles[row.index]
                                Accessible.description: model.gainTexts[row.index]
                            }
                            StaticText {
                                id: gainText
                                objectName: "gainText"
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.verticalCenter
                                width: 34
                                horizontalAlignment: Text.AlignRight
                                text: model.gainTexts[row.index]
                                font: Theme.caption
                                color: Qt.rgba(1, 1, 1, 0.7)
                                opacity: row.enabled ? 1.0 : 0.5
                            }
                        }
                    }
                }
            }

            StaticText {
                objectName: "footerText"
                x: 18
                width: parent.width - 36
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: model.footerText
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.45)
            }
        }
    }
}
