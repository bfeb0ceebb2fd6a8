#include "ArtworkPicture.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "support/DemoCatalogue.h"
#include "support/HostileRoutes.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QDir>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include "support/QmlWindowFixture.h"

#include <gtest/gtest.h>

// The station screens and the artwork piece in a real Qt Quick window (offscreen) with the shared
// stores, against the stand-in backend. Every test also fails on any QML warning.

using namespace quickhost;

namespace {

class StationScreensQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        // The shared client outlives every test's backend.
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        ArtworkCache::shared().clear();
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        APIClient::shared().setBaseURL(previousBase);
    }

    QObject *load(const QByteArray &qml) { return loadQml(qml); }
    template<typename T = QQuickItem>
    T *find(const QString &name) const
    {
        return hosted.screen()->findChild<T *>(name);
    }
    static bool shown(QQuickItem *item) { return item && item->isVisible(); }
    static QPoint centreOf(QQuickItem *item)
    {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    }

    standin::StandInServer server;
    QUrl previousBase;
};

const QByteArray pianoPage = R"(
NavigationStack {
    id: stack
    objectName: "stack"
    initialItem: NavigationPage { navigationTitle: "خانه" }
    function back() { pop() }
    function openPiano() {
        push(detail, { station: { genre: "songsara-piano", server_name: "آرامش پیانو", source: "songsara" } })
    }
    Component { id: detail; StationDetailView { objectName: "detailPage" } }
}
)";

} // namespace

// ---------------------------------------------------------------- artwork

