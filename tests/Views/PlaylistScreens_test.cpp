#include "support/ModelRows.h"
#include "OfflineLibraryViewModel.h"
#include "PlaylistDetailViewModel.h"
#include "Platform/ByteCountFormatter.h"
#include "ShellFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>

// The playlist detail screen's model with its edits and the offline library screen's model, over
// the stand-in backend (its demo account: playlist 1 "آرامش شبانه" with tracks of row ids 1-3), a
// real offline store in a temporary folder and a real player over a fake platform player.

using Content = PlaylistDetailViewModel::Content;
using Control = PlaylistDetailViewModel::DownloadControl;
using testing_support::runTask;
using quickhost::waitFor;

namespace {

const QString detailPath = QStringLiteral("/api/playlists/1");

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray detailReply(const QJsonObject &data)
{
    return json(QJsonObject{{QStringLiteral("code"), 0}, {QStringLiteral("data"), data}});
}

class PlaylistScreens : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        ASSERT_TRUE(runTask(auth->login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok());
        ASSERT_TRUE(auth->isAuthed());
    }

    std::unique_ptr<PlaylistDetailViewModel> detail(qint64 id = 1, std::optional<qint64> count = 3)
    {
        auto model = std::make_unique<PlaylistDetailViewModel>(auth.get(), player.get(), offline.get(), client.get());
        PlaylistSummary summary;
        summary.id = id;
        summary.title = QStringLiteral("Summary title");
        summary.coverURL = QStringLiteral("/artwork/summary.jpg");
        summary.trackCount = count;
        model->setSummary(summary);
        return model;
    }

    std::unique_ptr<PlaylistDetailViewModel> loaded(qint64 id = 1)
    {
        auto model = detail(id);
        runTask(model->loadDetail());
        EXPECT_EQ(model->content(), Content::Loaded);
        return model;
    }

    // Method and raw path of every request after the first `from`.
    QStringList requestLog(qsizetype from) const
    {
        QStringList log;
        const auto all = server.requests();
        for (qsizetype i = from; i < all.size(); ++i)
            log << QString::fromLatin1(all[i].method + ' ' + all[i].rawPath);
        return log;
    }

    PlaylistTrack demoTrack(int row)
    {
        auto model = loaded();
        return model->detail()->tracks->at(row);
    }
};

} // namespace

// ---------------------------------------------------------------- detail: states

TEST_F(PlaylistScreens, DetailStartsLoadingThenShowsThePlaylist)
{
    auto model = detail();
    EXPECT_EQ(model->content(), Content::Loading);
    EXPECT_EQ(model->navigationTitle(), QStringLiteral("پلیلیست"));
    EXPECT_EQ(model->trackCountText(), QStringLiteral("3 آهنگ"));

    runTask(model->loadDetail());
    EXPECT_EQ(model->content(), Content::Loaded);
    EXPECT_EQ(model->navigationTitle(), QStringLiteral("آرامش شبانه"));
    EXPECT_EQ(model->headerTitle(), QStringLiteral("آرامش شبانه"));
    EXPECT_EQ(model->descriptionText(), QStringLiteral("برای شبهای آرام"));
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(rowRoles(model->rows(), 1)[QStringLiteral("title")], model->detail()->tracks->at(1).title.value_or(QStringLiteral("—")));
    EXPECT_TRUE(rowRoles(model->rows(), 3).isEmpty());
    EXPECT_TRUE(model->canPlayAll());
    EXPECT_EQ(server.requestsTo(detailPath).last().header("Authorization"), "Bearer " + auth->token()->toUtf8());

    // A reload shows the spinner in place of the list until it is in.
    auto reload = model->loadDetail();
    EXPECT_EQ(model->content(), Content::Loading);
    QCoro::waitFor(std::move(reload));
    EXPECT_EQ(model->content(), Content::Loaded);
}

