#include "ArtworkPicture.h"
#include "Services/APIClient.h"
#include "support/DemoCatalogue.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QQuickItem>
#include <QQuickWindow>
#include "support/QmlWindowFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

// The artwork queue and cache against the stand-in backend whose pictures come late: requests
// follow the pictures in view, and the cache is bounded by the bytes it holds.

using namespace quickhost;

namespace {

constexpr int Rows = 40;
constexpr int RowHeight = 44;
constexpr int ViewHeight = 200;

class ArtworkQueue : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        catalogue = standin::installDemoCatalogue(server);
        catalogue->artworkDelayMs = 150;
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        ArtworkCache::shared().clear();
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 20000);
        QmlWindowFixture::TearDown();
        ArtworkCache::shared().setCapacityBytes(ArtworkCache::DefaultCapacityBytes);
        ArtworkCache::shared().clear();
        APIClient::shared().setBaseURL(previousBase);
    }

    // A clipped view 200 high over a column of 40 pictures, scrolled to its end: the last rows
    // are in view, and they are built last.
    void loadColumn()
    {
        loadQml(QByteArray(R"(
Item {
    width: 200; height: 400
    property alias rows: repeater.model
    Item {
        width: 200; height: )") + QByteArray::number(ViewHeight) + R"(
        clip: true
        Item {
            y: )" + QByteArray::number(ViewHeight - Rows * RowHeight) + R"(
            Repeater {
                id: repeater
                model: )" + QByteArray::number(Rows) + R"(
                ArtworkImage {
                    required property int index
                    objectName: "row" + index
                    y: index * height
                    width: 44; height: )" + QByteArray::number(RowHeight) + R"(
                    urlString: "/artwork/q" + index + ".jpg"
                }
            }
        }
    }
}
)");
    }
    QString path(int row) const { return QStringLiteral("/artwork/q%1.jpg").arg(row); }
    int asked(int row) const { return server.countRequests(path(row)); }
    // The rows whose artwork the server was asked for, in the order it was.
    QList<int> askedOrder() const
    {
        QList<int> rows;
        for (const standin::RecordedRequest &r : server.requests())
            if (r.path.startsWith(QLatin1String("/artwork/q")))
                rows << r.path.mid(10).chopped(4).toInt();
        return rows;
    }
    bool loaded(int row) const
    {
        QQuickItem *item = itemNamed(hosted.window()->contentItem(), QStringLiteral("row%1").arg(row));
        return item && item->property("loaded").toBool();
    }

    standin::StandInServer server;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    QUrl previousBase;
};

TEST_F(ArtworkQueue, RowsInViewGoFirstAndRowsGoneAreNeverAsked)
{
    loadColumn();
    const int firstInView = Rows - ViewHeight / RowHeight - 1; // 35: partly shown
    ASSERT_TRUE(waitFor([&] {
        for (int row = firstInView; row < Rows; ++row)
            if (!loaded(row))
                return false;
        return true;
    }, 20000));
    // The rows in view were in the first batch the queue sent, ahead of the thirty-five built
    // before them.
    const QList<int> first = askedOrder().mid(0, ArtworkCache::FetchSlots);
    for (int row = firstInView; row < Rows; ++row)
        EXPECT_TRUE(first.contains(row)) << "row " << row;

    // The rows go away while most of their requests still wait: those are dropped at once, and
    // the server never hears of the oldest rows, which were neither in view nor recent.
    ASSERT_GT(ArtworkCache::shared().waitingCount(), 0);
    hosted.screen()->setProperty("rows", 0);
    EXPECT_EQ(ArtworkCache::shared().waitingCount(), 0);
    ASSERT_TRUE(waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 20000));
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(asked(row), 0) << "row " << row;
    const int askedBefore = int(askedOrder().size());
    EXPECT_LT(askedBefore, Rows);

    // Built again, a row asks only for what the cache does not hold.
    hosted.screen()->setProperty("rows", Rows);
    ASSERT_TRUE(waitFor([&] { return loaded(Rows - 1); }, 20000));
    EXPECT_TRUE(loaded(firstInView));
    EXPECT_EQ(asked(Rows - 1), 1);
    EXPECT_EQ(asked(firstInView), 1);
}

TEST_F(ArtworkQueue, CacheEvictsByBytesLeastRecentlyUsedFirst)
{
    const auto url = [&](const char *name) { return server.baseUrl().resolved(QUrl(QStringLiteral("/artwork/%1.jpg").arg(QLatin1String(name)))); };
    const auto fetch = [&](const char *name) {
        ArtworkCache::shared().request(url(name), 96);
        return waitFor([&] { return ArtworkCache::shared().pendingCount() == 0; }, 20000);
    };
    ASSERT_TRUE(fetch("a"));
    const std::optional<QImage> a = ArtworkCache::shared().cached(url("a"), 96);
    ASSERT_TRUE(a.has_value());
    const qint64 picture = a->sizeInBytes();
    ArtworkCache::shared().setCapacityBytes(3 * picture);
    ASSERT_TRUE(fetch("b"));
    ASSERT_TRUE(fetch("c"));
    EXPECT_EQ(ArtworkCache::shared().bytes(), 3 * picture);
    // "a" is used again, so "b" is the least recently used when "d" needs room.
    ASSERT_TRUE(ArtworkCache::shared().cached(url("a"), 96).has_value());
    ASSERT_TRUE(fetch("d"));

    struct Expectation {
        const char *name;
        bool held;
    } const expected[] = {{"a", true}, {"b", false}, {"c", true}, {"d", true}};
    for (const Expectation &e : expected)
        EXPECT_EQ(ArtworkCache::shared().cached(url(e.name), 96).has_value(), e.held) << e.name;
    EXPECT_EQ(ArtworkCache::shared().size(), 3);
    EXPECT_LE(ArtworkCache::shared().bytes(), ArtworkCache::shared().capacityBytes());

    // Asked for again, only the dropped picture is fetched again.
    for (const char *name : {"a", "b", "c", "d"})
        ASSERT_TRUE(fetch(name));
    for (const char *name : {"a", "b", "c", "d"})
        EXPECT_EQ(server.countRequests(QStringLiteral("/artwork/%1.jpg").arg(QLatin1String(name))),
                  std::string(name) == "b" ? 2 : 1) << name;

    // A smaller capacity drops the least recently used at once: "b" came last.
    ArtworkCache::shared().setCapacityBytes(picture);
    EXPECT_EQ(ArtworkCache::shared().size(), 1);
    EXPECT_TRUE(ArtworkCache::shared().cached(url("b"), 96).has_value());
}

} // namespace
