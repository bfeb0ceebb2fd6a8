#include "Models/Station.h"

#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlEngine>
#include <QSet>
#include <gtest/gtest.h>

namespace {

PlaylistTrack trackFrom(const char *json)
{
    return PlaylistTrack::fromJson(QJsonDocument::fromJson(json).object());
}

Station stationFrom(const QByteArray &json)
{
    return json::decode<Station>(json);
}

// Decodes a catalogue reply; returns the DecodingError detail, or an empty string on success.
QString catalogueError(const QByteArray &body)
{
    try {
        json::decode<StationsResponse>(body);
        return {};
    } catch (const DecodingError &e) {
        return e.detail().isEmpty() ? QStringLiteral("(no detail)") : e.detail();
    }
}

PlaylistTrack track(const QString &title, const QString &artist = QString())
{
    PlaylistTrack t;
    t.title = title;
    if (!artist.isNull())
        t.artist = artist;
    return t;
}

Station rotation(const QString &genre, int count, std::optional<qint64> index)
{
    Station s;
    s.genre = genre;
    s.tracks = QList<PlaylistTrack>();
    for (int i = 0; i < count; ++i)
        s.tracks->append(track(QStringLiteral("t%1").arg(i), QStringLiteral("a%1").arg(i)));
    s.trackIndex = index;
    return s;
}

Station live(const std::optional<QString> &title, const std::optional<QString> &artist = std::nullopt)
{
    Station s;
    s.genre = QStringLiteral("live");
    s.title = title;
    s.artist = artist;
    return s;
}

} // namespace

// ------------------------------------------------------------------ decoding

TEST(PlaylistTrackDecoding, AcceptsNumbersAsStringsAndNeverFailsOnAField)
{
    const PlaylistTrack a = trackFrom(R"({"id": "42", "duration": "180", "track_id": 7})");
    EXPECT_EQ(a.id, 42);
    EXPECT_EQ(a.duration, 180);
    EXPECT_EQ(a.trackID, "7");

    EXPECT_EQ(trackFrom(R"({"id": 5})").trackID, "5");

    const PlaylistTrack c = trackFrom(R"({"id": "abc"})");
    EXPECT_FALSE(c.id);
    EXPECT_EQ(c.trackID, "abc");

    EXPECT_FALSE(trackFrom(R"({"duration": 12.5})").duration);
    EXPECT_FALSE(trackFrom(R"({"title": 3})").title);

    // Every field of the wrong type at once still gives a track.
    const PlaylistTrack d = trackFrom(R"({"id": [], "track_type": 1, "track_id": {}, "title": true,
        "artist": null, "artwork_url": 2, "stream_url": [1], "duration": {}})");
    EXPECT_EQ(d, PlaylistTrack());
}

TEST(PlaylistTrackDecoding, IntegerStringsAreStrictDecimal)
{
    EXPECT_EQ(trackFrom(R"({"id": "+7"})").id, 7);
    EXPECT_EQ(trackFrom(R"({"id": "-7"})").id, -7);
    EXPECT_EQ(trackFrom(R"({"id": "9223372036854775807"})").id, std::numeric_limits<qint64>::max());
    EXPECT_EQ(trackFrom(R"({"id": "-9223372036854775808"})").id, std::numeric_limits<qint64>::min());
    for (const char *bad : {R"({"id": ""})", R"({"id": " 7"})", R"({"id": "7 "})", R"({"id": "7.0"})",
                            R"({"id": "+"})", R"({"id": "0x10"})", R"({"id": "9223372036854775808"})",
                            R"({"id": "١٢"})", R"({"id": 1e30})", R"({"id": 2.5})"}) {
        EXPECT_FALSE(trackFrom(bad).id) << bad;
    }
    // An integral JSON number is an integer; a string id that does not parse still names the track.
    EXPECT_EQ(trackFrom(R"({"id": 3.0})").id, 3);
    EXPECT_EQ(trackFrom(R"({"id": ""})").trackID, "");
    EXPECT_EQ(trackFrom(R"({"track_id": "", "id": 4})").trackID, "");
    EXPECT_EQ(trackFrom(R"({"track_id": 1.5, "id": 4})").trackID, "4");
}

TEST(PlaylistTrackDecoding, OnlyANonObjectFails)
{
    EXPECT_THROW(PlaylistTrack::fromJson(QJsonValue(3)), DecodingError);
    EXPECT_THROW(PlaylistTrack::fromJson(QJsonArray()), DecodingError);
    EXPECT_NO_THROW(PlaylistTrack::fromJson(QJsonObject()));
}

