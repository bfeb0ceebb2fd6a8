import QtQuick
import QtQuick.Controls
import Melodrift

MelodriftWindow {
    id: window
    width: 430
    height: 860
    visible: true
    title: "Melodrift Radio"
}