TEST_F(PlaylistScreens, HeaderFallsBackToTheSummary)
{
    struct Case {
        const char *name;
        QJsonObject data;
        QString count;
        QString navigationTitle;
        QString headerTitle;
        bool canPlay;
    };
    const QJsonObject oneTrack{{QStringLiteral("id"), 7}, {QStringLiteral("title"), QStringLiteral("بدون شماره")}};
    const Case cases[] = {
        {"empty track list", {{QStringLiteral("id"), 7}, {QStringLiteral("title"), QStringLiteral("خالی")}, {QStringLiteral("tracks"), QJsonArray()}},
         QStringLiteral("0 آهنگ"), QStringLiteral("خالی"), QStringLiteral("خالی"), false},
        {"no track list", oneTrack, QStringLiteral("5 آهنگ"), QStringLiteral("بدون شماره"), QStringLiteral("بدون شماره"), false},
        {"no title", {{QStringLiteral("id"), 7}, {QStringLiteral("description"), QString()}, {QStringLiteral("tracks"), QJsonArray{QJsonObject{{QStringLiteral("id"), 1}}}}},
         QStringLiteral("1 آهنگ"), QStringLiteral("پلیلیست"), QStringLiteral("Summary title"), true},
    };
    for (const Case &c : cases) {
        server.script("GET", QStringLiteral("/api/playlists/7"), standin::Reply::json(detailReply(c.data)), 1);
        auto model = detail(7, 5);
        runTask(model->loadDetail());
        EXPECT_EQ(model->content(), Content::Loaded) << c.name;
        EXPECT_EQ(model->trackCountText(), c.count) << c.name;
        EXPECT_EQ(model->navigationTitle(), c.navigationTitle) << c.name;
        EXPECT_EQ(model->headerTitle(), c.headerTitle) << c.name;
        EXPECT_EQ(model->descriptionText(), QString()) << c.name;
        EXPECT_EQ(model->canPlayAll(), c.canPlay) << c.name;
    }
}

TEST_F(PlaylistScreens, RowsFallBackForMissingFields)
{
    const QJsonArray tracks{
        QJsonObject{{QStringLiteral("id"), 1}, {QStringLiteral("duration"), 125}},
        QJsonObject{{QStringLiteral("id"), 2}, {QStringLiteral("title"), QStringLiteral("T")}, {QStringLiteral("artwork_url"), QStringLiteral("/a.jpg")}, {QStringLiteral("duration"), 0}},
    };
    server.script("GET", QStringLiteral("/api/playlists/7"),
                  standin::Reply::json(detailReply({{QStringLiteral("id"), 7}, {QStringLiteral("cover_url"), QStringLiteral("/cover.jpg")}, {QStringLiteral("tracks"), tracks}})), 1);
    auto model = detail(7);
    runTask(model->loadDetail());
    const QVariantMap first = rowRoles(model->rows(), 0);
    const QVariantMap second = rowRoles(model->rows(), 1);
    EXPECT_EQ(first[QStringLiteral("title")], QStringLiteral("—"));
    EXPECT_EQ(first[QStringLiteral("artist")], QString());
    EXPECT_EQ(first[QStringLiteral("durationText")], QStringLiteral("2:05"));
    EXPECT_EQ(first[QStringLiteral("artworkURL")], QStringLiteral("/cover.jpg"));
    EXPECT_EQ(second[QStringLiteral("durationText")], QString());
    EXPECT_EQ(second[QStringLiteral("artworkURL")], QStringLiteral("/a.jpg"));
}

TEST_F(PlaylistScreens, FailedLoadShowsTheErrorAndRetryRecovers)
{
    server.script("GET", detailPath, standin::Reply::withStatus(500), 1);
    auto model = detail();
    runTask(model->loadDetail());
    EXPECT_EQ(model->content(), Content::Failed);
    EXPECT_EQ(model->errorText(), QStringLiteral("خطای سرور (500)"));

    runTask(model->loadDetail());
    EXPECT_EQ(model->content(), Content::Loaded);
    EXPECT_EQ(model->errorText(), QString());
}

TEST_F(PlaylistScreens, OnlyTheNewestLoadChangesTheScreen)
{
    QJsonObject old{{QStringLiteral("id"), 1}, {QStringLiteral("title"), QStringLiteral("Old answer")}};
    standin::Reply slow = standin::Reply::json(detailReply(old));
    slow.delayMs = 400;

    // The older load answers last: dropped.
    server.script("GET", detailPath, slow, 1);
    auto model = detail();
    auto first = model->loadDetail();
    ASSERT_TRUE(server.waitForRequest(detailPath));
    auto second = model->loadDetail();
    QCoro::waitFor(std::move(second));
    EXPECT_EQ(model->headerTitle(), QStringLiteral("آرامش شبانه"));
    QCoro::waitFor(std::move(first));
    EXPECT_EQ(model->headerTitle(), QStringLiteral("آرامش شبانه"));
    EXPECT_FALSE(model->isLoading());

    // The older load answers first: the spinner stays until the newest is in.
    const int seen = server.countRequests(detailPath);
    auto fast = model->loadDetail();
    ASSERT_TRUE(server.waitForRequest(detailPath, 5000, seen));
    server.script("GET", detailPath, slow, 1);
    auto newest = model->loadDetail();
    QCoro::waitFor(std::move(fast));
    EXPECT_TRUE(model->isLoading());
    QCoro::waitFor(std::move(newest));
    EXPECT_FALSE(model->isLoading());
    EXPECT_EQ(model->headerTitle(), QStringLiteral("Old answer"));
}

