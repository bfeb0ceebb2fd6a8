#include "support/AccessibleTree.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/AccountRoutes.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"
#include "SignedInQmlFixture.h"

#include <QQuickWindow>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

// The library's screens in a real Qt Quick window (offscreen) with the shared stores, signed in to
// the stand-in backend's demo account. Every test also fails on any QML warning.

using namespace quickhost;

namespace {

class LibraryScreensQml : public SignedInQmlFixture
{
protected:
    void installRoutes() override
    {
        standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        standin::installAccountRoutes(server);
    }

    // The first visible item of that name in the window (pages, popups and delegates included).
    QQuickItem *find(const QString &name) const { return visibleNamed(hosted.window()->contentItem(), name); }
    static QQuickItem *visibleNamed(QQuickItem *root, const QString &name) { return quickhost::visibleNamed(root, name); }
    static bool shown(QQuickItem *item) { return item && item->isVisible(); }
    void click(QQuickItem *item)
    {
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(hosted.window(), Qt::LeftButton, Qt::NoModifier, centre);
    }
    void key(int k) { QTest::keyClick(hosted.window(), Qt::Key(k)); }

};

const QByteArray playlistStack = R"(
NavigationStack {
    initialItem: NavigationPage { navigationTitle: "کتابخانه" }
    function openPlaylist() {
        push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"), { summary: { id: 1, title: "آرامش شبانه", trackCount: 3 } })
    }
    function openOffline() { push(Qt.resolvedUrl("qrc:/Melodrift/OfflineLibraryView.qml")) }
}
)";

} // namespace

TEST_F(LibraryScreensQml, PlaylistPageRemovesATrackOnlyWhenConfirmed)
{
    QObject *stack = loadQml(playlistStack);
    QMetaObject::invokeMethod(stack, "openPlaylist");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("trackRow2"))); }));
    settle(350); // the push transition

    // (Playing a row is checked on the screen model with a player of its own: the shared player
    // is left alone for the other screens' tests.)
    EXPECT_EQ(find(QStringLiteral("headerCount"))->property("text").toString(), QStringLiteral("3 آهنگ"));

    // Delete on a focused row asks first; the safe button has the focus, so Space cancels.
    QQuickItem *firstPlay = visibleNamed(find(QStringLiteral("trackRow0")), QStringLiteral("playButton"));
    firstPlay->forceActiveFocus();
    key(Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("cancelButton")) && find(QStringLiteral("cancelButton"))->hasActiveFocus(); }));
    EXPECT_EQ(find(QStringLiteral("dialogMessage"))->property("text").toString(), QStringLiteral("مهتاب"));
    key(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("cancelButton")) == nullptr; }));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists/1/tracks/1")), 0);

    // Confirmed: the track goes and the list reloads.
    firstPlay->forceActiveFocus();
    key(Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("destructiveButton")) != nullptr; }));
    settle(300); // the dialog's entrance
    click(find(QStringLiteral("destructiveButton")));
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/playlists/1/tracks/1")));
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("trackRow2")) == nullptr && shown(find(QStringLiteral("trackRow1"))); }));
}

TEST_F(LibraryScreensQml, OfflinePageShowsItsEmptyStateWithoutTheTrashButton)
{
    OfflineStore::shared()->removeAll();
    QObject *stack = loadQml(playlistStack);
    QMetaObject::invokeMethod(stack, "openOffline");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("emptyState"))); }));
    EXPECT_FALSE(shown(find(QStringLiteral("offlineList"))));
    EXPECT_FALSE(shown(find(QStringLiteral("clearAllButton"))));
}

