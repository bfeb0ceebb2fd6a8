#include "support/AccessibleTree.h"
#include "support/QmlWindowFixture.h"
#include "ShazamViewModel.h"
#include "Platform/AudioRecorder.h"
#include "Kit/Theme.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "support/AccountRoutes.h"
#include "support/StandInServer.h"

#include <QAccessible>
#include <QFile>
#include <QTemporaryDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

// The recognition sheet: its rules, and the sheet in a real Qt Quick window (offscreen) over the
// shared manager, recording a test tone and asking the stand-in backend.

using namespace quickhost;
using namespace Qt::StringLiterals;
using Status = ShazamViewModel::Status;

TEST(ShazamViewRules, TheStatusLineTakesTheFirstMatchingRow)
{
    const struct {
        bool starting, listening, processing, error, result;
        Status status;
    } rows[] = {
        {false, true, false, false, false, Status::Listening}, {true, true, true, true, true, Status::Listening},
        {true, false, false, true, true, Status::Starting},    {true, false, false, false, false, Status::Starting},
        {false, false, true, true, true, Status::Processing},  {false, false, false, true, true, Status::Error},
        {false, false, false, true, false, Status::Error},     {false, false, false, false, false, Status::Ready},
        {false, false, false, false, true, Status::Recognized},
    };
    for (const auto &r : rows)
        EXPECT_EQ(ShazamViewModel::status(r.starting, r.listening, r.processing, r.error, r.result), r.status)
            << r.starting << r.listening << r.processing << r.error << r.result;
}

TEST(ShazamViewRules, TheResultPlaysAsAOneTrackStation)
{
    ShazamData d;
    d.title = u"Still Water"_s;
    d.artist = u"Nima"_s;
    d.genre = u"Ambient"_s;
    d.artworkURL = u"/artwork/still.jpg"_s;
    d.streamURL = u"/media/library/still.mp3"_s;
    d.duration = 201;
    const Station s = ShazamViewModel::stationFor(d);
    EXPECT_EQ(s.genre, u"shazam-result"_s);
    EXPECT_EQ(s.title, d.title);
    EXPECT_EQ(s.artist, d.artist);
    EXPECT_EQ(s.serverName, u"شزم"_s);
    EXPECT_FALSE(s.streamURL);
    EXPECT_EQ(s.artworkURL, d.artworkURL);
    EXPECT_EQ(s.source, u"shazam"_s);
    EXPECT_EQ(s.category, u"shazam"_s);
    EXPECT_FALSE(s.displayGenre); // the genre is shown on the card, not carried over
    EXPECT_EQ(s.trackIndex, 0);
    EXPECT_EQ(s.trackCount, 1);
    EXPECT_FALSE(s.elapsedSeconds);
    ASSERT_TRUE(s.tracks);
    ASSERT_EQ(s.tracks->size(), 1);
    const PlaylistTrack &t = s.tracks->first();
    EXPECT_FALSE(t.id);
    EXPECT_EQ(t.trackType, u"shazam"_s);
    EXPECT_EQ(t.trackID, d.title);
    EXPECT_EQ(t.title, d.title);
    EXPECT_EQ(t.artist, d.artist);
    EXPECT_EQ(t.artworkURL, d.artworkURL);
    EXPECT_EQ(t.streamURL, d.streamURL);
    EXPECT_EQ(t.duration, 201);

    // Without a title: no title, track title or track identifier.
    const Station untitled = ShazamViewModel::stationFor(ShazamData{});
    EXPECT_FALSE(untitled.title);
    EXPECT_FALSE(untitled.tracks->first().title);
    EXPECT_FALSE(untitled.tracks->first().trackID);
    EXPECT_EQ(untitled.tracks->first().trackType, u"shazam"_s);
}

namespace {

// How long a recognition's state may take to come: the recorder starts, records 4.5 s and the
// muxer finishes the file, slowly on a loaded machine.
constexpr int kStateTimeoutMs = 60'000;

class ShazamViewQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installAccountRoutes(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        qputenv(AudioRecorder::SourceVariable, "audiotestsrc is-live=true freq=660 volume=0.3");
        RadioPlayer::shared()->setFullPlayerPresented(false);
        manager().setOpenRequest(false);
        manager().setAutoStartOnOpen(false);
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        waitFor([&] { return !manager().isListening() && !manager().isProcessing(); }, 30000);
        qunsetenv(AudioRecorder::SourceVariable);
        RadioPlayer::shared()->setFullPlayerPresented(false);
        APIClient::shared().setBaseURL(previousBase);
    }

    static ShazamManager &manager() { return ShazamManager::shared(); }

