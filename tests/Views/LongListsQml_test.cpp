#include "ArtworkPicture.h"
#include "Models/Station.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/RadioPlayer.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/BulkLibrary.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"
#include "SignedInQmlFixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

// The screens that list what the backend sends, in a live window against a stand-in serving a few
// thousand items per list: only the rows in view (and about a screen around them) are built and
// fetch artwork, the keyboard reaches the last row, whose assistive Press does what a click does;
// the mini player bar never covers the focused control; deleting a track moves focus to a row.

using namespace quickhost;

namespace {

constexpr int Items = 3000;
// Rows built, and artwork fetched, at most: the window (860 high) shows about a dozen rows of the
// shortest kind, and one screen's worth is kept on each side.
constexpr int MaxBuilt = 60;

class LongListsQml : public SignedInQmlFixture
{
protected:
    void installRoutes() override
    {
        catalogue = standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        standin::AccountState &state = standin::installAccountRoutes(server);
        state.printCodes = false;
        bulk = standin::installBulkLibrary(server, state, catalogue, Items);
        ArtworkCache::shared().clear();
    }


    // The first visible item of that name (delegates and pushed pages included).
    static QQuickItem *visibleNamed(QQuickItem *from, const QString &name) { return quickhost::visibleNamed(from, name); }
    static int countNamed(QQuickItem *from, const QString &prefix) { return quickhost::countNamedWithPrefix(from, prefix); }
    // From the library tab's first row: End to the cards that close the list, then Tab on to the
    // SoundCloud card's field. The field reached, or null.
    QQuickItem *tabToSoundCloudField(QQuickItem *list)
    {
        QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
        key(Qt::Key_End);
        QQuickItem *field = nullptr;
        for (int i = 0; i < 8 && !(field && within(focused(), field)); ++i) {
            key(Qt::Key_Tab);
            QQuickItem *card = visibleNamed(root(), QStringLiteral("soundCloudCard"));
            field = card ? visibleNamed(card, QStringLiteral("queryField")) : nullptr;
        }
        return field && within(focused(), field) ? field : nullptr;
    }
    int artworkRequests() const
    {
        int count = 0;
        for (const auto &request : server.requests())
            count += QString::fromLatin1(request.rawPath).startsWith(standin::BulkLibrary::artworkPrefix) ? 1 : 0;
        return count;
    }
    qreal sceneBottom(QQuickItem *item) const { return item->mapToScene(QPointF(0, item->height())).y(); }

    std::shared_ptr<standin::DemoCatalogue> catalogue;
    standin::BulkLibrary bulk;
};


} // namespace

