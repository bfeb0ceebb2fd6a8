#include "Platform/AudioSession.h"
#include "Platform/MicrophonePermission.h"
#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/FakePlaybackEngine.h"
#include "support/FakeStationSource.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// One recognition end to end: a real GStreamer recording from a test tone, the upload to the
// stand-in backend over HTTP, the published states, and what is left behind.

using quickhost::waitFor;
using namespace Qt::StringLiterals;

namespace {

const QString Tone = u"audiotestsrc is-live=true freq=440 volume=0.4"_s;

// What GStreamer's discoverer makes of a file.
struct Probe {
    QString container;
    QString audio;
    int sampleRate = 0;
    int channels = 0;
    double seconds = 0;
};

Probe probe(const QString &path)
{
    Probe out;
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
    if (!discoverer)
        return out;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        out.seconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
        GstDiscovererStreamInfo *top = gst_discoverer_info_get_stream_info(info);
        if (GstCaps *caps = top ? gst_discoverer_stream_info_get_caps(top) : nullptr) {
            out.container = QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0)));
            gst_caps_unref(caps);
        }
        if (top)
            gst_discoverer_stream_info_unref(top);
        GList *audio = gst_discoverer_info_get_audio_streams(info);
        if (audio) {
            auto *stream = GST_DISCOVERER_AUDIO_INFO(audio->data);
            out.sampleRate = int(gst_discoverer_audio_info_get_sample_rate(stream));
            out.channels = int(gst_discoverer_audio_info_get_channels(stream));
            GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(stream));
            gchar *text = gst_caps_to_string(caps);
            out.audio = QString::fromUtf8(text);
            g_free(text);
            gst_caps_unref(caps);
        }
        gst_discoverer_stream_info_list_free(audio);
    }
    if (info)
        gst_discoverer_info_unref(info);
    if (error)
        g_error_free(error);
    g_object_unref(discoverer);
    return out;
}

class ShazamRecognitionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(offlineDir.isValid());
        ASSERT_NE(server.listen(), 0u);
        state = &standin::installAccountRoutes(server);
        APIClient::Options options;
        options.baseURL = server.baseUrl();
        client = std::make_unique<APIClient>(options);
        offline = std::make_unique<OfflineStore>(offlineDir.path(), client.get());
        lookup = std::make_unique<OfflineStoreLookup>(offline.get());
        RadioPlayer::Dependencies deps;
        deps.engine = &engine;
        deps.stations = &source;
        deps.offline = lookup.get();
        deps.audioSession = &session();
        player = std::make_unique<RadioPlayer>(deps);
        ASSERT_EQ(session().category(), AudioSession::Category::Playback);
    }
    void TearDown() override
    {
        manager.reset();
        if (!fifo.isEmpty())
            unblock();
        player.reset();
        offline->waitForIndexWrites();
    }

    static AudioSession &session() { return AudioSession::sharedInstance(); }

    void makeManager(MicrophonePermission *permission, const QString &recordingSource = Tone, int recordingMs = 700,
                     int startTimeoutMs = ShazamManager::RecordingStartTimeoutMs)
    {
        ShazamManager::Dependencies deps;
        deps.client = client.get();
        deps.session = &session();
        deps.permission = permission;
        RadioPlayer *p = player.get();
        deps.restorePlayerSession = [p] { p->configureAudioSession(); };
        deps.temporaryDirectory = tmp.path();
        deps.recordingSource = recordingSource;
        deps.recordingMs = recordingMs;
        deps.recordingStartTimeoutMs = startTimeoutMs;
        manager = std::make_unique<ShazamManager>(deps);
    }

    QStringList snippets() const
    {
        return QDir(tmp.path()).entryList({u"shazam_snippet_*"_s}, QDir::Files);
    }
    // Recordings and the private folders they may be in, anywhere under the temporary folder.
    QStringList recordingsAnywhere() const
    {
        QStringList found;
        QDirIterator it(tmp.path(), {u"shazam_snippet_*"_s, u"melodrift-recording-*"_s},
                        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(tmp.path()).relativeFilePath(it.next());
        return found;
    }
    // A pipe nobody writes into, as a recording source: opening it blocks.
    QString blockingSource()
    {
        fifo = tmp.filePath(u"microphone.fifo"_s);
        if (!QFileInfo::exists(fifo)) {
            EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        }
        return u"filesrc location=\"%1\" ! decodebin"_s.arg(fifo);
    }
    // Lets the starts still blocked on the pipe end.
    void unblock()
    {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    bool idle() const { return !manager->isListening() && !manager->isProcessing(); }
    // Waits until a started recognition has ended one way or the other.
    bool waitForOutcome(int timeoutMs = 30000)
    {
        return waitFor([&] { return idle() && (manager->recognizedTrack() || manager->errorMessage()); }, timeoutMs);
    }

    QTemporaryDir tmp;
    QString fifo;
    QTemporaryDir offlineDir;
    standin::StandInServer server;
    standin::AccountState *state = nullptr;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<OfflineStore> offline;
    std::unique_ptr<OfflineStoreLookup> lookup;
    FakePlaybackEngine engine;
    FakeStationSource source;
    std::unique_ptr<RadioPlayer> player;
    FixedMicrophonePermission granted{true};
    std::unique_ptr<ShazamManager> manager;
};

} // namespace