TEST(StationDecoding, ReadsEveryKey)
{
    const Station s = stationFrom(R"({"genre": "jazz", "title": "T", "artist": "A", "server_name": "S",
        "stream_url": "/live/jazz", "artwork_url": "/artwork/jazz.jpg", "source": "custom",
        "category": "international", "display_genre": "Jazz", "track_index": -3, "track_count": 2,
        "tracks": [{"title": "one"}, {"title": "two"}], "elapsed_seconds": 12.5})");
    EXPECT_EQ(s.genre, "jazz");
    EXPECT_EQ(s.title, "T");
    EXPECT_EQ(s.artist, "A");
    EXPECT_EQ(s.serverName, "S");
    EXPECT_EQ(s.streamURL, "/live/jazz");
    EXPECT_EQ(s.artworkURL, "/artwork/jazz.jpg");
    EXPECT_EQ(s.source, "custom");
    EXPECT_EQ(s.category, "international");
    EXPECT_EQ(s.displayGenre, "Jazz");
    EXPECT_EQ(s.trackIndex, -3);
    EXPECT_EQ(s.trackCount, 2);
    ASSERT_TRUE(s.tracks);
    EXPECT_EQ(s.tracks->size(), 2);
    EXPECT_EQ(s.elapsedSeconds, 12.5);

    const Station bare = stationFrom(R"({"genre": "g", "title": null, "tracks": null, "track_index": null})");
    EXPECT_FALSE(bare.title);
    EXPECT_FALSE(bare.tracks);
    EXPECT_FALSE(bare.trackIndex);
    EXPECT_TRUE(stationFrom(R"({"genre": "g", "tracks": []})").tracks->isEmpty());
}

TEST(StationDecoding, WrongTypesFailTheStationAndTheWholeCatalogue)
{
    const char *badStations[] = {
        R"({"title": "no genre"})",
        R"({"genre": null})",
        R"({"genre": 5})",
        R"({"genre": "g", "track_index": "3"})",
        R"({"genre": "g", "track_index": 1.5})",
        R"({"genre": "g", "track_count": 1e300})",
        R"({"genre": "g", "track_index": 9223372036854775808})",
        R"({"genre": "g", "title": 1})",
        R"({"genre": "g", "elapsed_seconds": "3"})",
        R"({"genre": "g", "tracks": {}})",
        R"({"genre": "g", "tracks": [1]})",
        R"({"genre": "g", "tracks": "x"})",
        R"("just a string")",
    };
    for (const char *bad : badStations) {
        const QByteArray body = QByteArray(R"({"code": 200, "data": [{"genre": "ok"}, )") + bad + "]}";
        EXPECT_FALSE(catalogueError(body).isEmpty()) << bad;
    }
    // The detail says where.
    EXPECT_EQ(catalogueError(R"({"data": [{"genre": "a"}, {"genre": "b", "track_index": "3"}]})"),
              "data[1].track_index: expected an integer, found a string");
    EXPECT_EQ(catalogueError(R"({"data": [{"genre": "a", "tracks": [{}, 7]}]})"),
              "data[0].tracks[1].track: expected an object, found a number");
}

TEST(StationDecoding, EnvelopeKeysAreOptionalButTyped)
{
    const auto empty = json::decode<StationsResponse>("{}");
    EXPECT_FALSE(empty.code);
    EXPECT_FALSE(empty.message);
    EXPECT_FALSE(empty.data);
    EXPECT_FALSE(json::decode<StationsResponse>(R"({"data": null})").data);
    EXPECT_TRUE(json::decode<StationsResponse>(R"({"data": []})").data->isEmpty());
    EXPECT_FALSE(catalogueError(R"({"code": "200", "data": []})").isEmpty());
    EXPECT_FALSE(catalogueError(R"({"message": 1, "data": []})").isEmpty());
    EXPECT_FALSE(catalogueError(R"({"data": {}})").isEmpty());
    EXPECT_FALSE(catalogueError(R"([{"genre": "a"}])").isEmpty());
}

