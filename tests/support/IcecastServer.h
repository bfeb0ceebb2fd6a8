#pragma once

#include <QHash>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QProcess;

namespace testsupport {

// What a source client sends to a mount: an endless sine tone encoded as a radio station would
// (ffmpeg), or a playlist of short Ogg Vorbis tones sent file after file, a new logical stream
// each (chained Ogg, as ezstream sends a playlist).
enum class MountFormat { Mp3, OggVorbis, OggOpus, OggFlac, Aac, ChainedOgg };

// A real radio server: Debian's icecast2 on a free loopback port, with ffmpeg as the source
// client of each mount. Its configuration lives in a temporary folder of its own and it logs to
// its standard error only, so it writes nothing anywhere else. The faults a listener meets are
// real too: the server stops and comes back, a source goes away, the server freezes.
// Every wait is for the event itself (the server answers, a mount is listed or gone).
class IcecastServer
{
public:
    IcecastServer();
    ~IcecastServer();
    IcecastServer(const IcecastServer &) = delete;
    IcecastServer &operator=(const IcecastServer &) = delete;

    // How long each file of the chained Ogg playlist plays (seconds).
    static constexpr int ChainSeconds = 2;

    // Why the server cannot run here (icecast2, ffmpeg or ezstream missing), or empty.
    static QString missingTools();

    // Starts the server (again on the same port once it has run) and the sources it had. False
    // when it does not answer.
    bool start();
    // Stops the server; its sources end with it and are started again by start().
    void stop();
    // Freezes and thaws the server's process (SIGSTOP, SIGCONT): its sockets stay open, silent.
    void freeze();
    void thaw();

    // Starts the source client of `mount` (a path such as "/radio.mp3") and waits until the
    // server lists it.
    bool startSource(const QString &mount, MountFormat format);
    // Kills the source client of `mount` and waits until the server has dropped the mount.
    bool killSource(const QString &mount);
    // Starts again the source clients that ended (as a source client that reconnects does, after
    // the server dropped it) and waits until the server lists every mount.
    bool reviveSources();

    // Waits until the server holds a full burst of `mount` for the next listener, as a station
    // that has been on the air for a while does. Until then a listener gets only what the
    // source has sent since it came, and a player waits for the rest at the stream's own pace
    // (a quiet Vorbis tone comes at a fifth of the bitrate it announces). False when the time
    // is up first (the mount is gone, or the server does not tell).
    bool waitForFullBurst(const QString &mount, int timeoutMs = 120000);
    // What the server has taken from the source of `mount` (its statistics), -1 when unknown.
    qint64 bytesFromSource(const QString &mount);
    // The same, read from the server's statistics page.
    static qint64 bytesFromSource(const QByteArray &statsPage, const QString &mount);

    bool isRunning() const;
    quint16 port() const { return m_port; }
    QUrl url(const QString &mount) const;
    // The server's own account of what happened (its standard error).
    QString log() const;

private:
    // Runs the server and waits until it answers; false when it cannot be run at all.
    bool launch();
    bool waitForMount(const QString &mount, bool listed);
    QByteArray adminPage(const QString &pathAndQuery); // empty when it does not answer
    bool runSource(const QString &mount);
    // The chained source's playlist and configuration; its configuration's path, empty on failure.
    QString chainConfig(const QString &mount);
    bool answers();
    QString writeConfig();

    QTemporaryDir m_dir;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_server;
    QHash<QString, MountFormat> m_mounts;
    QHash<QString, QProcess *> m_sources;
    QString m_log;
    bool m_frozen = false;
};

} // namespace testsupport
