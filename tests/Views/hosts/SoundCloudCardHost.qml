import QtQuick
import Melodrift

SoundCloudCard {
    width: 400
    model: SoundCloudCardModel {}
}