TEST_F(StationScreensQml, ArtworkWithoutAnAddressShowsThePlaceholderWithoutASpinner)
{
    load(R"(
Item {
    ArtworkImage { objectName: "none"; width: 96; height: 96 }
    ArtworkImage { objectName: "empty"; width: 96; height: 96; urlString: "" }
}
)");
    settle(100);
    for (const char *name : {"none", "empty"}) {
        QQuickItem *artwork = find(QLatin1String(name));
        ASSERT_TRUE(artwork);
        EXPECT_FALSE(artwork->property("loading").toBool()) << name;
        EXPECT_FALSE(artwork->property("loaded").toBool()) << name;
        EXPECT_TRUE(shown(artwork->findChild<QQuickItem *>(QStringLiteral("placeholder")))) << name;
        EXPECT_FALSE(shown(artwork->findChild<QQuickItem *>(QStringLiteral("spinner")))) << name;
    }
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(StationScreensQml, ArtworkLoadsFromAServerPathAndFailsSilently)
{
    standin::Reply slow = standin::Reply::text(standin::artworkJpeg(QStringLiteral("slow")), 200, "image/jpeg");
    slow.delayMs = 600;
    server.script("GET", QStringLiteral("/artwork/slow.jpg"), slow);
    load(R"(
Item {
    ArtworkImage { objectName: "good"; width: 96; height: 96; urlString: "/artwork/jazz.jpg" }
    ArtworkImage { objectName: "missing"; width: 96; height: 96; urlString: "/artwork/missing/x.png" }
    ArtworkImage { objectName: "slow"; width: 96; height: 96; urlString: "/artwork/slow.jpg" }
}
)");
    QQuickItem *slowArtwork = find(QStringLiteral("slow"));
    ASSERT_TRUE(slowArtwork);
    // Still loading: the placeholder with the spinner.
    EXPECT_TRUE(slowArtwork->property("loading").toBool());
    EXPECT_TRUE(shown(slowArtwork->findChild<QQuickItem *>(QStringLiteral("spinner"))));

    QQuickItem *good = find(QStringLiteral("good"));
    ASSERT_TRUE(waitFor([&] { return good->property("loaded").toBool(); }));
    EXPECT_FALSE(shown(good->findChild<QQuickItem *>(QStringLiteral("placeholder"))));
    // Loaded, it keeps no spinner at all (hidden nodes cost a software renderer every frame).
    EXPECT_FALSE(good->findChild<QQuickItem *>(QStringLiteral("spinner")));
    EXPECT_EQ(server.countRequests(QStringLiteral("/artwork/jazz.jpg")), 1);

    // A failure: the placeholder, no spinner, and nothing reported (the trap sees no warning).
    QQuickItem *missing = find(QStringLiteral("missing"));
    auto *picture = missing->findChild<ArtworkPicture *>();
    ASSERT_TRUE(picture);
    ASSERT_TRUE(waitFor([&] { return picture->status() == ArtworkPicture::Status::Error; }));
    EXPECT_TRUE(shown(missing->findChild<QQuickItem *>(QStringLiteral("placeholder"))));
    EXPECT_FALSE(shown(missing->findChild<QQuickItem *>(QStringLiteral("spinner"))));

    ASSERT_TRUE(waitFor([&] { return slowArtwork->property("loaded").toBool(); }));
    EXPECT_FALSE(shown(slowArtwork->findChild<QQuickItem *>(QStringLiteral("spinner"))));
}

TEST_F(StationScreensQml, ArtworkCacheFetchesEachAddressOnceAndStaysBounded)
{
    QSignalSpy finished(&ArtworkCache::shared(), &ArtworkCache::finished);
    load(R"(
Item {
    ArtworkImage { objectName: "a"; width: 50; height: 50; urlString: "/artwork/persian.jpg" }
    ArtworkImage { objectName: "b"; width: 50; height: 50; urlString: "/artwork/persian.jpg" }
}
)");
    ASSERT_TRUE(waitFor([&] {
        return find(QStringLiteral("a"))->property("loaded").toBool() && find(QStringLiteral("b"))->property("loaded").toBool();
    }));
    EXPECT_EQ(server.countRequests(QStringLiteral("/artwork/persian.jpg")), 1);

    // Bytes that are no picture fail; a file address loads from disk.
    server.script("GET", QStringLiteral("/artwork/text.jpg"), standin::Reply::text("not a picture"));
    const QUrl text = server.baseUrl().resolved(QUrl(QStringLiteral("/artwork/text.jpg")));
    ArtworkCache::shared().request(text);
    ASSERT_TRUE(waitFor([&] { return !ArtworkCache::shared().isFetching(text); }));
    EXPECT_FALSE(ArtworkCache::shared().cached(text).has_value());

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("art.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(standin::artworkJpeg(QStringLiteral("local"), 800));
    file.close();
    const QUrl local = QUrl::fromLocalFile(path);
    // A file outside the local (offline) folder, a device file and a folder are never read.
    QTemporaryDir offline;
    ArtworkCache::shared().setLocalFolder(offline.path());
    for (const QUrl &refused : {local, QUrl(QStringLiteral("file:///dev/zero")), QUrl::fromLocalFile(offline.path())}) {
        ArtworkCache::shared().request(refused);
        ASSERT_TRUE(waitFor([&] { return !ArtworkCache::shared().isFetching(refused); })) << refused.toString().toStdString();
        EXPECT_FALSE(ArtworkCache::shared().cached(refused).has_value());
    }
    // A link inside the folder that leads out of it counts as what it leads to.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QDir(offline.path()).filePath(QStringLiteral("zero.art"))));
    const QUrl linked = QUrl::fromLocalFile(QDir(offline.path()).filePath(QStringLiteral("zero.art")));
    ArtworkCache::shared().request(linked);
    ASSERT_TRUE(waitFor([&] { return !ArtworkCache::shared().isFetching(linked); }));
    EXPECT_FALSE(ArtworkCache::shared().cached(linked).has_value());

    ArtworkCache::shared().setLocalFolder(dir.path());
    ArtworkCache::shared().request(local);
    ASSERT_TRUE(waitFor([&] { return ArtworkCache::shared().cached(local).has_value(); }));
    // Large pictures are scaled down when decoded.
    EXPECT_LE(ArtworkCache::shared().cached(local)->width(), ArtworkCache::MaxPixelSize);
    ArtworkCache::shared().setLocalFolder(QString());

    // Bounded by the bytes of what it holds: twenty 300-pixel pictures do not fit in 2 MB.
    ArtworkCache::shared().setCapacityBytes(2 * 1024 * 1024);
    constexpr int Count = 20;
    for (int i = 0; i < Count; ++i) {
        const QUrl url = server.baseUrl().resolved(QUrl(QStringLiteral("/artwork/n%1.jpg").arg(i)));
        ArtworkCache::shared().request(url);
    }
    ASSERT_TRUE(waitFor([&] { return ArtworkCache::shared().pendingCount() == 0; }, 20000));
    EXPECT_LE(ArtworkCache::shared().bytes(), ArtworkCache::shared().capacityBytes());
    EXPECT_LT(ArtworkCache::shared().size(), Count);
    EXPECT_GT(ArtworkCache::shared().size(), 1);
    ArtworkCache::shared().setCapacityBytes(ArtworkCache::DefaultCapacityBytes);
}

// A picture costs its display size, not its file's: a 5600 x 5600 cover shown at 50 px is held
// at the smallest decoding step, and an endless body ends as the placeholder.
TEST_F(StationScreensQml, PicturesAreDecodedAtTheSizeTheyAreShownAt)
{
    const struct {
        int pixels;
        int side;
    } steps[] = {{0, 96}, {50, 96}, {97, 192}, {384, 384}, {385, ArtworkCache::MaxPixelSize}, {5600, ArtworkCache::MaxPixelSize}};
    for (const auto &step : steps)
        EXPECT_EQ(ArtworkCache::sideFor(step.pixels), step.side) << step.pixels;

    standin::installHostileRoutes(server);
    load(R"(
Item {
    ArtworkImage { objectName: "small"; width: 50; height: 50; urlString: "/hostile/giant.jpg" }
    ArtworkImage { objectName: "large"; width: 300; height: 300; urlString: "/hostile/giant.jpg" }
    ArtworkImage { objectName: "endless"; width: 50; height: 50; urlString: "/hostile/endless/cover.jpg" }
}
)");
    const auto picture = [&](const char *name) { return find(QString::fromLatin1(name))->findChild<ArtworkPicture *>(); };
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("small"))->property("loaded").toBool(); }, 20000));
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("large"))->property("loaded").toBool(); }, 20000));
    // A larger step that arrives first may stand in until the item's own step is decoded.
    const int smallSide = ArtworkCache::sideFor(int(std::ceil(50 * hosted.window()->effectiveDevicePixelRatio())));
    EXPECT_TRUE(waitFor([&] { return picture("small")->image().width() <= smallSide; }, 20000))
        << picture("small")->image().width();
    EXPECT_LE(picture("large")->image().width(), 384);
    EXPECT_GE(picture("large")->image().width(), 300);
    ASSERT_TRUE(waitFor([&] { return picture("endless")->status() == ArtworkPicture::Status::Error; }, 20000));
}

