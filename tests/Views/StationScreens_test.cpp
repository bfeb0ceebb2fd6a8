#include "support/ModelRows.h"
#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "MiniPlayerBarModel.h"
#include "NumberTexts.h"
#include "StationCardViewModel.h"
#include "StationDetailViewModel.h"
#include "support/DemoCatalogue.h"
#include "support/FakePlaybackEngine.h"
#include "support/FakeStationSource.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"
#include "ShellFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// The screen models of the station card, the station detail screen and the mini player bar, with
// the stand-in backend over real HTTP, a real offline store in a temporary folder and a real
// player over a fake platform player.

using Content = StationDetailViewModel::Content;
using ButtonState = MiniPlayerBarModel::ButtonState;
using TCS = PlaybackEngine::TimeControlStatus;
using quickhost::waitFor;

namespace {

PlaylistTrack track(int n, std::optional<QString> artwork = {})
{
    PlaylistTrack t;
    t.trackType = QStringLiteral("music");
    t.trackID = QStringLiteral("t%1").arg(n);
    t.title = QStringLiteral("Track %1").arg(n);
    t.artist = QStringLiteral("Artist %1").arg(n);
    t.artworkURL = std::move(artwork);
    t.streamURL = QStringLiteral("/audio/t%1.mp3").arg(n);
    t.duration = 60 + n;
    return t;
}

// A rotation of `count` tracks; odd tracks carry their own artwork.
Station rotation(const QString &genre, int count)
{
    Station s;
    s.genre = genre;
    s.serverName = QStringLiteral("Rotation ") + genre;
    s.title = QStringLiteral("Station title");
    s.artist = QStringLiteral("Station artist");
    s.artworkURL = QStringLiteral("/artwork/") + genre + QStringLiteral(".jpg");
    s.source = QStringLiteral("custom");
    s.category = QStringLiteral("playlists");
    s.trackIndex = 7;
    s.trackCount = count;
    s.elapsedSeconds = 42.5;
    QList<PlaylistTrack> tracks;
    for (int i = 0; i < count; ++i)
        tracks << track(i, i % 2 ? std::optional<QString>(QStringLiteral("/artwork/track%1.jpg").arg(i)) : std::nullopt);
    s.tracks = tracks;
    return s;
}

class StationScreens : public ShellFixture
{
protected:
    // A station of the stand-in's catalogue, as the home screen gets it.
    Station catalogueStation(const QString &genre)
    {
        auto outcome = testing_support::runTask(client->fetchStations());
        EXPECT_TRUE(outcome.ok());
        for (const Station &s : outcome.value.value_or(QList<Station>{}))
            if (s.genre == genre)
                return s;
        ADD_FAILURE() << "no station " << genre.toStdString();
        return {};
    }

    std::unique_ptr<StationDetailViewModel> detail(const Station &station)
    {
        auto model = std::make_unique<StationDetailViewModel>(player.get(), offline.get(), client.get());
        model->setStation(station);
        return model;
    }

    // The player's current station once the selection has run.
    std::optional<Station> selected()
    {
        QCoreApplication::processEvents();
        return player->currentStation();
    }
};

const QString songsaraPath = QStringLiteral("/api/songsara/playlist/piano");

} // namespace

// ---------------------------------------------------------------- detail: content states

TEST_F(StationScreens, RotationWithTracksShowsTheListWithoutAFetch)
{
    auto model = detail(catalogueStation(QStringLiteral("persian")));
    QSignalSpy loading(model.get(), &StationDetailViewModel::isLoadingChanged);
    model->appear();
    QCoreApplication::processEvents();

    EXPECT_EQ(model->content(), Content::List);
    EXPECT_EQ(loading.count(), 0);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/songsara/playlist/persian")), 0);
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_EQ(model->trackCountText(), QStringLiteral("5 آهنگ"));
    EXPECT_EQ(model->displayName(), QStringLiteral("پاپ فارسی"));
}

