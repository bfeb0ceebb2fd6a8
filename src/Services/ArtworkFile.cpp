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

QImage decodeScaled(const QByteArray &bytes, int maxSide)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size(); // as stored; the bound is square, so turning does not matter
    if (size.isValid() && (size.width() > maxSide || size.height() > maxSide))
        reader.setScaledSize(size.scaled(maxSide, maxSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    // Formats whose reader cannot scale while decoding are scaled after it.
    if (!image.isNull() && (image.width() > maxSide || image.height() > maxSide))
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
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
