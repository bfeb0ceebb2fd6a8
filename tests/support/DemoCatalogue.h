#pragma once

#include "support/StandInServer.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>

namespace standin {

// The stand-in backend's station catalogue and the routes that serve it:
//   GET /api/stations                  {"code":200,"message":"ok","data":[stations]}
//   GET /api/songsara/playlist/<key>   {"code":200,"message":"ok","data":[one station]}; 404 for an unknown key
//   GET /artwork/<name>.jpg            a generated JPEG gradient, its colours derived from <name>
//   POST /control/advance/<genre>      moves the rotation on by one track: {"genre":..,"track_index":i};
//                                      404 when the genre is not a rotation (demos and tests)
//
// Audio addresses in the catalogue (served by the audio routes):
//   rotation tracks without a stream_url play "/stream/<genre>?track=<i>" (the client builds it);
//   tracks with one play "/audio/<track_id>.mp3" or ".ogg"; live stations stream "/live/<genre>".
//
// The standard catalogue: a live station titled "Artist - Song" style, a rotation with a track
// index, a rotation without one, a "songsara" station without tracks (filled by the songsara route),
// a rotation of genre "persian", stations of every category, Persian and English names.
struct DemoCatalogue {
    QJsonArray stations;
    // Track lists of the songsara route, by list key (the genre without "songsara-").
    QHash<QString, QJsonObject> songsaraStations;
    // How long the artwork route waits before each answer: a slow picture server.
    int artworkDelayMs = 0;

    static DemoCatalogue standard();
    // Appends `count` plain rotations "extra-<n>" with their own artwork (large-catalogue runs).
    void addExtraStations(int count);
    // The live stations stream from `address` (a radio server of the measuring scripts) instead
    // of "/live/<genre>".
    void streamLiveFrom(const QString &address);

    // Helpers for tests that change what the server says between requests.
    QJsonObject station(const QString &genre) const; // empty when absent
    void replaceStation(const QJsonObject &station);  // by genre; appended when new
    void removeStation(const QString &genre);
    void setTrackIndex(const QString &genre, qint64 index);
    // Moves a rotation on to its next track (wrapping, elapsed time 0), as the server's clock
    // does; the new index, or nullopt when the genre is not a rotation.
    std::optional<qint64> advanceRotation(const QString &genre);
};

// Installs the catalogue routes on `server` and returns the catalogue they serve: a test may
// change it (or assign a whole new one) and the next request sees the change.
std::shared_ptr<DemoCatalogue> installDemoCatalogue(StandInServer &server,
                                                    DemoCatalogue catalogue = DemoCatalogue::standard());

// The JPEG the artwork route serves for `name` (deterministic; distinct colours per name).
QByteArray artworkJpeg(const QString &name, int size = 300);

} // namespace standin