// ---------------------------------------------------------------- detail: playing and downloads

TEST_F(PlaylistScreens, PlayingBuildsThePlaylistStation)
{
    auto model = loaded();
    model->play(2);
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    const Station s = *player->currentStation();
    EXPECT_EQ(s.genre, QStringLiteral("custom-p-1"));
    EXPECT_EQ(s.trackIndex, 2);
    EXPECT_EQ(s.title, QStringLiteral("آرامش شبانه"));
    EXPECT_EQ(s.serverName, s.title);
    EXPECT_EQ(s.artist, QStringLiteral("شنوندهی دمو"));
    EXPECT_EQ(s.source, QStringLiteral("custom"));
    EXPECT_EQ(s.category, QStringLiteral("playlists"));
    EXPECT_EQ(s.trackCount, 3);
    EXPECT_FALSE(s.streamURL.has_value());
    EXPECT_EQ(s.tracks->size(), 3);
    EXPECT_EQ(model->bottomPadding(), PlaylistDetailViewModel::BottomPaddingWithPlayer);
}

TEST_F(PlaylistScreens, DownloadControlStartsCancelsAndRemoves)
{
    auto model = loaded();
    const PlaylistTrack track = model->detail()->tracks->at(0);
    const QString media = QUrl(*track.streamURL).path();
    EXPECT_EQ(model->downloadControl(0), Control::Available);

    standin::Reply slow = standin::Reply::withStatus(200);
    slow.delayMs = 3000;
    server.script("GET", media, slow, 1);
    model->toggleDownload(0); // starts
    EXPECT_EQ(model->downloadControl(0), Control::Progress);
    ASSERT_TRUE(server.waitForRequest(media));
    model->toggleDownload(0); // cancels
    ASSERT_TRUE(waitFor([&] { return offline->pendingMeta().isEmpty(); }));
    EXPECT_EQ(model->downloadControl(0), Control::Available);
    EXPECT_TRUE(offline->lastError() == std::nullopt);

    model->toggleDownload(0);
    const bool done = waitFor([&] { return offline->isDownloaded(track) && offline->pendingMeta().isEmpty(); }, 20000);
    ASSERT_TRUE(done) << offline->lastError().value_or(QString()).toStdString() << " pending " << offline->pendingMeta().size();
    EXPECT_EQ(model->downloadControl(0), Control::Downloaded);
    EXPECT_EQ(rowRoles(model->rows(), 0)[QStringLiteral("downloadControl")].value<Control>(), Control::Downloaded);
    model->toggleDownload(0); // removes
    EXPECT_FALSE(offline->isDownloaded(track));
    EXPECT_EQ(model->downloadControl(0), Control::Available);
}

// ---------------------------------------------------------------- edits

TEST_F(PlaylistScreens, TrackIdentifierPrefersTheIdAndStaysOneSegment)
{
    PlaylistTrack both;
    both.id = 42;
    both.trackID = QStringLiteral("lib-x");
    PlaylistTrack textual;
    textual.trackID = QStringLiteral("a/b?c#d");
    EXPECT_EQ(TrackRows::identifier(both), QStringLiteral("42"));
    EXPECT_EQ(TrackRows::identifier(textual), QStringLiteral("a/b?c#d"));
    EXPECT_EQ(TrackRows::identifier(PlaylistTrack()), QString());

    // A server-given track id addresses one resource: both PUT paths and the DELETE go through the
    // client's segment encoding.
    const QJsonArray tracks{QJsonObject{{QStringLiteral("track_id"), QStringLiteral("a/b?c#d")}, {QStringLiteral("title"), QStringLiteral("x")}}};
    server.script("GET", detailPath, standin::Reply::json(detailReply({{QStringLiteral("id"), 1}, {QStringLiteral("tracks"), tracks}})));
    auto model = loaded();
    model->prepareTrackEdit(0);
    const qsizetype before = server.requests().size();
    runTask(model->runSaveTrackEdit());
    model->prepareEdit();
    runTask(model->runSaveEdit());
    model->chooseTrackToDelete(0);
    runTask(model->runDeleteTrack(model->trackToDelete()));
    const QStringList log = requestLog(before);
    EXPECT_TRUE(log.contains(QStringLiteral("PUT /api/playlists/1/tracks/a%2Fb%3Fc%23d"))) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("PUT /api/playlists/1"))) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("DELETE /api/playlists/1/tracks/a%2Fb%3Fc%23d"))) << log.join(u'\n').toStdString();
}