TEST_F(StationScreens, SongsaraStationLoadsThenShowsTheFetchedList)
{
    const Station piano = catalogueStation(QStringLiteral("songsara-piano"));
    ASSERT_TRUE(piano.needsHydration());
    auto model = detail(piano);
    model->appear();
    EXPECT_EQ(model->content(), Content::Loading);
    EXPECT_TRUE(model->isLoading());

    ASSERT_TRUE(waitFor([&] { return model->content() == Content::List; }));
    EXPECT_FALSE(model->isLoading());
    EXPECT_EQ(server.countRequests(songsaraPath), 1);
    // The fetched station keeps the tapped station's identity.
    EXPECT_EQ(model->displayed().genre, QStringLiteral("songsara-piano"));
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->trackCountText(), QStringLiteral("4 آهنگ"));

    // Shown again: the list is kept, nothing is fetched twice.
    model->appear();
    QCoreApplication::processEvents();
    EXPECT_EQ(model->content(), Content::List);
    EXPECT_EQ(server.countRequests(songsaraPath), 1);
}

TEST_F(StationScreens, FailedFetchShowsTheFailureViewAndRetryFetchesAgain)
{
    server.script("GET", songsaraPath, standin::Reply::withStatus(500), 1);
    auto model = detail(catalogueStation(QStringLiteral("songsara-piano")));
    QList<Content> seen;
    QObject::connect(model.get(), &StationDetailViewModel::contentChanged, [&] { seen << model->content(); });

    model->appear();
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::Failure; }));
    EXPECT_FALSE(model->hydrated().has_value());

    model->retry();
    EXPECT_EQ(model->content(), Content::Loading);
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::List; }));
    EXPECT_EQ(server.countRequests(songsaraPath), 2);
    EXPECT_EQ(seen, (QList<Content>{Content::Loading, Content::Failure, Content::Loading, Content::List}));
}

TEST_F(StationScreens, EmptyFetchedListIsAFailure)
{
    // A reply without stations is a decoding failure of the client.
    server.script("GET", songsaraPath, standin::Reply::json(R"({"code":200,"data":[]})"), 1);
    auto model = detail(catalogueStation(QStringLiteral("songsara-piano")));
    model->appear();
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::Failure; }));
}

TEST_F(StationScreens, LiveStationShowsTheLiveViewAndPlaysItUnchanged)
{
    const Station live = catalogueStation(QStringLiteral("pop-live"));
    auto model = detail(live);
    model->appear();
    QCoreApplication::processEvents();
    EXPECT_EQ(model->content(), Content::Live);
    EXPECT_EQ(server.requests().size(), 1); // the catalogue only

    model->playLive();
    EXPECT_TRUE(player->isFullPlayerPresented());
    const std::optional<Station> current = selected();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->genre, live.genre);
    EXPECT_EQ(current->title, live.title);
    EXPECT_FALSE(current->trackIndex.has_value());
    EXPECT_EQ(current->streamURL, live.streamURL);
}

// ---------------------------------------------------------------- detail: playing

TEST_F(StationScreens, PlayingARowHandsThePlayerACopySetToThatTrack)
{
    const Station station = rotation(QStringLiteral("ten"), 10);
    auto model = detail(station);

    model->play(3);
    EXPECT_TRUE(player->isFullPlayerPresented());
    std::optional<Station> current = selected();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->genre, station.genre);
    EXPECT_EQ(current->trackIndex, 3);
    EXPECT_EQ(current->title, QStringLiteral("Track 3"));
    EXPECT_EQ(current->artist, QStringLiteral("Artist 3"));
    EXPECT_EQ(current->artworkURL, QStringLiteral("/artwork/track3.jpg"));
    EXPECT_FALSE(current->elapsedSeconds.has_value());
    EXPECT_EQ(current->source, station.source);
    EXPECT_EQ(current->serverName, station.serverName);
    EXPECT_EQ(current->trackCount, 10);
    ASSERT_TRUE(current->tracks);
    EXPECT_EQ(*current->tracks, *station.tracks);
    // A track the listener chose: the player stops following the server.
    EXPECT_TRUE(player->localTrackOverride());

    // Play all: the first track, which has no artwork of its own.
    player->setFullPlayerPresented(false);
    model->playAll();
    EXPECT_TRUE(player->isFullPlayerPresented());
    current = selected();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->trackIndex, 0);
    EXPECT_EQ(current->title, QStringLiteral("Track 0"));
    EXPECT_EQ(current->artworkURL, station.artworkURL);
}

