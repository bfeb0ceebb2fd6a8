#include "Models/APIModels.h"

#include <QSet>
#include <gtest/gtest.h>

using json::decode;

namespace {

// The detail of the DecodingError that decoding `body` as T throws; empty when it decodes.
template <typename T>
std::string failure(const QByteArray &body)
{
    try {
        decode<T>(body);
    } catch (const DecodingError &e) {
        return e.detail().toStdString();
    }
    return {};
}

} // namespace

TEST(APIModels, EnvelopeFieldsAreOptionalAndDataMayBeNull)
{
    for (const QByteArray &body : {QByteArray("{}"), QByteArray("{\"code\":null,\"message\":null,\"data\":null}")}) {
        const AuthEnvelope e = decode<AuthEnvelope>(body);
        EXPECT_FALSE(e.code);
        EXPECT_FALSE(e.message);
        EXPECT_FALSE(e.data);
    }
    const AuthEnvelope e = decode<AuthEnvelope>(
        R"({"code":200,"message":"ok","extra":[1,{"x":2}],"data":{"token":"t0k",
            "user":{"id":7,"username":"demo","display_name":"دمو","avatar_url":null,"unknown":1}}})");
    EXPECT_EQ(e.code, 200);
    EXPECT_EQ(e.message, "ok");
    ASSERT_TRUE(e.data && e.data->user);
    EXPECT_EQ(e.data->token, "t0k");
    EXPECT_EQ(e.data->user->id, 7);
    EXPECT_EQ(e.data->user->displayName, QStringLiteral("دمو"));
    EXPECT_FALSE(e.data->user->avatarURL);
    EXPECT_FALSE(e.data->user->telegramUsername);
}

TEST(APIModels, AWrongTypeAnywhereFailsTheWholeReplyAndSaysWhere)
{
    EXPECT_EQ(failure<AuthEnvelope>(R"({"code":"200"})"), "code: expected an integer, found a string");
    EXPECT_EQ(failure<AuthEnvelope>(R"({"data":{"user":{"id":1.5}}})"),
              "data.user.id: expected an integer, found a number");
    EXPECT_EQ(failure<AuthEnvelope>(R"({"data":{"token":42}})"), "data.token: expected a string, found a number");
    EXPECT_EQ(failure<AuthEnvelope>(R"({"data":[]})"), "data.auth: expected an object, found an array");
    EXPECT_EQ(failure<AuthEnvelope>(R"({"data":{"user":"me"}})"), "data.user.user: expected an object, found a string");
    EXPECT_EQ(failure<AuthEnvelope>("[]"), "reply: expected an object, found an array");
    EXPECT_EQ(failure<ToggleResult>(R"({"data":{"favorited":1}})"),
              "data.favorited: expected a boolean, found a number");
    EXPECT_EQ(failure<PlaylistsEnvelope>(R"({"data":{"playlists":{}}})"),
              "data.playlists: expected an array, found an object");
    EXPECT_EQ(failure<LyricsEnvelope>(R"({"data":{"lines":[{"time":"1"}]}})"),
              "data.lines[0].time: expected a number, found a string");
    EXPECT_FALSE(failure<AuthEnvelope>("<html>").empty());
}

TEST(APIModels, PlaylistAndFavouriteIdsAreRequired)
{
    const PlaylistsEnvelope e = decode<PlaylistsEnvelope>(
        R"({"data":{"favorites_count":3,"playlists":[{"id":1,"title":"a","track_count":2},{"id":2.0}]}})");
    ASSERT_TRUE(e.data && e.data->playlists);
    ASSERT_EQ(e.data->playlists->size(), 2);
    EXPECT_EQ(e.data->playlists->at(1).id, 2);
    EXPECT_EQ(e.data->playlists->at(0).trackCount, 2);
    EXPECT_EQ(e.data->favoritesCount, 3);

    EXPECT_EQ(failure<PlaylistsEnvelope>(R"({"data":{"playlists":[{"id":1},{"title":"x"}]}})"),
              "data.playlists[1].id: expected an integer, found nothing");
    EXPECT_EQ(failure<PlaylistCreateEnvelope>(R"({"data":{"id":null}})"), "data.id: expected an integer, found null");
    EXPECT_EQ(failure<FavoritesEnvelope>(R"({"data":[{"id":1},{"id":"2"}]})"),
              "data[1].id: expected an integer, found a string");
    EXPECT_EQ(failure<FavoritesEnvelope>(R"({"data":[{"title":"no id"}]})"),
              "data[0].id: expected an integer, found nothing");
}

