#include "Models/StationCompaction.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QList<Station> decoded(const char *data)
{
    return *json::decode<StationsResponse>(QByteArray(R"({"data":)") + data + '}').data;
}

} // namespace

// The copy holds every value as decoded: absent, null and empty texts, empty and absent track
// lists, numbers, Persian text.
TEST(StationCompaction, KeepsEveryValue)
{
    const QList<Station> original = decoded(R"([
        {"genre": "a", "title": "", "artist": null, "category": "iranian", "server_name": "ایرانی",
         "tracks": [], "track_index": 2, "elapsed_seconds": 1.5},
        {"genre": "b", "category": "iranian", "source": "songsara", "display_genre": "پاپ",
         "stream_url": "/live/b", "artwork_url": "/artwork/b.jpg", "track_count": 2,
         "tracks": [{"id": 7, "title": "یک", "artist": "x", "track_type": "music", "duration": "90"},
                    {"track_id": "t2", "title": "", "artwork_url": "/a.jpg", "stream_url": "/s.mp3"}]},
        {"genre": "c", "title": "Artist - Song"}
    ])");
    const QList<Station> copy = compactStations(original);
    ASSERT_EQ(copy.size(), original.size());
    for (qsizetype i = 0; i < original.size(); ++i)
        EXPECT_EQ(copy.at(i).toJson(), original.at(i).toJson()) << i;
    EXPECT_TRUE(copy.at(0).title.has_value());
    EXPECT_TRUE(copy.at(0).title->isEmpty());
    EXPECT_FALSE(copy.at(0).artist.has_value());
    EXPECT_TRUE(copy.at(0).tracks.has_value());
    EXPECT_FALSE(copy.at(2).tracks.has_value());
    EXPECT_EQ(copy.at(1).tracks->at(1).title, QString());
}

TEST(StationCompaction, RepeatedTextsAreHeldOnce)
{
    const QList<Station> copy = compactStations(decoded(R"([
        {"genre": "a", "category": "iranian", "tracks": [{"artist": "x"}, {"artist": "x"}]},
        {"genre": "b", "category": "iranian", "tracks": [{"artist": "x"}]}
    ])"));
    EXPECT_EQ(copy.at(0).category->constData(), copy.at(1).category->constData());
    EXPECT_EQ(copy.at(0).tracks->at(0).artist->constData(), copy.at(1).tracks->at(0).artist->constData());
    EXPECT_EQ(copy.at(0).tracks->at(1).artist->constData(), copy.at(1).tracks->at(0).artist->constData());
}

// Absence is the null string; a present text, even an empty or null one, stays present.
TEST(StationCompaction, OptionalTextKeepsPresenceApart)
{
    EXPECT_FALSE(OptionalText().has_value());
    EXPECT_FALSE(OptionalText(std::optional<QString>()).has_value());
    for (const QString &present : {QString(), QStringLiteral(""), QStringLiteral("x")}) {
        const OptionalText text(present);
        EXPECT_TRUE(text.has_value());
        EXPECT_EQ(text, std::optional<QString>(present));
        EXPECT_EQ(std::optional<QString>(text), std::optional<QString>(present));
    }
    EXPECT_NE(OptionalText(), OptionalText(QString()));
    EXPECT_EQ(OptionalText(std::nullopt), std::nullopt);
}
