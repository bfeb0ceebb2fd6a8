import QtQuick
import Melodrift

SpotifyImportCard {
    width: 400
    model: SpotifyImportCardModel {}
}
