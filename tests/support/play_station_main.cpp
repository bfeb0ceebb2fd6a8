#include "Platform/Console.h"
#include "Platform/MprisService.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCoroTask>
#include <gst/gst.h>

// melodrift-play-station: plays one station of the backend (MELODRIFT_API_BASE_URL, e.g. the
// stand-in) with the real player, so that it can be listened to and driven with playerctl before
// the application's window exists.

namespace {

// Through the console, so that a line never mixes with one the equaliser's tap writes at the
// same time on an audio thread.
void say(const QString &text)
{
    Console::line(QStringLiteral("[play-station] ") + text);
}

QCoro::Task<> start(QString genre, std::optional<qint64> track)
{
    QList<Station> stations;
    try {
        stations = co_await APIClient::shared().fetchStations();
    } catch (const AppError &error) {
        say(QStringLiteral("cannot load the catalogue: ") + error.errorDescription());
        QCoreApplication::exit(1);
        co_return;
    } catch (...) {
        say(QStringLiteral("cannot load the catalogue"));
        QCoreApplication::exit(1);
        co_return;
    }
    const auto found = std::find_if(stations.cbegin(), stations.cend(),
                                    [&](const Station &s) { return s.genre == genre; });
    if (found == stations.cend()) {
        QStringList genres;
        for (const Station &s : std::as_const(stations))
            genres << s.genre;
        say(QStringLiteral("no station \"%1\"; the catalogue has: %2").arg(genre, genres.join(QStringLiteral(", "))));
        QCoreApplication::exit(1);
        co_return;
    }
    Station station = *found;
    // Without a chosen track the player follows the server's rotation, as a station card does.
    station.trackIndex = track;
    RadioPlayer *player = RadioPlayer::shared();
    QObject::connect(player, &RadioPlayer::currentStationChanged, player, [player] {
        if (const auto &s = player->currentStation())
            say(QStringLiteral("station: %1 | track: %2 | artist: %3")
                    .arg(s->displayName(), s->displayTrackTitle(), s->displayArtist()));
    });
    QObject::connect(player, &RadioPlayer::isPlayingChanged, player, [player, shown = false]() mutable {
        if (player->isPlaying() == shown)
            return;
        shown = player->isPlaying();
        say(shown ? QStringLiteral("playing") : QStringLiteral("paused"));
    });
    player->select(station);
    if (MprisService *mpris = MprisService::startShared())
        say(QStringLiteral("control it with: playerctl -p %1 play-pause|next|previous|position|metadata")
                .arg(mpris->serviceName().mid(QStringLiteral("org.mpris.MediaPlayer2.").size())));
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("melodrift-play-station"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays one station of the backend set by MELODRIFT_API_BASE_URL."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("genre"), QStringLiteral("The station's genre, e.g. persian."));
    QCommandLineOption trackOption(QStringLiteral("track"), QStringLiteral("Play this track of a rotation instead of following the server."),
                                   QStringLiteral("index"));
    parser.addOption(trackOption);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    std::optional<qint64> track;
    if (parser.isSet(trackOption)) {
        bool ok = false;
        track = parser.value(trackOption).toLongLong(&ok);
        if (!ok)
            parser.showHelp(2);
    }
    say(QStringLiteral("backend ") + APIClient::shared().baseURL().toString());
    start(parser.positionalArguments().first(), track);
    return app.exec();
}
