#pragma once

#include <QImage>
#include <QVideoSink>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

class QVideoFrame;

// Shows the frames a media player sends to its video sink, painted fitted and centred. Qt's
// VideoOutput draws through the GPU scene graph only and stays empty under the software
// renderer; this item paints each frame as an image instead, so a preview shows on machines
// without a GPU as well:
//     VideoFramePicture { id: picture; anchors.fill: parent }
//     ... player.videoOutput = picture.videoSink
class VideoFramePicture : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVideoSink *videoSink READ videoSink CONSTANT)
    Q_PROPERTY(bool hasFrame READ hasFrame NOTIFY hasFrameChanged)

public:
    explicit VideoFramePicture(QQuickItem *parent = nullptr);

    QVideoSink *videoSink() const { return m_sink; }
    bool hasFrame() const { return !m_frame.isNull(); }
    // The latest frame, as painted.
    QImage frame() const { return m_frame; }

    void paint(QPainter *painter) override;

signals:
    void hasFrameChanged();

private:
    void showFrame(const QVideoFrame &frame);

    QVideoSink *m_sink;
    QImage m_frame;
};
