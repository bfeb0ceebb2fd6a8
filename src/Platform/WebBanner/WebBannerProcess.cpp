#include "WebBannerProcess.h"

#include "Platform/Console.h"
#include "Platform/HelperProgram.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>

#include <cmath>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBanner, "melodrift.banner")

namespace {

const QString HostName = u"melodrift-web-banner"_s;
// How long an ended host may take to go by itself before it is terminated, then killed.
constexpr int TerminateAfterMs = 1500;
constexpr int KillAfterMs = 3000;
// Input is dropped while the host is this far behind in reading it.
constexpr qint64 MaxUnsentBytes = 256 * 1024;

QString &hostProgramOverride()
{
    static QString path;
    return path;
}

// Holds the hosts that are ending. Those still there when the application object goes are killed
// and waited for briefly, rather than left to QProcess's destructor (which warns).
class EndingHosts : public QObject
{
public:
    static EndingHosts *shared()
    {
        static QPointer<EndingHosts> hosts;
        if (!hosts && QCoreApplication::instance())
            hosts = new EndingHosts(QCoreApplication::instance());
        return hosts;
    }
    ~EndingHosts() override
    {
        for (QProcess *process : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
            process->kill();
            process->waitForFinished(500);
        }
    }

private:
    using QObject::QObject;
};

} // namespace

WebBannerProcess::WebBannerProcess(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_nextBatch.setSingleShot(true);
    m_nextBatch.setInterval(0);
    connect(&m_nextBatch, &QTimer::timeout, this, &WebBannerProcess::readOutput);
}

WebBannerProcess::~WebBannerProcess()
{
    // Whoever listens may be going away too.
    blockSignals(true);
    stop();
}

QString WebBannerProcess::hostProgram()
{
    if (!hostProgramOverride().isEmpty())
        return QFileInfo(hostProgramOverride()).isExecutable() ? hostProgramOverride() : QString();
    return findHelperProgram(HostName);
}

void WebBannerProcess::setHostProgramForTesting(const QString &path)
{
    hostProgramOverride() = path;
}

QStringList WebBannerProcess::pageArguments(const QString &loaderAddress, const QString &slotIdentifier,
                                            const QUrl &baseUrl)
{
    return {u"--loader"_s, loaderAddress, u"--slot"_s, slotIdentifier,
            u"--base"_s, baseUrl.toString(QUrl::FullyEncoded)};
}

void WebBannerProcess::start(const QStringList &arguments)
{
    if (m_process)
        return;
    const QString program = hostProgram();
    if (program.isEmpty()) {
        qCInfo(lcBanner, "no banner web host installed: the banner stays empty");
        return;
    }
    m_stream = WebBannerStream();
    m_links.reset();
    auto *process = new QProcess(this);
    m_process = process;
    // The host's own messages (and the web engine's) go to the application's log.
    // Read a batch at a time, each in a turn of the event loop of its own.
    connect(process, &QProcess::readyReadStandardOutput, this, [this] {
        if (!m_nextBatch.isActive())
            m_nextBatch.start();
    });
    connect(process, &QProcess::readyReadStandardError, this, &WebBannerProcess::readErrors);
    connect(process, &QProcess::finished, this, &WebBannerProcess::processEnded);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && process == m_process) {
            qCInfo(lcBanner, "the banner web host did not start: %s", qPrintable(process->errorString()));
            processEnded();
        }
    });
    qCInfo(lcBanner, "starting the banner web host");
    process->start(program, arguments);
    sendSize();
    send(m_shown ? "show\n" : "hide\n");
    emit runningChanged();
}

void WebBannerProcess::stop()
{
    QProcess *process = m_process;
    if (!process)
        return;
    m_process = nullptr;
    m_nextBatch.stop();
    m_links.reset();
    process->disconnect(this);
    // What it still writes is not read any more.
    process->closeReadChannel(QProcess::StandardOutput);
    process->closeReadChannel(QProcess::StandardError);
    // Once the application object is going there is no event loop left to wait in: the host is
    // ended here and now, by the same steps.
    EndingHosts *endingHosts = EndingHosts::shared();
    if (!endingHosts || QCoreApplication::closingDown()) {
        endNow(process);
        emit runningChanged();
        return;
    }
    // The host ends on the end of its input; one that does not is terminated, then killed. The
    // process object outlives this one until then.
    process->setParent(endingHosts);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else {
        process->closeWriteChannel();
        QTimer::singleShot(TerminateAfterMs, process, &QProcess::terminate);
        QTimer::singleShot(KillAfterMs, process, &QProcess::kill);
    }
    qCInfo(lcBanner, "ending the banner web host");
    emit runningChanged();
}

void WebBannerProcess::endNow(QProcess *process)
{
    qCInfo(lcBanner, "ending the banner web host");
    if (process->state() != QProcess::NotRunning) {
        process->closeWriteChannel();
        if (!process->waitForFinished(TerminateAfterMs)) {
            process->terminate();
            if (!process->waitForFinished(KillAfterMs - TerminateAfterMs)) {
                process->kill();
                process->waitForFinished(500);
            }
        }
    }
    delete process;
}

