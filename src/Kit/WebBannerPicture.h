#pragma once

#include "Platform/WebBanner/WebBannerProcess.h"

#include <memory>

#include <QImage>
#include <QQuickPaintedItem>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// Shows a web page drawn by the banner's web host (WebBannerProcess), clipped to a rounded
// rectangle, and hands mouse, wheel and the keys that move through and follow the page's links
// (Tab, Enter, Space, arrows) to it while it has focus. It repaints only when a new frame
// arrives; while it is not `shown` the host draws nothing.
//     WebBannerPicture {
//         radius: 16; shown: visible && WindowExposure.exposed
//         onLinkRequested: address => banner.handleNewWindow(address)
//     }
//     ... picture.start(banner.hostArguments) ... picture.stop()
// A picture that goes away while its host runs leaves the host to WebBannerHostKeeper for
// `keepHostMs`; a picture started on the same page within that time takes it over.
class WebBannerPicture : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
    Q_PROPERTY(bool shown READ shown WRITE setShown NOTIFY shownChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(bool hasFrame READ hasFrame NOTIFY hasFrameChanged)
    Q_PROPERTY(int keepHostMs READ keepHostMs WRITE setKeepHostMs NOTIFY keepHostMsChanged)

public:
    explicit WebBannerPicture(QQuickItem *parent = nullptr);
    ~WebBannerPicture() override;

    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);
    bool shown() const { return m_shown; }
    void setShown(bool shown);
    bool running() const { return m_process->isRunning(); }
    int keepHostMs() const { return m_keepHostMs; }
    void setKeepHostMs(int ms);
    bool hasFrame() const { return !m_frame.isNull(); }
    QImage frame() const { return m_frame; }
    WebBannerProcess &process() { return *m_process; }

    // Starts the host for a page (the page loads when it starts).
    Q_INVOKABLE void start(const QStringList &arguments);
    // Loads the page afresh.
    Q_INVOKABLE void reload() { m_process->reload(); }
    // Ends the host; the picture empties.
    Q_INVOKABLE void stop();
    // A click in the middle of the page (the accessible press action).
    Q_INVOKABLE void click();

    void paint(QPainter *painter) override;

signals:
    void radiusChanged();
    void shownChanged();
    void runningChanged();
    void hasFrameChanged();
    void keepHostMsChanged();
    void linkRequested(const QString &address);

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void setFrame(const QImage &frame);
    void attach(std::unique_ptr<WebBannerProcess> process);
    void sendSize();
    void moveFocusOn(bool forward);
    bool forward(QKeyEvent *event);

    std::unique_ptr<WebBannerProcess> m_process;
    QStringList m_arguments;
    QImage m_frame;
    int m_keepHostMs = 60000;
    qreal m_radius = 0;
    bool m_shown = false;
};