TEST(APIModels, FavouritesDecodeStrictlyUnlikePlaylistTracks)
{
    const FavoritesEnvelope e = decode<FavoritesEnvelope>(
        R"({"data":[{"id":5,"track_type":"radio","track_id":"pop#2","title":"T","artist":"A",
                     "artwork_url":"/artwork/pop.jpg","stream_url":"/stream/pop?track=2","duration":181},
                    {"id":6}]})");
    ASSERT_TRUE(e.data);
    ASSERT_EQ(e.data->size(), 2);
    const FavoriteTrack &f = e.data->first();
    EXPECT_EQ(f.id, 5);
    EXPECT_EQ(f.trackID, "pop#2");
    EXPECT_EQ(f.duration, 181);
    EXPECT_EQ(f.streamURL, "/stream/pop?track=2");
    EXPECT_FALSE(e.data->at(1).trackID);

    EXPECT_EQ(failure<FavoritesEnvelope>(R"({"data":[{"id":1,"duration":"180"}]})"),
              "data[0].duration: expected an integer, found a string");
    EXPECT_EQ(failure<FavoritesEnvelope>(R"({"data":[{"id":1,"track_id":7}]})"),
              "data[0].track_id: expected a string, found a number");
    EXPECT_EQ(failure<FavoritesEnvelope>(R"({"data":{"id":1}})"), "data: expected an array, found an object");

    // The same track inside a playlist's tracks decodes leniently; the playlist itself is strict.
    const PlaylistDetail detail = *decode<PlaylistEnvelope>(
                                       R"({"data":{"id":4,"title":"P","cover_url":null,"tracks":[
                                           {"id":1,"duration":"180","track_id":7},{"title":3}]}})")
                                       .data;
    EXPECT_EQ(detail.id, 4);
    EXPECT_FALSE(detail.coverURL);
    ASSERT_EQ(detail.tracks->size(), 2);
    EXPECT_EQ(detail.tracks->at(0).duration, 180);
    EXPECT_EQ(detail.tracks->at(0).trackID, "7");
    EXPECT_FALSE(detail.tracks->at(1).title);
    EXPECT_FALSE(failure<PlaylistEnvelope>(R"({"data":{"tracks":["not a track"]}})").empty());
    EXPECT_EQ(failure<PlaylistEnvelope>(R"({"data":{"id":"4"}})"), "data.id: expected an integer, found a string");
}

TEST(APIModels, SessionResolvesFromTopLevelThenData)
{
    const auto resolve = [](const QByteArray &body) { return decode<SessionInfoEnvelope>(body).resolved(); };

    auto s = resolve(R"({"data":{"session_id":"s1","bot_link":"https://t.me/Bot","bot_username":"Bot"}})");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sessionID, "s1");
    EXPECT_EQ(s->botLink, "https://t.me/Bot");
    EXPECT_EQ(s->botUsername, "Bot");
    EXPECT_FALSE(s->telegramUsername);
    EXPECT_EQ(s->expiresIn, 300);

    s = resolve(R"({"session_id":"top","expires_in":120,"bot_username":"","data":{"session_id":"inner",
                   "expires_in":600,"bot_username":"Inner","telegram_username":"me"}})");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sessionID, "top");
    EXPECT_EQ(s->expiresIn, 120);
    EXPECT_EQ(s->botUsername, ""); // present at the top, even empty, wins
    EXPECT_EQ(s->telegramUsername, "me");

    EXPECT_EQ(resolve(R"({"data":{"session_id":"s","expires_in":600}})")->expiresIn, 600);
    EXPECT_FALSE(resolve(R"({"session_id":"","data":{"session_id":"inner"}})"));
    EXPECT_FALSE(resolve(R"({"data":{"session_id":""}})"));
    EXPECT_FALSE(resolve(R"({"message":"no","code":422})"));
    EXPECT_TRUE(resolve(R"({"session_id":null,"data":{"session_id":"inner"}})"));

    EXPECT_EQ(failure<SessionInfoEnvelope>(R"({"expires_in":"300"})"), "expires_in: expected an integer, found a string");
    EXPECT_EQ(failure<SessionInfoEnvelope>(R"({"data":{"session_id":5}})"),
              "data.session_id: expected a string, found a number");
}

