#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QCoroTask>

#include <optional>

class QNetworkReply;

// Safe reading and decoding of artwork, shared by the screens' pictures, the player's
// now-playing picture and the offline downloads.
namespace artwork {

// No real cover is larger; a longer body or file is not read.
inline constexpr qint64 MaxBytes = 16 * 1024 * 1024;

// The bytes of a local picture file, only when `path` is a regular file inside `folder` (both
// with symbolic links resolved) and holds at most MaxBytes; none otherwise. Blocking: call it
// off the GUI thread.
std::optional<QByteArray> readLocalFile(const QString &path, const QString &folder);
// readLocalFile() on a worker thread; the caller's thread never waits for the file.
QCoro::Task<std::optional<QByteArray>> readLocalFileOffThread(QString path, QString folder);

// Decodes a picture scaled down while decoding, so that its longer side is at most `maxSide`
// pixels (a smaller picture keeps its size). A null image when the bytes are no picture.
QImage decodeScaled(const QByteArray &bytes, int maxSide);

// Aborts `reply` as soon as its announced length or the bytes it holds unread exceed
// `maxBytes`; the reply then finishes with OperationCanceledError. For replies read whole at
// their end.
void limitReply(QNetworkReply *reply, qint64 maxBytes = MaxBytes);

} // namespace artwork