TEST(StationDecoding, HostileBodiesGiveADecodingErrorNeverACrash)
{
    QByteArray deep;
    for (int i = 0; i < 100000; ++i)
        deep += "[";
    QByteArray deepInData = R"({"data": [{"genre": "g", "tracks": [{"title": )";
    for (int i = 0; i < 2000; ++i)
        deepInData += "{\"a\":";
    const QByteArray bodies[] = {
        "",
        "<!DOCTYPE html><html><body>502 Bad Gateway</body></html>",
        R"({"data": [{"genre": "a"}, {"genre": "b")",
        "{\"data\": [{\"genre\": \"a\xff\xfe\"}]}",
        "{\"data\": [{\"genre\": \"\xed\xa0\x80\"}]}", // an encoded surrogate is not UTF-8
        R"({"data": [{"genre": "a", "track_index": 1e400}]})",
        R"({"data": [{"genre": "a", "elapsed_seconds": -1e999}]})",
        QByteArray("{\"data\": [{\"genre\": \"a\0b\"}]}", 26),
        deep,
        deepInData,
        "null",
        "123",
        "\"text\"",
    };
    for (const QByteArray &body : bodies)
        EXPECT_FALSE(catalogueError(body).isEmpty()) << body.left(60).constData();

    // Huge but valid numbers where a double is allowed decode.
    EXPECT_EQ(stationFrom(R"({"genre": "a", "elapsed_seconds": 1e300})").elapsedSeconds, 1e300);
    // Extreme track indexes still wrap without overflow.
    Station s = stationFrom(R"({"genre": "a", "track_index": -9223372036854775808, "tracks": [{}, {}, {}]})");
    EXPECT_GE(s.normalizedTrackIndex(), 0);
    EXPECT_LT(s.normalizedTrackIndex(), 3);
}

// ------------------------------------------------------------------ identity, equality, encoding

TEST(StationIdentity, EqualityIgnoresTracksAndElapsedTime)
{
    Station a = rotation("jazz", 3, 1);
    a.title = QStringLiteral("T");
    a.artworkURL = QStringLiteral("/artwork/a.jpg");
    Station b = a;
    b.tracks = QList<PlaylistTrack>{track("other")};
    b.elapsedSeconds = 99;
    b.serverName = QStringLiteral("changed");
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));

    for (auto change : {+[](Station &s) { s.trackIndex = 2; }, +[](Station &s) { s.trackIndex.reset(); },
                        +[](Station &s) { s.title = QStringLiteral("T2"); },
                        +[](Station &s) { s.artworkURL.reset(); }, +[](Station &s) { s.genre = "x"; }}) {
        Station c = a;
        change(c);
        EXPECT_NE(a, c);
    }
    QSet<Station> set{a, b};
    EXPECT_EQ(set.size(), 1);

    PlaylistTrack t1 = track("x", "y");
    PlaylistTrack t2 = t1;
    EXPECT_EQ(t1, t2);
    EXPECT_EQ(qHash(t1), qHash(t2));
    t2.duration = 3;
    EXPECT_NE(t1, t2);
}

TEST(StationEncoding, OmitsAbsentFieldsAndRoundTrips)
{
    Station bare;
    bare.genre = QStringLiteral("g");
    EXPECT_EQ(bare.toJson(), (QJsonObject{{"genre", "g"}}));

    const QByteArray full = R"({"genre": "jazz", "title": "T", "artist": "A", "server_name": "S",
        "stream_url": "/s", "artwork_url": "/a", "source": "songsara", "category": "international",
        "display_genre": "Jazz", "track_index": 1, "track_count": 2, "elapsed_seconds": 1.5,
        "tracks": [{"id": 1, "track_type": "music", "track_id": "x", "title": "t", "artist": "a",
                    "artwork_url": "/w", "stream_url": "/u", "duration": 30}, {"title": "only"}]})";
    const QJsonObject original = QJsonDocument::fromJson(full).object();
    const Station decoded = Station::fromJson(original);
    EXPECT_EQ(decoded.toJson(), original);

    StationsResponse response;
    response.code = 200;
    response.data = QList<Station>{decoded};
    const auto again = StationsResponse::fromJson(response.toJson());
    EXPECT_EQ(again.code, 200);
    EXPECT_FALSE(again.message);
    ASSERT_EQ(again.data->size(), 1);
    EXPECT_EQ(again.data->first().tracks, decoded.tracks);
}

// ------------------------------------------------------------------ derived properties

TEST(StationDerived, CurrentTrackWrapsAnyIndex)
{
    EXPECT_EQ(*rotation("g", 3, -1).currentTrack()->title, "t2");
    EXPECT_EQ(*rotation("g", 3, 7).currentTrack()->title, "t1");
    EXPECT_EQ(*rotation("g", 3, std::nullopt).currentTrack()->title, "t0");
    EXPECT_EQ(rotation("g", 3, -4).normalizedTrackIndex(), 2);
    EXPECT_EQ(rotation("g", 3, std::numeric_limits<qint64>::max()).normalizedTrackIndex(),
              std::numeric_limits<qint64>::max() % 3);
    EXPECT_EQ(rotation("g", 0, 5).normalizedTrackIndex(), 0);
    EXPECT_EQ(rotation("g", 0, 5).currentTrack(), nullptr);
}

