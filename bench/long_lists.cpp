// The screens that list what the backend sends, over long replies, each in a real Qt Quick window
// (offscreen) against the stand-in backend in its own process (melodrift-stand-in --bulk N). For
// each screen and each size: the longest pause of the GUI thread while the screen opens, what the
// process grows by, the artwork requests the stand-in saw and the rows built; then the longest
// pause while End and Home jump through the list. Printed with their ratios to the same screen
// with 10 items. Targets (the program exits 1 when one is missed):
//   1,000 items:  pause ≤ 150 ms, growth ≤ 40 MB over the 10-item screen;
//   the largest:  pause ≤ 400 ms, growth ≤ 120 MB (20,000 items, or what fits the reply cap);
//   artwork requests on opening ≤ the rows of two screens, whatever the size;
//   End and Home: every pause ≤ 150 ms.
// Then, at 1,000 items, two passes down and up the list half a screen at a time, each stop
// waiting for its artwork: the second pass asks again only for what the artwork cache had to
// drop (≤ the first pass's requests less the pictures held, plus two screens). With artwork
// answered 0.3 s late, a fast scroll down and back: the rows in view show their artwork within
// 2 s of the scroll's end. A station's 20,000 tracks reloaded in another order (the first to the
// end, then reversed): each pause ≤ 100 ms, and the focus stays on its track. Last, a playlist of
// 16,000 tracks opened and closed 20 times: the process grows by ≤ 40 MB over what it was after
// the first time.
//     bench_long_lists [--quick] [screen...]   (--quick: 10 and 1,000 items only, no 16,000
//                                               cycles; a screen by a part of its name, e.g.
//                                               "station"; "cycles" for the open/close cycles,
//                                               "reordered" for the reloads in another order)
#include "ArtworkPicture.h"
#include "StationDetailViewModel.h"
#include "Platform/Memory.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "support/QuickHost.h"
#include "support/TaskOutcome.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gst/gst.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int WindowHeight = 860;
// Two screens of the shortest rows (64 px and 8 of spacing), and the header's picture.
constexpr int MaxArtwork = 2 * (WindowHeight / 72 + 1) + 2;

// The longest time the GUI thread went without running its timers.
class PauseMeter
{
public:
    PauseMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
        reset();
    }
    void reset()
    {
        m_clock.start();
        m_longest = 0;
    }
    double longestMs()
    {
        tick();
        return m_longest;
    }

private:
    void tick()
    {
        m_longest = std::max(m_longest, double(m_clock.nsecsElapsed()) / 1e6);
        m_clock.start();
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0;
};

// The stand-in backend in its own process, serving lists of `count`.
class StandIn
{
public:
    explicit StandIn(int count, int artworkDelayMs = 0)
    {
        m_process.setProgram(QStringLiteral(MELODRIFT_STAND_IN));
        m_process.setArguments({QStringLiteral("--bulk"), QString::number(count), QStringLiteral("--artwork-delay-ms"),
                                QString::number(artworkDelayMs)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        static const QRegularExpression listening(QStringLiteral("listening on (\\S+)"));
        quickhost::waitFor([&] {
            m_output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(m_output));
            if (match.hasMatch())
                m_base = QUrl(match.captured(1));
            const auto id = QRegularExpression(QStringLiteral("long playlist is (\\d+)")).match(QString::fromUtf8(m_output));
            if (id.hasMatch())
                m_bigPlaylist = id.captured(1).toLongLong();
            return m_base.isValid() && m_bigPlaylist > 0;
        }, 60000);
    }
    ~StandIn()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QUrl base() const { return m_base; }
    qint64 bigPlaylist() const { return m_bigPlaylist; }
    int artworkRequests()
    {
        m_output += m_process.readAllStandardOutput();
        return int(m_output.count("/artwork/bulk-"));
    }

private:
    QProcess m_process;
    QByteArray m_output;
    QUrl m_base;
    qint64 m_bigPlaylist = 0;
};

struct Screen {
    const char *name;
    QByteArray push; // how the page is opened on the stack; empty: the library tab itself
    const char *list;
    const char *rowPrefix;
    int largest; // the largest size that fits the reply cap
    bool signedOut = false; // the library card's results: no grid above them
};

struct Figures {
    double openPauseMs = 0;
    double growthMb = 0;
    int artwork = 0;
    int built = 0;
    double scrollPauseMs = 0;
    bool opened = false;
    // Two slow passes down and up (1,000 items): requests of each, pictures held after the first.
    int firstPass = -1;
    int secondPass = -1;
    int heldAfterFirst = 0;
};

// The artwork cache holds nothing of an earlier screen, and the next fetch starts from nothing
// (and the heap has given back what the screen's page freed, so the next screen starts clean).
void forgetArtwork()
{
    quickhost::waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 30000);
    ArtworkCache::shared().clear();
    quickhost::settle(1200);
    Memory::releaseFreedHeap();
}

