#pragma once

#include "Platform/LaunchArguments.h"
#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/Keychain.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/StationStore.h"
#include "support/AccountRoutes.h"
#include "support/DemoCatalogue.h"
#include "support/FakePlaybackEngine.h"
#include "support/FakeStationSource.h"
#include "support/QuickHost.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// The stores of the application shell over the stand-in backend (real HTTP): a catalogue store,
// a session store on an in-memory keychain, an offline store in a temporary folder, and a real
// player over a fake platform player. Launch arguments are the test's own.
class ShellFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        catalogue = standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        standin::installAccountRoutes(server);
        APIClient::Options options;
        options.baseURL = server.baseUrl();
        client = std::make_unique<APIClient>(options);
        store = std::make_unique<StationStore>(client.get());
        auth = std::make_unique<AuthStore>(std::make_shared<InMemoryKeychainBackend>(), client.get());
        ASSERT_TRUE(dir.isValid());
        offline = std::make_unique<OfflineStore>(dir.path(), client.get());
        lookup = std::make_unique<OfflineStoreLookup>(offline.get());

        RadioPlayer::Dependencies deps;
        deps.engine = &engine;
        deps.stations = &source;
        deps.offline = lookup.get();
        deps.commands = &commands;
        deps.nowPlaying = &nowPlaying;
        player = std::make_unique<RadioPlayer>(deps);
    }

    void TearDown() override
    {
        player.reset();
        offline->waitForIndexWrites();
    }

    // Loads the stand-in's catalogue into the store.
    void loadCatalogue()
    {
        EXPECT_TRUE(testing_support::runTask(store->load(false)).ok());
        ASSERT_FALSE(store->stations().isEmpty());
    }

    Station catalogueStation(const QString &genre) const
    {
        for (const Station &s : store->stations())
            if (s.genre == genre)
                return s;
        ADD_FAILURE() << "no station " << genre.toStdString();
        return {};
    }

    // Lets the player's selection task run.
    void settle() { quickhost::settle(30); }

    standin::StandInServer server;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<StationStore> store;
    std::unique_ptr<AuthStore> auth;
    QTemporaryDir dir;
    std::unique_ptr<OfflineStore> offline;
    std::unique_ptr<OfflineLookup> lookup;
    FakePlaybackEngine engine;
    FakeStationSource source;
    RemoteCommandCenter commands;
    NowPlayingInfoCenter nowPlaying;
    std::unique_ptr<RadioPlayer> player;
    LaunchArguments arguments;
};