TEST_F(LibraryScreensQml, LibraryTabShowsTheSignedInLibraryAndAsksBeforeDeleting)
{
    loadQml("LibraryView {}");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("playlistCard1"))); }));
    EXPECT_FALSE(shown(find(QStringLiteral("loginPrompt"))));
    EXPECT_EQ(find(QStringLiteral("favoritesCount"))->property("text").toString(), QStringLiteral("2 آهنگ"));
    EXPECT_TRUE(shown(find(QStringLiteral("accountLink"))));

    // Tab goes from the liked tracks through the grid, in order, and on to the cards under it.
    find(QStringLiteral("favoritesCard"))->forceActiveFocus(Qt::TabFocusReason);
    for (const char *next : {"playlistCard0", "playlistCard1", "spotifyCard"}) {
        key(Qt::Key_Tab);
        const QQuickItem *focused = hosted.window()->activeFocusItem();
        const QQuickItem *section = find(QLatin1String(next));
        bool within = false;
        for (const QQuickItem *it = focused; it && !within; it = it->parentItem())
            within = it == section;
        EXPECT_TRUE(within) << next << " after Tab, not " << (focused ? qPrintable(focused->objectName()) : "nothing");
    }

    // Delete on a focused card asks first, with the safe button focused; Escape keeps the playlist.
    find(QStringLiteral("playlistCard0"))->forceActiveFocus();
    key(Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("cancelButton")) && find(QStringLiteral("cancelButton"))->hasActiveFocus(); }));
    EXPECT_EQ(find(QStringLiteral("dialogTitle"))->property("text").toString(), QStringLiteral("حذف «Road Trip»؟"));
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("cancelButton")) == nullptr; }));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists/2")), 0);

    // The card opens the playlist on the tab's own stack.
    click(find(QStringLiteral("playlistCard1")));
    EXPECT_TRUE(waitFor([&] { return shown(find(QStringLiteral("trackRow2"))); }));
}

TEST_F(LibraryScreensQml, ThePopulatedLibraryExposesWhatItShowsAndTellsItsButtonsApart)
{
    namespace at = accessibletree;
    at::Session accessibility;
    loadQml("LibraryView {}");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("playlistCard1"))); }));
    settle(300);
    EXPECT_TRUE(at::unexposedTexts(hosted.window()).isEmpty())
        << qPrintable(at::unexposedTexts(hosted.window()).join(QLatin1Char('|')));
    const QStringList buttons = at::shownNames(hosted.window(), QAccessible::Button);
    EXPECT_EQ(buttons.count(QStringLiteral("جستجو")), 0) << "the two cards' search buttons say which they are";

    // A playlist's rows: every download control names its track.
    click(find(QStringLiteral("playlistCard1")));
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("trackRow2"))); }));
    settle(350); // the push transition
    EXPECT_TRUE(at::unexposedTexts(hosted.window()).isEmpty())
        << qPrintable(at::unexposedTexts(hosted.window()).join(QLatin1Char('|')));
    QStringList downloads;
    for (const QString &name : at::shownNames(hosted.window(), QAccessible::Button)) {
        if (name.startsWith(QStringLiteral("دانلود آفلاین")))
            downloads << name;
    }
    EXPECT_GE(downloads.size(), 3);
    EXPECT_EQ(downloads.size(), QSet<QString>(downloads.begin(), downloads.end()).size()) << qPrintable(downloads.join(QLatin1Char('|')));
}

TEST_F(LibraryScreensQml, AddSheetAddsToTheTappedPlaylistAndClosesItself)
{
    accessibletree::EventLog screenReader;
    QObject *page = loadQml(R"(
AddToPlaylistSheet {
    station: ({ genre: "pop-live", title: "Singer - Song", server_name: "Pop Live", stream_url: "/live/pop-live" })
}
)");
    QSignalSpy dismissed(page, SIGNAL(dismissRequested()));
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("playlistRow1"))); }));
    EXPECT_FALSE(find(QStringLiteral("createButton"))->isEnabled());
    click(find(QStringLiteral("playlistRow1")));
    EXPECT_FALSE(find(QStringLiteral("playlistRow0"))->isEnabled()); // every row waits for the add
    ASSERT_TRUE(dismissed.wait(5000));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists/1/tracks")), 1);
    EXPECT_EQ(find(QStringLiteral("messageLine"))->property("text").toString(), QStringLiteral("به «آرامش شبانه» اضافه شد ✓"));

    // Each message is spoken as it shows, once: the add's, then the refusal of the same track
    // again, three times in a row.
    const QString there = QStringLiteral("این آهنگ از قبل در پلیلیست هست");
    const QStringList messages = {QStringLiteral("به «آرامش شبانه» اضافه شد ✓"), there, there, there};
    // (The window's node speaks for the sheet's announcer.)
    ASSERT_NE(page->findChild<QQuickItem *>(QStringLiteral("messageAnnouncer")), nullptr);
    QObject *announcer = itemNamed(hosted.window()->contentItem(), QStringLiteral("announcements"));
    ASSERT_NE(announcer, nullptr);
    for (qsizetype i = 0; i < messages.size(); ++i) {
        SCOPED_TRACE(i);
        if (i > 0) {
            ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("playlistRow1"))->isEnabled(); }));
            click(find(QStringLiteral("playlistRow1")));
        }
        EXPECT_TRUE(waitFor([&] { return screenReader.appearances(announcer) == messages.first(i + 1); }))
            << qPrintable(screenReader.appearances(announcer).join(u'|'));
        EXPECT_NE(accessibletree::shownNode(hosted.window(), messages[i], QAccessible::Notification), nullptr);
    }
}

