#pragma once

#include "Models/Station.h"
#include "Services/APIClient.h"
#include "Services/OfflineTrackEntry.h"
#include "support/StandInServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <functional>
#include <memory>

namespace offline_test {

// Spins the event loop until `done` holds; false after `timeoutMs`.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s), QTimeZone::utc());
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QList<OfflineTrackEntry> readIndex(const QString &path)
{
    return OfflineIndex::decode(readFile(path)).value_or(QList<OfflineTrackEntry>{});
}

// Every file in the downloads folder, hidden ones included.
inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A backend client for the stand-in server.
inline std::unique_ptr<APIClient> clientOf(const standin::StandInServer &server)
{
    APIClient::Options options;
    options.baseURL = server.baseUrl();
    return std::make_unique<APIClient>(options);
}

// A small MP3-looking body: an ID3 header, then filler.
inline QByteArray audioBytes(int size)
{
    QByteArray bytes("ID3\x04\0\0\0\0\0\0", 10);
    while (bytes.size() < size)
        bytes += char('a' + bytes.size() % 26);
    return bytes.left(size);
}

inline standin::Reply audioReply(const QByteArray &body)
{
    return standin::Reply::text(body, 200, "audio/mpeg");
}

// A body sent `chunk` bytes at a time every `intervalMs`, with its Content-Length announced (or
// not, with announce = false).
inline standin::Reply slowAudioReply(const QByteArray &body, int chunk, int intervalMs, bool announce = true)
{
    standin::Reply reply;
    reply.contentType = "audio/mpeg";
    if (announce)
        reply.headers.append({"Content-Length", QByteArray::number(body.size())});
    auto offset = std::make_shared<qsizetype>(0);
    reply.stream = [body, chunk, offset] {
        const QByteArray next = body.mid(*offset, chunk);
        *offset += next.size();
        return next;
    };
    reply.streamIntervalMs = intervalMs;
    return reply;
}

inline PlaylistTrack track(const QString &id, const QString &stream, std::optional<QString> artwork = std::nullopt)
{
    PlaylistTrack t;
    t.trackType = QStringLiteral("songsara");
    t.trackID = id;
    t.title = QStringLiteral("آهنگ ") + id;
    t.artist = QStringLiteral("خواننده");
    t.streamURL = stream;
    t.artworkURL = std::move(artwork);
    t.duration = 187;
    return t;
}

} // namespace offline_test
