#include "ShellFixture.h"
#include "support/AccountState.h"
#include "SpotifyImportCardModel.h"

#include <QGuiApplication>
#include <QClipboard>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The library tab's Spotify card over the stand-in's resolve and import routes.

using quickhost::waitFor;

namespace {

const QString resolvePath = QStringLiteral("/api/spotify/resolve");
const QString importPath = QStringLiteral("/api/spotify/import");
const QString playlistLink = QStringLiteral("https://open.spotify.com/playlist/37i9dQZF1DX4");

SpotifyTrack spotifyTrack(const QString &id, std::optional<QString> artwork)
{
    SpotifyTrack t;
    t.id = id;
    t.title = "Title " + id;
    t.artist = "Artist " + id;
    t.duration = 200;
    t.streamURL = "/audio/" + id + ".mp3";
    t.artworkURL = std::move(artwork);
    return t;
}

class SpotifyImportCard : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        card = makeCard();
    }

    void TearDown() override
    {
        card.reset();
        ShellFixture::TearDown();
    }

    std::unique_ptr<SpotifyImportCardModel> makeCard()
    {
        return std::make_unique<SpotifyImportCardModel>(player.get(), auth.get(), client.get());
    }

    void signIn()
    {
        ASSERT_TRUE(testing_support::runTask(auth->login(standin::AccountState::demoUsername,
                                                         standin::AccountState::demoPassword)).ok());
    }

    void resolve(SpotifyImportCardModel &m, const QString &text)
    {
        m.setLink(text);
        m.resolve();
        ASSERT_TRUE(waitFor([&] { return !m.isLoading(); }));
    }

    QJsonObject lastImportBody() const
    {
        return QJsonDocument::fromJson(server.requestsTo(importPath).last().body).object();
    }

    std::unique_ptr<SpotifyImportCardModel> card;
};

} // namespace

TEST(SpotifyStation, PseudoStationFields)
{
    SpotifyEntity e;
    e.id = QStringLiteral("abc");
    e.title = QStringLiteral("Mix");
    e.artist = QStringLiteral("Curator");
    e.coverURL = QStringLiteral("/cover.jpg");
    e.trackCount = 99;
    e.tracks = QList<SpotifyTrack>{spotifyTrack("1", "/own.jpg"), spotifyTrack("2", std::nullopt)};

    const Station s = *SpotifyImportCardModel::station(e);
    EXPECT_EQ(s.genre, QStringLiteral("spotify-e-abc"));
    EXPECT_EQ(s.title, e.title);
    EXPECT_EQ(s.artist, e.artist);
    EXPECT_EQ(s.serverName, e.title);
    EXPECT_FALSE(s.streamURL);
    EXPECT_EQ(s.artworkURL, e.coverURL);
    EXPECT_EQ(s.source, QStringLiteral("spotify"));
    EXPECT_EQ(s.category, QStringLiteral("spotify"));
    EXPECT_FALSE(s.displayGenre);
    EXPECT_EQ(s.trackIndex, 0);
    EXPECT_EQ(s.trackCount, 2);
    EXPECT_FALSE(s.elapsedSeconds);
    ASSERT_EQ(s.tracks->size(), 2);
    const PlaylistTrack &t = s.tracks->at(1);
    EXPECT_FALSE(t.id);
    EXPECT_EQ(t.trackType, QStringLiteral("spotify"));
    EXPECT_EQ(t.trackID, QStringLiteral("2"));
    EXPECT_EQ(t.title, QStringLiteral("Title 2"));
    EXPECT_EQ(t.streamURL, QStringLiteral("/audio/2.mp3"));
    EXPECT_EQ(t.duration, 200);
    EXPECT_EQ(s.tracks->at(0).artworkURL, QStringLiteral("/own.jpg"));
    EXPECT_EQ(t.artworkURL, e.coverURL); // no artwork of its own: the cover

    e.id.reset();
    EXPECT_EQ(SpotifyImportCardModel::station(e)->genre, QStringLiteral("spotify-e-x"));
    e.tracks = QList<SpotifyTrack>();
    EXPECT_FALSE(SpotifyImportCardModel::station(e));
    e.tracks.reset();
    EXPECT_FALSE(SpotifyImportCardModel::station(e));

    EXPECT_EQ(SpotifyImportCardModel::importTitle(e), QStringLiteral("Mix"));
    EXPECT_EQ(SpotifyImportCardModel::importDescription(e), QStringLiteral("ایمپورت شده از اسپاتیفای (Curator)"));
    e.title.reset();
    e.artist.reset();
    EXPECT_EQ(SpotifyImportCardModel::importTitle(e), QStringLiteral("پلیلیست اسپاتیفای"));
    EXPECT_EQ(SpotifyImportCardModel::importDescription(e), QStringLiteral("ایمپورت شده از اسپاتیفای (Spotify)"));
}

TEST_F(SpotifyImportCard, PasteTrimsAndResolveButtonFollowsTheLink)
{
    const struct {
        QString pasted;
        QString playlistLink;
        bool canResolve;
    } cases[] = {
        {"  " + playlistLink + "\n", playlistLink, true},
        {"\t" + playlistLink + "\r\n ", playlistLink, true},
        {"", playlistLink, true}, // nothing pasted: nothing changes
        {" \n ", "", false},
    };
    for (const auto &c : cases) {
        card->paste(c.pasted);
        EXPECT_EQ(card->link(), c.playlistLink);
        EXPECT_EQ(card->canResolve(), c.canResolve);
    }
    EXPECT_EQ(server.countRequests(resolvePath), 0); // pasting never resolves
    card->setLink(QStringLiteral(" \t "));
    EXPECT_FALSE(card->canResolve());
    card->resolve();
    EXPECT_EQ(server.countRequests(resolvePath), 0);

    QGuiApplication::clipboard()->setText(" " + playlistLink + " ");
    card->pasteClipboard();
    EXPECT_EQ(card->link(), playlistLink);
}

