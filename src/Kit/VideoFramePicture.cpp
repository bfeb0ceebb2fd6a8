#include "VideoFramePicture.h"

#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

VideoFramePicture::VideoFramePicture(QQuickItem *parent)
    : QQuickPaintedItem(parent)
    , m_sink(new QVideoSink(this))
{
    connect(m_sink, &QVideoSink::videoFrameChanged, this, &VideoFramePicture::showFrame);
}

void VideoFramePicture::showFrame(const QVideoFrame &frame)
{
    const bool had = hasFrame();
    // An invalid frame ends the stream (stop, new source): the last picture stays until the next.
    // Frames arrive only while the player plays; an unseen item skips the conversion.
    if (!frame.isValid() || !isVisible())
        return;
    m_frame = frame.toImage();
    update();
    if (had != hasFrame())
        emit hasFrameChanged();
}

void VideoFramePicture::paint(QPainter *painter)
{
    if (m_frame.isNull())
        return;
    const QSizeF fitted = QSizeF(m_frame.size()).scaled(size(), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, m_frame);
}
