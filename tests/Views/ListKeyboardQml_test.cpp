#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/StationStore.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/BulkLibrary.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"
#include "SignedInQmlFixture.h"
#include "LibraryViewModel.h"
#include "StationDetailViewModel.h"
#include "Kit/FocusLanding.h"

#include <QQuickWindow>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

// The keyboard through every long list, in a live window against a stand-in serving a few
// thousand items per list (66 stations on the home grid, a hundred downloads offline): Tab visits
// every control of every row in order and Backtab retraces it exactly, whatever is built; a list
// is entered at its first control from above and at its last from below; Page Down moves a screen
// and Page Up undoes it; the focus stays with its item through a rename, a removal above it, a
// reload and a reload in another order.

using namespace quickhost;

namespace {

constexpr int Items = 3000;

class ListKeyboardQml : public SignedInQmlFixture
{
protected:
    void installRoutes() override
    {
        catalogue = standin::installDemoCatalogue(server);
        catalogue->addExtraStations(60);
        standin::installAudioRoutes(server);
        state = &standin::installAccountRoutes(server);
        state->printCodes = false;
        bulk = standin::installBulkLibrary(server, *state, catalogue, Items);
    }

    static QString describe(QQuickItem *item)
    {
        QStringList path;
        for (QQuickItem *it = item; it && path.size() < 4; it = it->parentItem())
            if (!it->objectName().isEmpty())
                path << it->objectName();
        return path.join(QLatin1Char('<'));
    }
    // Which control `item` is, the same for a row built again: its row's index, its names and place.
    static QString signature(QQuickItem *item, QQuickItem *list)
    {
        QQuickItem *row = rowOf(item, list);
        const QPointF at = item && row ? item->mapToItem(row, QPointF(0, 0)) : QPointF();
        return QStringLiteral("%1 %2 @%3,%4").arg(row ? row->property("index").toInt() : -1).arg(describe(item))
            .arg(at.x()).arg(at.y());
    }
    // The controls Tab stops at below `item`.
    static QList<QQuickItem *> controlsIn(QQuickItem *item)
    {
        QList<QQuickItem *> found;
        for (QQuickItem *child : item->childItems()) {
            if (!child->isVisible())
                continue;
            if (child->activeFocusOnTab() && child->isEnabled())
                found << child;
            found << controlsIn(child);
        }
        return found;
    }
    // The first item outside `list` that Tab (forward) or Backtab reaches from it in the window's chain.
    static QQuickItem *outside(QQuickItem *list, bool forward)
    {
        QQuickItem *it = list;
        for (int guard = 0; guard < 2000; ++guard) {
            it = it->nextItemInFocusChain(forward);
            if (!it || it == list)
                return nullptr;
            if (!within(it, list))
                return it;
        }
        return nullptr;
    }

    std::shared_ptr<standin::DemoCatalogue> catalogue;
    standin::AccountState *state = nullptr;
    standin::BulkLibrary bulk;
};


} // namespace

