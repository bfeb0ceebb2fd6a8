#include "support/AccountRoutes.h"
#include "support/AdRoutes.h"
#include "support/BulkLibrary.h"
#include "support/DemoCatalogue.h"
#include "support/HostileRoutes.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <gst/gst.h>

#include <cstdio>

// melodrift-stand-in: the stand-in backend as a command, with its demo catalogue.
int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("melodrift-stand-in"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in Melodrift backend on 127.0.0.1"));
    parser.addHelpOption();
    QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    parser.addOption(portOption);
    QCommandLineOption extraOption(QStringLiteral("extra-stations"),
                                   QStringLiteral("Append this many plain rotations to the catalogue."),
                                   QStringLiteral("count"), QStringLiteral("0"));
    parser.addOption(extraOption);
    QCommandLineOption hostileOption(QStringLiteral("hostile"),
                                     QStringLiteral("Serve a catalogue whose addresses misbehave (see HostileRoutes.h)."));
    parser.addOption(hostileOption);
    QCommandLineOption trackSecondsOption(QStringLiteral("track-seconds"),
                                          QStringLiteral("How long a rotation's tracks last (0.1 to 600; default 12)."),
                                          QStringLiteral("seconds"), QString::number(standin::DefaultTrackSeconds));
    parser.addOption(trackSecondsOption);
    QCommandLineOption bulkOption(QStringLiteral("bulk"),
                                  QStringLiteral("Serve long lists: this many playlists, tracks of one playlist, "
                                                 "tracks of the songsara station \"bulk\" and SoundCloud results."),
                                  QStringLiteral("count"), QStringLiteral("0"));
    parser.addOption(bulkOption);
    QCommandLineOption artworkDelayOption(QStringLiteral("artwork-delay-ms"),
                                          QStringLiteral("Answer each artwork request this late (0 to 60000)."),
                                          QStringLiteral("ms"), QStringLiteral("0"));
    parser.addOption(artworkDelayOption);
    QCommandLineOption liveStreamOption(QStringLiteral("live-stream"),
                                        QStringLiteral("The live stations stream from this address (a radio server)."),
                                        QStringLiteral("address"));
    parser.addOption(liveStreamOption);
    parser.process(app);

    standin::StandInServer server;
    server.setLogRequests(true);
    const quint16 port = server.listen(parser.value(portOption).toUShort());
    standin::DemoCatalogue catalogue = parser.isSet(hostileOption)
        ? standin::hostileCatalogue(server.baseUrl()) : standin::DemoCatalogue::standard();
    catalogue.addExtraStations(qBound(0, parser.value(extraOption).toInt(), 100000));
    catalogue.artworkDelayMs = qBound(0, parser.value(artworkDelayOption).toInt(), 60000);
    if (parser.isSet(liveStreamOption))
        catalogue.streamLiveFrom(parser.value(liveStreamOption));
    const auto served = standin::installDemoCatalogue(server, std::move(catalogue));
    bool secondsOk = false;
    const double trackSeconds = parser.value(trackSecondsOption).toDouble(&secondsOk);
    standin::installAudioRoutes(server, secondsOk ? trackSeconds : standin::DefaultTrackSeconds);
    standin::AccountState &account = standin::installAccountRoutes(server);
    const int bulk = qBound(0, parser.value(bulkOption).toInt(), 100000);
    if (bulk > 0) {
        const standin::BulkLibrary lists = standin::installBulkLibrary(server, account, served, bulk);
        std::printf("[stand-in] bulk lists of %d; the long playlist is %lld\n", bulk,
                    static_cast<long long>(lists.bigPlaylistID));
    }
    standin::installHostileRoutes(server);
    standin::installAdRoutes(server);
    if (port == 0) {
        std::fprintf(stderr, "melodrift-stand-in: cannot listen on port %s\n",
                     qPrintable(parser.value(portOption)));
        return 1;
    }
    std::printf("[stand-in] listening on %s\n", qPrintable(server.baseUrl().toString()));
    std::fflush(stdout);
    return app.exec();
}
