#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

namespace standin {

// What the stand-in backend keeps for accounts and libraries: users and passwords, bearer tokens,
// sign-up and password-reset sessions confirmed by a six-digit code, playlists with tracks, liked
// tracks, and a small catalogue of library tracks (with lyrics) that search, Spotify, recognition
// and the demo library draw on. Tests prepare and inspect it directly; the routes of AccountRoutes
// read and change it.

struct AccountUser
{
    qint64 id = 0;
    QString username; // unique, compared without regard to case
    QString password;
    QString displayName;      // may be empty
    QString telegramUsername; // empty when the bot does not know the user's Telegram name
    QString avatarURL;        // empty: none
};

// A track as a playlist or the liked list holds it (the keys the client sends when adding one).
struct LibraryTrack
{
    qint64 id = 0; // row id, given by the state
    QString trackType;
    QString trackID;
    QString title;
    QString artist;
    QString artworkURL;
    QString streamURL;
    qint64 duration = 0;
};

struct Playlist
{
    qint64 id = 0;
    qint64 ownerID = 0;
    QString title;
    QString description;
    QList<LibraryTrack> tracks;
};

// A sign-up or password-reset waiting for its code.
struct CodeSession
{
    enum class Purpose { Signup, Reset };
    QString id;
    Purpose purpose = Purpose::Signup;
    QString code;
    QDateTime expiresAt;
    int failedAttempts = 0;
    // Sign-up: the account to create. Reset: the user whose password changes.
    QString username;
    QString password;
    QString displayName;
    qint64 userID = 0;
};

struct LyricLine
{
    double time = 0;
    QString text;
    QString translation; // empty: none
};

// One track of the stand-in's own catalogue. Its audio is served at `streamURL`.
struct CatalogueTrack
{
    QString id; // also its Spotify-style id
    QString title;
    QString artist;
    QString genre;
    qint64 duration = 0; // seconds of audio actually served
    QString streamURL;
    QString artworkURL;
    bool instrumental = false;
    QList<LyricLine> lyrics; // empty: none written
};

class AccountState : public QObject
{
    Q_OBJECT
public:
    explicit AccountState(QObject *parent = nullptr);

    static constexpr int codeLifetimeSeconds = 300;
    static constexpr int maxCodeAttempts = 5;
    static inline const QString botUsername = QStringLiteral("MelodriftBot");

    // --- demo data ----------------------------------------------------------------------------
    // The account `make run` offers: user "demo", password "demo1234", with two playlists and
    // two liked tracks. Installed by installAccountRoutes(); tests that want a blank state call
    // clear() first.
    static inline const QString demoUsername = QStringLiteral("demo");
    static inline const QString demoPassword = QStringLiteral("demo1234");
    void addDemoData();
    void clear(); // removes users, tokens, sessions, playlists and likes (the catalogue stays)

    // --- users and tokens ---------------------------------------------------------------------
    qint64 addUser(const QString &username, const QString &password, const QString &displayName = {},
                   const QString &telegramUsername = {});
    std::optional<AccountUser> user(qint64 id) const;
    std::optional<AccountUser> userNamed(const QString &username) const; // any case
    // By user name, or by Telegram name with or without a leading "@" (any case).
    std::optional<AccountUser> userByIdentifier(const QString &identifier) const;
    std::optional<AccountUser> checkPassword(const QString &username, const QString &password) const;
    void setPassword(qint64 userID, const QString &password);
    QList<AccountUser> users() const { return m_users.values(); }

    QString issueToken(qint64 userID); // a fresh bearer token for the user (what a sign-in gives)
    std::optional<qint64> userForToken(const QString &token) const;
    void revokeToken(const QString &token);
    void revokeTokensOf(qint64 userID);
    int tokenCount() const { return int(m_tokens.size()); }

    // --- code sessions ------------------------------------------------------------------------
    // Opens a session and "sends" its code: prints it (see printCodes) and emits codeSent.
    CodeSession openSignup(const QString &username, const QString &password, const QString &displayName);
    CodeSession openReset(qint64 userID);
    std::optional<CodeSession> session(const QString &id) const;
    void closeSession(const QString &id);
    // Counts a wrong code; the session is closed after maxCodeAttempts. Returns true when closed.
    bool recordFailedAttempt(const QString &id);
    QString codeFor(const QString &sessionID) const; // empty when there is no such session
    QString lastCode() const { return m_lastCode; }
    QString lastSessionID() const { return m_lastSessionID; }
    void setNextCode(const QString &code) { m_nextCode = code; } // the next session's code, once
    void expireSessions(); // every open session expires now
    bool printCodes = true;

    // --- playlists ----------------------------------------------------------------------------
    qint64 addPlaylist(qint64 ownerID, const QString &title, const QString &description = {});
    std::optional<Playlist> playlist(qint64 id) const;
    QList<Playlist> playlistsOf(qint64 ownerID) const; // newest first
    bool updatePlaylist(qint64 id, const QString &title, const QString &description);
    bool removePlaylist(qint64 id);
    // Adds a track at the end; returns its row id, 0 when there is no such playlist.
    qint64 addPlaylistTrack(qint64 playlistID, LibraryTrack track);
    // A track of the playlist by its row id in decimal, else by its track id.
    std::optional<LibraryTrack> findPlaylistTrack(qint64 playlistID, const QString &trackRef) const;
    bool updatePlaylistTrack(qint64 playlistID, qint64 rowID, const QString &title, const QString &artist);
    bool removePlaylistTrack(qint64 playlistID, qint64 rowID);

    // --- liked tracks -------------------------------------------------------------------------
    QList<LibraryTrack> favoritesOf(qint64 userID) const; // most recently liked first
    qint64 addFavorite(qint64 userID, LibraryTrack track); // returns the row id
    // Likes the track, or unlikes it when a like with the same track id exists. Returns whether
    // it is liked afterwards.
    bool toggleFavorite(qint64 userID, const LibraryTrack &track);

    // --- catalogue ----------------------------------------------------------------------------
    const QList<CatalogueTrack> &catalogue() const { return m_catalogue; }
    std::optional<CatalogueTrack> catalogueTrack(const QString &id) const;
    LibraryTrack libraryTrackFrom(const CatalogueTrack &track, const QString &trackType) const;

    // Station genres (matched as parts of the lyrics query's genre) whose songs have no words.
    QStringList instrumentalGenres{QStringLiteral("instrumental"), QStringLiteral("ambient"), QStringLiteral("piano")};

    // --- other records the routes keep --------------------------------------------------------
    QStringList downloadTokens; // issued Telegram download tokens, in order
    int recognitions = 0;       // answered recognition uploads

    static QJsonObject userJson(const AccountUser &user);
    static QJsonObject trackJson(const LibraryTrack &track);
    QJsonObject playlistSummaryJson(const Playlist &playlist) const;

signals:
    // A code the bot would send now.
    void codeSent(const QString &sessionID, const QString &code, const QString &recipient);

private:
    CodeSession openSession(CodeSession session, const QString &recipient);
    void buildCatalogue();

    QMap<qint64, AccountUser> m_users;
    QHash<QString, qint64> m_tokens;
    QHash<QString, CodeSession> m_sessions;
    QMap<qint64, Playlist> m_playlists;
    QMap<qint64, QList<LibraryTrack>> m_favorites; // per user, most recent first
    QList<CatalogueTrack> m_catalogue;
    qint64 m_nextUserID = 1;
    qint64 m_nextPlaylistID = 1;
    qint64 m_nextRowID = 1;
    QString m_nextCode;
    QString m_lastCode;
    QString m_lastSessionID;
};

} // namespace standin
