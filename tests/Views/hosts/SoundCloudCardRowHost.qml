import QtQuick
import Melodrift

SoundCloudCardRow {
    width: 430
    model: SoundCloudCardModel {}
    position: 0
}
