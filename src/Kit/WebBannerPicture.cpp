#include "WebBannerPicture.h"

#include "Platform/WebBanner/WebBannerHostKeeper.h"

#include <QPainter>
#include <QQuickWindow>

WebBannerPicture::WebBannerPicture(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAcceptedMouseButtons(Qt::LeftButton | Qt::MiddleButton | Qt::RightButton);
    setAcceptHoverEvents(true);
    attach(std::make_unique<WebBannerProcess>());
}

WebBannerPicture::~WebBannerPicture()
{
    m_process->disconnect(this);
    if (WebBannerHostKeeper *keeper = WebBannerHostKeeper::shared())
        keeper->keep(std::move(m_process), m_arguments, m_keepHostMs);
}

void WebBannerPicture::attach(std::unique_ptr<WebBannerProcess> process)
{
    if (m_process)
        m_process->disconnect(this);
    m_process = std::move(process);
    WebBannerProcess *p = m_process.get();
    connect(p, &WebBannerProcess::frameReady, this, &WebBannerPicture::setFrame);
    connect(p, &WebBannerProcess::linkRequested, this, &WebBannerPicture::linkRequested);
    connect(p, &WebBannerProcess::focusLeft, this, &WebBannerPicture::moveFocusOn);
    connect(p, &WebBannerProcess::runningChanged, this, [this] {
        if (!running())
            setFrame({});
        emit runningChanged();
    });
}

void WebBannerPicture::setKeepHostMs(int ms)
{
    if (ms == m_keepHostMs)
        return;
    m_keepHostMs = ms;
    emit keepHostMsChanged();
}

void WebBannerPicture::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    update();
    emit radiusChanged();
}

void WebBannerPicture::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    m_process->setShown(shown);
    emit shownChanged();
}

void WebBannerPicture::start(const QStringList &arguments)
{
    if (m_process->isRunning())
        return;
    m_arguments = arguments;
    WebBannerHostKeeper *keeper = WebBannerHostKeeper::shared();
    if (std::unique_ptr<WebBannerProcess> kept = keeper ? keeper->take(arguments) : nullptr) {
        // The page of a banner that went away a moment ago: loaded afresh in the same host.
        attach(std::move(kept));
        sendSize();
        m_process->setShown(m_shown);
        m_process->reload();
        emit runningChanged();
        return;
    }
    sendSize();
    m_process->setShown(m_shown);
    m_process->start(arguments);
}

void WebBannerPicture::stop()
{
    m_process->stop();
}

void WebBannerPicture::click()
{
    const QPointF middle(width() / 2, height() / 2);
    m_process->sendMouse(WebBannerProcess::MouseAction::Press, middle, Qt::LeftButton, Qt::LeftButton);
    m_process->sendMouse(WebBannerProcess::MouseAction::Release, middle, Qt::LeftButton, Qt::NoButton);
}

void WebBannerPicture::setFrame(const QImage &frame)
{
    const bool had = hasFrame();
    m_frame = frame;
    update();
    if (had != hasFrame())
        emit hasFrameChanged();
}

void WebBannerPicture::paint(QPainter *painter)
{
    if (m_frame.isNull() || width() <= 0 || height() <= 0)
        return;
    // The frame fills a rounded rectangle, its edge smoothed: drawn once per frame into the
    // item's texture, never masked again while nothing changes.
    QBrush brush(m_frame);
    brush.setTransform(QTransform::fromScale(width() / m_frame.width(), height() / m_frame.height()));
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter->setPen(Qt::NoPen);
    painter->setBrush(brush);
    painter->drawRoundedRect(QRectF(0, 0, width(), height()), m_radius, m_radius);
}

void WebBannerPicture::sendSize()
{
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    m_process->setSize(QSize(qRound(width()), qRound(height())), ratio);
}

void WebBannerPicture::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        sendSize();
}

void WebBannerPicture::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemDevicePixelRatioHasChanged || change == ItemSceneChange)
        sendSize();
}

void WebBannerPicture::mousePressEvent(QMouseEvent *event)
{
    if (activeFocusOnTab())
        forceActiveFocus(Qt::MouseFocusReason);
    m_process->sendMouse(WebBannerProcess::MouseAction::Press, event->position(), event->button(), event->buttons());
    event->accept();
}

void WebBannerPicture::mouseReleaseEvent(QMouseEvent *event)
{
    m_process->sendMouse(WebBannerProcess::MouseAction::Release, event->position(), event->button(), event->buttons());
    event->accept();
}

void WebBannerPicture::mouseMoveEvent(QMouseEvent *event)
{
    m_process->sendMouse(WebBannerProcess::MouseAction::Move, event->position(), Qt::NoButton, event->buttons());
    event->accept();
}

void WebBannerPicture::hoverMoveEvent(QHoverEvent *event)
{
    m_process->sendMouse(WebBannerProcess::MouseAction::Move, event->position(), Qt::NoButton, Qt::NoButton);
}

void WebBannerPicture::wheelEvent(QWheelEvent *event)
{
    m_process->sendWheel(event->position(), event->angleDelta());
    event->accept();
}

bool WebBannerPicture::forward(QKeyEvent *event)
{
    // Only the keys that move through the page's links and follow them: the application's own
    // shortcuts (Escape closes the player) still reach the application.
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        break;
    default:
        return false;
    }
    if (!running())
        return false;
    m_process->sendKey(event->type() == QEvent::KeyPress, event->key(), event->modifiers(), event->text(),
                      event->isAutoRepeat());
    event->accept();
    return true;
}

void WebBannerPicture::keyPressEvent(QKeyEvent *event)
{
    if (!forward(event))
        QQuickPaintedItem::keyPressEvent(event);
}

void WebBannerPicture::keyReleaseEvent(QKeyEvent *event)
{
    if (!forward(event))
        QQuickPaintedItem::keyReleaseEvent(event);
}

void WebBannerPicture::moveFocusOn(bool forward)
{
    if (!hasActiveFocus())
        return;
    if (QQuickItem *next = nextItemInFocusChain(forward); next && next != this)
        next->forceActiveFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}
