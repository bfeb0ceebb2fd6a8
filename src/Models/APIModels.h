#pragma once

#include "Models/Envelope.h"
#include "Models/Station.h"

#include <QList>
#include <QString>

#include <optional>

// The backend's reply records beyond the station catalogue: accounts and sign-up sessions,
// playlists, liked tracks, the favourite toggle, lyrics, Spotify entities, song recognition and
// Telegram download links.
//
// Every record decodes with `static T fromJson(const QJsonValue &)`, strictly (Models/JsonCoding.h):
// an absent or null optional gives none, a value of the wrong JSON type throws DecodingError and
// with it fails the whole reply. `json::decode<T>(body)` decodes a whole reply body.

// ---------------------------------------------------------------------------------------------
// Accounts

struct User
{
    std::optional<qint64> id;
    std::optional<QString> username;
    std::optional<QString> displayName;      // "display_name"
    std::optional<QString> avatarURL;        // "avatar_url"
    std::optional<QString> telegramUsername; // "telegram_username"

    static User fromJson(const QJsonValue &value);
    bool operator==(const User &) const = default;
};
size_t qHash(const User &user, size_t seed = 0) noexcept;

struct AuthData
{
    std::optional<QString> token; // the bearer session token
    std::optional<User> user;

    static AuthData fromJson(const QJsonValue &value);
    bool operator==(const AuthData &) const = default;
};

// The sign-up or password-reset session carried from the first step to the code step. Not decoded
// itself: SessionInfoEnvelope::resolved() builds it.
struct AuthSessionInfo
{
    QString sessionID; // never empty
    std::optional<QString> botLink;
    std::optional<QString> botUsername;
    std::optional<QString> telegramUsername;
    qint64 expiresIn = 300; // seconds until the code expires

    bool operator==(const AuthSessionInfo &) const = default;
};
size_t qHash(const AuthSessionInfo &info, size_t seed = 0) noexcept;

// Reply of the sign-up and password-reset starts. The session fields may come at the top level,
// inside "data", or both; resolved() combines them, the top level winning.
struct SessionInfoEnvelope
{
    struct Payload
    {
        std::optional<QString> sessionID;        // "session_id"
        std::optional<QString> botLink;          // "bot_link"
        std::optional<QString> botUsername;      // "bot_username"
        std::optional<QString> telegramUsername; // "telegram_username"
        std::optional<qint64> expiresIn;         // "expires_in", seconds

        static Payload fromJson(const QJsonValue &value);
        bool operator==(const Payload &) const = default;
    };

    std::optional<qint64> code;
    std::optional<QString> message;
    std::optional<QString> sessionID;
    std::optional<QString> botLink;
    std::optional<QString> botUsername;
    std::optional<QString> telegramUsername;
    std::optional<qint64> expiresIn;
    std::optional<Payload> data;

    static SessionInfoEnvelope fromJson(const QJsonValue &value);

    // The session, or none when neither level gives a session id or the chosen id is empty (a
    // top-level empty id counts as given: "data" is then not consulted). expiresIn defaults to 300.
    std::optional<AuthSessionInfo> resolved() const;
};

// ---------------------------------------------------------------------------------------------
// Playlists and liked tracks

struct PlaylistSummary
{
    qint64 id = 0; // required
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<QString> coverURL;  // "cover_url"
    std::optional<qint64> trackCount; // "track_count"

    static PlaylistSummary fromJson(const QJsonValue &value);
    bool operator==(const PlaylistSummary &) const = default;
};
size_t qHash(const PlaylistSummary &playlist, size_t seed = 0) noexcept;

struct PlaylistsData
{
    std::optional<QList<PlaylistSummary>> playlists;
    std::optional<qint64> favoritesCount; // "favorites_count"

    static PlaylistsData fromJson(const QJsonValue &value);
    bool operator==(const PlaylistsData &) const = default;
};

// One liked track. Decoded strictly, unlike a playlist's tracks: "track_id" must be a string and
// "duration" an integer.
struct FavoriteTrack
{
    qint64 id = 0; // required: the server's row id of the like
    std::optional<QString> trackType;  // "track_type"
    std::optional<QString> trackID;    // "track_id": the identity collected into favourite ids
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> artworkURL; // "artwork_url"
    std::optional<QString> streamURL;  // "stream_url"
    std::optional<qint64> duration;    // whole seconds

    static FavoriteTrack fromJson(const QJsonValue &value);
    bool operator==(const FavoriteTrack &) const = default;
};
size_t qHash(const FavoriteTrack &track, size_t seed = 0) noexcept;

