#include "Platform/AudioRecorder.h"

#include "Platform/HelperProgram.h"

#include <QDeadlineTimer>
#include <QFile>

#include <gst/gst.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

QString &helperOverride()
{
    static QString path;
    return path;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A copy of `fd` numbered 10 or more (closed on exec), so that the process's own 0, 1 and 3 are
// never one of the descriptors it is given.
int raised(int fd)
{
    return fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
}

// Starts the recording process with `file` as its descriptor 3; its standard input and output
// come back in `input` and `output`. The process's id, or 0 with the reason.
pid_t spawnRecorder(const QString &program, const QList<QByteArray> &arguments, int file, int *input, int *output,
                    QString *error)
{
    // The input is a socket, so that a line sent to a process that has gone fails instead of
    // raising SIGPIPE in the application.
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        for (int &fd : in)
            closeFd(fd);
        return 0;
    }
    int childIn = raised(in[1]);
    int childOut = raised(out[1]);
    int childFile = raised(file);
    closeFd(in[1]);
    closeFd(out[1]);

    const QByteArray path = QFile::encodeName(program);
    QList<QByteArray> storage{path};
    storage += arguments;
    QList<char *> argv;
    for (QByteArray &argument : storage)
        argv.append(argument.data());
    argv.append(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, childOut, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, childFile, 3);
    pid_t pid = 0;
    const int spawned = childIn >= 0 && childOut >= 0 && childFile >= 0
                            ? ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ)
                            : errno;
    posix_spawn_file_actions_destroy(&actions);
    closeFd(childIn);
    closeFd(childOut);
    closeFd(childFile);
    if (spawned != 0) {
        setError(error, QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(spawned))));
        closeFd(in[0]);
        closeFd(out[0]);
        return 0;
    }
    *input = in[0];
    *output = out[0];
    return pid;
}

} // namespace

QString AudioRecorder::defaultSource()
{
    const QString configured = qEnvironmentVariable(SourceVariable).trimmed();
    if (!configured.isEmpty())
        return configured;
    if (GstElementFactory *pulse = gst_element_factory_find("pulsesrc")) {
        gst_object_unref(pulse);
        return QStringLiteral("pulsesrc");
    }
    return QStringLiteral("autoaudiosrc");
}

QString AudioRecorder::helperProgram()
{
    if (!helperOverride().isEmpty())
        return helperOverride();
    return findHelperProgram(QString::fromLatin1(HelperName));
}

void AudioRecorder::setHelperProgramForTesting(const QString &path)
{
    helperOverride() = path;
}

int AudioRecorder::createExclusively(const QString &path, QString *error, bool *exists)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
    const int reason = errno;
    if (exists)
        *exists = fd < 0 && (reason == EEXIST || reason == ELOOP);
    if (fd < 0)
        setError(error, QString::fromLocal8Bit(std::strerror(reason)));
    return fd;
}

AudioRecorder::AudioRecorder(int fileDescriptor, QString filePath, Settings settings, QString source)
    : m_filePath(std::move(filePath)), m_settings(settings), m_source(std::move(source)), m_fd(fileDescriptor)
{
}

AudioRecorder::~AudioRecorder()
{
    release();
}

pid_t AudioRecorder::processId() const
{
    std::lock_guard lock(m_mutex);
    return m_pid;
}

bool AudioRecorder::record(QString *error)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            setError(error, QStringLiteral("cancelled"));
            return false;
        }
        if (m_pid) {
            setError(error, QStringLiteral("already recording"));
            return false;
        }
        if (m_fd < 0) {
            setError(error, QStringLiteral("no file to record into"));
            return false;
        }
        const QString program = helperProgram();
        if (program.isEmpty()) {
            setError(error, QStringLiteral("%1 is not installed").arg(QLatin1String(HelperName)));
            return false;
        }
        const QList<QByteArray> arguments{QByteArray::number(m_settings.sampleRate),
                                          QByteArray::number(m_settings.channels),
                                          QByteArray::number(m_settings.bitRate), m_source.toUtf8()};
        m_pid = spawnRecorder(program, arguments, m_fd, &m_toProcess, &m_fromProcess, error);
        if (!m_pid)
            return false;
        closeFd(m_fd); // the process holds the file now
    }

    // The process's own start (loading the plugins) is not the source's: the source's time
    // limit counts from the moment the pipeline is built.
    bool timedOut = false;
    QString line = readLine(SetUpTimeoutMs, &timedOut);
    const bool ready = line == u"ready";
    if (ready)
        line = readLine(m_settings.startTimeoutMs, &timedOut);
    std::lock_guard lock(m_mutex);
    if (line == u"started" && !m_cancelled)
        return true;
    // Failed, given up on, or cancelled: the process goes, and everything the start held with it.
    if (m_cancelled)
        setError(error, QStringLiteral("cancelled"));
    else if (line.startsWith(u"failed "))
        setError(error, line.mid(7));
    else if (timedOut && ready)
        setError(error, QStringLiteral("the source did not start within %1 ms").arg(m_settings.startTimeoutMs));
    else if (timedOut)
        setError(error, QStringLiteral("the recording process was not ready within %1 ms").arg(SetUpTimeoutMs));
    else
        setError(error, QStringLiteral("the recording process ended"));
    releaseLocked();
    return false;
}

void AudioRecorder::stop()
{
    std::lock_guard lock(m_mutex);
    if (m_toProcess >= 0)
        ::send(m_toProcess, "stop\n", 5, MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool AudioRecorder::waitUntilFinished(int timeoutMs, QString *error)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_pid || m_fromProcess < 0) {
            setError(error, QStringLiteral("not recording"));
            return false;
        }
    }
    bool timedOut = false;
    const QString line = readLine(timeoutMs, &timedOut);
    const bool finished = line == u"finished";
    if (line.startsWith(u"failed "))
        setError(error, line.mid(7));
    else if (timedOut)
        setError(error, QStringLiteral("the recording did not finish in time"));
    else if (!finished)
        setError(error, QStringLiteral("the recording process ended"));
    release();
    return finished;
}

void AudioRecorder::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    // Whoever waits on the process sees it end at once; it is waited for when released.
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}

QString AudioRecorder::readLine(int timeoutMs, bool *timedOut)
{
    *timedOut = false;
    int fd = -1;
    {
        std::lock_guard lock(m_mutex);
        fd = m_fromProcess;
    }
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype end = m_pending.indexOf('\n');
        if (end >= 0) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            return line;
        }
        if (fd < 0)
            return {};
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(std::min<qint64>(deadline.remainingTime(), 1 << 30)));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            *timedOut = true;
            return {};
        }
        char buffer[512];
        const ssize_t n = polled > 0 ? ::read(fd, buffer, sizeof buffer) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {}; // the process has ended
        m_pending.append(buffer, n);
        if (m_pending.size() > 64 * 1024)
            return {}; // not the process's lines
    }
}

void AudioRecorder::release()
{
    std::lock_guard lock(m_mutex);
    releaseLocked();
}

void AudioRecorder::releaseLocked()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = 0;
    }
    closeFd(m_toProcess);
    closeFd(m_fromProcess);
    closeFd(m_fd);
    m_pending.clear();
}