// An add the server refuses says why, and the focus is back on the row that was used (disabled
// while the add ran), not on a control elsewhere in the sheet.
TEST_F(LibraryScreensQml, AFailedAddLeavesTheFocusOnTheRowUsed)
{
    loadQml(R"(
AddToPlaylistSheet {
    station: ({ genre: "pop-live", title: "Singer - Song", server_name: "Pop Live", stream_url: "/live/pop-live" })
}
)");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("playlistRow1"))); }));
    server.script("POST", QStringLiteral("/api/playlists/1/tracks"),
                  standin::Reply::json(R"({"code":404,"message":"not found"})", 404), 1);
    QQuickItem *row = find(QStringLiteral("playlistRow1"));
    row->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/playlists/1/tracks")));
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("messageLine")) && find(QStringLiteral("playlistRow1"))->isEnabled(); }));
    EXPECT_FALSE(find(QStringLiteral("messageLine"))->property("text").toString().isEmpty());
    EXPECT_TRUE(waitFor([&] {
        QQuickItem *focused = hosted.window()->activeFocusItem();
        return focused && focused->objectName() == QStringLiteral("playlistRow1") && focused->property("visualFocus").toBool();
    })) << qPrintable(hosted.window()->activeFocusItem() ? hosted.window()->activeFocusItem()->objectName() : QString());
}

// Progress steps of a running download change its row's texts, never the rows: whatever has the
// keyboard focus (a cancel button, a finished row) keeps it, and Tab goes on from there.
TEST_F(LibraryScreensQml, OfflinePageKeepsTheFocusWhileADownloadRuns)
{
    OfflineStore *offline = OfflineStore::shared();
    offline->removeAll();
    QByteArray audio("ID3\x04\0\0\0\0\0\0", 10);
    audio += QByteArray(1'000'000, 'a');
    auto track = [&](const QString &id) {
        PlaylistTrack t;
        t.trackType = QStringLiteral("songsara");
        t.trackID = id;
        t.title = QStringLiteral("آهنگ ") + id;
        t.artist = QStringLiteral("خواننده");
        t.streamURL = server.baseUrl().toString() + QStringLiteral("/audio/") + id + QStringLiteral(".mp3");
        return t;
    };
    const PlaylistTrack done = track(QStringLiteral("done"));
    server.script("GET", QStringLiteral("/audio/done.mp3"), standin::Reply::text(audio, 200, "audio/mpeg"));
    offline->download(done);
    ASSERT_TRUE(waitFor([&] { return offline->isDownloaded(done) && offline->pendingMeta().isEmpty(); }, 20000));

    const PlaylistTrack running = track(QStringLiteral("running"));
    standin::Reply slow;
    slow.contentType = "audio/mpeg";
    slow.headers.append({"Content-Length", QByteArray::number(audio.size())});
    auto sent = std::make_shared<qsizetype>(0);
    slow.stream = [audio, sent] {
        const QByteArray next = audio.mid(*sent, 2000);
        *sent += next.size();
        return next;
    };
    slow.streamIntervalMs = 20;
    server.script("GET", QStringLiteral("/audio/running.mp3"), slow);
    offline->download(running);

    QObject *stack = loadQml(playlistStack);
    QMetaObject::invokeMethod(stack, "openOffline");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("cancelDownloadButton"))) && shown(find(QStringLiteral("offlineRow0"))); }));
    settle(350); // the push transition

    QSignalSpy steps(offline, &OfflineStore::activeProgressChanged);
    QQuickItem *cancel = find(QStringLiteral("cancelDownloadButton"));
    QQuickItem *row = find(QStringLiteral("offlineRow0"));
    const QList<std::pair<const char *, QQuickItem *>> focused = {{"the cancel button", cancel}, {"a finished row", row}};
    const QString percentShown = find(QStringLiteral("downloadPercent"))->property("text").toString();
    for (int i = 0; i < 12 && !cancel->hasActiveFocus(); ++i)
        key(Qt::Key_Tab);
    for (const auto &[what, item] : focused) {
        SCOPED_TRACE(what);
        for (int i = 0; i < 6 && !item->hasActiveFocus(); ++i)
            key(Qt::Key_Tab);
        ASSERT_TRUE(item->hasActiveFocus());
        const int before = int(steps.count());
        ASSERT_TRUE(waitFor([&] { return steps.count() >= before + 3; }, 10000));
        EXPECT_TRUE(item->hasActiveFocus());
        EXPECT_EQ(find(QStringLiteral("cancelDownloadButton")), cancel);
    }
    EXPECT_NE(percentShown, find(QStringLiteral("downloadPercent"))->property("text").toString());
    offline->cancelDownload(running);
    ASSERT_TRUE(waitFor([&] { return offline->pendingMeta().isEmpty(); }));
    offline->removeAll();
}

