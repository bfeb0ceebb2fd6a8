#include "AddToPlaylistSheetModel.h"
#include "LibraryViewModel.h"
#include "PlaylistRows.h"
#include "ShellFixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The library tab's model and the add-to-playlist sheet's model over the stand-in backend (its demo
// account: playlists 2 "Road Trip" and 1 "آرامش شبانه", newest first, and two liked tracks), a
// real offline store and a real player over a fake platform player.

using namespace std::chrono_literals;
using testing_support::runTask;
using quickhost::waitFor;
using PlaylistsState = LibraryViewModel::PlaylistsState;
using ListState = AddToPlaylistSheetModel::ListState;

namespace {

class LibraryTab : public ShellFixture
{
protected:
    void signIn()
    {
        ASSERT_TRUE(runTask(auth->login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok());
    }
    std::unique_ptr<LibraryViewModel> library()
    {
        return std::make_unique<LibraryViewModel>(auth.get(), player.get(), offline.get(), client.get());
    }
    std::unique_ptr<AddToPlaylistSheetModel> sheet(const Station &station)
    {
        auto model = std::make_unique<AddToPlaylistSheetModel>(auth.get(), offline.get(), client.get());
        model->setStation(station);
        model->setCloseDelays(0ms, 0ms);
        return model;
    }
    QStringList log(qsizetype from) const
    {
        QStringList lines;
        const auto all = server.requests();
        for (qsizetype i = from; i < all.size(); ++i)
            lines << QString::fromLatin1(all[i].method + ' ' + all[i].rawPath);
        return lines;
    }
    // The body of the last POST to the path.
    QJsonObject lastBody(const QString &path) const
    {
        QJsonObject body;
        for (const auto &r : server.requestsTo(path))
            if (r.method == "POST")
                body = QJsonDocument::fromJson(r.body).object();
        return body;
    }
    static Station liveStation()
    {
        Station s;
        s.genre = QStringLiteral("pop-live");
        s.title = QStringLiteral("Singer - Song");
        s.serverName = QStringLiteral("Pop Live");
        s.streamURL = QStringLiteral("/live/pop-live");
        s.artworkURL = QStringLiteral("/artwork/pop-live.jpg");
        return s;
    }
    static Station rotationStation()
    {
        PlaylistTrack t;
        t.trackType = QStringLiteral("library");
        t.trackID = QStringLiteral("lib-new-song");
        t.title = QStringLiteral("New Song");
        t.artist = QString(); // present but empty: sent empty
        t.streamURL = QStringLiteral("/media/library/lib-new-song.mp3");
        t.duration = 99;
        Station s;
        s.genre = QStringLiteral("persian");
        s.artist = QStringLiteral("Station artist");
        s.source = QStringLiteral("radio");
        s.trackIndex = 0;
        s.tracks = QList<PlaylistTrack>{t};
        return s;
    }
};

const QString tracksPath = QStringLiteral("/api/playlists/1/tracks");

} // namespace

// ---------------------------------------------------------------- the library tab

TEST_F(LibraryTab, SignedOutShowsThePromptAndLoadsNothing)
{
    auto model = library();
    model->appear();
    model->refresh();
    QCoreApplication::processEvents();
    EXPECT_FALSE(model->isAuthed());
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), 0);
    EXPECT_EQ(model->offlineSubtitle(), LibraryViewModel::NoDownloadsText);
    EXPECT_EQ(model->bottomPadding(), LibraryViewModel::BottomPaddingWithoutPlayer);
    model->playFavorites(); // no liked tracks: nothing plays
    EXPECT_FALSE(player->currentStation().has_value());
    EXPECT_FALSE(player->isFullPlayerPresented());
}

TEST_F(LibraryTab, AppearLoadsOnlyWhenSignedInWithoutPlaylists)
{
    signIn();
    auto model = library();
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Grid);
    const int loads = server.countRequests(QStringLiteral("/api/playlists"));
    model->appear();
    QCoreApplication::processEvents();
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), loads);

    for (qint64 id : {1, 2})
        ASSERT_TRUE(runTask(client->deletePlaylist(id, *auth->token())).ok());
    runTask(auth->loadLibrary());
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Hint);
    model->appear();
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Spinner);
    ASSERT_TRUE(waitFor([&] { return !auth->isLoadingLibrary(); }));
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Hint);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), loads + 2);
}

