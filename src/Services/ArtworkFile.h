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

// No picture is decoded into more pixels than this (36 MB; a 3000 x 3000 cover fits). Only
// JPEG is scaled while it is decoded (by up to 1/8 a side); every other format is decoded whole
// before it is scaled, so a tiny GIF that claims 5000 x 5000 would cost 100 MB.
inline constexpr qint64 MaxDecodedPixels = qint64(3000) * 3000;

// Decodes a picture scaled down so that its longer side is at most `maxSide` pixels (a smaller
// picture keeps its size). Its size is read from its header first: a picture whose decoding
// would take more than MaxDecodedPixels, or whose header tells no size, is not decoded. A null
// image when the bytes are no picture or one that is refused. Every picture the application
// shows or keeps goes through here.
QImage decodeScaled(const QByteArray &bytes, int maxSide);

// Whether the bytes are a picture that decodeScaled() would decode, told from its header
// alone (format and size), without decoding the pixels.
bool isDecodablePicture(const QByteArray &bytes);

// Aborts `reply` as soon as its announced length or the bytes it holds unread exceed
// `maxBytes`; the reply then finishes with OperationCanceledError. For replies read whole at
// their end.
void limitReply(QNetworkReply *reply, qint64 maxBytes = MaxBytes);

} // namespace artwork
