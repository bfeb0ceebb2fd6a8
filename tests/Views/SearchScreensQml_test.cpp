#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "support/AccountRoutes.h"
#include "support/DemoCatalogue.h"
#include "support/StandInServer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

// The SoundCloud search page and the library tab's two cards in a live window with the shared
// stores against the stand-in: what the keyboard does in their fields and buttons.

using quickhost::waitFor;

namespace {

class SearchScreensQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        standin::installAccountRoutes(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        RadioPlayer::shared()->setFullPlayerPresented(false);
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        RadioPlayer::shared()->setFullPlayerPresented(false);
        APIClient::shared().setBaseURL(previousBase);
    }

    QQuickItem *find(const QString &name)
    {
        QQuickItem *found = nullptr;
        waitFor([&] {
            found = itemNamed(hosted.window()->contentItem(), name);
            return found && found->isVisible() && found->width() > 0;
        });
        return found;
    }
    void focus(const QString &field)
    {
        QQuickItem *row = find(field);
        ASSERT_TRUE(row);
        row->property("input").value<QQuickItem *>()->forceActiveFocus();
    }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(hosted.window(), c.toLatin1());
    }
    void key(Qt::Key k) { QTest::keyClick(hosted.window(), k); }

    standin::StandInServer server;
    QUrl previousBase;
};

} // namespace

TEST_F(SearchScreensQml, SearchPageSearchesOnReturnAndPlaysARowFromTheKeyboard)
{
    loadQml("NavigationStack { width: 430; height: 800\n"
            "  initialItem: Component { SoundCloudSearchView {} } }");
    ASSERT_TRUE(find(QStringLiteral("emptyHint")));
    focus(QStringLiteral("queryField"));
    type(QStringLiteral("a"));
    key(Qt::Key_Return);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/soundcloud/search")));
    QQuickItem *row = find(QStringLiteral("resultRow0"));
    ASSERT_TRUE(row);
    EXPECT_FALSE(itemNamed(hosted.window()->contentItem(), QStringLiteral("emptyHint"))->isVisible());
    // The answer leaves the field its focus, for the next search.
    QQuickItem *input = find(QStringLiteral("queryField"))->property("input").value<QQuickItem *>();
    quickhost::settle(300);
    EXPECT_TRUE(input->hasActiveFocus()) << qPrintable(hosted.window()->activeFocusItem()
                                                        ? hosted.window()->activeFocusItem()->objectName() : QString());

    row->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    EXPECT_TRUE(RadioPlayer::shared()->isFullPlayerPresented());
}

TEST_F(SearchScreensQml, CardsReturnSearchesInOneAndDoesNothingInTheOther)
{
    loadQml("LibraryColumn { width: 430; height: 900; library: LibraryViewModel {} }");

    // Enter in the link field does nothing; the paste button pastes the clipboard's text.
    focus(QStringLiteral("linkField"));
    type(QStringLiteral("x"));
    key(Qt::Key_Return);
    QGuiApplication::clipboard()->setText(QStringLiteral(" https://open.spotify.com/playlist/37i9dQZF1DX4\n"));
    QQuickItem *paste = find(QStringLiteral("pasteButton"));
    ASSERT_TRUE(paste);
    paste->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/spotify/resolve")), 0);
    QQuickItem *resolve = find(QStringLiteral("resolveButton"));
    ASSERT_TRUE(resolve);
    ASSERT_TRUE(waitFor([&] { return resolve->isEnabled(); }));
    resolve->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    ASSERT_TRUE(find(QStringLiteral("preview")));
    EXPECT_EQ(server.requestsTo(QStringLiteral("/api/spotify/resolve")).last().queryItems().queryItemValue(
                  QStringLiteral("url"), QUrl::FullyDecoded),
              QStringLiteral("https://open.spotify.com/playlist/37i9dQZF1DX4"));
    // Signed out: play only.
    EXPECT_FALSE(itemNamed(hosted.window()->contentItem(), QStringLiteral("saveButton"))->isVisible());

    focus(QStringLiteral("queryField"));
    type(QStringLiteral("a"));
    key(Qt::Key_Return);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/soundcloud/search")));
    EXPECT_TRUE(find(QStringLiteral("resultRow0")));
}