// ---------------------------------------------------------------- card

TEST_F(StationScreensQml, CardTapsOnlyItsOwnActionAndShowsTheLiveBadge)
{
    QObject *root = load(R"(
Item {
    property int taps: 0
    StationCardView {
        objectName: "card"
        width: 160
        station: ({ genre: "card-live", server_name: "Live card", stream_url: "/live/x" })
        onTap: parent.taps += 1
    }
    StationCardView {
        objectName: "bare"
        x: 200
        width: 160
        station: ({ genre: "card-rotation", track_count: 2, tracks: [{ title: "a" }, { title: "b" }] })
    }
}
)");
    auto *card = find(QStringLiteral("card"));
    auto *bare = find(QStringLiteral("bare"));
    ASSERT_TRUE(card && bare);
    settle(50);
    EXPECT_TRUE(shown(card->findChild<QQuickItem *>(QStringLiteral("liveBadge"))));
    EXPECT_FALSE(shown(bare->findChild<QQuickItem *>(QStringLiteral("liveBadge"))));

    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, centreOf(card));
    EXPECT_TRUE(waitFor([&] { return root->property("taps").toInt() == 1; }));
    // Without a handler a click does nothing at all.
    const std::optional<Station> before = RadioPlayer::shared()->currentStation();
    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, centreOf(bare));
    settle(50);
    EXPECT_EQ(root->property("taps").toInt(), 1);
    EXPECT_EQ(RadioPlayer::shared()->currentStation().has_value(), before.has_value());
}

