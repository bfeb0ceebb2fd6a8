#include "AccountState.h"

#include <QJsonArray>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace standin {

namespace {

QString randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(raw.data()), bytes / 4);
    return QString::fromLatin1(raw.toHex());
}

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// Timed lines 4.5 s apart, starting at 3 s; `translations` (may be shorter) go under the first lines.
QList<LyricLine> timed(const QStringList &lines, const QStringList &translations = {})
{
    QList<LyricLine> out;
    for (qsizetype i = 0; i < lines.size(); ++i)
        out.append(LyricLine{3.0 + 4.5 * double(i), lines.at(i), translations.value(i)});
    return out;
}

} // namespace

AccountState::AccountState(QObject *parent) : QObject(parent)
{
    buildCatalogue();
}

void AccountState::buildCatalogue()
{
    const auto track = [](const char *id, const QString &title, const QString &artist, const char *genre,
                          qint64 duration) {
        CatalogueTrack t;
        t.id = QString::fromLatin1(id);
        t.title = title;
        t.artist = artist;
        t.genre = QString::fromLatin1(genre);
        t.duration = duration;
        t.streamURL = QStringLiteral("/media/library/%1.mp3").arg(t.id);
        t.artworkURL = QStringLiteral("/media/library/%1.jpg").arg(t.id);
        return t;
    };

    CatalogueTrack night = track("lib-night-drive", QStringLiteral("Night Drive"), QStringLiteral("Aria Sky"), "pop", 72);
    night.lyrics = timed({QStringLiteral("Headlights on the empty road"), QStringLiteral("The city hums a quiet code"),
                          QStringLiteral("We chase the signal through the rain"), QStringLiteral("And every song sounds new again"),
                          QStringLiteral("Turn it up, the night is long"), QStringLiteral("We drive until we find the song")},
                         {QStringLiteral("چراغها روشن در جادهی خالی"), QStringLiteral("شهر آرام رمزی را زمزمه میکند"),
                          QStringLiteral("زیر باران دنبال سیگنال میرویم"), QStringLiteral("و هر آهنگ دوباره تازه میشود")});
    CatalogueTrack moon = track("lib-mahtab", QStringLiteral("مهتاب"), QStringLiteral("سارا نیک"), "iranian", 64);
    moon.lyrics = timed({QStringLiteral("مهتاب روی بام خانه"), QStringLiteral("آرام میخواند ترانه"),
                         QStringLiteral("شب بیدار و ما بیدار"), QStringLiteral("دل میرود تا بیکرانه"),
                         QStringLiteral("بمان تا صبح با آواز")},
                        {QStringLiteral("Moonlight on the rooftop"), QStringLiteral("Softly sings a song"), {},
                         QStringLiteral("The heart goes to the endless")});
    CatalogueTrack rain = track("lib-baran", QStringLiteral("باران"), QStringLiteral("گروه نسیم"), "iranian", 60);
    rain.lyrics = timed({QStringLiteral("باران که میبارد"), QStringLiteral("کوچه بوی خاک میدهد"),
                         QStringLiteral("صدای تو میآید"), QStringLiteral("از پشت پنجرهها")});
    CatalogueTrack paper = track("lib-paper-planes", QStringLiteral("Paper Planes"), QStringLiteral("Low Tide"), "international", 66);
    paper.lyrics = timed({QStringLiteral("Fold a wish and let it fly"), QStringLiteral("Paper planes across the sky"),
                          QStringLiteral("Some come back and some are gone"), QStringLiteral("Still we fold them, one by one")},
                         {{}, QStringLiteral("هواپیماهای کاغذی در آسمان")});
    CatalogueTrack dawn = track("lib-first-light", QStringLiteral("First Light"), QStringLiteral("Low Tide"), "international", 58);
    dawn.lyrics = timed({QStringLiteral("First light on the window"), QStringLiteral("Coffee and a slow hello"),
                         QStringLiteral("Nothing here is in a hurry"), QStringLiteral("Let the morning go")});
    CatalogueTrack neon = track("lib-neon-river", QStringLiteral("Neon River"), QStringLiteral("Aria Sky"), "pop", 70);
    neon.lyrics = timed({QStringLiteral("Neon river, carry me"), QStringLiteral("Downtown lights like a silver sea"),
                         QStringLiteral("Hold the beat and hold my hand"), QStringLiteral("Dancing where the rivers end")});
    CatalogueTrack santur = track("lib-santur-dream", QStringLiteral("رویای سنتور"), QStringLiteral("کیان راد"), "instrumental", 62);
    santur.instrumental = true;
    CatalogueTrack piano = track("lib-still-water", QStringLiteral("Still Water"), QStringLiteral("Mira Lake"), "instrumental", 56);
    piano.instrumental = true;

    m_catalogue = {night, moon, rain, paper, dawn, neon, santur, piano};
}

