#include "Models/StationCompaction.h"

#include <QSet>

namespace {

class Compactor
{
public:
    // A fresh copy of `text`, allocated now at its exact length.
    static QString copied(const QString &text)
    {
        if (text.isNull())
            return QString();
        if (text.isEmpty())
            return QStringLiteral("");
        return QString(text.constData(), text.size());
    }

    static OptionalText copied(const OptionalText &text)
    {
        if (!text)
            return std::nullopt;
        return copied(*text);
    }

    // The one copy of `text` this catalogue holds.
    OptionalText shared(const OptionalText &text)
    {
        if (!text)
            return std::nullopt;
        if (text->isEmpty())
            return copied(*text);
        const auto it = m_texts.constFind(*text);
        if (it != m_texts.constEnd())
            return *it;
        return *m_texts.insert(copied(*text));
    }

    PlaylistTrack track(const PlaylistTrack &t)
    {
        PlaylistTrack out;
        out.id = t.id;
        out.trackType = shared(t.trackType);
        out.trackID = copied(t.trackID);
        out.title = shared(t.title);
        out.artist = shared(t.artist);
        out.artworkURL = copied(t.artworkURL);
        out.streamURL = copied(t.streamURL);
        out.duration = t.duration;
        return out;
    }

    Station station(const Station &s)
    {
        Station out;
        out.genre = copied(s.genre);
        out.title = copied(s.title);
        out.artist = shared(s.artist);
        out.serverName = shared(s.serverName);
        out.streamURL = copied(s.streamURL);
        out.artworkURL = copied(s.artworkURL);
        out.source = shared(s.source);
        out.category = shared(s.category);
        out.displayGenre = shared(s.displayGenre);
        out.trackIndex = s.trackIndex;
        out.trackCount = s.trackCount;
        if (s.tracks) {
            QList<PlaylistTrack> tracks;
            tracks.reserve(s.tracks->size());
            for (const PlaylistTrack &t : *s.tracks)
                tracks.append(track(t));
            out.tracks = std::move(tracks);
        }
        out.elapsedSeconds = s.elapsedSeconds;
        return out;
    }

private:
    QSet<QString> m_texts;
};

} // namespace

QList<Station> compactStations(const QList<Station> &stations)
{
    Compactor compactor;
    QList<Station> out;
    out.reserve(stations.size());
    for (const Station &s : stations)
        out.append(compactor.station(s));
    return out;
}
