#include "BannerHost.h"

#include "Platform/WebBanner/WebBannerStream.h"
#include "Platform/WebBanner/BannerPage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickRenderTarget>
#include <QWheelEvent>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

// At most this many frames a second go to the application.
constexpr int FrameIntervalMs = 33;
constexpr qsizetype MaxCommandBytes = 4096;
// No larger than the application takes.
constexpr int MaxSide = WebBannerStream::MaxSide;

} // namespace

BannerRenderControl::BannerRenderControl()
{
    m_focusWindow.setFlag(Qt::FramelessWindowHint);
    m_focusWindow.resize(1, 1);
}

QWindow *BannerRenderControl::renderWindow(QPoint *offset)
{
    if (offset)
        *offset = QPoint();
    return &m_focusWindow;
}

void BannerRenderControl::activate()
{
    m_focusWindow.show();
    m_focusWindow.requestActivate();
}

BannerHost::BannerHost(int outputFd, QObject *parent)
    : QObject(parent)
    , m_output(outputFd)
    , m_window(&m_control)
    , m_input(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&m_input, &QSocketNotifier::activated, this, &BannerHost::readInput);
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, &BannerHost::sendFrame);
    m_sinceFrame.start();
    m_clock.start();
    m_window.setColor(Qt::transparent);
    // The page's frames are drawn when it changes, at a modest rate.
    connect(&m_control, &QQuickRenderControl::renderRequested, this, [this] { scheduleFrame(false); });
    connect(&m_control, &QQuickRenderControl::sceneChanged, this, [this] { scheduleFrame(true); });
}

BannerHost::~BannerHost()
{
    m_page.reset();
}

bool BannerHost::load(const QString &pageHtml, const QUrl &baseUrl, const QString &linkScript)
{
    QQmlComponent component(&m_engine, QUrl(QStringLiteral("qrc:/BannerHost.qml")));
    QObject *object = component.createWithInitialProperties(
        {{QStringLiteral("host"), QVariant::fromValue<QObject *>(this)},
         {QStringLiteral("pageHtml"), pageHtml},
         {QStringLiteral("baseUrl"), baseUrl},
         {QStringLiteral("linkScript"), linkScript}});
    m_page.reset(qobject_cast<QQuickItem *>(object));
    if (!m_page) {
        delete object;
        std::fprintf(stderr, "melodrift-web-banner: %s\n", qPrintable(component.errorString()));
        return false;
    }
    m_page->setVisible(false);
    m_page->setParentItem(m_window.contentItem());
    m_page->setFocus(true);
    // The page takes the keys sent to the window.
    m_control.activate();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&m_window, &focusIn);
    return true;
}

void BannerHost::readInput()
{
    char buffer[16384];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_input.setEnabled(false);
        QCoreApplication::quit();
        return;
    }
    m_pending.append(buffer, n);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        command(line);
    }
    if (m_pending.size() > MaxCommandBytes) {
        std::fprintf(stderr, "melodrift-web-banner: a command line too long\n");
        QCoreApplication::exit(2);
    }
}