TEST_F(PlaylistScreens, EditsSendWhatWasTypedAndPrefillFromTheDetail)
{
    auto early = detail();
    early->prepareEdit(); // before the detail: the summary's title, no description
    EXPECT_EQ(early->editTitle(), QStringLiteral("Summary title"));
    EXPECT_EQ(early->editDesc(), QString());
    EXPECT_TRUE(early->showEditSheet());

    auto model = loaded();
    model->prepareEdit();
    EXPECT_EQ(model->editTitle(), QStringLiteral("آرامش شبانه"));
    EXPECT_EQ(model->editDesc(), QStringLiteral("برای شبهای آرام"));
    model->setEditFields(QStringLiteral("  شب  "), QString());
    runTask(model->runSaveEdit());
    QList<standin::RecordedRequest> put;
    for (const auto &r : server.requestsTo(detailPath))
        if (r.method == "PUT")
            put << r;
    ASSERT_FALSE(put.isEmpty());
    const QJsonObject body = QJsonDocument::fromJson(put.last().body).object();
    EXPECT_EQ(put.last().method, "PUT");
    EXPECT_EQ(body[QStringLiteral("title")].toString(), QStringLiteral("  شب  "));
    EXPECT_EQ(body[QStringLiteral("description")].toString(), QString());
    EXPECT_EQ(put.last().header("Content-Type"), "application/json");

    model->prepareTrackEdit(1);
    EXPECT_EQ(model->editTrackTitle(), QStringLiteral("رویای سنتور"));
    model->setTrackEditFields(QStringLiteral(" رویا "), QString());
    runTask(model->runSaveTrackEdit());
    const auto trackPut = server.requestsTo(QStringLiteral("/api/playlists/1/tracks/2"));
    ASSERT_FALSE(trackPut.isEmpty());
    const QJsonObject trackBody = QJsonDocument::fromJson(trackPut.last().body).object();
    EXPECT_EQ(trackBody[QStringLiteral("title")].toString(), QStringLiteral(" رویا "));
    EXPECT_EQ(trackBody[QStringLiteral("artist")].toString(), QString());
    EXPECT_FALSE(model->trackToEdit().has_value());
}

TEST_F(PlaylistScreens, FailedEditsShowTheirErrorInTheErrorView)
{
    struct Case {
        const char *name;
        standin::Reply reply;
        QString expected; // empty: the decoder's own text, whatever it is
    };
    const Case cases[] = {
        {"200 with an empty body", standin::Reply::text(QByteArray(), 200, "application/json"), QString()},
        {"403 with a message", standin::Reply::json(R"({"message":"اجازه ندارید"})", 403), QStringLiteral("اجازه ندارید")},
        {"500 without a body", standin::Reply::withStatus(500), QStringLiteral("خطای سرور (500)")},
    };
    for (const Case &c : cases) {
        auto model = loaded();
        server.script("PUT", detailPath, c.reply, 1);
        model->prepareEdit();
        runTask(model->runSaveEdit());
        EXPECT_EQ(model->content(), Content::Failed) << c.name;
        EXPECT_FALSE(model->isBusy()) << c.name;
        if (c.expected.isEmpty())
            EXPECT_FALSE(model->errorText().isEmpty()) << c.name;
        else
            EXPECT_EQ(model->errorText(), c.expected) << c.name;
        // Retry clears the message and shows the playlist again.
        runTask(model->loadDetail());
        EXPECT_EQ(model->content(), Content::Loaded) << c.name;
    }
}