    QQuickItem *item(const QString &name) const { return itemNamed(hosted.window()->contentItem(), name); }
    QString statusText() const
    {
        QQuickItem *line = item(u"statusLine"_s);
        return line ? line->property("text").toString() : QString();
    }
    bool shown(const QString &name) const
    {
        QQuickItem *i = item(name);
        return i && i->isVisible();
    }
    // Activates a button from the keyboard: focus, then Space.
    void pressKey(QQuickItem *button)
    {
        ASSERT_TRUE(button);
        button->forceActiveFocus();
        ASSERT_TRUE(button->hasActiveFocus());
        QTest::keyClick(hosted.window(), Qt::Key_Space);
    }
    // Presses a shown button by its accessible name, as a screen reader does.
    void press(const QString &name)
    {
        QAccessibleInterface *node = accessibletree::shownNode(hosted.window(), name, QAccessible::Button);
        ASSERT_TRUE(node) << qPrintable(name);
        ASSERT_TRUE(accessibletree::press(node)) << qPrintable(name);
    }
    ShazamViewModel *sheetModel() const
    {
        QQuickItem *sheet = item(u"shazamView"_s);
        return sheet ? sheet->findChild<ShazamViewModel *>() : nullptr;
    }
    // What assistive technology is told of the status line: it reads it as static text, and each
    // change appears as a notification.
    QString announcedStatus() const
    {
        QAccessibleInterface *line = QAccessible::queryAccessibleInterface(item(u"statusLine"_s));
        QQuickItem *announcer = QmlWindowFixture::itemNamed(hosted.window()->contentItem(), u"announcements"_s);
        if (!line || line->role() != QAccessible::StaticText || !announcer)
            return {};
        QAccessibleInterface *note = QAccessible::queryAccessibleInterface(announcer);
        if (!note || note->role() != QAccessible::Notification || note->text(QAccessible::Name) != line->text(QAccessible::Name))
            return {};
        return note->text(QAccessible::Name);
    }
    // The status once the notification has caught up with the line (it announces at the end of
    // the event loop's pass); empty when it never does.
    QString nextAnnouncedStatus() const
    {
        waitFor([&] { return !announcedStatus().isEmpty(); });
        return announcedStatus();
    }
    void setShown(bool show) { hosted.screen()->setProperty("show", show); }

    accessibletree::Session accessibility;
    standin::StandInServer server;
    QUrl previousBase;
};

} // namespace

TEST_F(ShazamViewQml, ListensRecognisesFailsRetriesAndPlaysTheResult)
{
    loadQml("Item { id: root; property bool show: false\n"
            "  Sheet { objectName: \"sheet\"; presenter: root; flag: \"show\"; ShazamView {} } }");

    // Asked for by the custom address: it starts listening by itself, a moment after it shows.
    manager().requestOpen(true);
    setShown(true);
    ASSERT_TRUE(waitFor([&] { return shown(u"statusLine"_s); }));
    EXPECT_FALSE(manager().autoStartOnOpen());
    EXPECT_EQ(statusText(), ShazamViewModel::ReadyText);
    EXPECT_EQ(item(u"buttonSymbol"_s)->property("symbol").toString(), u"mic.fill"_s);
    EXPECT_TRUE(shown(u"restingRing"_s));
    ASSERT_TRUE(waitFor([&] { return statusText() == ShazamViewModel::ListeningText; }, kStateTimeoutMs));
    QStringList announced{nextAnnouncedStatus()};
    EXPECT_FALSE(item(u"listenButton"_s)->isEnabled());
    EXPECT_EQ(item(u"buttonSymbol"_s)->property("symbol").toString(), u"waveform"_s);
    EXPECT_TRUE(shown(u"pulseRing0"_s) && shown(u"pulseRing1"_s));
    EXPECT_FALSE(shown(u"restingRing"_s));

    ASSERT_TRUE(waitFor([&] { return statusText() == ShazamViewModel::ProcessingText; }, kStateTimeoutMs));
    announced.append(nextAnnouncedStatus());
    EXPECT_TRUE(shown(u"processingSpinner"_s));
    EXPECT_FALSE(shown(u"restingRing"_s));
    ASSERT_TRUE(waitFor([&] { return statusText() == ShazamViewModel::RecognizedText; }, kStateTimeoutMs));
    announced.append(nextAnnouncedStatus());
    EXPECT_TRUE(shown(u"resultCard"_s));
    EXPECT_EQ(item(u"resultTitle"_s)->property("text").toString(), manager().recognizedTrack()->title.value());
    EXPECT_TRUE(item(u"listenButton"_s)->isEnabled());
    EXPECT_FALSE(shown(u"retryButton"_s));
    // The status line is a live region: assistive technology reads each change.
    EXPECT_EQ(announced, (QStringList{ShazamViewModel::ListeningText, ShazamViewModel::ProcessingText,
                                        ShazamViewModel::RecognizedText}));

    // A failure shows the server's text in red, with "تلاش دوباره".
    server.script("POST", u"/api/shazam"_s,
                  standin::Reply::json(R"({"code":404,"message":"آهنگی پیدا نشد"})", 404));
    pressKey(item(u"listenButton"_s));
    ASSERT_TRUE(waitFor([&] { return statusText() == u"آهنگی پیدا نشد"_s; }, kStateTimeoutMs));
    EXPECT_FALSE(shown(u"resultCard"_s));
    EXPECT_TRUE(shown(u"retryButton"_s));
    EXPECT_EQ(item(u"statusLine"_s)->property("color").value<QColor>(), Theme::red());

    // Retry clears it and listens again; closing the sheet does not stop the recording, which is
    // uploaded, and the outcome waits in the manager.
    server.unscript("POST", u"/api/shazam"_s);
    press(u"تلاش دوباره"_s);
    EXPECT_FALSE(manager().errorMessage());
    ASSERT_TRUE(waitFor([&] { return manager().isListening(); }, kStateTimeoutMs));
    press(u"بستن"_s);
    ASSERT_TRUE(waitFor([&] { return !hosted.screen()->property("show").toBool() && !item(u"statusLine"_s); }));
    ASSERT_TRUE(waitFor([&] { return manager().recognizedTrack().has_value(); }, kStateTimeoutMs));

    // Asked for again while the manager holds that result: it shows it and starts nothing.
    manager().requestOpen(true);
    setShown(true);
    ASSERT_TRUE(waitFor([&] { return shown(u"resultCard"_s); }));
    EXPECT_EQ(statusText(), ShazamViewModel::RecognizedText);
    EXPECT_FALSE(manager().autoStartOnOpen());
    ASSERT_TRUE(sheetModel());
    EXPECT_FALSE(sheetModel()->autoStartPending());

    // "پخش در رادیو" plays the one-track station under the full player and closes the sheet,
    // which clears the result.
    const QString title = manager().recognizedTrack()->title.value();
    press(u"پخش در رادیو"_s);
    RadioPlayer *player = RadioPlayer::shared();
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation() && player->currentStation()->genre == u"shazam-result"_s; }));
    EXPECT_EQ(player->currentStation()->title, title);
    ASSERT_TRUE(waitFor([&] { return !item(u"statusLine"_s); }));
    EXPECT_FALSE(hosted.screen()->property("show").toBool());
    EXPECT_FALSE(manager().recognizedTrack());
    EXPECT_FALSE(manager().errorMessage());
}

