#include "TrackRows.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The track rows both track pages show: what each role reads for a track, and the page's picture
// standing in for tracks without their own.

namespace {

constexpr int OwnRole = TrackRows::FirstOwnRole;

PlaylistTrack track(std::optional<qint64> id, const char *trackID, const char *title, const char *artwork,
                    std::optional<qint64> duration)
{
    PlaylistTrack t;
    t.id = id;
    if (trackID)
        t.trackID = QString::fromUtf8(trackID);
    if (title)
        t.title = QString::fromUtf8(title);
    if (artwork)
        t.artworkURL = QString::fromUtf8(artwork);
    t.duration = duration;
    return t;
}

} // namespace

TEST(TrackRows, EachRoleReadsItsTrackAndThePageStandsInForMissingArtwork)
{
    struct Row {
        PlaylistTrack track;
        const char *key;
        const char *title;
        QVariant artwork;
        const char *duration;
    };
    const Row rows[] = {
        {track(42, "t-42", "Song", "/a/42.jpg", 185), "42", "Song", QStringLiteral("/a/42.jpg"), "3:05"},
        {track(std::nullopt, "a/b?c#d", nullptr, nullptr, 0), "a/b?c#d", "—", QStringLiteral("/cover.jpg"), ""},
        {track(std::nullopt, nullptr, "No id", "", std::nullopt), "", "No id", QStringLiteral(""), ""},
    };
    QObject owner;
    TrackRows model({{OwnRole, "own"}}, [](const PlaylistTrack &t, int role) {
        return role == OwnRole ? QVariant(t.title.value_or(QString()).size()) : QVariant();
    }, &owner);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<PlaylistTrack> tracks;
    for (const Row &row : rows)
        tracks << row.track;
    model.show(tracks, QStringLiteral("/cover.jpg"));
    ASSERT_EQ(model.rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Row &row = rows[i];
        const QModelIndex index = model.index(i);
        EXPECT_EQ(TrackRows::identifier(row.track), QString::fromUtf8(row.key));
        EXPECT_EQ(index.data(TrackRows::TitleRole).toString(), QString::fromUtf8(row.title));
        EXPECT_EQ(index.data(TrackRows::ArtistRole).toString(), QString());
        EXPECT_EQ(index.data(TrackRows::ArtworkRole), row.artwork);
        EXPECT_EQ(index.data(TrackRows::DurationRole).toString(), QString::fromUtf8(row.duration));
        EXPECT_EQ(index.data(OwnRole).toInt(), row.track.title.value_or(QString()).size());
    }
    EXPECT_EQ(model.roleNames().value(OwnRole), "own");
    EXPECT_EQ(model.roleNames().value(TrackRows::DurationRole), "durationText");

    // A new page picture is told once for every row; the same again, not at all.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.show(tracks, std::nullopt);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(2).value<QList<int>>(), QList<int>{TrackRows::ArtworkRole});
    EXPECT_EQ(model.index(1).data(TrackRows::ArtworkRole), QVariant());
    model.show(tracks, std::nullopt);
    EXPECT_EQ(changed.count(), 1);
}