TEST(APIModels, SpotifyEntityFallsBackForTypeAndCoverOnly)
{
    SpotifyEntity e = *decode<EntityEnvelope>(R"({"data":{"kind":"album","artwork_url":"a.jpg"}})").data;
    EXPECT_EQ(e.type, "album");
    EXPECT_EQ(e.coverURL, "a.jpg");

    e = *decode<EntityEnvelope>(R"({"data":{"type":3,"kind":"playlist","cover_url":null,"artwork_url":"b.jpg"}})").data;
    EXPECT_EQ(e.type, "playlist");
    EXPECT_EQ(e.coverURL, "b.jpg");

    e = *decode<EntityEnvelope>(R"({"data":{"type":"playlist","kind":"album","cover_url":"c","artwork_url":"d"}})").data;
    EXPECT_EQ(e.type, "playlist");
    EXPECT_EQ(e.coverURL, "c");

    e = *decode<EntityEnvelope>(R"({"data":{"type":[],"kind":{},"cover_url":1,"artwork_url":false}})").data;
    EXPECT_FALSE(e.type);
    EXPECT_FALSE(e.coverURL);

    e = *decode<EntityEnvelope>(
             R"({"data":{"id":"37i9","title":"Mix","artist":"Various","track_count":2,
                 "tracks":[{"id":"t1","title":"One","duration":200,"stream_url":"/s/1"},{}]}})")
             .data;
    EXPECT_EQ(e.id, "37i9");
    EXPECT_EQ(e.trackCount, 2);
    ASSERT_TRUE(e.tracks);
    ASSERT_EQ(e.tracks->size(), 2);
    EXPECT_EQ(e.tracks->at(0).duration, 200);
    EXPECT_EQ(e.tracks->at(1), SpotifyTrack{});

    // The other fields stay strict.
    EXPECT_EQ(failure<EntityEnvelope>(R"({"data":{"id":5}})"), "data.id: expected a string, found a number");
    EXPECT_EQ(failure<EntityEnvelope>(R"({"data":{"tracks":[{"duration":"200"}]}})"),
              "data.tracks[0].duration: expected an integer, found a string");
}

TEST(APIModels, LyricsTimesTakeIntegersAndFractions)
{
    const LyricsData d = *decode<LyricsEnvelope>(
                              R"({"data":{"found":true,"synced":true,"elapsed_seconds":42,
                                  "lines":[{"time":12,"text":"a","translation":"ا"},{"time":13.25,"text":"b"},{"text":"c"}]}})")
                              .data;
    EXPECT_EQ(d.found, true);
    EXPECT_EQ(d.elapsedSeconds, 42.0);
    ASSERT_TRUE(d.lines);
    ASSERT_EQ(d.lines->size(), 3);
    EXPECT_EQ(d.lines->at(0).time, 12.0);
    EXPECT_EQ(d.lines->at(0).translation, QStringLiteral("ا"));
    EXPECT_EQ(d.lines->at(1).time, 13.25);
    EXPECT_FALSE(d.lines->at(2).time);
}

TEST(APIModels, RecognitionAndTelegramRecords)
{
    const ShazamData s = *decode<ShazamEnvelope>(
                              R"({"data":{"title":"T","artist":"A","genre":"pop","duration":200,
                                  "artwork_url":"/artwork/x.jpg","stream_url":"/stream/x"}})")
                              .data;
    EXPECT_EQ(s.genre, "pop");
    EXPECT_EQ(s.duration, 200);
    EXPECT_EQ(failure<ShazamEnvelope>(R"({"data":{"duration":200.5}})"), "data.duration: expected an integer, found a number");

    const TelegramTokenData t = *decode<TelegramTokenEnvelope>(
                                     R"({"data":{"token":"k","bot_url":"https://t.me/Bot?start=dl_k","bot_username":"Bot"}})")
                                     .data;
    EXPECT_EQ(t.botURL, "https://t.me/Bot?start=dl_k");
    EXPECT_EQ(t.botUsername, "Bot");
}