// Payload of ToggleResult (the favourite toggle's reply).
struct ToggleData
{
    std::optional<bool> favorited;

    static ToggleData fromJson(const QJsonValue &value);
    bool operator==(const ToggleData &) const = default;
};

// ---------------------------------------------------------------------------------------------
// Lyrics

// Texts longer than `maxLength` UTF-16 units cut at the last whole character (grapheme) that
// fits, followed by "…"; shorter ones unchanged.
QString cutLongText(const QString &text, qsizetype maxLength);

struct LyricsLine
{
    std::optional<double> time; // seconds from the start of the track
    std::optional<QString> text;
    std::optional<QString> translation;

    // Laying out a line costs far more than its length: one of millions of letters held the
    // window for minutes. Longer texts and translations are cut when decoded, before any view
    // (the lyrics sheet, the story sheet and its video) sees them.
    static constexpr qsizetype MaxTextLength = 500;

    static LyricsLine fromJson(const QJsonValue &value);
    bool operator==(const LyricsLine &) const = default;
};
size_t qHash(const LyricsLine &line, size_t seed = 0) noexcept;

struct LyricsData
{
    std::optional<bool> found;
    std::optional<bool> synced; // the lines carry times
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QList<LyricsLine>> lines;
    std::optional<double> elapsedSeconds; // "elapsed_seconds"

    static LyricsData fromJson(const QJsonValue &value);
    bool operator==(const LyricsData &) const = default;
};

// ---------------------------------------------------------------------------------------------
// Spotify

struct SpotifyTrack
{
    std::optional<QString> id;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<qint64> duration;
    std::optional<QString> streamURL;  // "stream_url"
    std::optional<QString> artworkURL; // "artwork_url"

    static SpotifyTrack fromJson(const QJsonValue &value);
    bool operator==(const SpotifyTrack &) const = default;
};
size_t qHash(const SpotifyTrack &track, size_t seed = 0) noexcept;

// A resolved Spotify playlist or album. `type` and `coverURL` are lenient: "type" falls back to
// "kind" and "cover_url" to "artwork_url", and a wrongly typed value there is skipped instead of
// failing the record.
struct SpotifyEntity
{
    std::optional<QString> id;
    std::optional<QString> type;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> coverURL;  // "cover_url", else "artwork_url"
    std::optional<qint64> trackCount; // "track_count"
    std::optional<QList<SpotifyTrack>> tracks;

    static SpotifyEntity fromJson(const QJsonValue &value);
    bool operator==(const SpotifyEntity &) const = default;
};

// ---------------------------------------------------------------------------------------------
// Song recognition and Telegram download links

struct ShazamData
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> genre;
    std::optional<QString> artworkURL; // "artwork_url"
    std::optional<QString> streamURL;  // "stream_url"
    std::optional<qint64> duration;

    static ShazamData fromJson(const QJsonValue &value);
    bool operator==(const ShazamData &) const = default;
};

struct TelegramTokenData
{
    std::optional<QString> token;
    std::optional<QString> botURL;      // "bot_url": the link the client opens
    std::optional<QString> botUsername; // "bot_username"

    static TelegramTokenData fromJson(const QJsonValue &value);
    bool operator==(const TelegramTokenData &) const = default;
};

// ---------------------------------------------------------------------------------------------
// One playlist with its tracks (PlaylistTrack, decoded leniently by its own decoder).

struct PlaylistDetail
{
    std::optional<qint64> id;
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<QString> coverURL; // "cover_url"
    std::optional<QList<PlaylistTrack>> tracks;

    static PlaylistDetail fromJson(const QJsonValue &value);
    bool operator==(const PlaylistDetail &) const = default;
};

// ---------------------------------------------------------------------------------------------
// Per-operation envelopes

using AuthEnvelope = Envelope<AuthData>;
using PlaylistsEnvelope = Envelope<PlaylistsData>;
using FavoritesEnvelope = Envelope<QList<FavoriteTrack>>;
using PlaylistEnvelope = Envelope<PlaylistDetail>;
using PlaylistCreateEnvelope = Envelope<PlaylistSummary>;
using ToggleResult = Envelope<ToggleData>;
using LyricsEnvelope = Envelope<LyricsData>;
using EntityEnvelope = Envelope<SpotifyEntity>;
using ShazamEnvelope = Envelope<ShazamData>;
using TelegramTokenEnvelope = Envelope<TelegramTokenData>;