// Removing the focused download through its menu (Shift+F10, then the menu's one entry by
// keyboard) hands the focus to the row now in its place, the previous one after the last row,
// and the page's title once no row is left; Tab goes on from there.
TEST_F(LibraryScreensQml, OfflinePageKeepsTheFocusWhereARemovedRowStood)
{
    OfflineStore *offline = OfflineStore::shared();
    offline->removeAll();
    const QByteArray audio = QByteArray("ID3\x04\0\0\0\0\0\0", 10) + QByteArray(2000, 'a');
    for (const char *id : {"a", "b", "c"}) {
        const PlaylistTrack t = downloadFromServer(QString::fromLatin1(id), audio);
        ASSERT_TRUE(waitFor([&] { return offline->isDownloaded(t) && offline->pendingMeta().isEmpty(); }, 20000));
    }

    QObject *stack = loadQml(playlistStack);
    QMetaObject::invokeMethod(stack, "openOffline");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("offlineRow2"))); }));
    settle(350); // the push transition

    auto focusedName = [&]() -> QString {
        QQuickItem *focused = hosted.window()->activeFocusItem();
        return focused ? focused->objectName() : QString();
    };
    struct Step
    {
        int removed;         // the row focused and removed, of those left (newest first: c, b, a)
        QString focusedNext; // the item that has the focus afterwards
    };
    const QList<Step> steps = {
        {1, QStringLiteral("offlineRow1")},     // b: a takes its place
        {1, QStringLiteral("offlineRow0")},     // a, the last row: c before it
        {0, QStringLiteral("navigationTitle")}, // c, the only row
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.removed);
        const int before = int(offline->entries().size());
        QQuickItem *row = find(QStringLiteral("offlineRow%1").arg(step.removed));
        ASSERT_NE(row, nullptr);
        row->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(hosted.window(), Qt::Key_F10, Qt::ShiftModifier);
        ASSERT_TRUE(waitFor([&] { return !row->hasActiveFocus(); })) << "the menu takes the focus";
        settle(250); // the menu's entrance
        key(Qt::Key_Down);
        key(Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return offline->entries().size() == before - 1; }));
        EXPECT_TRUE(waitFor([&] { return focusedName() == step.focusedNext; })) << qPrintable(focusedName());
        settle(300); // whatever the closing menu does with the focus afterwards
        EXPECT_EQ(focusedName().toStdString(), step.focusedNext.toStdString());
    }
    EXPECT_TRUE(shown(find(QStringLiteral("emptyState"))));
    key(Qt::Key_Tab);
    EXPECT_TRUE(hosted.window()->activeFocusItem() && hosted.window()->activeFocusItem()->inherits("QQuickAbstractButton"))
        << "Tab goes on from the title";
}

