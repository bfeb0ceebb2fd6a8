#pragma once

#include "Platform/WebBanner/WebBannerLog.h"
#include "Platform/WebBanner/WebBannerStream.h"
#include "Platform/WebBanner/BannerLinkGate.h"

#include <QElapsedTimer>
#include <QTimer>

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QUrl>

#include <QProcess>

// The advertisement banner's web host: a process of its own (melodrift-web-banner) that runs the
// web engine for one banner page offscreen and streams its frames here, so that the engine's
// memory is never part of the application and all of it goes when the banner does.
//     process.start(WebBannerProcess::pageArguments(loader, slot, base));
//     process.setSize(QSize(400, 60), 2.0);  process.setShown(true);
//     connect(&process, &WebBannerProcess::frameReady, ...);
//     process.stop();   // also when destroyed
// Commands go to the host's standard input, one line each; what comes back is read as it
// arrives (WebBannerStream), in batches of at most BatchBytes and BatchMessages per turn of the
// event loop, so that a host that floods its output cannot hold the GUI thread (one that gets
// MaxUnreadBytes ahead is ended). Its standard error reaches the log escaped and rate-limited
// (WebBannerLog). A link the page asks for is passed on only in answer to the listener: one per
// click or Enter/Return/Space sent to the page, within a second of it (BannerLinkGate). The GUI
// thread never waits for the host: ending it closes its input, then terminates and at last kills
// it if it is still there after a short grace.
//
// GUI thread only.
class WebBannerProcess : public QObject
{
    Q_OBJECT

public:
    explicit WebBannerProcess(QObject *parent = nullptr);
    ~WebBannerProcess() override;

    // The host's executable: next to the application's, else in the installation's libexec
    // folder; empty when there is none.
    static QString hostProgram();
    // Tests start the host from the build tree; an empty path restores the search.
    static void setHostProgramForTesting(const QString &path);
    // The host's command line for one banner page.
    static QStringList pageArguments(const QString &loaderAddress, const QString &slotIdentifier,
                                     const QUrl &baseUrl);

    bool isRunning() const { return m_process != nullptr; }
    // The host's process id while it runs, else 0.
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    // Starts the host for a page (nothing when it runs already). The size and shown state set so
    // far are sent along.
    void start(const QStringList &arguments);
    // Ends the host; frames and links from it stop at once.
    void stop();

    // The banner's logical size and the window's device pixel ratio: frames come in
    // size * ratio device pixels and the page is zoomed by the ratio.
    void setSize(QSize logicalSize, qreal devicePixelRatio);
    QSize frameSize() const { return m_stream.expectedSize(); }
    // Whether the banner is seen: a hidden host draws nothing.
    void setShown(bool shown);
    // Loads the page afresh.
    void reload();

    // Input at a point in the banner's logical coordinates.
    enum class MouseAction { Press, Release, Move };
    void sendMouse(MouseAction action, QPointF point, Qt::MouseButton button, Qt::MouseButtons buttons);
    void sendWheel(QPointF point, QPoint angleDelta);
    void sendKey(bool press, int key, Qt::KeyboardModifiers modifiers, const QString &text,
                 bool autoRepeat = false);

    static constexpr qint64 BatchBytes = 512 * 1024;
    static constexpr int BatchMessages = 64;
    static constexpr qint64 MaxUnreadBytes = WebBannerStream::MaxFrameBytes + BatchBytes;
    // Links the page asked for that were not passed on (no click or key of the listener's).
    qint64 refusedLinks() const { return m_refusedLinks; }
    // Tests under load may give a link longer to come back after its gesture.
    void setLinkWindowForTesting(qint64 ms) { m_links = BannerLinkGate(ms); }

signals:
    void runningChanged();
    void frameReady(const QImage &frame);
    // The page asks for `address` in a new window (as the page wrote it), in answer to a click or
    // key of the listener's.
    void linkRequested(const QString &address);
    void loadFinished(bool ok);
    // Keyboard focus left the page: past its last focusable element (forward) or its first.
    void focusLeft(bool forward);

private:
    void readOutput();
    void readErrors();
    void processEnded();
    static void endNow(QProcess *process);
    void send(const QByteArray &line);
    void sendSize();

    QPointer<QProcess> m_process;
    WebBannerStream m_stream;
    QTimer m_nextBatch;
    WebBannerLog m_log;
    BannerLinkGate m_links;
    QElapsedTimer m_clock;
    qint64 m_refusedLinks = 0;
    QSize m_logicalSize;
    qreal m_ratio = 1.0;
    bool m_shown = false;
};