TEST(APIModels, HostileRepliesFailCleanly)
{
    QByteArray deep;
    for (int i = 0; i < 3000; ++i)
        deep += "{\"data\":";
    deep += "1" + QByteArray(3000, '}');
    EXPECT_FALSE(failure<AuthEnvelope>(deep).empty());

    QByteArray wide = "{\"data\":[";
    for (int i = 0; i < 20000; ++i)
        wide += "{\"id\":" + QByteArray::number(i) + "},";
    wide += "{\"id\":\"last\"}]}";
    EXPECT_EQ(failure<FavoritesEnvelope>(wide), "data[20000].id: expected an integer, found a string");

    EXPECT_FALSE(failure<AuthEnvelope>(QByteArray("{\"data\":{\"token\":\"\0\",}}", 22)).empty());
    EXPECT_FALSE(failure<PlaylistsEnvelope>(R"({"data":{"playlists":[{"id":1e300}]}})").empty());
}

TEST(APIModels, EqualityAndHashingCoverEveryField)
{
    User a{1, "u", "U", std::nullopt, "tg"};
    User b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.avatarURL = QString();
    EXPECT_NE(a, b); // present-but-empty differs from absent
    EXPECT_EQ(QSet<User>({a, b, a}).size(), 2);

    FavoriteTrack f{1, "radio", "x#1", "t", "a", std::nullopt, std::nullopt, 10};
    FavoriteTrack g = f;
    g.duration = 11;
    EXPECT_NE(f, g);
    EXPECT_EQ(QSet<FavoriteTrack>({f, g}).size(), 2);

    AuthSessionInfo s1{"id", std::nullopt, "Bot", std::nullopt, 300};
    AuthSessionInfo s2 = s1;
    EXPECT_EQ(qHash(s1), qHash(s2));
    s2.expiresIn = 120;
    EXPECT_NE(s1, s2);
    EXPECT_EQ(QSet<LyricsLine>({LyricsLine{1.0, "a", std::nullopt}, LyricsLine{1.0, "a", std::nullopt}}).size(), 1);
    EXPECT_EQ(QSet<PlaylistSummary>({PlaylistSummary{1, "a", {}, {}, {}}, PlaylistSummary{1, "b", {}, {}, {}}}).size(), 2);
}

// A line of millions of letters would hold the window in text layout: texts and translations
// are cut when decoded, never inside a character (a surrogate pair, a letter with its marks).
TEST(APIModels, LongLyricsLinesAreCutAtAWholeCharacter)
{
    constexpr qsizetype max = LyricsLine::MaxTextLength;
    const QString a(max - 1, u'a');
    const QString ellipsis(QChar(0x2026));
    const struct {
        const char *name;
        QString text;
        QString expected;
    } cases[] = {
        {"short", QStringLiteral("سلام"), QStringLiteral("سلام")},
        {"exactly the limit", QString(max, u'a'), QString(max, u'a')},
        {"huge", QString(1'900'000, u'x'), QString(max, u'x') + ellipsis},
        {"surrogate pair across the cut", a + QStringLiteral("\U0001F3B5tail"), a + ellipsis},
        {"combining mark across the cut", a + QStringLiteral("e\u0301tail"), a + ellipsis},
        {"pair ending at the cut", QString(max - 2, u'a') + QStringLiteral("\U0001F3B5tail"),
         QString(max - 2, u'a') + QStringLiteral("\U0001F3B5") + ellipsis},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject line{{"time", 1}, {"text", c.text}, {"translation", c.text}};
        const LyricsLine decoded = LyricsLine::fromJson(line);
        EXPECT_EQ(decoded.text, c.expected);
        EXPECT_EQ(decoded.translation, c.expected);
    }
}