std::optional<CatalogueTrack> AccountState::catalogueTrack(const QString &id) const
{
    for (const CatalogueTrack &t : m_catalogue) {
        if (t.id == id)
            return t;
    }
    return std::nullopt;
}

LibraryTrack AccountState::libraryTrackFrom(const CatalogueTrack &track, const QString &trackType) const
{
    LibraryTrack t;
    t.trackType = trackType;
    t.trackID = track.id;
    t.title = track.title;
    t.artist = track.artist;
    t.artworkURL = track.artworkURL;
    t.streamURL = track.streamURL;
    t.duration = track.duration;
    return t;
}

void AccountState::addDemoData()
{
    const qint64 demo = addUser(demoUsername, demoPassword, QStringLiteral("شنوندهی دمو"),
                                QStringLiteral("melodrift_demo"));
    const auto lib = [this](const char *id) { return libraryTrackFrom(*catalogueTrack(QString::fromLatin1(id)), QStringLiteral("library")); };

    const qint64 calm = addPlaylist(demo, QStringLiteral("آرامش شبانه"), QStringLiteral("برای شبهای آرام"));
    addPlaylistTrack(calm, lib("lib-mahtab"));
    addPlaylistTrack(calm, lib("lib-santur-dream"));
    addPlaylistTrack(calm, lib("lib-still-water"));
    const qint64 drive = addPlaylist(demo, QStringLiteral("Road Trip"), QString());
    addPlaylistTrack(drive, lib("lib-night-drive"));
    addPlaylistTrack(drive, lib("lib-neon-river"));

    addFavorite(demo, lib("lib-paper-planes"));
    addFavorite(demo, lib("lib-baran"));
}

void AccountState::clear()
{
    m_users.clear();
    m_tokens.clear();
    m_sessions.clear();
    m_playlists.clear();
    m_favorites.clear();
    downloadTokens.clear();
    recognitions = 0;
}

// --- users and tokens -------------------------------------------------------------------------

qint64 AccountState::addUser(const QString &username, const QString &password, const QString &displayName,
                             const QString &telegramUsername)
{
    AccountUser u;
    u.id = m_nextUserID++;
    u.username = username;
    u.password = password;
    u.displayName = displayName;
    u.telegramUsername = telegramUsername;
    m_users.insert(u.id, u);
    return u.id;
}

std::optional<AccountUser> AccountState::user(qint64 id) const
{
    const auto it = m_users.constFind(id);
    if (it == m_users.cend())
        return std::nullopt;
    return *it;
}

std::optional<AccountUser> AccountState::userNamed(const QString &username) const
{
    for (const AccountUser &u : m_users) {
        if (u.username.compare(username, Qt::CaseInsensitive) == 0)
            return u;
    }
    return std::nullopt;
}

std::optional<AccountUser> AccountState::userByIdentifier(const QString &identifier) const
{
    if (identifier.isEmpty())
        return std::nullopt;
    if (auto u = userNamed(identifier))
        return u;
    const QString telegram = identifier.startsWith(QLatin1Char('@')) ? identifier.mid(1) : identifier;
    for (const AccountUser &u : m_users) {
        if (!u.telegramUsername.isEmpty() && u.telegramUsername.compare(telegram, Qt::CaseInsensitive) == 0)
            return u;
    }
    return std::nullopt;
}

std::optional<AccountUser> AccountState::checkPassword(const QString &username, const QString &password) const
{
    const std::optional<AccountUser> u = userNamed(username);
    if (!u || u->password != password)
        return std::nullopt;
    return u;
}