void WebBannerProcess::processEnded()
{
    if (!m_process)
        return;
    QProcess *process = m_process;
    if (process->exitStatus() == QProcess::CrashExit || process->exitCode() != 0)
        qCInfo(lcBanner, "the banner web host ended unexpectedly (exit code %d)", process->exitCode());
    m_process = nullptr;
    m_nextBatch.stop();
    process->disconnect(this);
    process->deleteLater();
    emit runningChanged();
}

void WebBannerProcess::readOutput()
{
    if (!m_process)
        return;
    QList<WebBannerStream::Message> messages;
    const QByteArray bytes = m_process->peek(BatchBytes);
    m_process->skip(m_stream.feedSome(bytes, messages, BatchMessages));
    // Only the newest of the frames of a batch is worth drawing.
    qsizetype lastFrame = -1;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (messages[i].kind == WebBannerStream::Message::Frame)
            lastFrame = i;
    }
    QPointer<WebBannerProcess> self(this);
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const WebBannerStream::Message &message = messages[i];
        switch (message.kind) {
        case WebBannerStream::Message::Frame:
            if (i == lastFrame)
                emit frameReady(message.frame);
            break;
        case WebBannerStream::Message::Link:
            if (m_links.take(m_clock.elapsed())) {
                emit linkRequested(message.text);
            } else {
                ++m_refusedLinks;
                m_log.line(u"banner: a link the listener did not ask for is not opened: "_s + message.text);
            }
            break;
        case WebBannerStream::Message::Loaded:
            qCInfo(lcBanner, "banner page %s", message.flag ? "loaded" : "failed to load");
            emit loadFinished(message.flag);
            break;
        case WebBannerStream::Message::FocusOut:
            emit focusLeft(message.flag);
            break;
        case WebBannerStream::Message::Log:
            m_log.line(u"web host: "_s + message.text);
            break;
        }
        if (!self || !m_process)
            return;
    }
    if (m_stream.broken()) {
        qCInfo(lcBanner, "the banner web host broke its output (%s): ending it",
               qPrintable(Console::safeText(m_stream.error())));
        stop();
    } else if (m_process->bytesAvailable() > MaxUnreadBytes) {
        qCInfo(lcBanner, "the banner web host writes faster than it can be read: ending it");
        stop();
    } else if (m_process->bytesAvailable() > 0) {
        m_nextBatch.start();
    }
}

void WebBannerProcess::readErrors()
{
    if (m_process)
        m_log.appendBytes(m_process->readAllStandardError());
}

void WebBannerProcess::send(const QByteArray &line)
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->write(line);
}

void WebBannerProcess::setSize(QSize logicalSize, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    if (logicalSize == m_logicalSize && qFuzzyCompare(ratio, m_ratio))
        return;
    m_logicalSize = logicalSize;
    m_ratio = ratio;
    sendSize();
}

void WebBannerProcess::sendSize()
{
    const QSize frame(int(std::lround(m_logicalSize.width() * m_ratio)),
                      int(std::lround(m_logicalSize.height() * m_ratio)));
    m_stream.setExpectedSize(frame);
    if (!frame.isEmpty())
        send(u"size %1 %2 %3\n"_s.arg(frame.width()).arg(frame.height()).arg(m_ratio).toUtf8());
}

void WebBannerProcess::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    send(shown ? "show\n" : "hide\n");
}

void WebBannerProcess::reload()
{
    send("reload\n");
}

void WebBannerProcess::sendMouse(MouseAction action, QPointF point, Qt::MouseButton button,
                                 Qt::MouseButtons buttons)
{
    if (action == MouseAction::Press && m_process)
        m_links.gestureBegan(m_clock.elapsed());
    else if (action == MouseAction::Release)
        m_links.gestureGoesOn(m_clock.elapsed());
    if (action == MouseAction::Move && m_process && m_process->bytesToWrite() > MaxUnsentBytes)
        return;
    const char *name = action == MouseAction::Press ? "press" : action == MouseAction::Release ? "release" : "move";
    send(u"mouse %1 %2 %3 %4 %5\n"_s.arg(QLatin1String(name)).arg(point.x() * m_ratio).arg(point.y() * m_ratio)
             .arg(int(button)).arg(int(buttons)).toUtf8());
}

void WebBannerProcess::sendWheel(QPointF point, QPoint angleDelta)
{
    if (m_process && m_process->bytesToWrite() > MaxUnsentBytes)
        return;
    send(u"wheel %1 %2 %3 %4\n"_s.arg(point.x() * m_ratio).arg(point.y() * m_ratio)
             .arg(angleDelta.x()).arg(angleDelta.y()).toUtf8());
}

void WebBannerProcess::sendKey(bool press, int key, Qt::KeyboardModifiers modifiers, const QString &text,
                               bool autoRepeat)
{
    if (BannerLinkGate::activatesLinks(key)) {
        // A key held down is one gesture, however often it repeats.
        if (press && !autoRepeat && m_process)
            m_links.gestureBegan(m_clock.elapsed());
        else
            m_links.gestureGoesOn(m_clock.elapsed());
    }
    QByteArray line = press ? "key press " : "key release ";
    line += QByteArray::number(key) + ' ' + QByteArray::number(int(modifiers)) + ' '
        + text.toUtf8().toPercentEncoding() + '\n';
    send(line);
}