TEST_F(StationScreens, PlayingWrapsTheIndexAndCopiesMissingFieldsAsMissing)
{
    Station station = rotation(QStringLiteral("three"), 3);
    (*station.tracks)[2].title.reset();
    (*station.tracks)[2].artist.reset();
    auto model = detail(station);

    model->play(-1);
    const std::optional<Station> current = selected();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->trackIndex, 2);
    EXPECT_FALSE(current->title.has_value());
    EXPECT_FALSE(current->artist.has_value());
}

TEST_F(StationScreens, PlayingWithoutTracksHandsOverTheStationAsItIs)
{
    Station station = catalogueStation(QStringLiteral("tehran-live"));
    auto model = detail(station);
    model->play(4);
    const std::optional<Station> current = selected();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->genre, station.genre);
    EXPECT_FALSE(current->trackIndex.has_value());
    EXPECT_TRUE(player->isFullPlayerPresented());
}

TEST_F(StationScreens, CurrentRowFollowsThePlayersStationAndIndex)
{
    const Station station = rotation(QStringLiteral("ten"), 10);
    auto model = detail(station);
    Station other = rotation(QStringLiteral("other"), 10);
    auto otherModel = detail(other);
    QSignalSpy rowChanges(model.get(), &StationDetailViewModel::currentRowChanged);
    QSignalSpy paddingChanges(model.get(), &StationDetailViewModel::bottomPaddingChanged);

    EXPECT_EQ(model->currentRow(), -1);
    EXPECT_EQ(model->bottomPadding(), 24);

    model->play(3);
    selected();
    EXPECT_EQ(model->currentRow(), 3);
    EXPECT_GE(rowChanges.count(), 1);
    EXPECT_EQ(model->bottomPadding(), 100);
    EXPECT_EQ(paddingChanges.count(), 1);
    // The same index in a station of another genre is not current.
    EXPECT_EQ(otherModel->currentRow(), -1);

    // The player moves on by itself (next track): the highlight follows.
    player->nextTrack();
    selected();
    EXPECT_EQ(model->currentRow(), 4);

    otherModel->play(13); // wraps to 3
    selected();
    EXPECT_EQ(model->currentRow(), -1);
    EXPECT_EQ(otherModel->currentRow(), 3);
}

// ---------------------------------------------------------------- detail: rows and the menu

TEST_F(StationScreens, RowsShowNumberTitleArtistArtworkAndDuration)
{
    Station station = rotation(QStringLiteral("rows"), 4);
    (*station.tracks)[0].title.reset();
    (*station.tracks)[0].artist.reset();
    (*station.tracks)[0].duration = 185;
    (*station.tracks)[1].duration = 0;
    (*station.tracks)[2].duration.reset();
    (*station.tracks)[3].duration = 59;
    auto model = detail(station);
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_TRUE(rowRoles(model->rows(), 4).isEmpty());

    const QVariantMap first = rowRoles(model->rows(), 0);
    EXPECT_EQ(first[QStringLiteral("title")].toString(), QStringLiteral("—"));
    EXPECT_EQ(first[QStringLiteral("artist")].toString(), QString());
    EXPECT_EQ(first[QStringLiteral("artworkURL")].toString(), QStringLiteral("/artwork/rows.jpg"));
    EXPECT_EQ(first[QStringLiteral("durationText")].toString(), QStringLiteral("3:05"));

    const QVariantMap second = rowRoles(model->rows(), 1);
    EXPECT_EQ(second[QStringLiteral("artworkURL")].toString(), QStringLiteral("/artwork/track1.jpg"));
    EXPECT_EQ(second[QStringLiteral("durationText")].toString(), QString());
    EXPECT_EQ(rowRoles(model->rows(), 2)[QStringLiteral("durationText")].toString(), QString());
    EXPECT_EQ(rowRoles(model->rows(), 3)[QStringLiteral("durationText")].toString(), QStringLiteral("0:59"));
}