// A track removal or rename the server refuses (404) shows the error view; the focus, which was
// in the dialog or sheet that asked for it, goes to "تلاش دوباره" and shows there.
TEST_F(LibraryScreensQml, AFailedTrackEditLeavesTheFocusOnTheRetry)
{
    const QByteArray refused = R"({"code":404,"message":"not found"})";
    for (const bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "rename" : "removal");
        QObject *stack = loadQml(playlistStack);
        QMetaObject::invokeMethod(stack, "openPlaylist");
        ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("trackRow2"))); }));
        ASSERT_TRUE(waitFor([&] { return !stack->property("busy").toBool(); })); // the push transition
        server.script(rename ? "PUT" : "DELETE", QStringLiteral("/api/playlists/1/tracks/1"),
                      standin::Reply::json(refused, 404), 1);
        QQuickItem *firstPlay = visibleNamed(find(QStringLiteral("trackRow0")), QStringLiteral("playButton"));
        ASSERT_TRUE(firstPlay);
        firstPlay->forceActiveFocus(Qt::TabFocusReason);
        if (rename) {
            QObject *page = nullptr; // the page's screen model
            for (QQuickItem *i = find(QStringLiteral("trackRow0")); i && !page; i = i->parentItem()) {
                QObject *model = i->property("model").value<QObject *>();
                if (model && model->metaObject()->indexOfMethod("saveTrackEdit()") >= 0)
                    page = model;
            }
            ASSERT_TRUE(page);
            QMetaObject::invokeMethod(page, "prepareTrackEdit", Q_ARG(int, 0));
        } else {
            key(Qt::Key_Delete);
        }
        QObject *dialog = stack->findChild<QObject *>(rename ? QStringLiteral("editTrackDialog")
                                                             : QStringLiteral("deleteTrackDialog"));
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(waitFor([&] { return dialog->property("opened").toBool(); }, 20000));
        QQuickItem *confirm = find(rename ? QStringLiteral("acceptButton") : QStringLiteral("destructiveButton"));
        ASSERT_TRUE(confirm);
        confirm->forceActiveFocus(Qt::TabFocusReason);
        key(Qt::Key_Space);
        ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("retryButton"))); }, 20000));
        QQuickItem *retry = find(QStringLiteral("retryButton"));
        // Once the dialog has gone and what its closing set off has run.
        ASSERT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }, 20000));
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        const auto focusedName = [&] {
            QQuickItem *focused = hosted.window()->activeFocusItem();
            return focused ? focused->objectName() + u' ' + QString::fromLatin1(focused->metaObject()->className())
                           : QStringLiteral("(none)");
        };
        EXPECT_TRUE(waitFor([&] { return retry->hasActiveFocus() && retry->property("visualFocus").toBool(); }))
            << qPrintable(focusedName());
        hosted = HostedScreen();
    }
}

// A download started from a playlist row that fails says so on that row, as the offline page
// does, and a screen reader is told; started again, the row shows its progress instead.
TEST_F(LibraryScreensQml, AFailedDownloadShowsItsFailureOnItsPlaylistRow)
{
    OfflineStore *offline = OfflineStore::shared();
    offline->removeAll();
    accessibletree::EventLog screenReader;
    QObject *stack = loadQml(playlistStack);
    QMetaObject::invokeMethod(stack, "openPlaylist");
    ASSERT_TRUE(waitFor([&] { return shown(find(QStringLiteral("trackRow2"))); }));
    settle(350); // the push transition

    server.script("GET", QStringLiteral("/media/library/lib-mahtab.mp3"), standin::Reply::text("server broke", 500), 1);
    QQuickItem *row = find(QStringLiteral("trackRow0"));
    QQuickItem *downloadButton = visibleNamed(row, QStringLiteral("downloadButton"));
    click(downloadButton);

    const QString failure = OfflineStore::downloadErrorPrefix() + APIError::http(500).errorDescription();
    ASSERT_TRUE(waitFor([&] { return shown(visibleNamed(row, QStringLiteral("downloadError"))); }));
    EXPECT_EQ(visibleNamed(row, QStringLiteral("downloadError"))->property("text").toString(), failure);
    EXPECT_EQ(offline->lastError(), failure); // what the offline page shows
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(downloadButton);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(QAccessible::Description), failure);
    ASSERT_NE(row->findChild<QQuickItem *>(QStringLiteral("downloadErrorAnnouncer")), nullptr);
    QObject *announcer = itemNamed(hosted.window()->contentItem(), QStringLiteral("announcements"));
    ASSERT_NE(announcer, nullptr);
    // Spoken once, the last thing said (after the button's own new names as it started and
    // stopped, which the focus on it hears).
    EXPECT_TRUE(waitFor([&] {
        const QStringList spoken = screenReader.appearances(announcer);
        return !spoken.isEmpty() && spoken.last() == failure && spoken.count(failure) == 1;
    })) << qPrintable(screenReader.appearances(announcer).join(u'|'));
    // The other rows say nothing.
    EXPECT_FALSE(shown(visibleNamed(find(QStringLiteral("trackRow1")), QStringLiteral("downloadError"))));

    click(downloadButton);
    ASSERT_TRUE(waitFor([&] { return offline->entries().size() == 1 && offline->pendingMeta().isEmpty(); }, 20000));
    EXPECT_FALSE(shown(visibleNamed(row, QStringLiteral("downloadError"))));
    offline->removeAll();
}
