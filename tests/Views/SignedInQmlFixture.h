#pragma once

#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QByteArray>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QUrl>

// A live window against the stand-in backend, signed in to its demo account with the shared
// stores; the backend's routes come from installRoutes(). The client, the sign-in and the full
// player are as found afterwards.
class SignedInQmlFixture : public QmlWindowFixture
{
protected:
    virtual void installRoutes() = 0;

    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        installRoutes();
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        ASSERT_TRUE(testing_support::runTask(
                        AuthStore::shared().login(QStringLiteral("demo"), QStringLiteral("demo1234")))
                        .ok());
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        RadioPlayer::shared()->setFullPlayerPresented(false);
        AuthStore::shared().logout();
        APIClient::shared().setBaseURL(previousBase);
    }

    QQuickItem *root() const { return hosted.window()->contentItem(); }
    QQuickItem *focused() const { return hosted.window()->activeFocusItem(); }
    void key(int k) { QTest::keyClick(hosted.window(), Qt::Key(k)); }
    static bool within(QQuickItem *item, QQuickItem *ancestor)
    {
        for (QQuickItem *it = item; it; it = it->parentItem())
            if (it == ancestor)
                return true;
        return false;
    }
    // The list's row (its delegate) that holds `item`.
    static QQuickItem *rowOf(QQuickItem *item, QQuickItem *list)
    {
        QQuickItem *content = list ? list->property("contentItem").value<QQuickItem *>() : nullptr;
        for (QQuickItem *it = item; it; it = it->parentItem())
            if (it->parentItem() == content)
                return it;
        return nullptr;
    }

    // Starts the offline download of a track the stand-in serves as `audio` under /audio/<name>.mp3.
    PlaylistTrack downloadFromServer(const QString &name, const QByteArray &audio)
    {
        PlaylistTrack t;
        t.trackType = QStringLiteral("songsara");
        t.trackID = name;
        t.title = QStringLiteral("آهنگ ") + name;
        t.artist = QStringLiteral("خواننده");
        t.streamURL = server.baseUrl().toString() + QStringLiteral("/audio/") + name + QStringLiteral(".mp3");
        server.script("GET", QStringLiteral("/audio/%1.mp3").arg(name), standin::Reply::text(audio, 200, "audio/mpeg"));
        OfflineStore::shared()->download(t);
        return t;
    }

    standin::StandInServer server;
    QUrl previousBase;
};

// A navigation stack with a root page below, as the tabs have, whose open() runs `push`; it knows
// the add-to-playlist sheet (addSheet) and the SoundCloud page searching "bulk" (searchPage).
inline QByteArray stackWith(const QByteArray &push)
{
    return R"(
NavigationStack {
    id: stack
    initialItem: NavigationPage { navigationTitle: "root" }
    function open() { )" + push + R"( }
    Component { id: addSheet; AddToPlaylistSheet { station: ({ genre: "jazz", title: "Miles Quartet - Blue Evening",
        server_name: "جاز شبانه", stream_url: "/live/jazz", artwork_url: "/artwork/jazz.jpg" }) } }
    Component { id: searchPage; SoundCloudSearchView { Component.onCompleted: { model.query = "bulk"; model.search() } } }
}
)";
}