TEST(StationDetailDuration, FormatsMinutesAndTwoDigitSeconds)
{
    EXPECT_EQ(NumberTexts::duration(185), QStringLiteral("3:05"));
    EXPECT_EQ(NumberTexts::duration(1), QStringLiteral("0:01"));
    EXPECT_EQ(NumberTexts::duration(600), QStringLiteral("10:00"));
    EXPECT_EQ(NumberTexts::duration(3725), QStringLiteral("62:05"));
    EXPECT_EQ(NumberTexts::duration(0), QString());
    EXPECT_EQ(NumberTexts::duration(-5), QString());
    EXPECT_EQ(NumberTexts::duration(std::nullopt), QString());
}

TEST_F(StationScreens, OfflineMenuOffersDownloadThenRemove)
{
    Station station = rotation(QStringLiteral("dl"), 2);
    const QString audioPath = QStringLiteral("/audio/t0.mp3");
    standin::Reply audio = standin::Reply::text(QByteArray("ID3") + QByteArray(4000, 'a'), 200, "audio/mpeg");
    audio.delayMs = 800;
    server.script("GET", audioPath, audio);
    auto model = detail(station);

    const auto actionOf = [&](int row) {
        const QVariantList menu = model->offlineMenu(row);
        return menu.isEmpty() ? QString() : menu.first().toMap()[QStringLiteral("action")].toString();
    };
    const QVariantList menu = model->offlineMenu(0);
    ASSERT_EQ(menu.size(), 1);
    EXPECT_EQ(menu.first().toMap()[QStringLiteral("text")].toString(), QStringLiteral("دانلود آفلاین"));
    EXPECT_EQ(actionOf(0), QStringLiteral("download"));

    model->performOfflineAction(0, QStringLiteral("download"));
    ASSERT_TRUE(waitFor([&] { return !offline->activeProgress().isEmpty(); }));
    // While it runs the menu offers the download again; a repeated start is ignored.
    EXPECT_EQ(actionOf(0), QStringLiteral("download"));
    model->performOfflineAction(0, QStringLiteral("download"));

    ASSERT_TRUE(waitFor([&] { return offline->isDownloaded((*station.tracks)[0]); }, 20000));
    EXPECT_EQ(server.countRequests(audioPath), 1);
    const QVariantList downloaded = model->offlineMenu(0);
    ASSERT_EQ(downloaded.size(), 1);
    EXPECT_EQ(downloaded.first().toMap()[QStringLiteral("text")].toString(), QStringLiteral("حذف دانلود"));
    EXPECT_EQ(actionOf(0), QStringLiteral("remove"));
    EXPECT_EQ(actionOf(1), QStringLiteral("download"));

    model->performOfflineAction(0, QStringLiteral("remove"));
    EXPECT_FALSE(offline->isDownloaded((*station.tracks)[0]));
    EXPECT_EQ(actionOf(0), QStringLiteral("download"));

    // Rows that do not exist offer nothing and do nothing.
    EXPECT_TRUE(model->offlineMenu(7).isEmpty());
    model->performOfflineAction(-1, QStringLiteral("download"));
}

// ---------------------------------------------------------------- detail: a popped page

