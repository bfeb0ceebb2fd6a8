#include "Services/ArtworkFile.h"

#include "Platform/WorkerTask.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkReply>
#include <QPointer>

namespace artwork {

std::optional<QByteArray> readLocalFile(const QString &path, const QString &folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    if (root.isEmpty() || real.isEmpty() || !real.startsWith(root + QLatin1Char('/')))
        return std::nullopt;
    // Device files, pipes and folders are never read, whatever their name.
    const QFileInfo target(real);
    if (!target.isFile() || target.size() > MaxBytes)
        return std::nullopt;
    QFile file(real);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.isEmpty() || bytes.size() > MaxBytes)
        return std::nullopt;
    return bytes;
}

QCoro::Task<std::optional<QByteArray>> readLocalFileOffThread(QString path, QString folder)
{
    std::function<std::optional<QByteArray>()> read = [path, folder] { return readLocalFile(path, folder); };
    co_return co_await onWorker<std::optional<QByteArray>>(std::move(read));
}

namespace {

// The pixels decoding a picture of `size` for a longest side of `maxSide` (0: as large as
// allowed) takes: JPEG decodes straight at a fraction of 1/1 to 1/8 a side, the others whole.
qint64 decodedPixels(const QByteArray &format, const QSize &size, int maxSide)
{
    const qint64 whole = qint64(size.width()) * size.height();
    if (format != "jpeg")
        return whole;
    const qint64 target = qint64(maxSide) * maxSide;
    return std::max(whole / 64, std::min(whole, target));
}

// The reader's picture size, when its header tells one whose decoding stays within the bound.
std::optional<QSize> boundedSize(QImageReader &reader, int maxSide)
{
    const QSize size = reader.size(); // read from the header
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;
    if (decodedPixels(reader.format(), size, maxSide) > MaxDecodedPixels)
        return std::nullopt;
    return size;
}

} // namespace

QImage decodeScaled(const QByteArray &bytes, int maxSide)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const std::optional<QSize> size = boundedSize(reader, maxSide); // as stored; the bound is square, so turning does not matter
    if (!size)
        return QImage();
    if (size->width() > maxSide || size->height() > maxSide)
        reader.setScaledSize(size->scaled(maxSide, maxSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    // Formats whose reader cannot scale while decoding are scaled after it.
    if (!image.isNull() && (image.width() > maxSide || image.height() > maxSide))
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool isDecodablePicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && boundedSize(reader, 0).has_value();
}

void limitReply(QNetworkReply *reply, qint64 maxBytes)
{
    QPointer<QNetworkReply> guarded(reply);
    const auto check = [guarded, maxBytes] {
        if (!guarded || guarded->isFinished())
            return;
        const QVariant declared = guarded->header(QNetworkRequest::ContentLengthHeader);
        if ((declared.isValid() && declared.toLongLong() > maxBytes) || guarded->bytesAvailable() > maxBytes)
            guarded->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, check);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, check);
}

} // namespace artwork
