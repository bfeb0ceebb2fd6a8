#include "support/IcecastServer.h"

#include "support/PlaybackTestSupport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QXmlStreamReader>

#include <csignal>
#include <unistd.h>

namespace testsupport {

namespace {

const QString SourcePassword = QStringLiteral("melodrift-source");
constexpr int ServerWaitMs = 15000;
constexpr qsizetype MaxLogChars = 256 * 1024;
constexpr qint64 BurstBytes = 65536;
// An Ogg stream's headers count among what the source sent, but not in the burst.
constexpr qint64 HeaderAllowanceBytes = 16384;
constexpr int StatsPollMs = 250;

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QStringList encoderArguments(MountFormat format)
{
    switch (format) {
    case MountFormat::Mp3:
        return {"-c:a", "libmp3lame", "-b:a", "128k", "-content_type", "audio/mpeg", "-f", "mp3"};
    case MountFormat::OggVorbis:
        return {"-c:a", "libvorbis", "-b:a", "96k", "-content_type", "audio/ogg", "-f", "ogg"};
    case MountFormat::OggOpus:
        return {"-c:a", "libopus", "-b:a", "96k", "-content_type", "audio/ogg", "-f", "ogg"};
    case MountFormat::OggFlac:
        return {"-c:a", "flac", "-content_type", "audio/ogg", "-f", "ogg"};
    case MountFormat::Aac:
        return {"-c:a", "aac", "-b:a", "128k", "-content_type", "audio/aac", "-f", "adts"};
    case MountFormat::ChainedOgg:
        break;
    }
    return {};
}

void endProcess(QProcess &process, bool kill)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (kill)
        process.kill();
    else
        process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

IcecastServer::IcecastServer() = default;

IcecastServer::~IcecastServer()
{
    thaw();
    for (QProcess *source : std::as_const(m_sources)) {
        endProcess(*source, true);
        delete source;
    }
    if (m_server)
        endProcess(*m_server, false);
}

QString IcecastServer::missingTools()
{
    QStringList missing;
    for (const QString &tool : {QStringLiteral("icecast2"), QStringLiteral("ffmpeg"), QStringLiteral("ezstream")}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    return missing.isEmpty() ? QString()
                             : missing.join(QLatin1String(", ")) + QStringLiteral(" not installed (scripts/setup.sh)");
}

QString IcecastServer::writeConfig()
{
    // Run as root the server must give its rights away, to the user Debian's package made for it.
    const QString owner = geteuid() == 0 ? QStringLiteral("<changeowner><user>icecast2</user><group>icecast</group>"
                                                          "</changeowner>")
                                         : QString();
    const QString config = QStringLiteral(R"(<icecast>
  <location>test</location><admin>test@localhost</admin>
  <limits><clients>64</clients><sources>16</sources><queue-size>524288</queue-size>
    <client-timeout>30</client-timeout><header-timeout>15</header-timeout><source-timeout>10</source-timeout>
    <burst-size>%5</burst-size></limits>
  <authentication><source-password>%2</source-password><admin-user>admin</admin-user>
    <admin-password>%2</admin-password></authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>%1</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>0</fileserve>
  <paths><basedir>/usr/share/icecast2</basedir><logdir>%3</logdir><webroot>/usr/share/icecast2/web</webroot>
    <adminroot>/usr/share/icecast2/admin</adminroot></paths>
  <logging><accesslog>-</accesslog><errorlog>-</errorlog><loglevel>3</loglevel></logging>
  <security><chroot>0</chroot>%4</security>
</icecast>
)")
                               .arg(m_port)
                               .arg(SourcePassword, m_dir.path(), owner)
                               .arg(BurstBytes);
    const QString path = m_dir.filePath(QStringLiteral("icecast.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toUtf8()) < 0 || !file.flush())
        return {};
    return path;
}

bool IcecastServer::start()
{
    if (!m_dir.isValid() || !missingTools().isEmpty())
        return false;
    if (isRunning())
        return true;
    // A port found free may be taken before the server binds it: then it exits, and another is
    // tried. icecast 2.4 can also crash on a request that comes while it sets up (about one
    // start in ten when asked at once; less once it has said its sockets and threads are up,
    // which is waited for): a start that crashes before its sources are on is tried again.
    const bool firstStart = m_port == 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (firstStart && attempt == 0)
            m_port = freeLoopbackPort();
        if (!launch())
            return false;
        if (isRunning()) {
            bool sourcesOn = true;
            for (auto it = m_mounts.cbegin(); sourcesOn && it != m_mounts.cend(); ++it)
                sourcesOn = runSource(it.key());
            if (sourcesOn)
                return true;
            if (isRunning())
                return false;
        }
        if (m_server)
            endProcess(*m_server, true);
        m_server.reset();
        if (firstStart)
            m_port = freeLoopbackPort();
    }
    return false;
}

bool IcecastServer::launch()
{
    const QString config = writeConfig();
    if (m_port == 0 || config.isEmpty())
        return false;
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    QProcess *server = m_server.get();
    QObject::connect(server, &QProcess::readyRead, server, [this, server] {
        m_log += QString::fromUtf8(server->readAll());
        if (m_log.size() > MaxLogChars)
            m_log = m_log.right(MaxLogChars);
    });
    const qsizetype logFrom = m_log.size();
    server->start(QStringLiteral("icecast2"), {QStringLiteral("-c"), config});
    if (!server->waitForStarted(5000))
        return false;
    const auto setUp = [&] {
        const QString since = m_log.mid(logFrom);
        return since.contains(QLatin1String("YP update thread started"))
               && since.contains(QLatin1String("No SSL capability"));
    };
    const auto ended = [&] { return server->state() == QProcess::NotRunning; };
    if (waitUntil([&] { return ended() || setUp(); }, ServerWaitMs))
        waitUntil([&] { return ended() || answers(); }, ServerWaitMs);
    return true;
}

bool IcecastServer::startSource(const QString &mount, MountFormat format)
{
    m_mounts.insert(mount, format);
    if (!isRunning())
        return false;
    if (runSource(mount))
        return true;
    // The server crashed as the source came: start it again, with its sources.
    return !isRunning() && start();
}

void IcecastServer::stop()
{
    thaw();
    if (m_server)
        endProcess(*m_server, false);
    m_server.reset();
    for (QProcess *source : std::as_const(m_sources))
        endProcess(*source, true);
}

void IcecastServer::freeze()
{
    if (isRunning() && !m_frozen && ::kill(pid_t(m_server->processId()), SIGSTOP) == 0)
        m_frozen = true;
}

void IcecastServer::thaw()
{
    if (m_frozen && m_server && ::kill(pid_t(m_server->processId()), SIGCONT) == 0)
        m_frozen = false;
}

bool IcecastServer::isRunning() const
{
    return m_server && m_server->state() == QProcess::Running;
}

QUrl IcecastServer::url(const QString &mount) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(mount));
}

QString IcecastServer::log() const
{
    return m_log;
}

bool IcecastServer::runSource(const QString &mount)
{
    QProcess *&source = m_sources[mount];
    if (!source)
        source = new QProcess;
    endProcess(*source, true);
    source->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    source->setStandardOutputFile(QProcess::nullDevice());
    if (m_mounts.value(mount) == MountFormat::ChainedOgg) {
        const QString config = chainConfig(mount);
        if (config.isEmpty())
            return false;
        source->start(QStringLiteral("ezstream"), {QStringLiteral("-c"), config});
    } else {
        // Each mount its own tone, so a test can tell them apart by ear.
        const int frequency = 330 + 110 * int(qHash(mount) % 5);
        QStringList arguments{"-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                              QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(frequency), "-ac", "2"};
        arguments << encoderArguments(m_mounts.value(mount));
        arguments << QStringLiteral("icecast://source:%1@127.0.0.1:%2%3").arg(SourcePassword).arg(m_port).arg(mount);
        source->start(QStringLiteral("ffmpeg"), arguments);
    }
    if (source->waitForStarted(5000) && waitForMount(mount, true))
        return true;
    m_log += QStringLiteral("source of %1 not listed; it %2 (exit %3); the server %4 (exit %5)\n")
                 .arg(mount, source->state() == QProcess::Running ? QStringLiteral("runs") : QStringLiteral("ended"))
                 .arg(source->exitCode())
                 .arg(isRunning() ? QStringLiteral("runs") : QStringLiteral("ended"))
                 .arg(m_server ? m_server->exitCode() : -1);
    return false;
}

QString IcecastServer::chainConfig(const QString &mount)
{
    const QString name = QString::fromLatin1(QUrl::toPercentEncoding(mount, {}, "/")).replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList files;
    for (const int frequency : {440, 660}) {
        const QString file = m_dir.filePath(QStringLiteral("chain%1%2.ogg").arg(name).arg(frequency));
        if (!QFile::exists(file)) {
            QProcess encoder;
            encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            encoder.start(QStringLiteral("ffmpeg"),
                          {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2").arg(frequency).arg(ChainSeconds),
                           "-ac", "2", "-c:a", "libvorbis", "-b:a", "96k", file});
            if (!encoder.waitForFinished(30000) || encoder.exitCode() != 0)
                return {};
        }
        files << file;
    }
    const QString playlist = m_dir.filePath(QStringLiteral("chain%1.m3u").arg(name));
    const QString config = m_dir.filePath(QStringLiteral("chain%1.xml").arg(name));
    const QString xml = QStringLiteral(
                            "<ezstream><servers><server><hostname>127.0.0.1</hostname><port>%1</port>"
                            "<password>%2</password></server></servers>"
                            "<streams><stream><mountpoint>%3</mountpoint><format>Ogg</format></stream></streams>"
                            "<intakes><intake><filename>%4</filename></intake></intakes></ezstream>\n")
                            .arg(m_port)
                            .arg(SourcePassword, mount.toHtmlEscaped(), playlist.toHtmlEscaped());
    for (const auto &[path, text] : {std::pair{playlist, files.join(QLatin1Char('\n')) + QLatin1Char('\n')},
                                     std::pair{config, xml}}) {
        QFile file(path);
        // ezstream reads no configuration that others may read (it holds the password).
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0 || !file.flush()
            || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return {};
    }
    return config;
}

bool IcecastServer::killSource(const QString &mount)
{
    QProcess *source = m_sources.value(mount);
    if (!source)
        return false;
    endProcess(*source, true);
    return waitForMount(mount, false);
}

bool IcecastServer::reviveSources()
{
    for (auto it = m_mounts.cbegin(); it != m_mounts.cend(); ++it) {
        const QProcess *source = m_sources.value(it.key());
        if ((!source || source->state() == QProcess::NotRunning) && !runSource(it.key()))
            return false;
        if (!waitForMount(it.key(), true))
            return false;
    }
    return true;
}

bool IcecastServer::answers()
{
    return waitForMount(QString(), true);
}

QByteArray IcecastServer::adminPage(const QString &pathAndQuery)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url(pathAndQuery));
    request.setTransferTimeout(2000);
    request.setRawHeader("Authorization", "Basic " + (QByteArray("admin:") + SourcePassword.toUtf8()).toBase64());
    QNetworkReply *reply = network.get(request);
    waitUntil([&] { return reply->isFinished(); }, 5000);
    const QByteArray body =
        reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    reply->deleteLater();
    return body;
}

qint64 IcecastServer::bytesFromSource(const QByteArray &statsPage, const QString &mount)
{
    QXmlStreamReader xml(statsPage);
    bool inMount = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("source")) {
            inMount = xml.attributes().value(QLatin1String("mount")) == mount;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("source")) {
            inMount = false;
        } else if (inMount && xml.isStartElement() && xml.name() == QLatin1String("total_bytes_read")) {
            bool ok = false;
            const qint64 bytes = xml.readElementText().toLongLong(&ok);
            return ok && bytes >= 0 ? bytes : -1;
        }
    }
    return -1;
}

qint64 IcecastServer::bytesFromSource(const QString &mount)
{
    const QString query = QString::fromLatin1(QUrl::toPercentEncoding(mount));
    return bytesFromSource(adminPage(QStringLiteral("/admin/stats?mount=") + query), mount);
}

bool IcecastServer::waitForFullBurst(const QString &mount, int timeoutMs)
{
    // A mount that has just come has no count yet.
    QDeadlineTimer nextLook(0);
    return waitUntil(
        [&] {
            if (!nextLook.hasExpired())
                return false;
            nextLook.setRemainingTime(StatsPollMs);
            return bytesFromSource(mount) >= BurstBytes + HeaderAllowanceBytes;
        },
        timeoutMs);
}

// With an empty mount: whether the server answers at all. Its own list of mounts is asked, not
// the status page: icecast renders that one with XSLT.
bool IcecastServer::waitForMount(const QString &mount, bool listed)
{
    auto check = [&] {
        const QByteArray body = adminPage(QStringLiteral("/admin/listmounts"));
        return !body.isEmpty() && (mount.isEmpty() || body.contains("mount=\"" + mount.toUtf8() + "\"") == listed);
    };
    return mount.isEmpty() ? check() : waitUntil(check, ServerWaitMs);
}

} // namespace testsupport