TEST_F(StationScreens, FetchThatEndsAfterThePageWentAwayWritesNothing)
{
    // The real reply, late.
    standin::Reply late = standin::Reply::json(
        QJsonDocument(QJsonObject{{QStringLiteral("code"), 200},
                                  {QStringLiteral("data"),
                                   QJsonArray{catalogue->songsaraStations.value(QStringLiteral("piano"))}}})
            .toJson(QJsonDocument::Compact));
    late.delayMs = 600;
    server.script("GET", songsaraPath, late, 1);

    auto model = detail(catalogueStation(QStringLiteral("songsara-piano")));
    QPointer<StationDetailViewModel> page(model.get());
    model->appear();
    ASSERT_TRUE(model->isLoading());
    ASSERT_TRUE(server.waitForRequest(songsaraPath));
    model.reset();
    ASSERT_TRUE(page.isNull());

    // The reply arrives after the page is gone; the fetch ends without touching it (a write into
    // the freed page would crash here or show under the address sanitizer).
    quickhost::settle(1500);
    EXPECT_EQ(server.countRequests(songsaraPath), 1);
}

TEST_F(StationScreens, FetchForAnEarlierStationIsNotShownForANewOne)
{
    standin::Reply late = standin::Reply::json(
        QJsonDocument(QJsonObject{{QStringLiteral("code"), 200},
                                  {QStringLiteral("data"),
                                   QJsonArray{catalogue->songsaraStations.value(QStringLiteral("piano"))}}})
            .toJson(QJsonDocument::Compact));
    late.delayMs = 400;
    server.script("GET", songsaraPath, late, 1);

    auto model = detail(catalogueStation(QStringLiteral("songsara-piano")));
    model->appear();
    ASSERT_TRUE(model->isLoading());
    model->setStation(catalogueStation(QStringLiteral("pop-live")));
    ASSERT_TRUE(waitFor([&] { return !model->isLoading(); }));
    EXPECT_FALSE(model->hydrated().has_value());
    EXPECT_EQ(model->content(), Content::Live);
}

// ---------------------------------------------------------------- station card

TEST_F(StationScreens, CardShowsTheListsCountOnlyWithAnAnnouncedCount)
{
    StationCardViewModel card(player.get());

    Station counted = rotation(QStringLiteral("counted"), 12);
    counted.trackCount = 40;
    card.setStation(counted);
    EXPECT_TRUE(card.showsTrackCount());
    EXPECT_EQ(card.trackCountText(), QStringLiteral("12 آهنگ")); // the list's number, not trackCount

    Station unannounced = counted;
    unannounced.trackCount.reset();
    card.setStation(unannounced);
    EXPECT_FALSE(card.showsTrackCount());

    unannounced.trackCount = 0;
    card.setStation(unannounced);
    EXPECT_FALSE(card.showsTrackCount());

    Station emptyList = counted;
    emptyList.tracks = QList<PlaylistTrack>{};
    card.setStation(emptyList);
    EXPECT_FALSE(card.showsTrackCount());

    card.setStation(catalogueStation(QStringLiteral("pop-live")));
    EXPECT_FALSE(card.showsTrackCount());
    EXPECT_EQ(card.displayName(), QStringLiteral("Pulse FM"));
}

TEST_F(StationScreens, CardSelectionFollowsTheCurrentStationsGenre)
{
    const Station jazz = catalogueStation(QStringLiteral("jazz"));
    StationCardViewModel card(player.get());
    card.setStation(jazz);
    StationCardViewModel otherCard(player.get());
    otherCard.setStation(catalogueStation(QStringLiteral("persian")));
    QSignalSpy selection(&card, &StationCardViewModel::isSelectedChanged);
    QSignalSpy playing(&otherCard, &StationCardViewModel::isPlayingChanged);

    EXPECT_FALSE(card.isSelected());
    EXPECT_FALSE(card.isPlaying());

    // Selected by genre, even when the player's copy has another track and title.
    Station copy = jazz;
    copy.trackIndex = 3;
    copy.title = QStringLiteral("Something else");
    player->select(copy);
    selected();
    EXPECT_TRUE(card.isSelected());
    EXPECT_FALSE(otherCard.isSelected());
    EXPECT_EQ(selection.count(), 1);

    // Playing shows on every card (the live dot), whichever station plays.
    engine.status = TCS::Playing;
    engine.tick(1.0);
    ASSERT_TRUE(player->isPlaying());
    EXPECT_TRUE(card.isPlaying());
    EXPECT_TRUE(otherCard.isPlaying());
    EXPECT_GE(playing.count(), 1);

    player->select(catalogueStation(QStringLiteral("persian")));
    selected();
    EXPECT_FALSE(card.isSelected());
    EXPECT_TRUE(otherCard.isSelected());
}