TEST_F(LibraryTab, AFirstLoadThatFailsSaysWhyAndTriesAgain)
{
    server.script("GET", QStringLiteral("/api/playlists"), standin::Reply::withStatus(502), 1);
    signIn();
    auto model = library();
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Failure);
    EXPECT_EQ(model->playlistsError(), QStringLiteral("خطای سرور (502)"));
    EXPECT_EQ(model->favoritesCountText(), QStringLiteral("2 آهنگ")); // asked for all the same
    model->refresh(); // "تلاش دوباره"
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Spinner);
    ASSERT_TRUE(waitFor([&] { return !auth->isLoadingLibrary(); }));
    EXPECT_EQ(model->playlistsState(), PlaylistsState::Grid);
    EXPECT_EQ(model->playlistCount(), 2);
}

TEST_F(LibraryTab, DeletingAPlaylistReloadsWhateverTheServerSays)
{
    signIn();
    auto model = library();
    model->chooseToDelete(0);
    EXPECT_TRUE(model->showDeletePlaylistConfirm());
    EXPECT_EQ(model->deleteTitle(), QStringLiteral("حذف «Road Trip»؟"));

    // Refused: nothing is said, the library reloads, the playlist stays.
    server.script("DELETE", QStringLiteral("/api/playlists/2"), standin::Reply::json(R"({"message":"نه"})", 403), 1);
    qsizetype before = server.requests().size();
    runTask(model->runDelete());
    EXPECT_EQ(log(before), (QStringList{QStringLiteral("DELETE /api/playlists/2"), QStringLiteral("GET /api/playlists"),
                                        QStringLiteral("GET /api/favorites")}));
    EXPECT_FALSE(model->playlistToDelete().has_value());
    EXPECT_EQ(auth->playlists().size(), 2);

    // Accepted: gone after the reload.
    model->chooseToDelete(0);
    runTask(model->runDelete());
    EXPECT_EQ(auth->playlists().size(), 1);

    // Without a session: nothing is sent and the choice stays.
    model->chooseToDelete(0);
    auth->logout();
    before = server.requests().size();
    runTask(model->runDelete());
    EXPECT_TRUE(log(before).filter(QStringLiteral("DELETE")).isEmpty());
    EXPECT_TRUE(model->playlistToDelete().has_value());
    model->cancelDelete();
    EXPECT_FALSE(model->playlistToDelete().has_value());
    EXPECT_EQ(model->deleteTitle(), QStringLiteral("حذف «»؟"));
}

TEST_F(LibraryTab, LikedTracksPlayAsTheFavoritesStation)
{
    signIn();
    auto model = library();
    EXPECT_EQ(model->favoritesCountText(), QStringLiteral("2 آهنگ"));
    model->playFavorites();
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("custom-favorites"));
    EXPECT_EQ(player->currentStation()->tracks->size(), 2);
    EXPECT_TRUE(model->hasCurrentStation());
    EXPECT_EQ(model->bottomPadding(), LibraryViewModel::BottomPaddingWithPlayer);
}

TEST_F(LibraryTab, OfflineCardCountsDownloadsAndTheirSize)
{
    signIn();
    auto model = library();
    auto detail = runTask(client->playlistDetail(1));
    ASSERT_TRUE(detail.ok());
    const PlaylistTrack track = detail.value->tracks->first();
    offline->download(track);
    ASSERT_TRUE(waitFor([&] { return offline->isDownloaded(track) && offline->pendingMeta().isEmpty(); }, 20000));
    const QString subtitle = model->offlineSubtitle();
    EXPECT_TRUE(subtitle.startsWith(QStringLiteral("1 آهنگ • \u2068"))) << subtitle.toStdString();
    EXPECT_TRUE(subtitle.endsWith(QStringLiteral("B\u2069"))) << subtitle.toStdString();
}

TEST_F(LibraryTab, GridColumnsAdaptToTheWidth)
{
    const std::pair<qreal, int> cases[] = {{0, 1}, {150, 1}, {311, 1}, {312, 2}, {398, 2}, {474, 3}, {900, 5}};
    for (const auto &[width, columns] : cases)
        EXPECT_EQ(LibraryViewModel::columnsFor(width), columns) << width;
}

// ---------------------------------------------------------------- the add-to-playlist sheet