void AccountState::setPassword(qint64 userID, const QString &password)
{
    if (m_users.contains(userID))
        m_users[userID].password = password;
}

QString AccountState::issueToken(qint64 userID)
{
    const QString token = randomHex(24);
    m_tokens.insert(token, userID);
    return token;
}

std::optional<qint64> AccountState::userForToken(const QString &token) const
{
    const auto it = m_tokens.constFind(token);
    if (it == m_tokens.cend() || !m_users.contains(*it))
        return std::nullopt;
    return *it;
}

void AccountState::revokeToken(const QString &token)
{
    m_tokens.remove(token);
}

void AccountState::revokeTokensOf(qint64 userID)
{
    m_tokens.removeIf([userID](const auto &entry) { return entry.value() == userID; });
}

// --- code sessions ----------------------------------------------------------------------------

CodeSession AccountState::openSession(CodeSession session, const QString &recipient)
{
    session.id = randomHex(12);
    if (!m_nextCode.isEmpty()) {
        session.code = m_nextCode;
        m_nextCode.clear();
    } else {
        session.code = QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6, 10, QLatin1Char('0'));
    }
    session.expiresAt = QDateTime::currentDateTimeUtc().addSecs(codeLifetimeSeconds);
    m_sessions.insert(session.id, session);
    m_lastCode = session.code;
    m_lastSessionID = session.id;
    if (printCodes) {
        std::printf("[stand-in] telegram code for %s: %s (session %s)\n", qPrintable(recipient),
                    qPrintable(session.code), qPrintable(session.id));
        std::fflush(stdout);
    }
    emit codeSent(session.id, session.code, recipient);
    return session;
}

CodeSession AccountState::openSignup(const QString &username, const QString &password, const QString &displayName)
{
    CodeSession s;
    s.purpose = CodeSession::Purpose::Signup;
    s.username = username;
    s.password = password;
    s.displayName = displayName;
    return openSession(s, QStringLiteral("sign-up of ") + username);
}

CodeSession AccountState::openReset(qint64 userID)
{
    CodeSession s;
    s.purpose = CodeSession::Purpose::Reset;
    s.userID = userID;
    const std::optional<AccountUser> u = user(userID);
    return openSession(s, QStringLiteral("password reset of ") + (u ? u->username : QString()));
}

std::optional<CodeSession> AccountState::session(const QString &id) const
{
    const auto it = m_sessions.constFind(id);
    if (it == m_sessions.cend())
        return std::nullopt;
    return *it;
}

void AccountState::closeSession(const QString &id)
{
    m_sessions.remove(id);
}

bool AccountState::recordFailedAttempt(const QString &id)
{
    auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return true;
    if (++it->failedAttempts < maxCodeAttempts)
        return false;
    m_sessions.erase(it);
    return true;
}

QString AccountState::codeFor(const QString &sessionID) const
{
    return m_sessions.value(sessionID).code;
}

void AccountState::expireSessions()
{
    const QDateTime past = QDateTime::currentDateTimeUtc().addSecs(-1);
    for (CodeSession &s : m_sessions)
        s.expiresAt = past;
}

// --- playlists --------------------------------------------------------------------------------

qint64 AccountState::addPlaylist(qint64 ownerID, const QString &title, const QString &description)
{
    Playlist p;
    p.id = m_nextPlaylistID++;
    p.ownerID = ownerID;
    p.title = title;
    p.description = description;
    m_playlists.insert(p.id, p);
    return p.id;
}

std::optional<Playlist> AccountState::playlist(qint64 id) const
{
    const auto it = m_playlists.constFind(id);
    if (it == m_playlists.cend())
        return std::nullopt;
    return *it;
}

QList<Playlist> AccountState::playlistsOf(qint64 ownerID) const
{
    QList<Playlist> out;
    for (const Playlist &p : m_playlists) {
        if (p.ownerID == ownerID)
            out.prepend(p);
    }
    return out;
}

bool AccountState::updatePlaylist(qint64 id, const QString &title, const QString &description)
{
    auto it = m_playlists.find(id);
    if (it == m_playlists.end())
        return false;
    it->title = title;
    it->description = description;
    return true;
}

