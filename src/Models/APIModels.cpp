#include "Models/APIModels.h"

#include <QHashFunctions>

using JsonFields::Reader;

namespace {

// Feeds values into a running hash, an absent optional differing from every present value.
class Hasher
{
public:
    explicit Hasher(size_t seed) : m_seed(seed) {}

    template <typename T>
    Hasher &operator<<(const T &value)
    {
        mix(qHash(value, 0));
        return *this;
    }

    template <typename T>
    Hasher &operator<<(const std::optional<T> &value)
    {
        mix(value.has_value() ? 1 : 0);
        if (value)
            mix(qHash(*value, 0));
        return *this;
    }

    size_t result() const { return m_seed; }

private:
    void mix(size_t h) { m_seed ^= h + size_t(0x9e3779b97f4a7c15ULL) + (m_seed << 6) + (m_seed >> 2); }
    size_t m_seed;
};

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

// The decoders read the keys in the order the backend documents them, so the first wrong value
// in that order is the one the error names.

User User::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    User u;
    u.id = r.integer(key("id"));
    u.username = r.string(key("username"));
    u.displayName = r.string(key("display_name"));
    u.avatarURL = r.string(key("avatar_url"));
    u.telegramUsername = r.string(key("telegram_username"));
    return u;
}

size_t qHash(const User &user, size_t seed) noexcept
{
    return (Hasher(seed) << user.id << user.username << user.displayName << user.avatarURL
                         << user.telegramUsername)
        .result();
}

AuthData AuthData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    AuthData d;
    d.token = r.string(key("token"));
    d.user = r.record(key("user"), &User::fromJson);
    return d;
}

size_t qHash(const AuthSessionInfo &info, size_t seed) noexcept
{
    return (Hasher(seed) << info.sessionID << info.botLink << info.botUsername << info.telegramUsername
                         << info.expiresIn)
        .result();
}

SessionInfoEnvelope::Payload SessionInfoEnvelope::Payload::fromJson(const QJsonValue &value,
                                                                    const QString &where)
{
    const Reader r(value, where);
    Payload p;
    p.sessionID = r.string(key("session_id"));
    p.botLink = r.string(key("bot_link"));
    p.botUsername = r.string(key("bot_username"));
    p.telegramUsername = r.string(key("telegram_username"));
    p.expiresIn = r.integer(key("expires_in"));
    return p;
}

SessionInfoEnvelope SessionInfoEnvelope::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    SessionInfoEnvelope e;
    e.code = r.integer(key("code"));
    e.message = r.string(key("message"));
    e.data = r.record(key("data"), &Payload::fromJson);
    e.sessionID = r.string(key("session_id"));
    e.botLink = r.string(key("bot_link"));
    e.botUsername = r.string(key("bot_username"));
    e.telegramUsername = r.string(key("telegram_username"));
    e.expiresIn = r.integer(key("expires_in"));
    return e;
}

std::optional<AuthSessionInfo> SessionInfoEnvelope::resolved() const
{
    const auto pick = [this](const std::optional<QString> &top,
                             std::optional<QString> Payload::*inner) -> std::optional<QString> {
        if (top)
            return top;
        return data ? (*data).*inner : std::nullopt;
    };
    const std::optional<QString> id = pick(sessionID, &Payload::sessionID);
    if (!id || id->isEmpty())
        return std::nullopt;
    AuthSessionInfo info;
    info.sessionID = *id;
    info.botLink = pick(botLink, &Payload::botLink);
    info.botUsername = pick(botUsername, &Payload::botUsername);
    info.telegramUsername = pick(telegramUsername, &Payload::telegramUsername);
    if (expiresIn)
        info.expiresIn = *expiresIn;
    else if (data && data->expiresIn)
        info.expiresIn = *data->expiresIn;
    else
        info.expiresIn = 300;
    return info;
}

PlaylistSummary PlaylistSummary::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    PlaylistSummary p;
    p.id = r.requiredInteger(key("id"));
    p.title = r.string(key("title"));
    p.description = r.string(key("description"));
    p.coverURL = r.string(key("cover_url"));
    p.trackCount = r.integer(key("track_count"));
    return p;
}

size_t qHash(const PlaylistSummary &playlist, size_t seed) noexcept
{
    return (Hasher(seed) << playlist.id << playlist.title << playlist.description << playlist.coverURL
                         << playlist.trackCount)
        .result();
}