TEST_F(LibraryTab, SheetShowsWhatItCanOffer)
{
    auto signedOut = sheet(liveStation());
    EXPECT_EQ(signedOut->listState(), ListState::SignedOut);
    EXPECT_EQ(signedOut->trackTitle(), QStringLiteral("Song"));
    EXPECT_EQ(signedOut->artistLine(), QStringLiteral("Singer"));
    signedOut->add(1);
    signedOut->setNewTitle(QStringLiteral("x"));
    signedOut->createPlaylist();
    EXPECT_EQ(signedOut->addingId(), std::nullopt);
    EXPECT_FALSE(signedOut->isCreating());

    signIn();
    auto model = sheet(rotationStation());
    EXPECT_EQ(model->listState(), ListState::Rows);
    EXPECT_EQ(model->playlists()->rowCount(), 2);
    EXPECT_EQ(model->artistLine(), QStringLiteral("Station artist"));
    for (const char *blank : {"", "  ", " \t "}) {
        model->setNewTitle(QString::fromLatin1(blank));
        EXPECT_FALSE(model->canCreate()) << blank;
    }
    model->setNewTitle(QStringLiteral(" a "));
    EXPECT_TRUE(model->canCreate());
    EXPECT_EQ(AddToPlaylistSheetModel::trimmedName(QStringLiteral("\t میکس \n")), QStringLiteral("میکس \n"));

    for (qint64 id : {1, 2})
        ASSERT_TRUE(runTask(client->deletePlaylist(id, *auth->token())).ok());
    runTask(auth->loadLibrary());
    EXPECT_EQ(model->listState(), ListState::EmptyHint);
    auto reload = auth->loadLibrary();
    EXPECT_EQ(model->listState(), ListState::Nothing);
    QCoro::waitFor(std::move(reload));
}

// The playlists grid and the add-to-playlist sheet show one set of rows, which a change of the
// store reaches once and which outlives the sheet.
TEST_F(LibraryTab, TheGridAndTheSheetShowTheSameRows)
{
    signIn();
    auto grid = library();
    QAbstractItemModel *rows = nullptr;
    {
        auto added = sheet(liveStation());
        rows = added->playlists();
        EXPECT_EQ(grid->playlists(), rows);
    }
    ASSERT_EQ(rows, library()->playlists());
    QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
    ASSERT_TRUE(runTask(client->createPlaylist(QStringLiteral("میکس"), *auth->token())).ok());
    runTask(auth->loadLibrary());
    EXPECT_EQ(inserted.count(), 1);
    const QHash<int, QByteArray> roles = rows->roleNames();
    const int row = inserted.at(0).at(1).toInt();
    EXPECT_EQ(rows->index(row, 0).data(roles.key("title")).toString(), QStringLiteral("میکس"));
    EXPECT_EQ(rows->index(row, 0).data(roles.key("listedTitle")).toString(), QStringLiteral("میکس"));
}