TEST(StationDerived, EmptyTrackListBehavesAsLive)
{
    Station s = rotation("radio", 0, 2);
    s.title = QStringLiteral("Artist - Song");
    s.streamURL = QStringLiteral("/live/radio");
    EXPECT_FALSE(s.hasTracks());
    EXPECT_EQ(s.currentTrack(), nullptr);
    EXPECT_EQ(s.displayTrackTitle(), "Song");
    EXPECT_EQ(s.displayArtist(), "Artist");
    EXPECT_EQ(s.currentStreamURL(), "/live/radio");
    EXPECT_EQ(s.currentTrackID(), "radio#Song");
    s.source = QStringLiteral("songsara");
    EXPECT_TRUE(s.needsHydration());
    s.tracks.reset();
    EXPECT_TRUE(s.needsHydration());
    s.tracks = QList<PlaylistTrack>{track("x")};
    EXPECT_FALSE(s.needsHydration());
    s.tracks.reset();
    s.source = QStringLiteral("Songsara");
    EXPECT_FALSE(s.needsHydration());
}

TEST(StationDerived, DisplayNameSkipsCategoryLabels)
{
    Station s;
    s.genre = QStringLiteral("genre-key");
    for (const QString &label : {QStringLiteral("ایرانی"), QStringLiteral("بین المللی"),
                                 QStringLiteral("بین\u200cالمللی"), QString()}) {
        s.serverName = label;
        s.title = QString();
        EXPECT_EQ(s.displayName(), "genre-key");
        s.title = QStringLiteral("Title");
        EXPECT_EQ(s.displayName(), "Title");
    }
    // Close to a label is not a label.
    s.serverName = QStringLiteral("ایرانی ");
    EXPECT_EQ(s.displayName(), "ایرانی ");
    s.serverName = QStringLiteral("Pulse FM");
    EXPECT_EQ(s.displayName(), "Pulse FM");
    s.serverName.reset();
    s.title.reset();
    EXPECT_EQ(s.displayName(), "genre-key");
}

TEST(StationDerived, LiveTitleSplitsIntoArtistAndSong)
{
    EXPECT_EQ(live(QStringLiteral("Artist - Song")).displayTrackTitle(), "Song");
    EXPECT_EQ(live(QStringLiteral("Artist - Song")).displayArtist(), "Artist");
    EXPECT_EQ(live(QStringLiteral("Artist - Song"), QString()).displayArtist(), "Artist");
    EXPECT_EQ(live(QStringLiteral("Artist - Song"), QStringLiteral("Own")).displayArtist(), "Own");
    // The split is at the first hyphen, not at the first " - ".
    EXPECT_EQ(live(QStringLiteral("A-B - Song")).displayTrackTitle(), "B - Song");
    EXPECT_EQ(live(QStringLiteral("A-B - Song")).displayArtist(), "A");
    EXPECT_EQ(live(QStringLiteral(" - ")).displayTrackTitle(), "");
    EXPECT_EQ(live(QStringLiteral(" - ")).displayArtist(), "");
    // Leading hyphens make only empty pieces, which are dropped: the split is at the next hyphen.
    EXPECT_EQ(live(QStringLiteral("-Artist - Song")).displayTrackTitle(), "Song");
    EXPECT_EQ(live(QStringLiteral("-Artist - Song")).displayArtist(), "Artist");
    EXPECT_EQ(live(QStringLiteral("- - Song")).displayTrackTitle(), "Song");
    EXPECT_EQ(live(QStringLiteral("- - Song")).displayArtist(), "");
    // Without " - " the title is shown whole and there is no artist.
    EXPECT_EQ(live(QStringLiteral("Artist-Song")).displayTrackTitle(), "Artist-Song");
    EXPECT_EQ(live(QStringLiteral("Artist-Song")).displayArtist(), "");
    // Spaces and tabs are trimmed, line breaks are not.
    EXPECT_EQ(live(QStringLiteral("\tArtist\u00a0 - Song\t")).displayArtist(), "Artist");
    EXPECT_EQ(live(QStringLiteral("\tArtist\u00a0 - Song\t")).displayTrackTitle(), "Song");
    EXPECT_EQ(live(QStringLiteral("Artist - Song\n")).displayTrackTitle(), "Song\n");
    // Persian titles split the same way.
    EXPECT_EQ(live(QStringLiteral("سحر کیانی - شب آرام")).displayTrackTitle(), "شب آرام");
}