TEST_F(ShazamViewQml, OpenedByHandItWaitsForTheButton)
{
    loadQml("Item { id: root; property bool show: false\n"
            "  Sheet { presenter: root; flag: \"show\"; ShazamView {} } }");
    manager().requestOpen(false);
    setShown(true);
    ASSERT_TRUE(waitFor([&] { return shown(u"statusLine"_s); }));
    ASSERT_TRUE(sheetModel());
    EXPECT_FALSE(sheetModel()->autoStartPending());
    EXPECT_EQ(statusText(), ShazamViewModel::ReadyText);
    EXPECT_FALSE(manager().isListening());
    // What a screen reader finds: the close button, the listen button and the texts.
    EXPECT_TRUE(accessibletree::shownNode(hosted.window(), u"بستن"_s, QAccessible::Button));
    EXPECT_TRUE(accessibletree::shownNode(hosted.window(), u"شروع شناسایی آهنگ"_s, QAccessible::Button));
    EXPECT_TRUE(accessibletree::shownNode(hosted.window(), ShazamViewModel::ReadyText, QAccessible::StaticText));
    EXPECT_FALSE(accessibletree::shownNode(hosted.window(), u"تلاش دوباره"_s, QAccessible::Button));

    // A source that blocks while it opens (a pipe nobody writes into): while the start waits, the
    // sheet says so and its button takes no second press; then the start fails.
    QTemporaryDir tmp;
    const QString fifo = tmp.filePath(u"microphone.fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    qputenv(AudioRecorder::SourceVariable, u"filesrc location=\"%1\" ! decodebin"_s.arg(fifo).toLocal8Bit());
    QQuickItem *listen = item(u"listenButton"_s);
    pressKey(listen);
    ASSERT_TRUE(waitFor([&] { return statusText() == ShazamViewModel::StartingText; }));
    EXPECT_EQ(nextAnnouncedStatus(), ShazamViewModel::StartingText);
    EXPECT_FALSE(listen->isEnabled());
    EXPECT_TRUE(shown(u"processingSpinner"_s));
    QTest::keyClick(hosted.window(), Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return statusText() == ShazamManager::RecordingStartText; }, kStateTimeoutMs));
    EXPECT_TRUE(listen->isEnabled());
    EXPECT_TRUE(shown(u"retryButton"_s));
    EXPECT_FALSE(manager().isStarting());
    // The log says why (and nothing else is said).
    EXPECT_EQ(trap->messages(), QStringList{u"[shazam] the recording does not start: the source did not start within 5000 ms"_s});
    trap->clear();
}
