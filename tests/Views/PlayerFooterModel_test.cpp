#include "ShellFixture.h"

#include "PlayerFooterModel.h"
#include "Platform/UrlOpener.h"

#include <QJsonDocument>
#include <QSignalSpy>

// The player footer's model over the stand-in backend and a real offline store: the download
// button's states and taps, and the Telegram link opened through a fake opener.

using quickhost::waitFor;
using State = PlayerFooterModel::DownloadState;

namespace {

const char *rotationJson = R"({"genre": "night", "title": "Night Drive", "source": "songsara",
    "tracks": [{"track_type": "songsara", "track_id": "a", "title": "Night Drive", "artist": "Nova",
                "duration": 12, "stream_url": "/audio/a.mp3"}], "track_index": 0})";
const char *liveJson = R"({"genre": "pop-live", "title": "Singer - Live Song", "stream_url": "/live/pop-live"})";

Station stationFrom(const char *json)
{
    return Station::fromJson(QJsonDocument::fromJson(json).object());
}

class PlayerFooterModelTest : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        UrlOpener::setHandlerForTesting([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override
    {
        UrlOpener::setHandlerForTesting(nullptr);
        ShellFixture::TearDown();
    }
    std::unique_ptr<PlayerFooterModel> makeFooter()
    {
        return std::make_unique<PlayerFooterModel>(player.get(), offline.get(), client.get());
    }
    // Taps the Telegram button and waits for the request to end.
    void requestLink(PlayerFooterModel &footer)
    {
        QSignalSpy finished(&footer, &PlayerFooterModel::telegramFinished);
        footer.requestTelegramLink();
        EXPECT_TRUE(footer.telegramLoading());
        EXPECT_FALSE(footer.telegramEnabled());
        EXPECT_EQ(footer.telegramTitle(), QStringLiteral("در حال ساخت لینک…"));
        EXPECT_TRUE(finished.wait(5000));
        EXPECT_FALSE(footer.telegramLoading());
    }

    QList<QUrl> opened;
};

} // namespace

TEST(PlayerFooterTexts, PercentageIsCutTowardZero)
{
    const std::pair<double, const char *> cases[] = {{0.0, "0"}, {0.379, "37"}, {0.999, "99"}, {0.5, "50"}, {1.0, "100"}};
    for (const auto &[fraction, text] : cases)
        EXPECT_EQ(PlayerFooterModel::percentText(fraction), QString::fromLatin1(text)) << fraction;
}

TEST_F(PlayerFooterModelTest, DownloadButtonRunsThroughItsStatesFromTheStore)
{
    auto footer = makeFooter();
    EXPECT_FALSE(footer->hasStation());
    EXPECT_FALSE(footer->showsDownloadButton());
    EXPECT_FALSE(footer->telegramEnabled());

    // A live station: no download button, the Telegram button works.
    player->select(stationFrom(liveJson));
    settle();
    EXPECT_TRUE(footer->telegramEnabled());
    EXPECT_FALSE(footer->showsDownloadButton());

    player->select(stationFrom(rotationJson));
    settle();
    ASSERT_TRUE(footer->showsDownloadButton());
    EXPECT_EQ(footer->downloadState(), State::Idle);
    EXPECT_EQ(footer->downloadActionName(), QStringLiteral("دانلود"));

    // Running (the audio is held back): the ring at 0, a tap cancels without an error.
    standin::Reply slow = standin::Reply::text("never", 200, "audio/mpeg");
    slow.delayMs = 60'000;
    server.script("GET", QStringLiteral("/audio/a.mp3"), slow, 1);
    QSignalSpy changed(footer.get(), &PlayerFooterModel::downloadChanged);
    footer->tapDownload();
    EXPECT_EQ(footer->downloadState(), State::Running);
    EXPECT_EQ(footer->percentText(), QStringLiteral("0"));
    EXPECT_EQ(footer->downloadActionName(), QStringLiteral("لغو دانلود"));
    EXPECT_GE(changed.size(), 1);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/audio/a.mp3")));
    footer->tapDownload();
    EXPECT_EQ(footer->downloadState(), State::Idle);
    EXPECT_FALSE(offline->lastError());

    // Downloaded without a tap once the store indexes it; a tap removes it.
    footer->tapDownload();
    ASSERT_TRUE(waitFor([&] { return footer->downloadState() == State::Downloaded; }, 20000));
    EXPECT_EQ(footer->downloadActionName(), QStringLiteral("حذف دانلود"));
    EXPECT_TRUE(footer->percentText().isEmpty());
    footer->tapDownload();
    EXPECT_EQ(footer->downloadState(), State::Idle);
    EXPECT_TRUE(offline->entries().isEmpty());

    // A track without a usable address: the store reports it (the full player shows it).
    Station broken = stationFrom(rotationJson);
    (*broken.tracks)[0].streamURL = QStringLiteral("ftp://[broken");
    footer->setStation(broken);
    footer->tapDownload();
    ASSERT_TRUE(waitFor([&] { return offline->lastError().has_value(); }));
    EXPECT_EQ(footer->downloadState(), State::Idle);
    // The button tells why (its accessible description), until the track is started again.
    EXPECT_EQ(footer->downloadError(), OfflineStore::noDownloadLinkText());
    footer->setStation(stationFrom(rotationJson));
    EXPECT_EQ(footer->downloadError(), OfflineStore::noDownloadLinkText());
    footer->tapDownload();
    EXPECT_TRUE(footer->downloadError().isEmpty());
    footer->tapDownload();
}

