#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

// Runs playerctl, the outside MPRIS client, against one player while this process keeps serving
// the bus (a blocking wait would deadlock: playerctl calls back into us).
namespace playerctl {

struct Result {
    int exitCode = -1;
    QString out; // trimmed standard output
    QString err;
};

// True when there is a session bus and playerctl is installed.
bool available();

// A private connection to the session bus, so that each test exports its own player.
QDBusConnection privateSessionConnection();

// An MPRIS service name of this test process's own, so that playerctl never confuses its player
// with one of another test running on the same bus ("melodrift" would also match
// "melodrift.instance42").
QString uniqueServiceName();

// `player` is the service name without "org.mpris.MediaPlayer2.".
Result run(const QString &player, const QStringList &arguments, int timeoutMs = 20000);

// The player part of a full MPRIS service name.
QString playerName(const QString &serviceName);

} // namespace playerctl
