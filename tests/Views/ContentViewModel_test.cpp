#include "ShellFixture.h"

#include "ContentViewModel.h"

#include <QSignalSpy>

// The radio tab's model: the mini player bar's presence, its tap, and the development launch
// arguments in their combinations.

using namespace std::chrono_literals;
using quickhost::waitFor;

namespace {

class ContentViewModelTest : public ShellFixture
{
protected:
    std::unique_ptr<ContentViewModel> makeContent(QStringList launchArguments)
    {
        arguments.setArguments(std::move(launchArguments));
        auto model = std::make_unique<ContentViewModel>(player.get(), store.get(), offline.get(), &arguments);
        model->setAutoDownloadDelay(50ms);
        model->setCatalogueWait(20ms, 40);
        return model;
    }
};

} // namespace

TEST(ContentViewRules, DebugPlayerTestStation)
{
    const Station s = ContentViewModel::debugPlayerStation();
    EXPECT_EQ(s.genre, QStringLiteral("custom-p-test"));
    EXPECT_EQ(s.title, QStringLiteral("Test Playlist"));
    EXPECT_EQ(s.artist, QStringLiteral("Tester"));
    EXPECT_EQ(s.serverName, QStringLiteral("Test Playlist"));
    EXPECT_FALSE(s.streamURL || s.displayGenre || s.elapsedSeconds);
    EXPECT_EQ(s.artworkURL, QStringLiteral("/artwork/persian.jpg"));
    EXPECT_EQ(s.source, QStringLiteral("custom"));
    EXPECT_EQ(s.category, QStringLiteral("playlists"));
    EXPECT_EQ(s.trackIndex, 0);
    EXPECT_EQ(s.trackCount, 3);
    ASSERT_TRUE(s.tracks);
    ASSERT_EQ(s.tracks->size(), 1);
    const PlaylistTrack &t = s.tracks->first();
    EXPECT_FALSE(t.id);
    EXPECT_EQ(t.trackType, QStringLiteral("test"));
    EXPECT_EQ(t.trackID, QStringLiteral("t1"));
    EXPECT_EQ(t.artworkURL, QStringLiteral("/artwork/persian.jpg"));
    EXPECT_EQ(t.streamURL, QStringLiteral("/stream/persian"));
    EXPECT_EQ(t.duration, 200);
}

TEST_F(ContentViewModelTest, MiniPlayerBarFromTheFirstStationOnAndItsTapPresentsThePlayer)
{
    auto content = makeContent({});
    QSignalSpy bar(content.get(), &ContentViewModel::hasCurrentStationChanged);
    content->appear();
    settle();
    EXPECT_FALSE(content->hasCurrentStation());
    EXPECT_TRUE(engine.items().isEmpty());

    loadCatalogue();
    player->select(catalogueStation(QStringLiteral("jazz")));
    ASSERT_TRUE(waitFor([&] { return content->hasCurrentStation(); }));
    player->select(catalogueStation(QStringLiteral("persian")));
    settle();
    EXPECT_TRUE(content->hasCurrentStation());
    EXPECT_EQ(bar.count(), 1);

    EXPECT_FALSE(player->isFullPlayerPresented());
    content->presentFullPlayer();
    EXPECT_TRUE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, DebugPlayerSelectsTheTestStationUnderTheFullPlayer)
{
    auto content = makeContent({QStringLiteral("--debug-player")});
    content->appear();
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("custom-p-test"));
    ASSERT_FALSE(engine.items().isEmpty());
    EXPECT_EQ(engine.currentUrl().path(), QStringLiteral("/stream/persian"));

    // Acted on once per run: appearing again selects nothing anew.
    player->select(ContentViewModel::debugPlayerStation());
    settle();
    const qsizetype items = engine.items().size();
    player->setFullPlayerPresented(false);
    content->appear();
    settle();
    EXPECT_EQ(engine.items().size(), items);
    EXPECT_FALSE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, NoCoverLeavesTheFullPlayerClosed)
{
    auto content = makeContent({QStringLiteral("--no-cover"), QStringLiteral("--debug-player")});
    content->appear();
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("custom-p-test"));
    EXPECT_FALSE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, NoCoverOrAutoDownloadAloneDoNothing)
{
    auto content = makeContent({QStringLiteral("--no-cover"), QStringLiteral("--autodl")});
    content->appear();
    quickhost::settle(200);
    EXPECT_FALSE(player->currentStation().has_value());
    EXPECT_FALSE(player->isFullPlayerPresented());
    EXPECT_TRUE(offline->activeProgress().isEmpty());
    EXPECT_TRUE(offline->entries().isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ContentViewModelTest, AutoDownloadFetchesTheCurrentTrackAfterTheDelay)
{
    auto content = makeContent({QStringLiteral("--debug-player"), QStringLiteral("--autodl")});
    content->appear();
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_TRUE(offline->activeProgress().isEmpty());
    // The test track streams the "persian" rotation, which the stand-in serves as audio.
    const PlaylistTrack track = ContentViewModel::debugPlayerStation().tracks->first();
    ASSERT_TRUE(waitFor([&] { return offline->isDownloaded(track); }, 20000))
        << qPrintable(offline->lastError().value_or(QString()));
    EXPECT_EQ(server.countRequests(QStringLiteral("/stream/persian")), 1);
}

TEST_F(ContentViewModelTest, DebugSyncWaitsForTheCatalogueThenPlaysPersian)
{
    auto content = makeContent({QStringLiteral("--debug-sync")});
    content->appear();
    quickhost::settle(100);
    EXPECT_FALSE(player->currentStation().has_value());

    store->requestLoad(false);
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("persian"));
    EXPECT_TRUE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, DebugSyncPlaysTheStationItNames)
{
    loadCatalogue();
    auto content = makeContent({QStringLiteral("--debug-sync=tehran-live")});
    content->appear();
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("tehran-live"));
    EXPECT_TRUE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, DebugSyncWithoutPersianSelectsNothing)
{
    catalogue->removeStation(QStringLiteral("persian"));
    loadCatalogue();
    auto content = makeContent({QStringLiteral("--debug-sync")});
    content->appear();
    quickhost::settle(200);
    EXPECT_FALSE(player->currentStation().has_value());
    EXPECT_FALSE(player->isFullPlayerPresented());
}

TEST_F(ContentViewModelTest, DebugSyncGivesUpOnAnEmptyCatalogue)
{
    auto content = makeContent({QStringLiteral("--debug-sync")});
    content->setCatalogueWait(10ms, 5);
    auto task = content->debugSync();
    // Five looks ten milliseconds apart, then it ends with nothing selected.
    EXPECT_TRUE(testing_support::runTask(std::move(task)).ok());
    EXPECT_FALSE(player->currentStation().has_value());
    // A catalogue arriving later starts nothing.
    loadCatalogue();
    quickhost::settle(100);
    EXPECT_FALSE(player->currentStation().has_value());
}

TEST_F(ContentViewModelTest, DebugSyncEndsQuietlyWhenTheViewGoesAway)
{
    auto content = makeContent({QStringLiteral("--debug-sync")});
    content->appear();
    content.reset();
    loadCatalogue();
    quickhost::settle(150);
    EXPECT_FALSE(player->currentStation().has_value());
}