TEST(StationDerived, FallbacksWithoutTitles)
{
    Station nothing;
    nothing.genre = QStringLiteral("g");
    EXPECT_EQ(nothing.displayArtist(), "");
    EXPECT_EQ(nothing.displayTrackTitle(), "g");
    nothing.serverName = QStringLiteral("Server");
    EXPECT_EQ(nothing.displayTrackTitle(), "Server");

    // The current track wins when it has texts; an empty track title falls back to the station.
    Station s = rotation("g", 2, 1);
    s.title = QStringLiteral("X - Y");
    EXPECT_EQ(s.displayTrackTitle(), "t1");
    EXPECT_EQ(s.displayArtist(), "a1");
    (*s.tracks)[1].title = QString();
    (*s.tracks)[1].artist.reset();
    EXPECT_EQ(s.displayTrackTitle(), "Y");
    EXPECT_EQ(s.displayArtist(), "X");
}

TEST(StationDerived, StreamAddressAndTrackIdentity)
{
    Station s = rotation("jazz", 4, 3);
    EXPECT_EQ(s.currentStreamURL(), "/stream/jazz?track=3");
    EXPECT_EQ(s.currentTrackID(), "jazz#3");
    s.trackIndex = -1;
    EXPECT_EQ(s.currentStreamURL(), "/stream/jazz?track=3");
    (*s.tracks)[3].streamURL = QString();
    EXPECT_EQ(s.currentStreamURL(), "/stream/jazz?track=3");
    (*s.tracks)[3].streamURL = QStringLiteral("/audio/jazz-4.mp3");
    EXPECT_EQ(s.currentStreamURL(), "/audio/jazz-4.mp3");

    // A genre is one path segment of the fallback address.
    EXPECT_EQ(rotation("a/b?c#d e", 1, 0).currentStreamURL(), "/stream/a%2Fb%3Fc%23d%20e?track=0");

    Station l = live(QStringLiteral("A - B"));
    EXPECT_FALSE(l.currentStreamURL());
    l.streamURL = QStringLiteral("https://cdn.example/live");
    EXPECT_EQ(l.currentStreamURL(), "https://cdn.example/live");
    EXPECT_EQ(l.currentTrackID(), "live#B");
}

// ------------------------------------------------------------------ QML access

TEST(StationInQml, PropertiesReadByNameAndAbsentIsUndefined)
{
    QQmlEngine engine;
    Station s = rotation("jazz", 3, 4);
    s.serverName = QStringLiteral("Late Night Jazz");
    (*s.tracks)[1].streamURL = QStringLiteral("/audio/x.mp3");
    engine.globalObject().setProperty("station", engine.toScriptValue(QVariant::fromValue(s)));
    const auto eval = [&](const char *expression) {
        const QJSValue v = engine.evaluate(QString::fromUtf8(expression));
        EXPECT_FALSE(v.isError()) << expression << ": " << v.toString().toStdString();
        return v.toVariant();
    };
    EXPECT_EQ(eval("station.genre").toString(), "jazz");
    EXPECT_EQ(eval("station.displayName").toString(), "Late Night Jazz");
    EXPECT_EQ(eval("station.displayTrackTitle").toString(), "t1");
    EXPECT_EQ(eval("station.tracks.length").toInt(), 3);
    EXPECT_EQ(eval("station.tracks[2].title").toString(), "t2");
    EXPECT_EQ(eval("station.currentTrack.artist").toString(), "a1");
    EXPECT_EQ(eval("station.currentStreamURL").toString(), "/audio/x.mp3");
    EXPECT_EQ(eval("station.trackIndex").toInt(), 4);
    EXPECT_EQ(eval("station.normalizedTrackIndex").toInt(), 1);
    EXPECT_TRUE(eval("station.title === undefined").toBool());
    EXPECT_TRUE(eval("station.tracks[0].duration === undefined").toBool());
    EXPECT_TRUE(eval("station.hasTracks").toBool());

    // A station handed back from script is the same record.
    const auto back = Station::fromVariant(eval("station"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->tracks, s.tracks);
    EXPECT_FALSE(Station::fromVariant(QVariant(3)));
}
