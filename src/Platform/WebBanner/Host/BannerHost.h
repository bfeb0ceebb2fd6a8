#pragma once

#include "Platform/WebBanner/BannerLinkGate.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QQmlEngine>
#include <QQuickRenderControl>
#include <QQuickWindow>
#include <QWindow>
#include <memory>
#include <QSize>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

class QQuickItem;

// The render control of the page's window, which is never on screen: it stands in a hidden
// window of its own that takes the keyboard focus, so the page sees itself focused.
class BannerRenderControl : public QQuickRenderControl
{
public:
    BannerRenderControl();
    QWindow *renderWindow(QPoint *offset) override;
    void activate();

private:
    QWindow m_focusWindow;
};

// The web host's side of the banner: draws the page offscreen into an image with alpha, takes the
// application's commands from standard input and writes frames, links and events to `outputFd`
// (see Platform/WebBannerStream.h for what goes out). Commands, one line each:
//     size <width> <height> <device pixel ratio>   the window in device pixels
//     show | hide | reload | quit
//     mouse press|release|move <x> <y> <button> <buttons>   (device pixels)
//     wheel <x> <y> <dx> <dy>
//     key press|release <key> <modifiers> <text, percent-encoded>
// The end of standard input ends the host. A link the page asks for is written out only in answer
// to a click or an Enter/Return/Space given to the page, one per gesture (BannerLinkGate): an ad
// that opens windows by itself gets nothing through.
class BannerHost : public QObject
{
    Q_OBJECT

public:
    explicit BannerHost(int outputFd, QObject *parent = nullptr);
    ~BannerHost() override;

    bool load(const QString &pageHtml, const QUrl &baseUrl, const QString &linkScript);

    // From the page.
    Q_INVOKABLE void consoleMessage(const QString &message);
    Q_INVOKABLE void newWindow(const QUrl &url);
    Q_INVOKABLE void loaded(bool ok);
    Q_INVOKABLE void focusLeft(bool forward);

private:
    void readInput();
    void command(const QByteArray &line);
    void scheduleFrame(bool sync);
    void sendFrame();
    void setShown(bool shown);
    void write(const QByteArray &bytes);
    void sendLink(const QString &address);

    int m_output;
    BannerRenderControl m_control;
    QQuickWindow m_window;
    QQmlEngine m_engine;
    std::unique_ptr<QQuickItem> m_page;
    QImage m_image;
    QSocketNotifier m_input;
    QByteArray m_pending;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFrame;
    QElapsedTimer m_clock;
    // One link per gesture; the application holds it to the second after the gesture, this
    // side (whose clock starts when the command arrives) only keeps the flood away.
    BannerLinkGate m_links{10'000};
    QSize m_size;
    bool m_shown = false;
    bool m_needsSync = true;
};