TEST_F(SpotifyImportCard, ResolveClearsAtOnceAndShowsThePreviewOrTheError)
{
    resolve(*card, "  " + playlistLink + "\t");
    EXPECT_EQ(server.requestsTo(resolvePath).last().queryItems().queryItemValue("url", QUrl::FullyDecoded), playlistLink);
    EXPECT_EQ(server.requestsTo(resolvePath).last().header("Authorization"), QByteArray());
    ASSERT_TRUE(card->hasEntity());
    EXPECT_FALSE(card->entityTitle().isEmpty());
    EXPECT_TRUE(card->entityDetail().contains(QStringLiteral(" آهنگ · ")));
    EXPECT_TRUE(card->message().isEmpty());
    EXPECT_FALSE(card->canSave()); // signed out: play only

    // Resolving again drops the preview at once; a bad playlistLink shows the server's refusal.
    card->setLink(QStringLiteral("https://example.com/x"));
    card->resolve();
    EXPECT_TRUE(card->isLoading());
    EXPECT_FALSE(card->canResolve());
    EXPECT_FALSE(card->hasEntity());
    ASSERT_TRUE(waitFor([&] { return !card->isLoading(); }));
    EXPECT_FALSE(card->hasEntity());
    EXPECT_FALSE(card->message().isEmpty());

    // An entity without tracks previews but does not play.
    server.script("GET", resolvePath, standin::Reply::json(R"({"data":{"title":"Empty","track_count":null}})"), 1);
    resolve(*card, playlistLink);
    EXPECT_EQ(card->entityDetail(), QStringLiteral("0 آهنگ · Spotify"));
    card->play();
    EXPECT_FALSE(player->isFullPlayerPresented());
}

TEST_F(SpotifyImportCard, PlayHandsOverThePseudoStationAndOpensThePlayerAtOnce)
{
    resolve(*card, playlistLink);
    const Station expected = *SpotifyImportCardModel::station(*card->entity());
    card->play();
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, expected.genre);
    EXPECT_TRUE(expected.genre.startsWith(QStringLiteral("spotify-e-")));
    EXPECT_EQ(player->currentStation()->tracks, expected.tracks);
}

TEST_F(SpotifyImportCard, SaveImportsOnceReloadsOnSuccessAndReportsFailures)
{
    signIn();
    auto model = makeCard();
    EXPECT_TRUE(model->canSave());
    resolve(*model, playlistLink);
    model->setLink(playlistLink + QStringLiteral("?si=edited "));
    const int reloads = server.countRequests(QStringLiteral("/api/playlists"));
    const int playlists = int(auth->playlists().size());

    model->save();
    model->save(); // a double tap: ignored while the first runs
    EXPECT_EQ(model->message(), SpotifyImportCardModel::SavingText);
    EXPECT_TRUE(model->isSaving());
    ASSERT_TRUE(waitFor([&] { return auth->playlists().size() == playlists + 1; }));
    EXPECT_EQ(server.countRequests(importPath), 1);
    EXPECT_FALSE(model->isSaving());
    EXPECT_TRUE(model->message().contains(QStringLiteral("ذخیره شد")));
    EXPECT_GT(server.countRequests(QStringLiteral("/api/playlists")), reloads);
    const QJsonObject body = lastImportBody();
    EXPECT_EQ(body.value("url").toString(), playlistLink + QStringLiteral("?si=edited ")); // as typed
    EXPECT_EQ(body.value("title").toString(), model->entityTitle());
    EXPECT_TRUE(body.value("description").toString().startsWith(QStringLiteral("ایمپورت شده از اسپاتیفای (")));
    EXPECT_EQ(server.requestsTo(importPath).last().header("Authorization"), "Bearer " + auth->token()->toUtf8());

    const struct {
        standin::Reply reply;
        bool ok;
        QString message;
    } cases[] = {
        {standin::Reply::json("{}", 201), true, SpotifyImportCardModel::SavedText},
        {standin::Reply::json(R"({"message":"سهمیه تمام شد"})", 429), false, QStringLiteral("سهمیه تمام شد")},
        {standin::Reply::json("[]", 200), false, {}},
    };
    for (const auto &c : cases) {
        server.script("POST", importPath, c.reply, 1);
        const int before = server.countRequests(QStringLiteral("/api/playlists"));
        model->save();
        ASSERT_TRUE(waitFor([&] { return !model->isSaving(); }));
        if (!c.message.isEmpty()) {
            EXPECT_EQ(model->message(), c.message);
        }
        EXPECT_NE(model->message(), SpotifyImportCardModel::SavingText);
        if (c.ok) {
            ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/playlists")) > before; }));
        } else {
            EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), before);
        }
    }
    EXPECT_TRUE(model->hasEntity()); // the preview stays

    auth->logout();
    model->save();
    EXPECT_EQ(server.countRequests(importPath), 4);
}
