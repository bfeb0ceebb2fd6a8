#include "support/StandInServer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <gtest/gtest.h>

using namespace standin;

namespace {

struct Fetched {
    int status = 0;
    QByteArray body;
    QByteArray contentRange;
};

Fetched fetch(const QUrl &url, const QByteArray &range = {})
{
    QNetworkAccessManager nam;
    QNetworkRequest request(url);
    if (!range.isEmpty())
        request.setRawHeader("Range", range);
    QNetworkReply *reply = nam.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Fetched f{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
              reply->rawHeader("Content-Range")};
    reply->deleteLater();
    return f;
}

} // namespace

TEST(StandInServer, RoutesScriptsAndRecordsRequests)
{
    StandInServer server;
    ASSERT_NE(server.listen(), 0);
    server.route("GET", "/api/items/([^/]+)", [](const RecordedRequest &r) {
        return Reply::json("{\"id\":\"" + r.captures.value(0).toUtf8() + "\"}");
    });

    Fetched routed = fetch(server.baseUrl().resolved(QUrl("/api/items/a%20b?x=1")));
    EXPECT_EQ(routed.status, 200);
    EXPECT_EQ(routed.body, "{\"id\":\"a b\"}");

    server.script("GET", "/api/items/one", Reply::json("{}", 503), 1);
    EXPECT_EQ(fetch(server.baseUrl().resolved(QUrl("/api/items/one"))).status, 503);
    EXPECT_EQ(fetch(server.baseUrl().resolved(QUrl("/api/items/one"))).status, 200);
    EXPECT_EQ(fetch(server.baseUrl().resolved(QUrl("/nothing"))).status, 404);

    ASSERT_EQ(server.requests().size(), 4);
    const RecordedRequest first = server.requests().first();
    EXPECT_EQ(first.method, "GET");
    EXPECT_EQ(first.path, "/api/items/a b");
    EXPECT_EQ(first.query, "x=1");
    EXPECT_EQ(server.countRequests("/api/items/one"), 2);
}

TEST(StandInServer, HonoursByteRanges)
{
    StandInServer server;
    ASSERT_NE(server.listen(), 0);
    server.route("GET", "/blob", [](const RecordedRequest &) {
        Reply r = Reply::text("0123456789", 200, "application/octet-stream");
        r.acceptRanges = true;
        return r;
    });
    const QUrl url = server.baseUrl().resolved(QUrl("/blob"));
    Fetched part = fetch(url, "bytes=2-5");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, "2345");
    EXPECT_EQ(part.contentRange, "bytes 2-5/10");
    Fetched tail = fetch(url, "bytes=7-");
    EXPECT_EQ(tail.body, "789");
    EXPECT_EQ(fetch(url, "bytes=20-").status, 416);
}