PlaylistsData PlaylistsData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    PlaylistsData d;
    d.playlists = r.list(key("playlists"), &PlaylistSummary::fromJson);
    d.favoritesCount = r.integer(key("favorites_count"));
    return d;
}

FavoriteTrack FavoriteTrack::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    FavoriteTrack t;
    t.id = r.requiredInteger(key("id"));
    t.title = r.string(key("title"));
    t.artist = r.string(key("artist"));
    t.duration = r.integer(key("duration"));
    t.trackType = r.string(key("track_type"));
    t.trackID = r.string(key("track_id"));
    t.artworkURL = r.string(key("artwork_url"));
    t.streamURL = r.string(key("stream_url"));
    return t;
}

size_t qHash(const FavoriteTrack &track, size_t seed) noexcept
{
    return (Hasher(seed) << track.id << track.trackType << track.trackID << track.title << track.artist
                         << track.artworkURL << track.streamURL << track.duration)
        .result();
}

ToggleData ToggleData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    ToggleData d;
    d.favorited = r.boolean(key("favorited"));
    return d;
}

LyricsLine LyricsLine::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    LyricsLine l;
    l.time = r.number(key("time"));
    l.text = r.string(key("text"));
    l.translation = r.string(key("translation"));
    return l;
}

size_t qHash(const LyricsLine &line, size_t seed) noexcept
{
    return (Hasher(seed) << line.time << line.text << line.translation).result();
}

LyricsData LyricsData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    LyricsData d;
    d.found = r.boolean(key("found"));
    d.synced = r.boolean(key("synced"));
    d.lines = r.list(key("lines"), &LyricsLine::fromJson);
    d.title = r.string(key("title"));
    d.artist = r.string(key("artist"));
    d.elapsedSeconds = r.number(key("elapsed_seconds"));
    return d;
}

SpotifyTrack SpotifyTrack::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    SpotifyTrack t;
    t.id = r.string(key("id"));
    t.title = r.string(key("title"));
    t.artist = r.string(key("artist"));
    t.duration = r.integer(key("duration"));
    t.streamURL = r.string(key("stream_url"));
    t.artworkURL = r.string(key("artwork_url"));
    return t;
}

size_t qHash(const SpotifyTrack &track, size_t seed) noexcept
{
    return (Hasher(seed) << track.id << track.title << track.artist << track.duration << track.streamURL
                         << track.artworkURL)
        .result();
}

SpotifyEntity SpotifyEntity::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    SpotifyEntity e;
    e.id = r.string(key("id"));
    e.title = r.string(key("title"));
    e.artist = r.string(key("artist"));
    e.trackCount = r.integer(key("track_count"));
    e.tracks = r.list(key("tracks"), &SpotifyTrack::fromJson);
    // Backends name these two differently; a value of the wrong type under either name is skipped.
    e.type = r.lenientString(key("type"));
    if (!e.type)
        e.type = r.lenientString(key("kind"));
    e.coverURL = r.lenientString(key("cover_url"));
    if (!e.coverURL)
        e.coverURL = r.lenientString(key("artwork_url"));
    return e;
}

ShazamData ShazamData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    ShazamData d;
    d.title = r.string(key("title"));
    d.artist = r.string(key("artist"));
    d.genre = r.string(key("genre"));
    d.duration = r.integer(key("duration"));
    d.artworkURL = r.string(key("artwork_url"));
    d.streamURL = r.string(key("stream_url"));
    return d;
}

TelegramTokenData TelegramTokenData::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    TelegramTokenData d;
    d.token = r.string(key("token"));
    d.botURL = r.string(key("bot_url"));
    d.botUsername = r.string(key("bot_username"));
    return d;
}

PlaylistDetail PlaylistDetail::fromJson(const QJsonValue &value, const QString &where)
{
    const Reader r(value, where);
    PlaylistDetail d;
    d.id = r.integer(key("id"));
    d.title = r.string(key("title"));
    d.description = r.string(key("description"));
    // A track fails only when it is not an object; its fields never do.
    d.tracks = r.list(key("tracks"), [](const QJsonValue &track, const QString &at) {
        try {
            return PlaylistTrack::fromJson(track);
        } catch (const DecodingError &e) {
            throw DecodingError(at + QStringLiteral(": ") + e.detail());
        }
    });
    d.coverURL = r.string(key("cover_url"));
    return d;
}