// ---------------------------------------------------------------- mini player bar

TEST(MiniPlayerBarButton, SpinnerOnlyWhileConnecting)
{
    EXPECT_EQ(MiniPlayerBarModel::buttonState(false, true), ButtonState::Spinner);
    EXPECT_EQ(MiniPlayerBarModel::buttonState(true, true), ButtonState::Pause);
    EXPECT_EQ(MiniPlayerBarModel::buttonState(true, false), ButtonState::Pause);
    EXPECT_EQ(MiniPlayerBarModel::buttonState(false, false), ButtonState::Play);
}

TEST_F(StationScreens, MiniBarFollowsThePlayerAndTogglesPlayback)
{
    MiniPlayerBarModel bar(player.get(), offline.get());
    QSignalSpy playback(&bar, &MiniPlayerBarModel::playbackChanged);
    QSignalSpy station(&bar, &MiniPlayerBarModel::stationChanged);

    // No current station: empty texts, no artwork.
    EXPECT_EQ(bar.stationName(), QString());
    EXPECT_EQ(bar.trackTitle(), QString());
    EXPECT_FALSE(bar.artworkURL().isValid());
    EXPECT_EQ(bar.buttonState(), ButtonState::Play);

    const Station jazz = catalogueStation(QStringLiteral("jazz"));
    player->select(jazz);
    selected();
    EXPECT_GE(station.count(), 1);
    EXPECT_EQ(bar.stationName(), QStringLiteral("Late Night Jazz"));
    EXPECT_EQ(bar.trackTitle(), jazz.displayTrackTitle());
    EXPECT_EQ(bar.artworkURL().toString(), currentTrackArtworkURL(jazz, *offline).value_or(QString()));
    // Connecting: buffering, not yet playing.
    ASSERT_TRUE(player->isBuffering());
    EXPECT_EQ(bar.buttonState(), ButtonState::Spinner);
    EXPECT_FALSE(bar.isPlaying());

    engine.status = TCS::Playing;
    engine.tick(1.0);
    EXPECT_EQ(bar.buttonState(), ButtonState::Pause);
    EXPECT_TRUE(bar.isPlaying());
    EXPECT_GE(playback.count(), 1);

    // The button toggles playback and does not open the full player.
    bar.togglePlayPause();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(bar.buttonState(), ButtonState::Play);
    EXPECT_FALSE(player->isFullPlayerPresented());
    bar.togglePlayPause();
    EXPECT_TRUE(player->wantsPlayback());
    EXPECT_EQ(bar.buttonState(), ButtonState::Spinner);
}

TEST_F(StationScreens, MiniBarShowsALiveStationsTitleAndCacheBustingArtwork)
{
    MiniPlayerBarModel bar(player.get(), offline.get());
    const Station live = catalogueStation(QStringLiteral("pop-live"));
    player->select(live);
    selected();
    EXPECT_EQ(bar.stationName(), QStringLiteral("Pulse FM"));
    EXPECT_EQ(bar.trackTitle(), QStringLiteral("Golden Hour"));
    EXPECT_EQ(bar.artworkURL().toString(), QStringLiteral("/artwork/pop-live.jpg?v=Golden%20Hour"));
}
