#pragma once

#include "Models/Envelope.h"
#include "Models/OptionalText.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>

// How stations and tracks reach QML (one way for the whole project):
// `Station` and `PlaylistTrack` are Q_GADGET value types with read-only properties. C++ hands QML
// a QVariant holding one record (QVariant::fromValue(station)) or a QVariantList of them; QML reads
// fields and derived texts by name (`station.displayName`, `station.tracks[0].title`). An absent
// optional field reads as undefined in QML (an invalid QVariant). QML never edits a record: it
// passes the QVariant back to C++ (e.g. to a Q_INVOKABLE taking `const QVariant &`), where
// `value.value<Station>()` gives the record back unchanged. Use `toVariantList()` for lists.

// One track of a station's or playlist's track list. Its decoder is lenient: no field ever fails
// the track (wrong types give an absent field; numbers may come as strings).
struct PlaylistTrack {
    Q_GADGET
    Q_PROPERTY(QVariant id READ qmlId)
    Q_PROPERTY(QVariant trackType READ qmlTrackType)
    Q_PROPERTY(QVariant trackID READ qmlTrackID)
    Q_PROPERTY(QVariant title READ qmlTitle)
    Q_PROPERTY(QVariant artist READ qmlArtist)
    Q_PROPERTY(QVariant artworkURL READ qmlArtworkURL)
    Q_PROPERTY(QVariant streamURL READ qmlStreamURL)
    Q_PROPERTY(QVariant duration READ qmlDuration)

public:
    std::optional<qint64> id;
    OptionalText trackType;
    OptionalText trackID;
    OptionalText title;
    OptionalText artist;
    OptionalText artworkURL;
    OptionalText streamURL;
    std::optional<qint64> duration; // whole seconds

    // Throws DecodingError only when `value` is not a JSON object.
    static PlaylistTrack fromJson(const QJsonValue &value);
    QJsonObject toJson() const;

    bool operator==(const PlaylistTrack &) const = default;

private:
    QVariant qmlId() const;
    QVariant qmlTrackType() const;
    QVariant qmlTrackID() const;
    QVariant qmlTitle() const;
    QVariant qmlArtist() const;
    QVariant qmlArtworkURL() const;
    QVariant qmlStreamURL() const;
    QVariant qmlDuration() const;
};

size_t qHash(const PlaylistTrack &track, size_t seed = 0) noexcept;

// One playable station: live (no track list: `streamURL` plays as is) or a server-side rotation
// (`tracks`, positioned by `trackIndex`). `genre` is its identity.
struct Station {
    Q_GADGET
    Q_PROPERTY(QString genre READ qmlGenre)
    Q_PROPERTY(QVariant title READ qmlTitle)
    Q_PROPERTY(QVariant artist READ qmlArtist)
    Q_PROPERTY(QVariant serverName READ qmlServerName)
    Q_PROPERTY(QVariant streamURL READ qmlStreamURL)
    Q_PROPERTY(QVariant artworkURL READ qmlArtworkURL)
    Q_PROPERTY(QVariant source READ qmlSource)
    Q_PROPERTY(QVariant category READ qmlCategory)
    Q_PROPERTY(QVariant displayGenre READ qmlDisplayGenre)
    Q_PROPERTY(QVariant trackIndex READ qmlTrackIndex)
    Q_PROPERTY(QVariant trackCount READ qmlTrackCount)
    Q_PROPERTY(QVariantList tracks READ qmlTracks)
    Q_PROPERTY(QVariant elapsedSeconds READ qmlElapsedSeconds)
    Q_PROPERTY(QVariant currentTrack READ qmlCurrentTrack)
    Q_PROPERTY(QString displayName READ displayName)
    Q_PROPERTY(QString displayTrackTitle READ displayTrackTitle)
    Q_PROPERTY(QString displayArtist READ displayArtist)
    Q_PROPERTY(bool needsHydration READ needsHydration)
    Q_PROPERTY(bool hasTracks READ hasTracks)
    Q_PROPERTY(qint64 normalizedTrackIndex READ normalizedTrackIndex)
    Q_PROPERTY(QVariant currentStreamURL READ qmlCurrentStreamURL)
    Q_PROPERTY(QString currentTrackID READ currentTrackID)

public:
    QString genre;
    OptionalText title;
    OptionalText artist;
    OptionalText serverName;
    OptionalText streamURL;
    OptionalText artworkURL;
    OptionalText source;
    OptionalText category;
    OptionalText displayGenre;
    std::optional<qint64> trackIndex;
    std::optional<qint64> trackCount;
    std::optional<QList<PlaylistTrack>> tracks;
    std::optional<double> elapsedSeconds;

    // Strict: "genre" must be a string; any other key may be absent or null, but a present value
    // of the wrong type throws DecodingError. Tracks use the lenient track decoder.
    static Station fromJson(const QJsonValue &value);
    QJsonObject toJson() const;

    // Equal when genre, title, artworkURL and trackIndex are equal; the other fields are ignored,
    // so a station whose track list or elapsed time changed still equals its older copy.
    bool operator==(const Station &other) const;

    // --- derived, computed on every read ---
    // True when the track list is present and not empty (a rotation); false means live.
    bool hasTracks() const { return tracks && !tracks->isEmpty(); }
    // The track at normalizedTrackIndex(), or nullptr without a track list. Points into `tracks`.
    const PlaylistTrack *currentTrack() const;
    QString displayName() const;
    QString displayTrackTitle() const;
    QString displayArtist() const;
    // The track list must first be fetched with APIClient::hydrateSongsara().
    bool needsHydration() const;

    // 0 without tracks; else trackIndex (0 when absent) wrapped into 0..count-1.
    qint64 normalizedTrackIndex() const;
    // With tracks: the current track's streamURL when non-empty, else "/stream/<genre>?track=<i>"
    // (genre percent-encoded as one path segment). Without tracks: the station's own streamURL.
    std::optional<QString> currentStreamURL() const;
    // With tracks "<genre>#<index>", else "<genre>#<displayTrackTitle>": the key of a liked track.
    QString currentTrackID() const;

    QVariant toVariant() const { return QVariant::fromValue(*this); }
    static QVariantList toVariantList(const QList<Station> &stations);
    // The station held in a QVariant (as QML passes it back), or nullopt for anything else.
    static std::optional<Station> fromVariant(const QVariant &value);

private:
    QString qmlGenre() const { return genre; }
    QVariant qmlTitle() const;
    QVariant qmlArtist() const;
    QVariant qmlServerName() const;
    QVariant qmlStreamURL() const;
    QVariant qmlArtworkURL() const;
    QVariant qmlSource() const;
    QVariant qmlCategory() const;
    QVariant qmlDisplayGenre() const;
    QVariant qmlTrackIndex() const;
    QVariant qmlTrackCount() const;
    QVariantList qmlTracks() const;
    QVariant qmlElapsedSeconds() const;
    QVariant qmlCurrentTrack() const;
    QVariant qmlCurrentStreamURL() const;
};

size_t qHash(const Station &station, size_t seed = 0) noexcept;

// The catalogue reply: the common envelope with a station list as its data.
using StationsResponse = Envelope<QList<Station>>;

Q_DECLARE_METATYPE(PlaylistTrack)
Q_DECLARE_METATYPE(Station)