TEST_F(ListKeyboardQml, TabAndBacktabRetraceEachOtherThroughEveryLongList)
{
    struct Screen {
        const char *name;
        QByteArray qml;
        QString list;     // the list's object name
        QString firstRow; // an item of the first row
        int rows;         // the list's rows
        std::function<void()> prepare = {};
        int width = 430;
        bool shortLastRow = false; // a grid whose last row holds fewer cards
    };
    constexpr int Downloads = 100;
    // The offline list: a hundred downloads of small files from the stand-in.
    const auto downloadMany = [&] {
        OfflineStore *offline = OfflineStore::shared();
        offline->removeAll();
        const QByteArray audio = QByteArray("ID3\x04\0\0\0\0\0\0", 10) + QByteArray(1000, 'a');
        for (int i = 0; i < Downloads; ++i) {
            downloadFromServer(QStringLiteral("offline-%1").arg(i), audio);
        }
        ASSERT_TRUE(waitFor([&] { return offline->entries().size() == Downloads && offline->pendingMeta().isEmpty(); }, 60000))
            << offline->entries().size();
    };
    const QString bigID = QString::number(bulk.bigPlaylistID);
    const Screen screens[] = {
        {"home grid, 66 stations", "HomeView {}", QStringLiteral("homeScroll"), QStringLiteral("station_jazz"), 0},
        {"home grid in four columns, two cards in its last row", "HomeView {}", QStringLiteral("homeScroll"),
         QStringLiteral("station_jazz"), 0, {}, 700, true},
        {"library tab", "LibraryView {}", QStringLiteral("libraryScroll"), QStringLiteral("playlistCard0"), 0},
        {"a playlist's page",
         stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/PlaylistDetailView.qml\"), { summary: { id: "
                   + bigID.toLatin1() + ", title: \"Bulk playlist\" } })"),
         QStringLiteral("listView"), QStringLiteral("trackRow0"), Items},
        {"a station's track list",
         stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/StationDetailView.qml\"), { station: { genre: "
                   "\"songsara-bulk\", server_name: \"Bulk\", source: \"songsara\" } })"),
         QStringLiteral("listView"), QStringLiteral("trackRow0"), Items},
        {"SoundCloud results", stackWith("push(searchPage)"), QStringLiteral("resultsList"),
         QStringLiteral("resultRow0"), Items},
        {"add-to-playlist sheet", stackWith("push(addSheet)"), QStringLiteral("playlistList"),
         QStringLiteral("playlistRow0"), Items + 3},
        {"offline downloads", stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/OfflineLibraryView.qml\"))"),
         QStringLiteral("offlineList"), QStringLiteral("offlineRow0"), Downloads, downloadMany},
    };
    StationStore::shared()->setSelectedCategory(StationStore::Category::All);
    StationStore::shared()->requestLoad(true);
    ASSERT_TRUE(waitFor([] { return !StationStore::shared()->isLoading() && StationStore::shared()->stations().size() >= 66; }, 10000));
    constexpr int Steps = 30;
    for (const Screen &screen : screens) {
        SCOPED_TRACE(screen.name);
        if (screen.prepare)
            screen.prepare();
        QObject *loaded = loadQml(screen.qml);
        ASSERT_TRUE(loaded);
        if (screen.width != hosted.window()->width()) {
            // (Laid out anew at that width, in the polish before the next frame.)
            QSignalSpy drawn(hosted.window(), &QQuickWindow::frameSwapped);
            hosted.window()->resize(screen.width, 860);
            ASSERT_TRUE(drawn.wait(5000));
        }
        if (loaded->metaObject()->indexOfMethod("open()") >= 0)
            QMetaObject::invokeMethod(loaded, "open");
        QQuickItem *list = nullptr;
        ASSERT_TRUE(waitFor([&] {
            return (list = visibleNamed(root(), screen.list)) && visibleNamed(list, screen.firstRow)
                && (screen.rows == 0 || list->property("count").toInt() == screen.rows);
        }, 15000));
        QQuickItem *header = list->property("headerItem").value<QQuickItem *>();
        QQuickItem *footer = list->property("footerItem").value<QQuickItem *>();

        // From above: the header's first control (or the first row's); Backtab goes back.
        if (QQuickItem *above = outside(list, false)) {
            above->forceActiveFocus(Qt::TabFocusReason);
            key(Qt::Key_Tab);
            EXPECT_TRUE(within(focused(), list)) << qPrintable(describe(focused()));
            QQuickItem *row = rowOf(focused(), list);
            EXPECT_TRUE(row == header || (row && row->property("index").toInt() == 0)) << qPrintable(describe(focused()));
            key(Qt::Key_Backtab);
            EXPECT_EQ(focused(), above) << qPrintable(describe(focused()));
        }
        // From below: the footer's last control, else the last row's.
        if (QQuickItem *below = outside(list, true); below && !within(below, header)) {
            below->forceActiveFocus(Qt::TabFocusReason);
            key(Qt::Key_Backtab);
            QQuickItem *row = nullptr;
            EXPECT_TRUE(waitFor([&] { return within(focused(), list) && (row = rowOf(focused(), list)); }))
                << qPrintable(describe(focused()));
            const bool inFooter = row == footer;
            EXPECT_TRUE(inFooter || (row && row->property("index").toInt() == list->property("count").toInt() - 1))
                << qPrintable(describe(focused()));
            key(Qt::Key_Tab);
            EXPECT_EQ(focused(), below) << qPrintable(describe(focused()));
        }

        // Tab N from the first row visits every control of each row in turn, row after row; Backtab
        // N retraces the same controls in reverse. The same from the last row, Backtab first.
        for (const bool fromEnd : {false, true}) {
            SCOPED_TRACE(fromEnd ? "from the last row" : "from the first row");
            QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
            if (fromEnd)
                key(Qt::Key_End);
            const int firstRow = fromEnd ? list->property("count").toInt() - 1 : 0;
            ASSERT_TRUE(focused() && rowOf(focused(), list)
                        && rowOf(focused(), list)->property("index").toInt() == firstRow)
                << qPrintable(describe(focused()));
            QStringList there{signature(focused(), list)};
            QList<int> rows{firstRow};
            for (int i = 0; i < Steps; ++i) {
                key(fromEnd ? Qt::Key_Backtab : Qt::Key_Tab);
                QQuickItem *row = rowOf(focused(), list);
                ASSERT_TRUE(row && row != header && row != footer) << "left the rows at step " << i;
                there << signature(focused(), list);
                rows << row->property("index").toInt();
            }
            // In order: a row is left only for the next one (the previous one going back), never
            // for one further on, and no control is visited twice.
            for (int i = 1; i < rows.size(); ++i) {
                const int step = fromEnd ? rows.at(i - 1) - rows.at(i) : rows.at(i) - rows.at(i - 1);
                EXPECT_TRUE(step == 0 || step == 1) << "step " << i << ": row " << rows.at(i - 1) << " to " << rows.at(i);
            }
            EXPECT_EQ(QSet<QString>(there.cbegin(), there.cend()).size(), there.size()) << qPrintable(there.join(u'|'));
            EXPECT_NE(rows.first(), rows.last()) << "Tab stayed in one row";
            QStringList back{signature(focused(), list)};
            for (int i = 0; i < Steps; ++i) {
                key(fromEnd ? Qt::Key_Tab : Qt::Key_Backtab);
                back << signature(focused(), list);
            }
            std::reverse(back.begin(), back.end());
            EXPECT_EQ(back, there) << qPrintable(back.join(u'|')) << "\n" << qPrintable(there.join(u'|'));
        }

        // Page Down moves a screen of rows and keeps the control in view; as many Page Ups come
        // back to the row it started from.
        QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
        key(Qt::Key_PageDown);
        QQuickItem *row = rowOf(focused(), list);
        ASSERT_TRUE(row);
        EXPECT_GE(row->property("index").toInt(), 2);
        const qreal bottom = focused()->mapToScene(QPointF(0, focused()->height())).y();
        EXPECT_LE(bottom, list->mapToScene(QPointF(0, list->height())).y());
        key(Qt::Key_PageUp);
        EXPECT_EQ(rowOf(focused(), list)->property("index").toInt(), 0);
        if (screen.rows > 0) {
            // (A Page Down at the last row moves nothing, and leaves nothing to undo.)
            QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
            QList<int> visited{0};
            for (int i = 0; i < Steps; ++i) {
                key(Qt::Key_PageDown);
                const int at = rowOf(focused(), list)->property("index").toInt();
                if (at != visited.last())
                    visited << at;
            }
            EXPECT_GT(visited.size(), 2);
            for (qsizetype i = visited.size() - 2; i >= 0; --i) {
                key(Qt::Key_PageUp);
                EXPECT_EQ(rowOf(focused(), list)->property("index").toInt(), visited.at(i))
                    << "Page Up " << visited.size() - 1 - i;
            }
        }
        // A grid's last row holding fewer cards: Page Down (or Down) into it keeps the card's
        // column where the row has a card there, else lands on its nearest card; Page Up (Up)
        // brings it back to the card it started from.
        const std::pair<Qt::Key, Qt::Key> downAndUp[] = {{Qt::Key_PageDown, Qt::Key_PageUp}, {Qt::Key_Down, Qt::Key_Up}};
        for (const auto &[down, up] : downAndUp) {
            if (!screen.shortLastRow)
                break;
            const int columns = list->property("columns").toInt();
            const int last = list->property("count").toInt() - 1;
            for (const int place : {0, columns - 1}) {
                SCOPED_TRACE(testing::Message() << "key " << down << ", place " << place);
                QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, last - 1), Q_ARG(QVariant, place));
                QQuickItem *start = focused();
                ASSERT_TRUE(start && rowOf(start, list)->property("index").toInt() == last - 1);
                const qreal column = start->mapToScene(QPointF(start->width() / 2, 0)).x();
                key(down);
                QQuickItem *row = rowOf(focused(), list);
                ASSERT_TRUE(row && row->property("index").toInt() == last) << qPrintable(describe(focused()));
                const QList<QQuickItem *> cards = controlsIn(row);
                ASSERT_LT(cards.size(), columns) << "the last row is full";
                qreal nearest = 1e9;
                for (QQuickItem *card : cards)
                    nearest = std::min(nearest, std::abs(card->mapToScene(QPointF(card->width() / 2, 0)).x() - column));
                EXPECT_NEAR(std::abs(focused()->mapToScene(QPointF(focused()->width() / 2, 0)).x() - column), nearest, 0.5)
                    << qPrintable(describe(focused()));
                key(up);
                EXPECT_EQ(focused(), start) << qPrintable(describe(focused()));
            }
        }
        hosted = HostedScreen();
    }
    OfflineStore::shared()->removeAll();
}

