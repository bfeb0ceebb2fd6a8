#include "Models/APIModels.h"

#include <QHashFunctions>
#include <QTextBoundaryFinder>

using L1 = QLatin1StringView;

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

qint64 requiredInteger(const QJsonObject &o, L1 key)
{
    const std::optional<qint64> value = json::optionalInteger(o, key);
    if (!value)
        json::throwWrongType(key, "an integer", o.value(key));
    return *value;
}

// A string that never fails its record: a value of any other type gives none.
std::optional<QString> lenientString(const QJsonObject &o, L1 key)
{
    const QJsonValue value = o.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

// The decoders read the keys in the order the backend documents them, so the first wrong value
// in that order is the one the error names.

User User::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"user");
    User u;
    u.id = json::optionalInteger(r, L1("id"));
    u.username = json::optionalString(r, L1("username"));
    u.displayName = json::optionalString(r, L1("display_name"));
    u.avatarURL = json::optionalString(r, L1("avatar_url"));
    u.telegramUsername = json::optionalString(r, L1("telegram_username"));
    return u;
}

size_t qHash(const User &user, size_t seed) noexcept
{
    return (Hasher(seed) << user.id << user.username << user.displayName << user.avatarURL
                         << user.telegramUsername)
        .result();
}

AuthData AuthData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"auth");
    AuthData d;
    d.token = json::optionalString(r, L1("token"));
    // An empty token is no token: nothing could be authorised with it.
    if (d.token && d.token->isEmpty())
        d.token.reset();
    d.user = json::optionalRecord<User>(r, L1("user"));
    return d;
}

size_t qHash(const AuthSessionInfo &info, size_t seed) noexcept
{
    return (Hasher(seed) << info.sessionID << info.botLink << info.botUsername << info.telegramUsername
                         << info.expiresIn)
        .result();
}

SessionInfoEnvelope::Payload SessionInfoEnvelope::Payload::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"session");
    Payload p;
    p.sessionID = json::optionalString(r, L1("session_id"));
    p.botLink = json::optionalString(r, L1("bot_link"));
    p.botUsername = json::optionalString(r, L1("bot_username"));
    p.telegramUsername = json::optionalString(r, L1("telegram_username"));
    p.expiresIn = json::optionalInteger(r, L1("expires_in"));
    return p;
}

SessionInfoEnvelope SessionInfoEnvelope::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"reply");
    SessionInfoEnvelope e;
    e.code = json::optionalInteger(r, L1("code"));
    e.message = json::optionalString(r, L1("message"));
    e.data = json::optionalRecord<Payload>(r, L1("data"));
    e.sessionID = json::optionalString(r, L1("session_id"));
    e.botLink = json::optionalString(r, L1("bot_link"));
    e.botUsername = json::optionalString(r, L1("bot_username"));
    e.telegramUsername = json::optionalString(r, L1("telegram_username"));
    e.expiresIn = json::optionalInteger(r, L1("expires_in"));
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

PlaylistSummary PlaylistSummary::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"playlist");
    PlaylistSummary p;
    p.id = requiredInteger(r, L1("id"));
    p.title = json::optionalString(r, L1("title"));
    p.description = json::optionalString(r, L1("description"));
    p.coverURL = json::optionalString(r, L1("cover_url"));
    p.trackCount = json::optionalInteger(r, L1("track_count"));
    return p;
}

size_t qHash(const PlaylistSummary &playlist, size_t seed) noexcept
{
    return (Hasher(seed) << playlist.id << playlist.title << playlist.description << playlist.coverURL
                         << playlist.trackCount)
        .result();
}

PlaylistsData PlaylistsData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"playlists");
    PlaylistsData d;
    d.playlists = json::optionalArray<PlaylistSummary>(r, L1("playlists"));
    d.favoritesCount = json::optionalInteger(r, L1("favorites_count"));
    return d;
}

FavoriteTrack FavoriteTrack::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"favorite");
    FavoriteTrack t;
    t.id = requiredInteger(r, L1("id"));
    t.title = json::optionalString(r, L1("title"));
    t.artist = json::optionalString(r, L1("artist"));
    t.duration = json::optionalInteger(r, L1("duration"));
    t.trackType = json::optionalString(r, L1("track_type"));
    t.trackID = json::optionalString(r, L1("track_id"));
    t.artworkURL = json::optionalString(r, L1("artwork_url"));
    t.streamURL = json::optionalString(r, L1("stream_url"));
    return t;
}