// Moves the list by `dy` (up when negative); false once it was at that end already.
bool scrollBy(QQuickItem *list, double dy)
{
    if (list->property(dy > 0 ? "atYEnd" : "atYBeginning").toBool())
        return false;
    list->setProperty("contentY", list->property("contentY").toDouble() + dy);
    return true;
}

// Down to the end and back up by half a screen at a time, each stop waiting for its artwork; the
// artwork requests the stand-in saw.
int slowPass(QQuickItem *list, StandIn &standIn)
{
    const int before = standIn.artworkRequests();
    const double step = list->height() / 2;
    for (const double dy : {step, -step}) {
        const int start = standIn.artworkRequests();
        int stops = 0;
        for (int guard = 0; guard < 100000 && scrollBy(list, dy); ++guard, ++stops) {
            quickhost::settle(10); // the rows built, their requests queued
            quickhost::waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 10000);
        }
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::printf("    %s: %d stops, %d requests\n", dy > 0 ? "down" : "up", stops, standIn.artworkRequests() - start);
    }
    quickhost::settle(200);
    return standIn.artworkRequests() - before;
}

QList<ArtworkPicture *> picturesInView(QQuickItem *item)
{
    QList<ArtworkPicture *> found;
    for (ArtworkPicture *picture : item->findChildren<ArtworkPicture *>())
        if (ArtworkCache::inView(picture))
            found << picture;
    return found;
}

QByteArray sceneFor(const Screen &screen, qint64 bigPlaylist)
{
    if (screen.push.isEmpty())
        return "import QtQuick\nimport Melodrift\nLibraryView {}";
    if (screen.push == "soundCloudCard")
        return "import QtQuick\nimport Melodrift\n"
               "LibraryColumn { objectName: \"libraryScroll\"; library: LibraryViewModel {}\n"
               "  Component.onCompleted: { soundCloud.query = \"bulk\"; soundCloud.search() } }";
    QByteArray push = screen.push;
    push.replace("BIG", QByteArray::number(bigPlaylist));
    return "import QtQuick\nimport Melodrift\n"
           "NavigationStack { initialItem: NavigationPage { navigationTitle: \"root\" }\n"
           "  Component.onCompleted: " + push + "\n"
           "  Component { id: addSheet; AddToPlaylistSheet { station: ({ genre: \"jazz\", server_name: \"Jazz\","
           " stream_url: \"/live/jazz\", artwork_url: \"/artwork/jazz.jpg\" }) } }\n"
           "  Component { id: searchPage; SoundCloudSearchView { Component.onCompleted: { model.query = \"bulk\";"
           " model.search() } } }\n"
           "}";
}

void pressKey(QQuickWindow *window, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QCoreApplication::sendEvent(window, &release);
}