// The library grid's focused card keeps the focus through a rename of its playlist, the removal of
// a playlist above it and a reload that changes nothing.
TEST_F(ListKeyboardQml, TheFocusedCardFollowsItsPlaylist)
{
    loadQml("LibraryView {}");
    QQuickItem *list = nullptr;
    ASSERT_TRUE(waitFor([&] { return (list = visibleNamed(root(), QStringLiteral("libraryScroll")))
                                     && visibleNamed(list, QStringLiteral("playlistCard5")); }, 15000));
    const QList<standin::Playlist> mine = state->playlistsOf(AuthStore::shared().user()->id.value_or(0));
    ASSERT_GT(mine.size(), 10);
    // Each focused card in turn: the first of a row and one inside a row.
    for (const int position : {4, 5}) {
        SCOPED_TRACE(position);
        QQuickItem *card = visibleNamed(list, QStringLiteral("playlistCard%1").arg(position));
        ASSERT_TRUE(card);
        card->forceActiveFocus(Qt::TabFocusReason);
        const QString key = card->property("itemKey").toString();
        const QList<standin::Playlist> now = state->playlistsOf(AuthStore::shared().user()->id.value_or(0));
        struct Change { const char *what; std::function<void()> apply; };
        const Change changes[] = {
            {"rename", [&] { state->updatePlaylist(key.toLongLong(), QStringLiteral("نام تازه"), QString()); }},
            {"removal above", [&] { state->removePlaylist(now.at(0).id); }},
            {"reload", [] {}},
        };
        for (const Change &change : changes) {
            SCOPED_TRACE(change.what);
            change.apply();
            const int loads = server.countRequests(QStringLiteral("/api/playlists"));
            testing_support::runTask(AuthStore::shared().loadLibrary());
            ASSERT_GT(server.countRequests(QStringLiteral("/api/playlists")), loads);
            // The rows follow the store as it publishes; a repair, if one is needed, is queued.
            const auto holderKey = [&] {
                QQuickItem *holder = focused();
                for (; holder && holder->property("itemKey").toString().isEmpty(); holder = holder->parentItem()) {}
                return holder ? holder->property("itemKey").toString() : QString();
            };
            EXPECT_TRUE(waitFor([&] { return holderKey() == key && FocusLanding::keyboardFocused(focused()); }))
                << qPrintable(describe(focused()));
        }
    }
}