// ---------------------------------------------------------------- detail page

TEST_F(StationScreensQml, DetailPagePoppedWhileFetchingIgnoresTheLateTrackList)
{
    standin::Reply late = standin::Reply::json(
        R"({"code":200,"data":[{"genre":"piano","tracks":[{"title":"نسیم"},{"title":"مهتاب"}]}]})");
    late.delayMs = 700;
    server.script("GET", QStringLiteral("/api/songsara/playlist/piano"), late, 1);

    QObject *stack = load(pianoPage);
    QMetaObject::invokeMethod(stack, "openPiano");
    QPointer<QQuickItem> page = find(QStringLiteral("detailPage"));
    ASSERT_TRUE(page);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/songsara/playlist/piano")));
    EXPECT_TRUE(shown(page->findChild<QQuickItem *>(QStringLiteral("loadingView"))));

    QMetaObject::invokeMethod(stack, "back");
    ASSERT_TRUE(waitFor([&] { return page.isNull(); }));
    // The reply lands after the page has gone: no warning, no crash, nothing shown.
    settle(1200);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/songsara/playlist/piano")), 1);

    // A new push fetches again and shows the list.
    QMetaObject::invokeMethod(stack, "openPiano");
    page = find(QStringLiteral("detailPage"));
    ASSERT_TRUE(page);
    ASSERT_TRUE(waitFor([&] { return shown(page->findChild<QQuickItem *>(QStringLiteral("listView"))); }));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/songsara/playlist/piano")), 2);
}

TEST_F(StationScreensQml, DetailPageRetriesAfterAFailure)
{
    server.script("GET", QStringLiteral("/api/songsara/playlist/piano"), standin::Reply::withStatus(503), 1);
    QObject *stack = load(pianoPage);
    QMetaObject::invokeMethod(stack, "openPiano");
    QQuickItem *page = find(QStringLiteral("detailPage"));
    ASSERT_TRUE(page);
    QQuickItem *failure = page->findChild<QQuickItem *>(QStringLiteral("failureView"));
    ASSERT_TRUE(waitFor([&] { return shown(failure); }));
    // The push transition has ended: the button stays where it is clicked.
    ASSERT_TRUE(waitFor([&] { return !stack->property("busy").toBool(); }));
    settle(50);

    QQuickItem *retry = page->findChild<QQuickItem *>(QStringLiteral("retryButton"));
    ASSERT_TRUE(retry);
    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, centreOf(retry));
    ASSERT_TRUE(waitFor([&] { return shown(page->findChild<QQuickItem *>(QStringLiteral("listView"))); }));
    EXPECT_FALSE(shown(failure));
    EXPECT_TRUE(waitFor([&] { return itemNamed(page, QStringLiteral("trackRow1")) != nullptr; }));
}

TEST_F(StationScreensQml, TappingARowHandsThePlayerThatTrackAndPresentsTheFullPlayer)
{
    RadioPlayer *player = RadioPlayer::shared();
    QObject *stack = load(R"(
NavigationStack {
    initialItem: StationDetailView {
        objectName: "detailPage"
        station: ({
            genre: "qml-rotation", server_name: "چرخش", artwork_url: "/artwork/qml.jpg", track_count: 3,
            tracks: [{ title: "یک", duration: 61 }, { title: "دو", artist: "دو", duration: 185 }, { title: "سه" }]
        })
    }
}
)");
    Q_UNUSED(stack);
    QQuickItem *page = find(QStringLiteral("detailPage"));
    ASSERT_TRUE(page);
    QQuickItem *row = nullptr;
    ASSERT_TRUE(waitFor([&] { return (row = itemNamed(page, QStringLiteral("trackRow1"))) != nullptr; }));
    settle(100);

    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, centreOf(row));
    ASSERT_TRUE(waitFor([&] { return player->isFullPlayerPresented(); }));
    ASSERT_TRUE(waitFor([&] { return player->currentStation().has_value(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("qml-rotation"));
    EXPECT_EQ(player->currentStation()->trackIndex, 1);
    EXPECT_EQ(player->currentStation()->title, QStringLiteral("دو"));
    player->setFullPlayerPresented(false);
}