void BannerHost::command(const QByteArray &line)
{
    const QList<QByteArray> words = line.split(' ');
    const QByteArray &name = words.first();
    auto number = [&words](int index) { return index < words.size() ? words[index].toDouble() : 0.0; };
    auto point = [&number](int index) { return QPointF(number(index), number(index + 1)); };
    if (name == "size" && words.size() == 4) {
        m_size = QSize(qBound(1, int(number(1)), MaxSide), qBound(1, int(number(2)), MaxSide));
        m_window.resize(m_size);
        m_page->setSize(m_size);
        m_page->setProperty("zoom", qBound(0.25, number(3), 5.0));
        scheduleFrame(true);
    } else if (name == "show" || name == "hide") {
        setShown(name == "show");
    } else if (name == "reload") {
        QMetaObject::invokeMethod(m_page.get(), "reload");
    } else if (name == "quit") {
        QCoreApplication::quit();
    } else if (name == "mouse" && words.size() == 6) {
        const QEvent::Type type = words[1] == "press" ? QEvent::MouseButtonPress
            : words[1] == "release"                   ? QEvent::MouseButtonRelease
                                                      : QEvent::MouseMove;
        const QPointF at = point(2);
        if (type == QEvent::MouseButtonPress)
            m_links.gestureBegan(m_clock.elapsed());
        else if (type == QEvent::MouseButtonRelease)
            m_links.gestureGoesOn(m_clock.elapsed());
        QMouseEvent event(type, at, at, m_window.mapToGlobal(at), Qt::MouseButton(words[4].toInt()),
                          Qt::MouseButtons(words[5].toInt()), Qt::NoModifier);
        QCoreApplication::sendEvent(&m_window, &event);
    } else if (name == "wheel" && words.size() == 5) {
        const QPointF at = point(1);
        QWheelEvent event(at, m_window.mapToGlobal(at), QPoint(), QPoint(int(number(3)), int(number(4))),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&m_window, &event);
    } else if (name == "key" && words.size() == 5) {
        if (BannerLinkGate::activatesLinks(words[2].toInt())) {
            if (words[1] == "press")
                m_links.gestureBegan(m_clock.elapsed());
            else
                m_links.gestureGoesOn(m_clock.elapsed());
        }
        QKeyEvent event(words[1] == "press" ? QEvent::KeyPress : QEvent::KeyRelease, words[2].toInt(),
                        Qt::KeyboardModifiers(words[3].toInt()), QString::fromUtf8(QByteArray::fromPercentEncoding(words[4])));
        QCoreApplication::sendEvent(&m_window, &event);
    } else {
        std::fprintf(stderr, "melodrift-web-banner: unknown command %s\n", line.left(40).constData());
    }
}

void BannerHost::setShown(bool shown)
{
    m_shown = shown;
    // A hidden page draws nothing (and the web engine throttles it).
    m_page->setVisible(shown);
    if (shown)
        scheduleFrame(true);
    else
        m_frameTimer.stop();
}

void BannerHost::scheduleFrame(bool sync)
{
    m_needsSync = m_needsSync || sync;
    if (!m_shown || m_frameTimer.isActive())
        return;
    m_frameTimer.start(int(qMax<qint64>(0, FrameIntervalMs - m_sinceFrame.elapsed())));
}

void BannerHost::sendFrame()
{
    if (!m_shown || !m_size.isValid())
        return;
    if (m_image.size() != m_size) {
        m_image = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
        m_image.fill(Qt::transparent);
        m_window.setRenderTarget(QQuickRenderTarget::fromPaintDevice(&m_image));
        m_needsSync = true;
    }
    // Drawn by the software scene graph straight into the image (no graphics device to set up).
    m_control.polishItems();
    if (std::exchange(m_needsSync, false))
        m_control.sync();
    m_control.render();
    m_sinceFrame.restart();
    const QByteArray header = "frame " + QByteArray::number(m_image.width()) + ' '
        + QByteArray::number(m_image.height()) + '\n';
    write(header);
    write(QByteArray::fromRawData(reinterpret_cast<const char *>(m_image.constBits()), m_image.sizeInBytes()));
}

void BannerHost::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_output, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The application has gone.
            QCoreApplication::quit();
            return;
        }
        done += n;
    }
}

void BannerHost::sendLink(const QString &address)
{
    if (!address.isEmpty() && m_links.take(m_clock.elapsed()))
        write("link " + address.toUtf8().toPercentEncoding() + '\n');
}

void BannerHost::consoleMessage(const QString &message)
{
    sendLink(BannerPage::linkFromMessage(message));
}

void BannerHost::newWindow(const QUrl &url)
{
    sendLink(url.toString());
}

void BannerHost::loaded(bool ok)
{
    write(ok ? "loaded ok\n" : "loaded failed\n");
}

void BannerHost::focusLeft(bool forward)
{
    write(forward ? "focusout next\n" : "focusout previous\n");
}