TEST(ShazamSnippet, TheFileNameCarriesTheWholeSecondsOnly)
{
    const struct {
        double seconds;
        const char *name;
    } rows[] = {
        {1'700'000'000.0, "shazam_snippet_1700000000.m4a"},
        {1'700'000'000.25, "shazam_snippet_1700000000.m4a"},
        {1'700'000'000.999, "shazam_snippet_1700000000.m4a"},
        {7.5, "shazam_snippet_7.m4a"},
        {0.0, "shazam_snippet_0.m4a"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ShazamManager::snippetFileName(row.seconds), QString::fromLatin1(row.name)) << row.seconds;
}

TEST_F(ShazamRecognitionTest, AToneIsRecordedUploadedAsMp4AndRecognised)
{
    makeManager(&granted, Tone, ShazamManager::RecordingMs);
    manager->setClockForTesting([] { return 1'700'000'123.75; });
    QList<std::pair<bool, bool>> states;
    const auto note = [&] { states.append({manager->isListening(), manager->isProcessing()}); };
    QObject::connect(manager.get(), &ShazamManager::isListeningChanged, note);
    QObject::connect(manager.get(), &ShazamManager::isProcessingChanged, note);

    manager->startRecognition();
    ASSERT_TRUE(waitFor([&] { return manager->isListening(); }, 10000));
    EXPECT_FALSE(manager->isProcessing());
    EXPECT_FALSE(manager->errorMessage());
    EXPECT_FALSE(manager->recognizedTrack());
    EXPECT_EQ(session().category(), AudioSession::Category::PlayAndRecord);
    EXPECT_EQ(session().categoryOptions(), AudioSession::AllowBluetooth | AudioSession::DefaultToSpeaker);
    EXPECT_TRUE(session().isActive());
    EXPECT_EQ(snippets(), QStringList{u"shazam_snippet_1700000123.m4a"_s});

    ASSERT_TRUE(waitFor([&] { return manager->isProcessing(); }, 10000));
    EXPECT_FALSE(manager->isListening());
    ASSERT_TRUE(waitForOutcome());
    EXPECT_FALSE(manager->errorMessage()) << qPrintable(manager->errorMessage().value_or(QString()));
    ASSERT_TRUE(manager->recognizedTrack());

    // The stand-in answers one of its catalogue tracks.
    const ShazamData &track = *manager->recognizedTrack();
    bool known = false;
    for (const standin::CatalogueTrack &t : state->catalogue())
        known = known || (track.title == t.title && track.artist == t.artist && track.streamURL == t.streamURL);
    EXPECT_TRUE(known) << qPrintable(track.title.value_or(QString()));

    // listening, then processing (listening off first), then idle.
    const QList<std::pair<bool, bool>> expected{{true, false}, {true, false}, {false, false}, {false, true},
                                                {false, false}};
    EXPECT_EQ(states, expected);

    // Nothing left behind; the player has its session back.
    EXPECT_TRUE(snippets().isEmpty());
    EXPECT_EQ(session().category(), AudioSession::Category::Playback);
    EXPECT_TRUE(session().isActive());

    // The body is the recording: AAC in an MPEG-4 container, 44.1 kHz mono, about 4.5 s.
    const QList<standin::RecordedRequest> uploads = server.requestsTo(u"/api/shazam"_s);
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0].header("Content-Type"), QByteArray("audio/mp4"));
    EXPECT_TRUE(uploads[0].header("Authorization").isEmpty());
    const QString copy = QDir(tmp.path()).filePath(u"upload.m4a"_s);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(uploads[0].body);
    file.close();
    const Probe p = probe(copy);
    EXPECT_TRUE(p.container == u"audio/x-m4a"_s || p.container.startsWith(u"video/quicktime"_s))
        << qPrintable(p.container);
    EXPECT_TRUE(p.audio.startsWith(u"audio/mpeg"_s) && p.audio.contains(u"mpegversion=(int)4"_s))
        << qPrintable(p.audio);
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_EQ(p.channels, 1);
    EXPECT_GT(p.seconds, 3.5);
    EXPECT_LT(p.seconds, 6.0);
}

TEST_F(ShazamRecognitionTest, EveryFailureShowsItsTextAndLeavesNothingBehind)
{
    FixedMicrophonePermission refused(false);
    const struct {
        const char *name;
        bool permission;
        bool sessionFails;
        QString source;
        int status; // a scripted reply of the backend; 0: its own answer
        QByteArray body;
        QString text;
        bool uploads;
    } rows[] = {
        {"permission refused", false, false, Tone, 0, {}, ShazamManager::MicrophoneRefusedText, false},
        {"session refused", true, true, Tone, 0, {}, ShazamManager::RecordingStartText, false},
        {"source does not start", true, false, u"filesrc location=/nonexistent/mic.ogg ! decodebin"_s, 0, {},
         ShazamManager::RecordingStartText, false},
        {"no such source", true, false, u"nosuchmicrophonesrc"_s, 0, {}, ShazamManager::RecordingStartText, false},
        {"source blocks while opening", true, false, blockingSource(), 0, {}, ShazamManager::RecordingStartText,
         false},
        {"server message", true, false, Tone, 404, R"({"code":404,"message":"آهنگی پیدا نشد"})",
         u"آهنگی پیدا نشد"_s, true},
        {"status without message", true, false, Tone, 500, "", u"خطای سرور (500)"_s, true},
        {"success without data", true, false, Tone, 200, R"({"code":200,"message":"ok"})",
         u"خطا در پردازش پاسخ سرور"_s, true},
        {"not JSON", true, false, Tone, 200, "<html>busy</html>", ShazamManager::NoMatchText, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        server.clearRequests();
        server.unscript("POST", u"/api/shazam"_s);
        if (row.status)
            server.script("POST", u"/api/shazam"_s, standin::Reply::json(row.body, row.status));
        // A short time limit for the source that never opens; the others get the usual one.
        makeManager(row.permission ? &granted : &refused, row.source, 700,
                    row.source.contains(u".fifo"_s) ? 800 : ShazamManager::RecordingStartTimeoutMs);
        if (row.sessionFails)
            session().failNextCall(u"busy"_s);

        bool everListened = false;
        QObject::connect(manager.get(), &ShazamManager::isListeningChanged,
                         [&] { everListened = everListened || manager->isListening(); });
        manager->startRecognition();
        ASSERT_TRUE(waitForOutcome());
        EXPECT_EQ(manager->errorMessage(), std::optional<QString>(row.text));
        EXPECT_FALSE(manager->recognizedTrack());
        EXPECT_EQ(everListened, row.uploads);
        EXPECT_EQ(server.countRequests(u"/api/shazam"_s), row.uploads ? 1 : 0);
        EXPECT_TRUE(recordingsAnywhere().isEmpty()) << qPrintable(recordingsAnywhere().join(u' '));
        EXPECT_EQ(session().category(), AudioSession::Category::Playback);
    }
}

TEST_F(ShazamRecognitionTest, ASecondStartBeforeTheFirstIsUnderWayStartsNothing)
{
    makeManager(&granted);
    manager->startRecognition();
    manager->startRecognition(); // a double click: the first has not set its flags yet
    EXPECT_EQ(granted.requests(), 1);
    ASSERT_TRUE(waitFor([&] { return manager->isListening(); }, 10000));
    manager->startRecognition(); // while listening
    ASSERT_TRUE(waitFor([&] { return manager->isProcessing(); }, 10000));
    manager->startRecognition(); // while processing
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(granted.requests(), 1);
    EXPECT_EQ(server.countRequests(u"/api/shazam"_s), 1);

    // Once idle again (with a result), a start is taken, and clears the result as it listens.
    ASSERT_TRUE(manager->recognizedTrack());
    manager->startRecognition();
    EXPECT_EQ(granted.requests(), 2);
    ASSERT_TRUE(waitFor([&] { return manager->isListening(); }, 10000));
    EXPECT_FALSE(manager->recognizedTrack());
    ASSERT_TRUE(waitForOutcome());
}

namespace {

// What this process holds: its threads, its open descriptors, and its recording processes alive.
int threadCount()
{
    return int(QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
int descriptorCount()
{
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}
int recorderProcesses()
{
    int found = 0;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "<pid> (<name>) <state> <parent> …"
        const QString line = QString::fromLocal8Bit(stat.readAll());
        const qsizetype close = line.lastIndexOf(u')');
        const QStringList rest = line.mid(close + 2).split(u' ');
        if (line.contains(u"(melodrift-recor"_s) && rest.size() > 1 && rest.at(1) == self && rest.at(0) != u"Z"_s)
            ++found;
    }
    return found;
}

} // namespace

TEST_F(ShazamRecognitionTest, AStartThatBlocksShowsItselfTakesOnePressAndLeavesNothingBehind)
{
    makeManager(&granted, blockingSource(), 700, 800);
    const auto attempt = [&] {
        manager->clearErrorMessage(); // as "تلاش دوباره" does
        manager->startRecognition();
        EXPECT_TRUE(manager->isStarting());
        manager->startRecognition(); // a second press while the source is opening
        // The start waits in its recording process, and says so.
        ASSERT_TRUE(waitFor([&] { return recorderProcesses() == 1; }, 10000));
        quickhost::settle(200);
        EXPECT_TRUE(manager->isStarting());
        EXPECT_FALSE(manager->isListening());
        EXPECT_EQ(recorderProcesses(), 1);
        ASSERT_TRUE(waitForOutcome());
        EXPECT_FALSE(manager->isStarting());
        EXPECT_EQ(manager->errorMessage(), std::optional<QString>(ShazamManager::RecordingStartText));
        // The process went with the attempt.
        EXPECT_EQ(recorderProcesses(), 0);
    };
    attempt(); // (the first one also starts the thread pool's threads)
    const int threads = threadCount();
    const int descriptors = descriptorCount();
    for (int i = 0; i < 3; ++i)
        attempt();
    EXPECT_EQ(granted.requests(), 4);
    // Nothing stays behind per failed start: no thread waiting on the source, no descriptor.
    EXPECT_LE(threadCount(), threads);
    EXPECT_EQ(descriptorCount(), descriptors);
    EXPECT_TRUE(recordingsAnywhere().isEmpty()) << qPrintable(recordingsAnywhere().join(u' '));
}

TEST_F(ShazamRecognitionTest, AManagerThatGoesWhileRecordingLeavesNoFileAndWaitsForNothing)
{
    // As when the application quits: while the recorder starts, while it records, and while a
    // source that blocks as it opens holds the start (with a time limit far away).
    const struct {
        const char *name;
        bool blocking;
        bool listening;
    } rows[] = {
        {"starting", false, false},
        {"listening", false, true},
        {"source blocks while opening", true, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        makeManager(&granted, row.blocking ? blockingSource() : Tone, ShazamManager::RecordingMs, 60'000);
        manager->startRecognition();
        ASSERT_TRUE(waitFor([&] { return row.listening ? manager->isListening() : !snippets().isEmpty(); }, 10000));
        if (row.blocking)
            quickhost::settle(300); // the start is now waiting for the pipe
        QElapsedTimer clock;
        clock.start();
        manager.reset();
        // The start on the thread pool gives up at once: nothing is left for the quit to wait on.
        EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(3000));
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(recordingsAnywhere().isEmpty()) << qPrintable(recordingsAnywhere().join(u' '));
    }
}

TEST_F(ShazamRecognitionTest, TheRecordingNeverGoesThroughWhatIsPlantedUnderItsName)
{
    // Whatever someone put under the recording's guessable name stays as it was, the file it
    // points to too, and the recognition still succeeds (from a folder of the manager's own).
    const QString victim = tmp.filePath(u"victim.txt"_s);
    const QString nowhere = tmp.filePath(u"nowhere.txt"_s);
    const QByteArray victimText = "not the recording's";
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(victimText);
    }
    const struct {
        const char *name;
        std::function<bool(const QString &)> plant; // null: nothing planted
        bool isLink;
    } rows[] = {
        {"nothing planted", nullptr, false},
        {"link to a file", [&](const QString &at) { return QFile::link(victim, at); }, true},
        {"link to nowhere", [&](const QString &at) { return QFile::link(nowhere, at); }, true},
        {"a file left behind", [&](const QString &at) { return QFile::copy(victim, at); }, false},
        {"a folder", [&](const QString &at) { return QDir().mkdir(at); }, false},
    };
    double second = 1'700'000'000.5;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        server.clearRequests();
        makeManager(&granted);
        second += 10;
        manager->setClockForTesting([second] { return second; });
        const QString name = ShazamManager::snippetFileName(second);
        const QString planted = tmp.filePath(name);
        if (row.plant) {
            ASSERT_TRUE(row.plant(planted));
        }

        manager->startRecognition();
        ASSERT_TRUE(waitFor([&] { return manager->isListening(); }, 10000));
        QStringList recordings;
        for (const QString &found : recordingsAnywhere())
            if (found.endsWith(name) && found != name)
                recordings << found;
        if (row.plant) {
            // The same name, in a folder only this user may enter.
            ASSERT_EQ(recordings.size(), 1) << qPrintable(recordingsAnywhere().join(u' '));
            const QFileInfo folder(QFileInfo(tmp.filePath(recordings[0])).absolutePath());
            EXPECT_EQ(folder.permissions() & 0x0077, QFileDevice::Permissions());
            EXPECT_EQ(folder.ownerId(), ::geteuid());
        } else {
            EXPECT_EQ(snippets(), QStringList{name});
        }
        ASSERT_TRUE(waitForOutcome());
        EXPECT_TRUE(manager->recognizedTrack()) << qPrintable(manager->errorMessage().value_or(QString()));
        ASSERT_EQ(server.countRequests(u"/api/shazam"_s), 1);
        EXPECT_GT(server.requestsTo(u"/api/shazam"_s)[0].body.size(), 1000);

        EXPECT_EQ(QFileInfo(planted).isSymLink(), row.isLink);
        EXPECT_EQ(QFileInfo::exists(planted) || row.isLink, bool(row.plant));
        QFile check(victim);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), victimText);
        EXPECT_FALSE(QFileInfo::exists(nowhere));
        // Only what was planted is left.
        const QStringList left = recordingsAnywhere();
        EXPECT_EQ(left, row.plant ? QStringList{name} : QStringList()) << qPrintable(left.join(u' '));
        manager.reset();
        if (row.plant && !QDir().rmdir(planted))
            QFile::remove(planted);
    }
}