// With `passes`, only the two slow passes down and up, from the top.
Figures measure(const Screen &screen, int count, bool passes = false)
{
    Figures figures;
    StandIn standIn(count);
    if (!standIn.base().isValid())
        return figures;
    APIClient::shared().setBaseURL(standIn.base());
    if (!screen.signedOut
        && !testing_support::runTask(AuthStore::shared().login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok())
        return figures;
    auto engine = quickhost::makeEngine();
    quickhost::settle(200);
    const double before = quickhost::residentMegabytes();
    const int artworkBefore = standIn.artworkRequests();

    PauseMeter meter;
    quickhost::HostedScreen hosted = quickhost::HostedScreen::loadText(
        *engine, sceneFor(screen, standIn.bigPlaylist()), {}, QSize(430, WindowHeight));
    QQuickItem *root = hosted.isValid() ? hosted.window()->contentItem() : nullptr;
    const QString first = QLatin1String(screen.rowPrefix) + QLatin1Char('0');
    QQuickItem *list = nullptr;
    figures.opened = root && quickhost::waitFor([&] {
        list = quickhost::visibleNamed(root, QLatin1String(screen.list));
        return list && quickhost::visibleNamed(list, first);
    }, 120000);
    quickhost::settle(1500); // the push, the artwork in view
    figures.openPauseMs = meter.longestMs();
    figures.growthMb = quickhost::residentMegabytes() - before;
    figures.artwork = standIn.artworkRequests() - artworkBefore;
    if (figures.opened && passes) {
        for (int guard = 0; guard < 100000 && scrollBy(list, -list->height()); ++guard)
            quickhost::settle(1);
        quickhost::waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 10000);
        figures.firstPass = slowPass(list, standIn);
        figures.heldAfterFirst = ArtworkCache::shared().size();
        figures.secondPass = slowPass(list, standIn);
    } else if (figures.opened) {
        figures.built = quickhost::countNamedWithPrefix(list, QLatin1String(screen.rowPrefix));
        QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, 0), Q_ARG(QVariant, 0));
        quickhost::settle(300);
        meter.reset();
        pressKey(hosted.window(), Qt::Key_End);
        quickhost::settle(800);
        pressKey(hosted.window(), Qt::Key_Home);
        quickhost::settle(800);
        figures.scrollPauseMs = meter.longestMs();
    }
    hosted = quickhost::HostedScreen();
    engine.reset();
    AuthStore::shared().logout();
    forgetArtwork();
    quickhost::settle(100);
    return figures;
}

QByteArray playlistScene(qint64 playlist)
{
    return "import QtQuick\nimport Melodrift\n"
           "NavigationStack { initialItem: NavigationPage { navigationTitle: \"root\" }\n"
           "  function openPlaylist() { push(Qt.resolvedUrl(\"qrc:/Melodrift/PlaylistDetailView.qml\"),"
           " { summary: { id: " + QByteArray::number(playlist) + " } }) }\n"
           "  function closePlaylist() { pop() }\n"
           "}";
}

struct FastScroll {
    bool ok = false;
    int requests = 0; // artwork requests from the scroll's start until the rows in view showed theirs
    double showMs = 0; // from the scroll's end until then
};