// A station's track list reloaded in another order: the focused track keeps the focus wherever it
// goes, whether the rows move (the first track sent to the end) or start over (all reversed).
TEST_F(ListKeyboardQml, TheFocusedTrackFollowsItThroughAReloadInAnotherOrder)
{
    loadQml(stackWith("push(Qt.resolvedUrl(\"qrc:/Melodrift/StationDetailView.qml\"), { station: { genre: "
                      "\"reorder\", server_name: \"Reorder\", source: \"radio\" } })"));
    QMetaObject::invokeMethod(hosted.screen(), "open");
    StationDetailViewModel *model = nullptr;
    ASSERT_TRUE(waitFor([&] { return (model = findBelow<StationDetailViewModel>(root())) != nullptr; }));
    constexpr int Tracks = 300;
    Station station = model->station();
    QList<PlaylistTrack> tracks;
    for (int i = 0; i < Tracks; ++i) {
        PlaylistTrack track;
        track.id = i + 1;
        track.title = QStringLiteral("آهنگ %1").arg(i + 1);
        tracks << track;
    }
    station.tracks = tracks;
    model->setStation(station);
    QQuickItem *list = nullptr;
    ASSERT_TRUE(waitFor([&] { return (list = visibleNamed(root(), QStringLiteral("listView")))
                                     && visibleNamed(list, QStringLiteral("trackRow0")); }));
    const auto focusedTrack = [&] {
        QQuickItem *row = rowOf(focused(), list);
        return row ? row->property("title").toString() : QString();
    };
    QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 120), Q_ARG(QVariant, 0));
    ASSERT_EQ(focusedTrack(), QStringLiteral("آهنگ 121"));
    struct Reload { const char *what; std::function<void(QList<PlaylistTrack> &)> reorder; int row; };
    const Reload reloads[] = {
        {"the first to the end", [](QList<PlaylistTrack> &t) { t.move(0, t.size() - 1); }, 119},
        {"reversed", [](QList<PlaylistTrack> &t) { std::reverse(t.begin(), t.end()); }, Tracks - 1 - 119},
    };
    for (const Reload &reload : reloads) {
        SCOPED_TRACE(reload.what);
        reload.reorder(tracks);
        station.tracks = tracks;
        model->setStation(station);
        // On the track's control, showing its ring, as before the reload.
        EXPECT_TRUE(waitFor([&] {
            return focusedTrack() == QStringLiteral("آهنگ 121") && FocusLanding::keyboardFocused(focused());
        })) << qPrintable(describe(focused()));
        EXPECT_EQ(rowOf(focused(), list)->property("index").toInt(), reload.row);
    }
}