TEST_F(PlaylistScreens, EachFlowReloadsInItsOrder)
{
    struct Case {
        const char *name;
        std::function<QCoro::Task<>(PlaylistDetailViewModel &)> run;
        QStringList expected;
    };
    const QString library = QStringLiteral("GET /api/playlists");
    const QString favorites = QStringLiteral("GET /api/favorites");
    const QString reload = QStringLiteral("GET /api/playlists/1");
    const Case cases[] = {
        {"playlist change", [](PlaylistDetailViewModel &m) { m.prepareEdit(); return m.runSaveEdit(); },
         {QStringLiteral("PUT /api/playlists/1"), library, favorites, reload}},
        {"track change", [](PlaylistDetailViewModel &m) { m.prepareTrackEdit(0); return m.runSaveTrackEdit(); },
         {QStringLiteral("PUT /api/playlists/1/tracks/1"), reload}},
        {"track removal", [](PlaylistDetailViewModel &m) { m.chooseTrackToDelete(0); return m.runDeleteTrack(m.trackToDelete()); },
         {QStringLiteral("DELETE /api/playlists/1/tracks/1"), reload, library, favorites}},
        {"playlist deletion", [](PlaylistDetailViewModel &m) { return m.runDeletePlaylist(); },
         {QStringLiteral("DELETE /api/playlists/1"), library, favorites}},
    };
    for (const Case &c : cases) {
        auto model = loaded();
        QSignalSpy busy(model.get(), &PlaylistDetailViewModel::busyChanged);
        QSignalSpy dismissed(model.get(), &PlaylistDetailViewModel::dismissRequested);
        const qsizetype before = server.requests().size();
        runTask(c.run(*model));
        EXPECT_EQ(requestLog(before), c.expected) << c.name;
        EXPECT_EQ(busy.count(), 2) << c.name; // on, then off once the reloads are in
        EXPECT_FALSE(model->isBusy()) << c.name;
        EXPECT_EQ(dismissed.count(), c.name == std::string("playlist deletion") ? 1 : 0) << c.name;
    }
    EXPECT_TRUE(auth->playlists().size() == 1); // the demo's other playlist is left
}

TEST_F(PlaylistScreens, TrackRemovalActsOnTheConfirmedTrack)
{
    auto model = loaded();
    model->chooseTrackToDelete(1);
    EXPECT_TRUE(model->hasTrackToDelete());
    EXPECT_EQ(model->trackToDeleteTitle(), QStringLiteral("رویای سنتور"));
    const qsizetype before = server.requests().size();
    // "حذف" is pressed, then the dialog's dismissal clears the choice before the task runs on.
    model->confirmDeleteTrack();
    model->setShowDeleteTrackConfirm(false);
    EXPECT_FALSE(model->hasTrackToDelete());
    ASSERT_TRUE(waitFor([&] { return !model->isBusy() && model->detail() && model->detail()->tracks->size() == 2; }));
    EXPECT_EQ(requestLog(before).value(0), QStringLiteral("DELETE /api/playlists/1/tracks/2"));

    // Cancelling only clears the choice.
    model->chooseTrackToDelete(0);
    model->setShowDeleteTrackConfirm(false);
    EXPECT_FALSE(model->hasTrackToDelete());
}

// ---------------------------------------------------------------- offline library

namespace {

class OfflineLibrary : public PlaylistScreens
{
protected:
    // The demo playlist's tracks downloaded one after the other: A (oldest), B, C.
    QList<PlaylistTrack> downloadAll()
    {
        auto model = loaded();
        QList<PlaylistTrack> tracks = *model->detail()->tracks;
        for (const PlaylistTrack &t : tracks) {
            offline->download(t);
            EXPECT_TRUE(waitFor([&] { return offline->isDownloaded(t) && offline->pendingMeta().isEmpty(); }, 20000));
        }
        return tracks;
    }
};

} // namespace

TEST_F(OfflineLibrary, ViewStateFollowsTheStore)
{
    OfflineLibraryViewModel model(offline.get(), player.get());
    EXPECT_EQ(model.content(), OfflineLibraryViewModel::Content::Empty);
    EXPECT_FALSE(model.hasEntries());

    const PlaylistTrack first = demoTrack(0);
    standin::Reply slow = standin::Reply::withStatus(200);
    slow.delayMs = 3000;
    server.script("GET", QUrl(*first.streamURL).path(), slow, 1);
    QSignalSpy content(&model, &OfflineLibraryViewModel::contentChanged);
    offline->download(first);
    ASSERT_TRUE(server.waitForRequest(QUrl(*first.streamURL).path()));
    EXPECT_EQ(model.content(), OfflineLibraryViewModel::Content::Column);
    EXPECT_EQ(content.count(), 1);
    EXPECT_FALSE(model.hasEntries());
    ASSERT_EQ(model.downloads().size(), 1);
    const QString key = model.downloads()[0].toMap()[QStringLiteral("key")].toString();
    EXPECT_EQ(model.progress()[key].toMap()[QStringLiteral("percentText")], QStringLiteral("0%"));
    offline->cancelDownload(first);
    ASSERT_TRUE(waitFor([&] { return model.content() == OfflineLibraryViewModel::Content::Empty; }));
}