// A 1,000-track page whose artwork comes 0.3 s late, scrolled down to the end and back within a
// second or two.
FastScroll measureFastScroll()
{
    FastScroll result;
    StandIn standIn(1000, 300);
    if (!standIn.base().isValid())
        return result;
    APIClient::shared().setBaseURL(standIn.base());
    if (!testing_support::runTask(AuthStore::shared().login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok())
        return result;
    auto engine = quickhost::makeEngine();
    quickhost::HostedScreen hosted = quickhost::HostedScreen::loadText(*engine, playlistScene(standIn.bigPlaylist()), {},
                                                                       QSize(430, WindowHeight));
    QQuickItem *root = hosted.isValid() ? hosted.window()->contentItem() : nullptr;
    QQuickItem *list = nullptr;
    if (root) {
        QMetaObject::invokeMethod(hosted.screen(), "openPlaylist");
        quickhost::waitFor([&] {
            list = quickhost::visibleNamed(root, QStringLiteral("listView"));
            return list && quickhost::visibleNamed(list, QStringLiteral("trackRow0"));
        }, 60000);
    }
    if (list) {
        quickhost::waitFor([] { return ArtworkCache::shared().pendingCount() == 0; }, 30000);
        const int before = standIn.artworkRequests();
        for (const double dy : {list->height(), -list->height()})
            for (int guard = 0; guard < 100000 && scrollBy(list, dy); ++guard)
                quickhost::settle(16); // a frame
        QElapsedTimer clock;
        clock.start();
        result.ok = quickhost::waitFor([&] {
            const QList<ArtworkPicture *> shown = picturesInView(list);
            return !shown.isEmpty() && std::all_of(shown.cbegin(), shown.cend(), [](const ArtworkPicture *p) {
                return p->status() == ArtworkPicture::Status::Ready;
            });
        }, 300000);
        result.showMs = double(clock.elapsed());
        result.requests = standIn.artworkRequests() - before;
    }
    hosted = quickhost::HostedScreen();
    engine.reset();
    AuthStore::shared().logout();
    forgetArtwork();
    quickhost::settle(100);
    return result;
}

struct Reorder {
    bool ok = false;
    double firstToEndMs = 0;
    double reversedMs = 0;
    bool focusKept = false;
};

// The track row (its index) holding the focus; -1 when none does.
int focusedTrackRow(QQuickWindow *window)
{
    for (QQuickItem *item = window->activeFocusItem(); item; item = item->parentItem()) {
        const QString name = item->objectName();
        if (name.startsWith(QLatin1String("trackRow")))
            return name.mid(8).toInt();
    }
    return -1;
}

// A station's page of `count` tracks, the focus on a track in the middle, reloaded with the first
// track at the end and then reversed.
Reorder measureReorder(int count)
{
    Reorder result;
    Station station;
    station.genre = QStringLiteral("bench-reorder");
    station.serverName = QStringLiteral("Reorder");
    station.source = QStringLiteral("radio");
    QList<PlaylistTrack> tracks;
    tracks.reserve(count);
    for (int i = 0; i < count; ++i) {
        PlaylistTrack track;
        track.id = i + 1;
        track.title = QStringLiteral("Track %1").arg(i + 1);
        track.duration = 180;
        tracks.append(track);
    }
    station.tracks = tracks;
    auto engine = quickhost::makeEngine();
    quickhost::HostedScreen hosted = quickhost::HostedScreen::loadText(
        *engine,
        "import QtQuick\nimport Melodrift\n"
        "NavigationStack { initialItem: NavigationPage { navigationTitle: \"root\" }\n"
        "  Component.onCompleted: push(Qt.resolvedUrl(\"qrc:/Melodrift/StationDetailView.qml\"),"
        " { station: { genre: \"bench-reorder\", server_name: \"Reorder\", source: \"radio\" } }) }",
        {}, QSize(430, WindowHeight));
    QQuickItem *root = hosted.isValid() ? hosted.window()->contentItem() : nullptr;
    StationDetailViewModel *model = nullptr;
    if (root && quickhost::waitFor([&] {
            model = quickhost::findBelow<StationDetailViewModel>(root);
            return model != nullptr;
        }, 30000))
        model->setStation(station);
    QQuickItem *list = nullptr;
    if (model && quickhost::waitFor([&] {
            list = quickhost::visibleNamed(root, QStringLiteral("listView"));
            return list && quickhost::visibleNamed(list, QStringLiteral("trackRow0"));
        }, 60000)) {
        const int middle = count / 4;
        QMetaObject::invokeMethod(list, "focusRow", Q_ARG(QVariant, middle), Q_ARG(QVariant, 0));
        quickhost::settle(300);
        result.ok = focusedTrackRow(hosted.window()) == middle;
        PauseMeter meter;
        const auto reload = [&](const QList<PlaylistTrack> &order, int focusedAt) {
            Station reordered = station;
            reordered.tracks = order;
            meter.reset();
            model->setStation(reordered);
            quickhost::waitFor([&] { return focusedTrackRow(hosted.window()) == focusedAt; }, 2000);
            quickhost::settle(300);
            const double pause = meter.longestMs();
            result.focusKept = focusedTrackRow(hosted.window()) == focusedAt;
            return pause;
        };
        QList<PlaylistTrack> firstToEnd = tracks;
        firstToEnd.move(0, count - 1);
        result.firstToEndMs = reload(firstToEnd, middle - 1);
        const bool keptFirst = result.focusKept;
        QList<PlaylistTrack> reversed = firstToEnd;
        std::reverse(reversed.begin(), reversed.end());
        result.reversedMs = reload(reversed, count - middle);
        result.focusKept = keptFirst && result.focusKept;
    }
    hosted = quickhost::HostedScreen();
    engine.reset();
    quickhost::settle(100);
    return result;
}

struct Cycles {
    bool ok = false;
    double afterFirstMb = 0;
    double afterLastMb = 0;
};

// A playlist of `count` tracks pushed and popped `times` times.
Cycles measureCycles(int count, int times)
{
    Cycles result;
    StandIn standIn(count);
    if (!standIn.base().isValid())
        return result;
    APIClient::shared().setBaseURL(standIn.base());
    if (!testing_support::runTask(AuthStore::shared().login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok())
        return result;
    auto engine = quickhost::makeEngine();
    quickhost::HostedScreen hosted = quickhost::HostedScreen::loadText(*engine, playlistScene(standIn.bigPlaylist()), {},
                                                                       QSize(430, WindowHeight));
    QQuickItem *root = hosted.isValid() ? hosted.window()->contentItem() : nullptr;
    result.ok = root != nullptr;
    for (int i = 0; result.ok && i < times; ++i) {
        QMetaObject::invokeMethod(hosted.screen(), "openPlaylist");
        result.ok = quickhost::waitFor([&] {
            QQuickItem *list = quickhost::visibleNamed(root, QStringLiteral("listView"));
            return list && quickhost::visibleNamed(list, QStringLiteral("trackRow0"));
        }, 60000);
        quickhost::settle(300);
        QMetaObject::invokeMethod(hosted.screen(), "closePlaylist");
        result.ok = result.ok && quickhost::waitFor([&] {
            return hosted.screen()->property("depth").toInt() == 1 && !hosted.screen()->property("busy").toBool()
                && !quickhost::visibleNamed(root, QStringLiteral("listView"));
        }, 10000);
        quickhost::settle(1500); // the page's deferred deletion, then the heap's release
        (i == 0 ? result.afterFirstMb : result.afterLastMb) = quickhost::residentMegabytes();
    }
    hosted = quickhost::HostedScreen();
    engine.reset();
    AuthStore::shared().logout();
    forgetArtwork();
    quickhost::settle(100);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv); // the player the screens bind to is built on it
    // A home of its own: the sign-ins and the artwork cache stay out of the real one.
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/melodrift-bench-XXXXXX"));
    if (!testing_support::useTemporaryHome(root))
        return 2;
    QGuiApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    // Any other argument picks the screens whose name holds it.
    QStringList only = app.arguments().mid(1);
    only.removeAll(QStringLiteral("--quick"));

    const Screen screens[] = {
        {"library tab, playlists", QByteArray(), "libraryScroll", "playlistCard", 20000},
        {"a playlist's page", "push(Qt.resolvedUrl(\"qrc:/Melodrift/PlaylistDetailView.qml\"), { summary: { id: BIG } })",
         "listView", "trackRow", 20000},
        {"a station's track list",
         "push(Qt.resolvedUrl(\"qrc:/Melodrift/StationDetailView.qml\"), { station: { genre: \"songsara-bulk\","
         " server_name: \"Bulk\", source: \"songsara\" } })",
         "listView", "trackRow", 20000},
        {"SoundCloud results", "push(searchPage)", "resultsList", "resultRow", 8000},
        {"SoundCloud, library card", "soundCloudCard", "libraryScroll", "resultRow", 8000, true},
        {"add-to-playlist sheet", "push(addSheet)", "playlistList", "playlistRow", 20000},
    };

    // The first window of the process compiles the module's QML: not part of any screen's figures.
    measure(screens[0], 10);

    bool missed = false;
    std::printf("%-24s %7s %10s %8s %10s %8s %6s %8s %10s\n", "screen", "items", "open ms", "x10", "growth MB",
                "x10", "built", "artwork", "End/Home ms");
    for (const Screen &screen : screens) {
        if (!only.isEmpty() && std::none_of(only.cbegin(), only.cend(), [&](const QString &part) {
                return QString::fromUtf8(screen.name).contains(part);
            }))
            continue;
        QList<int> sizes{10, 1000};
        if (!quick)
            sizes << screen.largest;
        Figures base;
        for (const int size : sizes) {
            const Figures f = measure(screen, size);
            if (size == 10)
                base = f;
            const double pauseRatio = base.openPauseMs > 0 ? f.openPauseMs / base.openPauseMs : 0;
            const double growthRatio = base.growthMb > 0.5 ? f.growthMb / base.growthMb : 0;
            std::printf("%-24s %7d %10.1f %8.2f %10.1f %8.2f %6d %8d %10.1f\n", screen.name, size, f.openPauseMs,
                        pauseRatio, f.growthMb, growthRatio, f.built, f.artwork, f.scrollPauseMs);
            std::fflush(stdout);
            QStringList misses;
            if (!f.opened)
                misses << QStringLiteral("the list never showed");
            const double pauseTarget = size <= 1000 ? 150 : 400;
            const double growthTarget = size <= 1000 ? 40 : 120;
            if (size > 10 && f.openPauseMs > pauseTarget)
                misses << QStringLiteral("opening paused %1 ms > %2").arg(f.openPauseMs, 0, 'f', 0).arg(pauseTarget);
            if (size > 10 && f.growthMb - base.growthMb > growthTarget)
                misses << QStringLiteral("grew %1 MB more than with 10 > %2").arg(f.growthMb - base.growthMb, 0, 'f', 1).arg(growthTarget);
            if (f.artwork > MaxArtwork)
                misses << QStringLiteral("%1 artwork requests > %2").arg(f.artwork).arg(MaxArtwork);
            if (f.scrollPauseMs > 150)
                misses << QStringLiteral("End/Home paused %1 ms > 150").arg(f.scrollPauseMs, 0, 'f', 0);
            for (const QString &miss : misses)
                std::printf("  MISSED: %s\n", qPrintable(miss));
            missed = missed || !misses.isEmpty();
        }
    }

    const auto wanted = [&](const QString &name) {
        return only.isEmpty() || std::any_of(only.cbegin(), only.cend(), [&](const QString &part) { return name.contains(part); });
    };
    if (wanted(QStringLiteral("a playlist's page, fast scroll"))) {
        const FastScroll f = measureFastScroll();
        std::printf("fast scroll, 1,000 tracks, artwork 0.3 s late: rows in view showed theirs %.0f ms after the"
                    " scroll, %d artwork requests\n", f.showMs, f.requests);
        if (!f.ok || f.showMs > 2000) {
            std::printf("  MISSED: the rows in view showed their artwork %.0f ms after the scroll > 2000\n", f.showMs);
            missed = true;
        }
    }
    if (wanted(QStringLiteral("a station's track list, reload reordered"))) {
        const int count = quick ? 1000 : 20000;
        const Reorder r = measureReorder(count);
        std::printf("reload reordered, %d tracks: first to the end %.1f ms, reversed %.1f ms, focus %s\n", count,
                    r.firstToEndMs, r.reversedMs, r.focusKept ? "kept on its track" : "LOST");
        if (!r.ok || r.firstToEndMs > 100 || r.reversedMs > 100 || !r.focusKept) {
            std::printf("  MISSED: %s\n", !r.ok ? "the list never showed"
                                         : !r.focusKept ? "the focus left its track"
                                                        : qPrintable(QStringLiteral("a reload paused %1 ms > 100")
                                                                         .arg(std::max(r.firstToEndMs, r.reversedMs), 0, 'f', 0)));
            missed = true;
        }
    }
    if (!quick && wanted(QStringLiteral("a playlist's page, cycles"))) {
        constexpr int Times = 20;
        const Cycles c = measureCycles(16000, Times);
        const double growth = c.afterLastMb - c.afterFirstMb;
        std::printf("16,000 tracks opened and closed %d times: %.1f MB after the first, %.1f MB after the last"
                    " (%+.1f MB)\n", Times, c.afterFirstMb, c.afterLastMb, growth);
        if (!c.ok || growth > 40) {
            std::printf("  MISSED: %s\n", c.ok ? qPrintable(QStringLiteral("grew %1 MB > 40").arg(growth, 0, 'f', 1))
                                              : "the page did not open and close");
            missed = true;
        }
    }
    // Last, as they leave the most behind them for the heap to give back.
    for (const Screen &screen : screens) {
        if (!wanted(QString::fromUtf8(screen.name) + QStringLiteral(", passes")))
            continue;
        const Figures f = measure(screen, 1000, true);
        const int allowed = std::max(0, f.firstPass - f.heldAfterFirst) + MaxArtwork;
        std::printf("%-24s    1000: two passes down and up, %d artwork requests, then %d (%d pictures held)\n",
                    screen.name, f.firstPass, f.secondPass, f.heldAfterFirst);
        if (!f.opened || f.secondPass > allowed) {
            std::printf("  MISSED: second pass: %d artwork requests > %d\n", f.secondPass, allowed);
            missed = true;
        }
    }
    return missed ? 1 : 0;
}