bool AccountState::removePlaylist(qint64 id)
{
    return m_playlists.remove(id) > 0;
}

qint64 AccountState::addPlaylistTrack(qint64 playlistID, LibraryTrack track)
{
    auto it = m_playlists.find(playlistID);
    if (it == m_playlists.end())
        return 0;
    track.id = m_nextRowID++;
    it->tracks.append(track);
    return track.id;
}

std::optional<LibraryTrack> AccountState::findPlaylistTrack(qint64 playlistID, const QString &trackRef) const
{
    const std::optional<Playlist> p = playlist(playlistID);
    if (!p)
        return std::nullopt;
    bool isNumber = false;
    const qint64 rowID = trackRef.toLongLong(&isNumber);
    for (const LibraryTrack &t : p->tracks) {
        if (isNumber && t.id == rowID)
            return t;
    }
    for (const LibraryTrack &t : p->tracks) {
        if (t.trackID == trackRef)
            return t;
    }
    return std::nullopt;
}

bool AccountState::updatePlaylistTrack(qint64 playlistID, qint64 rowID, const QString &title, const QString &artist)
{
    auto it = m_playlists.find(playlistID);
    if (it == m_playlists.end())
        return false;
    for (LibraryTrack &t : it->tracks) {
        if (t.id == rowID) {
            t.title = title;
            t.artist = artist;
            return true;
        }
    }
    return false;
}

bool AccountState::removePlaylistTrack(qint64 playlistID, qint64 rowID)
{
    auto it = m_playlists.find(playlistID);
    if (it == m_playlists.end())
        return false;
    return it->tracks.removeIf([rowID](const LibraryTrack &t) { return t.id == rowID; }) > 0;
}

// --- liked tracks -----------------------------------------------------------------------------

QList<LibraryTrack> AccountState::favoritesOf(qint64 userID) const
{
    return m_favorites.value(userID);
}

qint64 AccountState::addFavorite(qint64 userID, LibraryTrack track)
{
    track.id = m_nextRowID++;
    m_favorites[userID].prepend(track);
    return track.id;
}

bool AccountState::toggleFavorite(qint64 userID, const LibraryTrack &track)
{
    QList<LibraryTrack> &likes = m_favorites[userID];
    if (likes.removeIf([&track](const LibraryTrack &t) { return t.trackID == track.trackID; }) > 0)
        return false;
    addFavorite(userID, track);
    return true;
}

// --- JSON -------------------------------------------------------------------------------------

QJsonObject AccountState::userJson(const AccountUser &user)
{
    return QJsonObject{{QStringLiteral("id"), user.id},
                       {QStringLiteral("username"), user.username},
                       {QStringLiteral("display_name"), orNull(user.displayName)},
                       {QStringLiteral("avatar_url"), orNull(user.avatarURL)},
                       {QStringLiteral("telegram_username"), orNull(user.telegramUsername)}};
}

QJsonObject AccountState::trackJson(const LibraryTrack &track)
{
    return QJsonObject{{QStringLiteral("id"), track.id},
                       {QStringLiteral("track_type"), track.trackType},
                       {QStringLiteral("track_id"), track.trackID},
                       {QStringLiteral("title"), track.title},
                       {QStringLiteral("artist"), track.artist},
                       {QStringLiteral("artwork_url"), orNull(track.artworkURL)},
                       {QStringLiteral("stream_url"), orNull(track.streamURL)},
                       {QStringLiteral("duration"), track.duration}};
}

QJsonObject AccountState::playlistSummaryJson(const Playlist &playlist) const
{
    QString cover;
    for (const LibraryTrack &t : playlist.tracks) {
        if (!t.artworkURL.isEmpty()) {
            cover = t.artworkURL;
            break;
        }
    }
    return QJsonObject{{QStringLiteral("id"), playlist.id},
                       {QStringLiteral("title"), playlist.title},
                       {QStringLiteral("description"), playlist.description},
                       {QStringLiteral("cover_url"), orNull(cover)},
                       {QStringLiteral("track_count"), qint64(playlist.tracks.size())}};
}

} // namespace standin