size_t qHash(const FavoriteTrack &track, size_t seed) noexcept
{
    return (Hasher(seed) << track.id << track.trackType << track.trackID << track.title << track.artist
                         << track.artworkURL << track.streamURL << track.duration)
        .result();
}

ToggleData ToggleData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"toggle");
    ToggleData d;
    d.favorited = json::optionalBool(r, L1("favorited"));
    return d;
}

QString cutLongText(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    // Whether the cut falls between two graphemes depends only on the text around it, so the
    // finder is given just the head (not the whole of a hostile text).
    const QString head = text.left(maxLength + 64);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, head);
    finder.setPosition(maxLength);
    const qsizetype cut = finder.isAtBoundary() ? maxLength : std::max<qsizetype>(finder.toPreviousBoundary(), 0);
    return head.left(cut) + QChar(0x2026);
}

LyricsLine LyricsLine::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"line");
    LyricsLine l;
    l.time = json::optionalDouble(r, L1("time"));
    l.text = json::optionalString(r, L1("text"));
    l.translation = json::optionalString(r, L1("translation"));
    if (l.text)
        l.text = cutLongText(*l.text, MaxTextLength);
    if (l.translation)
        l.translation = cutLongText(*l.translation, MaxTextLength);
    return l;
}

size_t qHash(const LyricsLine &line, size_t seed) noexcept
{
    return (Hasher(seed) << line.time << line.text << line.translation).result();
}

LyricsData LyricsData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"lyrics");
    LyricsData d;
    d.found = json::optionalBool(r, L1("found"));
    d.synced = json::optionalBool(r, L1("synced"));
    d.lines = json::optionalArray<LyricsLine>(r, L1("lines"));
    d.title = json::optionalString(r, L1("title"));
    d.artist = json::optionalString(r, L1("artist"));
    d.elapsedSeconds = json::optionalDouble(r, L1("elapsed_seconds"));
    return d;
}

SpotifyTrack SpotifyTrack::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"track");
    SpotifyTrack t;
    t.id = json::optionalString(r, L1("id"));
    t.title = json::optionalString(r, L1("title"));
    t.artist = json::optionalString(r, L1("artist"));
    t.duration = json::optionalInteger(r, L1("duration"));
    t.streamURL = json::optionalString(r, L1("stream_url"));
    t.artworkURL = json::optionalString(r, L1("artwork_url"));
    return t;
}

size_t qHash(const SpotifyTrack &track, size_t seed) noexcept
{
    return (Hasher(seed) << track.id << track.title << track.artist << track.duration << track.streamURL
                         << track.artworkURL)
        .result();
}

SpotifyEntity SpotifyEntity::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"entity");
    SpotifyEntity e;
    e.id = json::optionalString(r, L1("id"));
    e.title = json::optionalString(r, L1("title"));
    e.artist = json::optionalString(r, L1("artist"));
    e.trackCount = json::optionalInteger(r, L1("track_count"));
    e.tracks = json::optionalArray<SpotifyTrack>(r, L1("tracks"));
    // Backends name these two differently; a value of the wrong type under either name is skipped.
    e.type = lenientString(r, L1("type"));
    if (!e.type)
        e.type = lenientString(r, L1("kind"));
    e.coverURL = lenientString(r, L1("cover_url"));
    if (!e.coverURL)
        e.coverURL = lenientString(r, L1("artwork_url"));
    return e;
}

ShazamData ShazamData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"recognition");
    ShazamData d;
    d.title = json::optionalString(r, L1("title"));
    d.artist = json::optionalString(r, L1("artist"));
    d.genre = json::optionalString(r, L1("genre"));
    d.duration = json::optionalInteger(r, L1("duration"));
    d.artworkURL = json::optionalString(r, L1("artwork_url"));
    d.streamURL = json::optionalString(r, L1("stream_url"));
    return d;
}

TelegramTokenData TelegramTokenData::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"link");
    TelegramTokenData d;
    d.token = json::optionalString(r, L1("token"));
    d.botURL = json::optionalString(r, L1("bot_url"));
    d.botUsername = json::optionalString(r, L1("bot_username"));
    return d;
}

PlaylistDetail PlaylistDetail::fromJson(const QJsonValue &value)
{
    const QJsonObject r = json::object(value, u"playlist");
    PlaylistDetail d;
    d.id = json::optionalInteger(r, L1("id"));
    d.title = json::optionalString(r, L1("title"));
    d.description = json::optionalString(r, L1("description"));
    d.tracks = json::optionalArray<PlaylistTrack>(r, L1("tracks"));
    d.coverURL = json::optionalString(r, L1("cover_url"));
    return d;
}