TEST_F(PlayerFooterModelTest, TelegramLinkIsOpenedOrItsFailureShown)
{
    struct Case {
        const char *name;
        std::optional<standin::Reply> reply; // none: the stand-in's own route
        std::optional<QString> error;        // none: the link is opened
    };
    const QString invalid = QStringLiteral("خطا در پردازش پاسخ سرور");
    const Case cases[] = {
        {"the stand-in's link", std::nullopt, std::nullopt},
        {"a tg link", standin::Reply::json(R"({"data":{"bot_url":"tg://resolve?domain=MelodriftBot&start=dl_1"}})"),
         std::nullopt},
        {"server refusal", standin::Reply::json(R"({"code":503,"message":"سرویس تلگرام در دسترس نیست"})", 503),
         QStringLiteral("سرویس تلگرام در دسترس نیست")},
        {"no link", standin::Reply::json(R"({"code":200,"data":{}})"), invalid},
        {"a file link", standin::Reply::json(R"({"data":{"bot_url":"file:///etc/passwd"}})"), invalid},
        {"a javascript link", standin::Reply::json(R"x({"data":{"bot_url":"javascript:alert(1)"}})x"), invalid},
    };
    player->select(stationFrom(liveJson));
    settle();
    auto footer = makeFooter();
    for (const Case &c : cases) {
        if (c.reply)
            server.script("POST", QStringLiteral("/api/telegram/download-token"), *c.reply, 1);
        opened.clear();
        requestLink(*footer);
        EXPECT_EQ(footer->telegramError(), c.error.value_or(QString())) << c.name;
        EXPECT_EQ(opened.size(), c.error ? 0 : 1) << c.name;
        EXPECT_TRUE(footer->telegramEnabled()) << c.name;
        if (!c.error) {
            EXPECT_TRUE(UrlOpener::isAllowed(opened.value(0))) << c.name;
        }
    }
    // The request asked for the live station without a token.
    const auto request = server.requestsTo(QStringLiteral("/api/telegram/download-token")).first();
    EXPECT_TRUE(request.header("Authorization").isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object().value(QStringLiteral("track_id")).toString(),
              QStringLiteral("pop-live"));
}

TEST_F(PlayerFooterModelTest, LinkIsStillOpenedAfterTheFooterWentAway)
{
    player->select(stationFrom(liveJson));
    settle();
    standin::Reply slow = standin::Reply::json(R"({"data":{"bot_url":"https://t.me/MelodriftBot?start=dl_2"}})");
    slow.delayMs = 200;
    server.script("POST", QStringLiteral("/api/telegram/download-token"), slow, 1);
    auto footer = makeFooter();
    footer->requestTelegramLink();
    // A second tap while it runs sends nothing more.
    footer->requestTelegramLink();
    footer.reset();
    ASSERT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened.first(), QUrl(QStringLiteral("https://t.me/MelodriftBot?start=dl_2")));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/telegram/download-token")), 1);
}