// Right to left, the grid's partial last row starts on the right, as every full row does.
TEST_F(ListKeyboardQml, TheGridsLastRowStartsOnTheRight)
{
    for (const int width : {430, 1100}) {
        SCOPED_TRACE(width);
        loadQml("LibraryView {}");
        hosted.window()->resize(width, 860);
        QQuickItem *list = nullptr;
        const int count = AuthStore::shared().playlists().size();
        ASSERT_TRUE(waitFor([&] { return (list = visibleNamed(root(), QStringLiteral("libraryScroll")))
                                         && visibleNamed(list, QStringLiteral("playlistCard0"))
                                         && list->property("columns").toInt() == LibraryViewModel::columnsFor(width - 32); }, 15000))
            << (list ? list->property("columns").toInt() : -1);
        const int columns = list->property("columns").toInt();
        ASSERT_NE(count % columns, 0) << "the last row is full at this width";
        QMetaObject::invokeMethod(list, "positionViewAtEnd");
        const int firstOfLast = count - count % columns;
        QQuickItem *first = nullptr;
        QQuickItem *full = nullptr;
        ASSERT_TRUE(waitFor([&] {
            first = visibleNamed(list, QStringLiteral("playlistCard%1").arg(firstOfLast));
            full = visibleNamed(list, QStringLiteral("playlistCard%1").arg(firstOfLast - columns));
            return first && full && first->width() > 0;
        }));
        const qreal right = first->mapToScene(QPointF(first->width(), 0)).x();
        EXPECT_NEAR(right, full->mapToScene(QPointF(full->width(), 0)).x(), 0.5);
        EXPECT_NEAR(right, list->mapToScene(QPointF(list->width() - 16, 0)).x(), 0.5);
        hosted = HostedScreen();
    }
}