// Each screen with a few thousand rows: bounded rows and artwork on opening and after End, the
// last row reached by keyboard and pressed through its assistive action; Home comes back.
TEST_F(LongListsQml, LongListsBuildOnlyTheRowsInViewAndReachTheLastOne)
{
    struct Screen {
        const char *name;
        QByteArray qml;
        QString list;      // the list's object name
        QString rowPrefix; // object names of its rows (a card of the grid)
        int rows;          // rows (cards) the list holds
        int rowsBelow = 0; // rows of other kinds after them (the library's cards)
    };
    const int playlists = Items + 3; // the demo account's two, the bulk ones and the long one
    const QString bigID = QString::number(bulk.bigPlaylistID);
    const Screen screens[] = {
        {"library tab, playlists", "LibraryView {}", QStringLiteral("libraryScroll"),
         QStringLiteral("playlistCard"), playlists, 1},
        {"a playlist's page",
         stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/PlaylistDetailView.qml\"), { summary: { id: "
                   + bigID.toLatin1() + ", title: \"Bulk playlist\" } })"),
         QStringLiteral("listView"), QStringLiteral("trackRow"), Items},
        {"a station's track list",
         stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/StationDetailView.qml\"), { station: { genre: "
                   "\"songsara-bulk\", server_name: \"Bulk\", source: \"songsara\" } })"),
         QStringLiteral("listView"), QStringLiteral("trackRow"), Items},
        {"SoundCloud results", stackWith("push(searchPage)"), QStringLiteral("resultsList"),
         QStringLiteral("resultRow"), Items},
        {"add-to-playlist sheet", stackWith("push(addSheet)"), QStringLiteral("playlistList"),
         QStringLiteral("playlistRow"), playlists},
    };
    for (const Screen &screen : screens) {
        SCOPED_TRACE(screen.name);
        server.clearRequests();
        QObject *loaded = loadQml(screen.qml);
        ASSERT_TRUE(loaded);
        if (loaded->metaObject()->indexOfMethod("open()") >= 0)
            QMetaObject::invokeMethod(loaded, "open");
        QQuickItem *list = nullptr;
        const QString last = screen.rowPrefix + QString::number(screen.rows - 1);
        const QString first = screen.rowPrefix + QStringLiteral("0");
        ASSERT_TRUE(waitFor([&] { return (list = visibleNamed(root(), screen.list)) && visibleNamed(list, first); }, 15000));
        settle(600); // the push and the artwork in view

        // Opening builds a few screens' worth of rows, and fetches only their artwork.
        EXPECT_GT(countNamed(list, screen.rowPrefix), 3);
        EXPECT_LE(countNamed(list, screen.rowPrefix), MaxBuilt);
        EXPECT_LE(artworkRequests(), MaxBuilt);

        // Tab coming to the list from above lands on its first control, never on the list or a
        // row itself, where nothing would show it.
        list->forceActiveFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([&] { return focused() != list && focused() && focused()->activeFocusOnTab(); }))
            << qPrintable(focused() ? focused()->objectName() : QString());
        EXPECT_TRUE(within(focused(), list));

        // From the first row, Down moves a row; End reaches the last one, still lazily.
        QQuickItem *firstRow = visibleNamed(list, first);
        QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
        ASSERT_TRUE(focused() && within(focused(), firstRow));
        key(Qt::Key_Down);
        EXPECT_TRUE(within(focused(), list) && !within(focused(), rowOf(firstRow, list)));
        key(Qt::Key_End);
        for (int i = 0; i < screen.rowsBelow; ++i)
            key(Qt::Key_Up);
        // (Delegates hold a row, or a row of the grid's cards.)
        QQuickItem *lastRow = nullptr;
        ASSERT_TRUE(waitFor([&] { return (lastRow = visibleNamed(list, last)) && within(focused(), rowOf(lastRow, list)); }));
        settle(300);
        EXPECT_LE(countNamed(list, screen.rowPrefix), MaxBuilt);
        EXPECT_LE(artworkRequests(), 2 * MaxBuilt);
        EXPECT_LE(sceneBottom(focused()), hosted.window()->height());

        // Backtab walks back out of the last row into the one before it, whatever order the
        // rows were built in; Tab returns.
        QQuickItem *lastSlot = rowOf(lastRow, list);
        QQuickItem *lastFocused = focused();
        for (int i = 0; i < 8 && within(focused(), lastSlot); ++i)
            key(Qt::Key_Backtab);
        const QString before = focused() ? focused()->objectName() : QString();
        QQuickItem *slot = rowOf(focused(), list);
        const int beforeIndex = slot ? slot->property("index").toInt() : -1;
        EXPECT_TRUE(slot && slot != lastSlot) << "Backtab left the list at " << qPrintable(before);
        EXPECT_EQ(beforeIndex, lastSlot->property("index").toInt() - 1);
        for (int i = 0; i < 8 && !within(focused(), lastSlot); ++i)
            key(Qt::Key_Tab);
        EXPECT_EQ(focused(), lastFocused);

        // The focused control of the last row is exposed with a Press that does what a click does.
        QQuickItem *control = focused();
        QSignalSpy clicks(control, SIGNAL(clicked()));
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        EXPECT_TRUE(accessible->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicks.count(), 1);
        RadioPlayer::shared()->setFullPlayerPresented(false);
        settle(400);

        // Home goes back to the first row (when the press left the focus on a row: a playlist
        // chosen in the sheet disables the rows while the track is added).
        list = visibleNamed(root(), screen.list);
        QQuickItem *focusedRow = list ? rowOf(focused(), list) : nullptr;
        if (focusedRow && focusedRow != list->property("headerItem").value<QQuickItem *>()
            && focused()->isEnabled() && focused()->activeFocusOnTab()) {
            key(Qt::Key_Home);
            EXPECT_TRUE(waitFor([&] {
                QQuickItem *top = visibleNamed(list, first);
                return top && within(focused(), rowOf(top, list));
            }));
        }
        hosted = HostedScreen();
        settle(50);
    }
}

