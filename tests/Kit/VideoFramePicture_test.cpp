#include "Kit/VideoFramePicture.h"

#include <QImage>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <cstring>
#include <gtest/gtest.h>

// The preview's picture for machines without a GPU: frames sent to its sink are kept as images
// and painted fitted and centred.

namespace {

QVideoFrame solidFrame(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QVideoFrame frame(QVideoFrameFormat(size, QVideoFrameFormat::Format_BGRA8888));
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    for (int y = 0; y < size.height(); ++y)
        memcpy(frame.bits(0) + y * frame.bytesPerLine(0), image.constScanLine(y), size.width() * 4);
    frame.unmap();
    return frame;
}

} // namespace

TEST(VideoFramePicture, KeepsTheLatestFrameAndPaintsItFitted)
{
    VideoFramePicture picture;
    picture.setSize(QSizeF(100, 100));
    EXPECT_FALSE(picture.hasFrame());

    picture.videoSink()->setVideoFrame(solidFrame(QSize(40, 80), Qt::red));
    ASSERT_TRUE(picture.hasFrame());
    EXPECT_EQ(picture.frame().size(), QSize(40, 80));

    // An upright frame in a square: centred, with empty bands either side.
    QImage canvas(QSize(100, 100), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    picture.paint(&painter);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(5, 50).alpha(), 0);
    EXPECT_EQ(canvas.pixelColor(94, 50).alpha(), 0);

    // The end of a stream keeps the last picture.
    picture.videoSink()->setVideoFrame(QVideoFrame());
    EXPECT_TRUE(picture.hasFrame());
}