TEST_F(LibraryTab, AddSendsTheCurrentTrackThenReloadsAndCloses)
{
    signIn();
    struct Case {
        const char *name;
        Station station;
        QJsonObject expected;
    };
    const Case cases[] = {
        {"live station", liveStation(),
         {{QStringLiteral("track_type"), QStringLiteral("radio")}, {QStringLiteral("track_id"), QStringLiteral("pop-live#Song")},
          {QStringLiteral("title"), QStringLiteral("Song")}, {QStringLiteral("artist"), QStringLiteral("Singer")},
          {QStringLiteral("stream_url"), QStringLiteral("/live/pop-live")},
          {QStringLiteral("artwork_url"), QStringLiteral("/artwork/pop-live.jpg?v=Song")}, {QStringLiteral("duration"), 0}}},
        {"rotation track", rotationStation(),
         {{QStringLiteral("track_type"), QStringLiteral("library")}, {QStringLiteral("track_id"), QStringLiteral("lib-new-song")},
          {QStringLiteral("title"), QStringLiteral("New Song")}, {QStringLiteral("artist"), QString()},
          {QStringLiteral("stream_url"), QStringLiteral("/media/library/lib-new-song.mp3")},
          {QStringLiteral("artwork_url"), QString()}, {QStringLiteral("duration"), 99}}},
    };
    for (const Case &c : cases) {
        auto model = sheet(c.station);
        QSignalSpy dismissed(model.get(), &AddToPlaylistSheetModel::dismissRequested);
        const qsizetype before = server.requests().size();
        auto task = model->runAdd(1);
        EXPECT_EQ(model->addingId(), 1) << c.name;
        QCoro::waitFor(std::move(task));
        EXPECT_EQ(lastBody(tracksPath), c.expected) << c.name;
        EXPECT_EQ(log(before), (QStringList{QStringLiteral("POST /api/playlists/1/tracks"), QStringLiteral("GET /api/playlists"),
                                            QStringLiteral("GET /api/favorites")})) << c.name;
        EXPECT_EQ(model->message(), QStringLiteral("به «آرامش شبانه» اضافه شد ✓")) << c.name;
        EXPECT_EQ(dismissed.count(), 1) << c.name;
        EXPECT_EQ(model->addingId(), std::nullopt) << c.name;
    }

    // The same track again: refused with the server's message, no reload, the sheet stays.
    auto model = sheet(rotationStation());
    QSignalSpy dismissed(model.get(), &AddToPlaylistSheetModel::dismissRequested);
    const qsizetype before = server.requests().size();
    runTask(model->runAdd(1));
    EXPECT_EQ(model->message(), QStringLiteral("این آهنگ از قبل در پلیلیست هست"));
    EXPECT_EQ(model->addingId(), std::nullopt);
    EXPECT_EQ(log(before), QStringList{QStringLiteral("POST /api/playlists/1/tracks")});
    EXPECT_EQ(dismissed.count(), 0);
}

TEST_F(LibraryTab, CreateThenAddUsesTheTypedNameWhenTheReplyHasNoTitle)
{
    signIn();
    auto model = sheet(rotationStation());
    QSignalSpy dismissed(model.get(), &AddToPlaylistSheetModel::dismissRequested);
    QStringList messages;
    QObject::connect(model.get(), &AddToPlaylistSheetModel::stateChanged, model.get(), [&] {
        if (model->message() && (messages.isEmpty() || messages.last() != *model->message()))
            messages << *model->message();
    });
    server.script("POST", QStringLiteral("/api/playlists"), standin::Reply::json(R"({"data":{"id":1}})", 201), 1);
    model->setNewTitle(QStringLiteral(" \tمیکس من "));
    runTask(model->runCreate());
    EXPECT_EQ(lastBody(QStringLiteral("/api/playlists"))[QStringLiteral("title")].toString(), QStringLiteral("میکس من"));
    EXPECT_EQ(messages, (QStringList{QStringLiteral("پلیلیست «میکس من» ساخته شد"), QStringLiteral("به «میکس من» اضافه شد ✓")}));
    EXPECT_EQ(model->newTitle(), QString());
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_FALSE(model->isCreating());

    // The add step fails: the error replaces the creation line, the new playlist stays listed.
    auto again = sheet(rotationStation());
    again->setNewTitle(QStringLiteral("دوباره"));
    server.script("POST", QStringLiteral("/api/playlists/3/tracks"), standin::Reply::withStatus(500), 1);
    runTask(again->runCreate());
    EXPECT_EQ(again->message(), QStringLiteral("خطای سرور (500)"));
    EXPECT_FALSE(again->isCreating());
    EXPECT_EQ(again->newTitle(), QString());
    EXPECT_EQ(auth->playlists().first().title, QStringLiteral("دوباره"));
}

TEST_F(LibraryTab, WorkStartedInAClosedSheetCompletesAndClosesNoOther)
{
    signIn();
    auto closed = sheet(liveStation());
    closed->setCloseDelays(200ms, 200ms);
    auto other = sheet(liveStation());
    QSignalSpy otherDismissed(other.get(), &AddToPlaylistSheetModel::dismissRequested);
    standin::Reply slow = standin::Reply::json(R"({"message":"ok"})", 201);
    slow.delayMs = 300;
    server.script("POST", tracksPath, slow, 1);
    const int reloads = server.countRequests(QStringLiteral("/api/playlists"));

    closed->add(1);
    ASSERT_TRUE(server.waitForRequest(tracksPath));
    closed.reset(); // "بستن" while the request runs
    ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/playlists")) > reloads && !auth->isLoadingLibrary(); }));
    EXPECT_EQ(otherDismissed.count(), 0);
    EXPECT_EQ(other->message(), std::nullopt);
}