// With a station current the library's mini player bar covers the bottom of the tab: what the
// listener focuses or must click stays above it.
TEST_F(LongListsQml, TheMiniPlayerBarNeverCoversTheFocusedControl)
{
    RadioPlayer::shared()->select(Station::fromJson(catalogue->station(QStringLiteral("jazz"))));
    ASSERT_TRUE(waitFor([] { return RadioPlayer::shared()->currentStation().has_value(); }));
    struct Case {
        const char *name;
        std::function<QQuickItem *(QObject *library)> reach; // focuses or shows the control
    };
    const Case cases[] = {
        {"the sign-out button of the account page", [&](QObject *) {
             QQuickItem *link = visibleNamed(root(), QStringLiteral("accountLink"));
             QMetaObject::invokeMethod(link, "activate");
             EXPECT_TRUE(waitFor([&] { return visibleNamed(root(), QStringLiteral("signOutButton")) != nullptr; }));
             settle(500);
             return visibleNamed(root(), QStringLiteral("signOutButton"));
         }},
        {"the SoundCloud card's field, reached from the keyboard", [&](QObject *) {
             EXPECT_TRUE(tabToSoundCloudField(visibleNamed(root(), QStringLiteral("libraryScroll"))));
             settle(300);
             return focused();
         }},
        {"the last track of a long playlist", [&](QObject *library) {
             QMetaObject::invokeMethod(library, "openPlaylist", Q_ARG(QVariant, bulk.bigPlaylistID));
             QQuickItem *row = nullptr;
             EXPECT_TRUE(waitFor([&] { return (row = visibleNamed(root(), QStringLiteral("trackRow0"))) != nullptr; }, 15000));
             QQuickItem *list = visibleNamed(root(), QStringLiteral("listView"));
             QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
             key(Qt::Key_End);
             settle(300);
             return focused();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QObject *library = loadQml(R"(
LibraryView {
    function openPlaylist(id) {
        navigationStack.push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"), { summary: { id: id } })
    }
})");
        ASSERT_TRUE(waitFor([&] { return visibleNamed(root(), QStringLiteral("playlistCard0")) != nullptr; }, 15000));
        QQuickItem *bar = visibleNamed(root(), QStringLiteral("libraryMiniPlayerSlot"));
        ASSERT_TRUE(waitFor([&] { return bar && bar->opacity() == 1.0; }));
        QQuickItem *control = c.reach(library);
        ASSERT_TRUE(control);
        const qreal barTop = bar->mapToScene(QPointF(0, 0)).y();
        EXPECT_LE(sceneBottom(control), barTop);
        hosted = HostedScreen();
        settle(50);
    }
}

// Deleting the focused track of a playlist moves focus to the row that took its place, else the
// one before it, else the page's title.
TEST_F(LongListsQml, DeletingATrackMovesFocusToTheNextRow)
{
    QObject *stack = loadQml(stackWith(
        "push(Qt.resolvedUrl(\"qrc:/Melodrift/PlaylistDetailView.qml\"), { summary: { id: 1, title: \"x\" } })"));
    QMetaObject::invokeMethod(stack, "open");
    ASSERT_TRUE(waitFor([&] { return visibleNamed(root(), QStringLiteral("trackRow2")) != nullptr; }));
    settle(400);
    struct Step {
        int deleted;         // the row deleted
        const char *focusOn; // the item that then has focus: a row, or the heading
    };
    const Step steps[] = {{1, "trackRow1"}, {1, "trackRow0"}, {0, "navigationTitle"}};
    for (const Step &step : steps) {
        SCOPED_TRACE(step.focusOn);
        QQuickItem *row = visibleNamed(root(), QStringLiteral("trackRow") + QString::number(step.deleted));
        ASSERT_TRUE(row);
        visibleNamed(row, QStringLiteral("playButton"))->forceActiveFocus(Qt::TabFocusReason);
        const int before = server.countRequests(QStringLiteral("/api/playlists/1"));
        key(Qt::Key_Delete);
        QQuickItem *confirm = nullptr;
        ASSERT_TRUE(waitFor([&] { return (confirm = visibleNamed(root(), QStringLiteral("destructiveButton"))) != nullptr; }));
        settle(300);
        QMetaObject::invokeMethod(confirm, "activate");
        ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/playlists/1")) > before; }));
        EXPECT_TRUE(waitFor([&] {
            QQuickItem *target = visibleNamed(root(), QString::fromLatin1(step.focusOn));
            return target && focused() && within(focused(), target);
        }));
        settle(300);
    }
}

// The library card's SoundCloud results are rows of the tab's own list: a long answer builds only
// the rows in view, the keyboard walks on from the card into them and back, and a new answer
// leaves the field its focus.
TEST_F(LongListsQml, TheLibraryCardsResultsAreBuiltAsTheyComeIntoView)
{
    loadQml("LibraryView {}");
    QQuickItem *list = nullptr;
    ASSERT_TRUE(waitFor([&] { return (list = visibleNamed(root(), QStringLiteral("libraryScroll"))) && visibleNamed(list, QStringLiteral("playlistCard0")); }, 15000));
    QQuickItem *field = tabToSoundCloudField(list);
    ASSERT_TRUE(field);
    QQuickItem *input = focused();
    server.clearRequests();
    for (const char c : QByteArray("bulk"))
        QTest::keyClick(hosted.window(), c);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return visibleNamed(list, QStringLiteral("resultRow0")) != nullptr; }, 15000));
    settle(600);
    EXPECT_EQ(focused(), input) << "the answer leaves the field its focus";
    EXPECT_LE(countNamed(list, QStringLiteral("resultRow")), MaxBuilt);
    EXPECT_LE(artworkRequests(), MaxBuilt);

    // Tab goes on from the card into its first result; End reaches the last, Backtab the one before.
    for (int i = 0; i < 4 && !within(focused(), visibleNamed(list, QStringLiteral("resultRow0"))); ++i)
        key(Qt::Key_Tab);
    EXPECT_TRUE(within(focused(), visibleNamed(list, QStringLiteral("resultRow0"))));
    key(Qt::Key_End);
    const QString last = QStringLiteral("resultRow") + QString::number(Items - 1);
    ASSERT_TRUE(waitFor([&] { return visibleNamed(list, last) && within(focused(), visibleNamed(list, last)); }));
    key(Qt::Key_Backtab);
    EXPECT_TRUE(within(focused(), visibleNamed(list, QStringLiteral("resultRow") + QString::number(Items - 2))));
    settle(300);
    EXPECT_LE(countNamed(list, QStringLiteral("resultRow")), MaxBuilt);
    EXPECT_LE(artworkRequests(), 2 * MaxBuilt);

    // A field focused with the mouse keeps its focus (and its row) while the results scroll by.
    QMetaObject::invokeMethod(list, "positionViewAtIndex",
                              Q_ARG(int, list->property("count").toInt() - Items - 1), Q_ARG(int, 1 /* Beginning */));
    settle(300);
    QQuickItem *cards = visibleNamed(root(), QStringLiteral("soundCloudCard"));
    ASSERT_TRUE(cards);
    field = visibleNamed(cards, QStringLiteral("queryField"));
    QTest::mouseClick(hosted.window(), Qt::LeftButton, Qt::NoModifier,
                      field->mapToScene(QPointF(field->width() / 2, field->height() / 2)).toPoint());
    ASSERT_TRUE(waitFor([&] { return within(focused(), field); }));
    input = focused();
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    settle(300);
    EXPECT_EQ(focused(), input);
    EXPECT_TRUE(input && input->hasActiveFocus());
}