TEST_F(OfflineLibrary, RowsAreNewestFirstAndPlayTheirOwnTrack)
{
    const QList<PlaylistTrack> tracks = downloadAll();
    OfflineLibraryViewModel model(offline.get(), player.get());
    ASSERT_EQ(model.rowCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rowRoles(model.rows(), i)[QStringLiteral("title")], *tracks[2 - i].title);
    EXPECT_TRUE(model.summaryText().startsWith(QStringLiteral("مجموع: 3 آهنگ • "))) << model.summaryText().toStdString();
    EXPECT_EQ(model.playingRow(), -1);

    struct Case { int row; qint64 trackIndex; };
    for (const Case c : {Case{0, 2}, Case{2, 0}, Case{1, 1}}) {
        model.play(c.row);
        EXPECT_TRUE(player->isFullPlayerPresented());
        ASSERT_TRUE(waitFor([&] { return player->currentStation() && player->currentStation()->trackIndex == c.trackIndex; }));
        EXPECT_EQ(player->currentStation()->genre, QStringLiteral("offline-library"));
        EXPECT_EQ(model.playingRow(), c.row);
        EXPECT_EQ(model.bottomPadding(), OfflineLibraryViewModel::BottomPaddingWithPlayer);
    }

    // The mark stays on the track that plays when the rows move under it, and goes with its file.
    struct Removal { const char *what; int row; int marked; };
    model.play(1); // B, between the other two
    ASSERT_TRUE(waitFor([&] { return model.playingRow() == 1; }));
    for (const Removal r : {Removal{"an older download", 2, 1}, Removal{"a newer download", 0, 0},
                            Removal{"the one that plays", 0, -1}}) {
        const qsizetype before = model.rowCount();
        model.remove(r.row);
        ASSERT_TRUE(waitFor([&] { return model.rowCount() == before - 1; })) << r.what;
        EXPECT_EQ(model.playingRow(), r.marked) << r.what;
    }
}

TEST_F(OfflineLibrary, RemoveAllKeepsRunningDownloads)
{
    const QList<PlaylistTrack> tracks = downloadAll();
    OfflineLibraryViewModel model(offline.get(), player.get());
    model.remove(0);
    EXPECT_EQ(model.rowCount(), 2);

    PlaylistTrack other = tracks[0];
    other.trackID = QStringLiteral("lib-still-running");
    standin::Reply slow = standin::Reply::withStatus(200);
    slow.delayMs = 3000;
    server.script("GET", QUrl(*other.streamURL).path(), slow, 1);
    const int seen = server.countRequests(QUrl(*other.streamURL).path());
    offline->download(other);
    ASSERT_TRUE(server.waitForRequest(QUrl(*other.streamURL).path(), 5000, seen));
    model.removeAll();
    EXPECT_FALSE(model.hasEntries());
    EXPECT_EQ(model.downloads().size(), 1);
    EXPECT_EQ(model.content(), OfflineLibraryViewModel::Content::Column);
    offline->cancelDownload(other);
}

TEST(OfflineFormatting, DurationsPercentagesAndSizes)
{
    const std::pair<std::optional<qint64>, QString> durations[] = {
        {59, QStringLiteral("0:59")}, {61, QStringLiteral("1:01")}, {3600, QStringLiteral("60:00")},
        {0, QString()}, {std::nullopt, QString()}};
    for (const auto &[seconds, text] : durations)
        EXPECT_EQ(OfflineLibraryViewModel::durationText(seconds), text);

    const std::pair<qint64, const char *> sizes[] = {
        {0, "Zero KB"}, {1, "1 byte"}, {532, "532 bytes"}, {12'400, "12 KB"}, {999'600, "1 MB"},
        {4'230'000, "4.2 MB"}, {1'250'000'000, "1.25 GB"}};
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(ByteCountFormatter::fileStyle(bytes), QString::fromLatin1(text)) << bytes;

    EXPECT_EQ(OfflineLibraryViewModel::stationPosition(0, 3), 2);
    EXPECT_EQ(OfflineLibraryViewModel::stationPosition(2, 3), 0);
}
