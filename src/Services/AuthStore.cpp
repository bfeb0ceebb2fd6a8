#include "Services/AuthStore.h"

#include "Services/APIClient.h"
#include "Services/Keychain.h"

#include <QPointer>
#include <QStringDecoder>
#include <QVariantMap>

#include <algorithm>

namespace {

void putIfPresent(QVariantMap &map, const char *key, const std::optional<QString> &value)
{
    if (value)
        map.insert(QLatin1StringView(key), *value);
}

void putIfPresent(QVariantMap &map, const char *key, const std::optional<qint64> &value)
{
    if (value)
        map.insert(QLatin1StringView(key), *value);
}

QVariantMap userMap(const User &user)
{
    QVariantMap map;
    putIfPresent(map, "id", user.id);
    putIfPresent(map, "username", user.username);
    putIfPresent(map, "displayName", user.displayName);
    putIfPresent(map, "avatarURL", user.avatarURL);
    putIfPresent(map, "telegramUsername", user.telegramUsername);
    return map;
}

} // namespace

QVariantMap AuthStore::playlistMap(const PlaylistSummary &playlist)
{
    QVariantMap map;
    map.insert(QStringLiteral("id"), playlist.id);
    putIfPresent(map, "title", playlist.title);
    putIfPresent(map, "description", playlist.description);
    putIfPresent(map, "coverURL", playlist.coverURL);
    putIfPresent(map, "trackCount", playlist.trackCount);
    return map;
}

namespace {

QVariantMap favoriteMap(const FavoriteTrack &track)
{
    QVariantMap map;
    map.insert(QStringLiteral("id"), track.id);
    putIfPresent(map, "trackType", track.trackType);
    putIfPresent(map, "trackID", track.trackID);
    putIfPresent(map, "title", track.title);
    putIfPresent(map, "artist", track.artist);
    putIfPresent(map, "artworkURL", track.artworkURL);
    putIfPresent(map, "streamURL", track.streamURL);
    putIfPresent(map, "duration", track.duration);
    return map;
}

PlaylistTrack playlistTrack(const FavoriteTrack &liked)
{
    PlaylistTrack track;
    track.id = liked.id;
    track.trackType = liked.trackType;
    track.trackID = liked.trackID;
    track.title = liked.title;
    track.artist = liked.artist;
    track.artworkURL = liked.artworkURL;
    track.streamURL = liked.streamURL;
    track.duration = liked.duration;
    return track;
}

// The sign-out request: nobody waits for it and nothing it meets is reported.
QCoro::Task<void> sendLogout(APIClient *client, QString token)
{
    try {
        co_await client->logout(std::move(token));
    } catch (const std::exception &) {
    }
}

} // namespace

AuthStore &AuthStore::shared()
{
    static AuthStore *const instance = new AuthStore();
    return *instance;
}

AuthStore::AuthStore(std::shared_ptr<KeychainBackend> keychain, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_keychain(keychain ? std::move(keychain) : Keychain::backend())
    , m_client(client ? client : &APIClient::shared())
{
    restoreSavedSession(); // runs on its own; the constructor does not wait
}

QCoro::Task<void> AuthStore::restoreSavedSession()
{
    QPointer<AuthStore> self(this);
    const quint64 session = m_sessionChanges;
    setRestoring(true);
    const std::optional<QByteArray> saved = co_await m_keychain->read(tokenKey);
    if (!self)
        co_return;
    // A sign-in or sign-out while the keychain was answering settled the session already.
    if (session != m_sessionChanges) {
        setRestoring(false);
        co_return;
    }
    const std::optional<QString> token = saved ? Keychain::decode(*saved) : std::nullopt;
    if (token && !token->isEmpty()) {
        setToken(*token);
        co_await restoreSession();
        if (!self)
            co_return;
    }
    setRestoring(false);
}

void AuthStore::setRestoring(bool restoring)
{
    if (restoring == m_isRestoring)
        return;
    m_isRestoring = restoring;
    emit isRestoringChanged();
}

AuthStore::~AuthStore() = default;

// ------------------------------------------------------------------ operations

QCoro::Task<void> AuthStore::restoreSession()
{
    if (!m_token)
        co_return;
    QPointer<AuthStore> self(this);
    const QString token = *m_token;
    std::optional<User> user = co_await m_client->me(token);
    // Signed out, or somebody else signed in, while the question was out: not ours to settle.
    if (!self || m_token != token)
        co_return;
    if (user) {
        setUser(std::move(user));
        co_await loadLibrary();
    } else {
        setToken(std::nullopt);
        saveToken(std::nullopt);
    }
}

QCoro::Task<void> AuthStore::login(QString username, QString password)
{
    co_await signIn(m_client->login(std::move(username), std::move(password)));
}

namespace {

// The confirmation's account: a reply without data is a refusal in the server's words; data
// without a token is left to signIn(), which cannot read it.
QCoro::Task<AuthData> confirmedAccount(QCoro::Task<AuthEnvelope> request)
{
    AuthEnvelope reply = co_await std::move(request);
    if (!reply.data)
        throw ServerError(reply.message.value_or(QStringLiteral("کد تایید نامعتبر است")), int(reply.code.value_or(-1)));
    co_return std::move(*reply.data);
}

} // namespace

QCoro::Task<void> AuthStore::completeTelegramSignup(QString sessionID, QString code)
{
    co_await signIn(confirmedAccount(m_client->verifySignupReply(std::move(sessionID), std::move(code))));
}

QCoro::Task<void> AuthStore::signIn(QCoro::Task<AuthData> request)
{
    QPointer<AuthStore> self(this);
    AuthData reply = co_await std::move(request);
    if (!self)
        co_return;
    if (!reply.token || reply.token->isEmpty())
        throw APIError::decoding();
    ++m_sessionChanges;
    forgetLibraryLoads();
    setToken(reply.token);
    setUser(std::move(reply.user));
    saveToken(reply.token);
    co_await loadLibrary();
}

void AuthStore::logout()
{
    ++m_sessionChanges;
    forgetLibraryLoads();
    if (m_token)
        sendLogout(m_client, *m_token);
    setUser(std::nullopt);
    setToken(std::nullopt);
    setPlaylists({});
    setFavorites({});
    setFavoriteIDs({});
    saveToken(std::nullopt);
}

QCoro::Task<void> AuthStore::loadLibrary()
{
    if (!m_token)
        co_return;
    QPointer<AuthStore> self(this);
    if (m_isLoadingLibrary) {
        // The load out there may have been asked before this caller's change reached the backend:
        // one more runs right after it, so the lists published last follow every change.
        m_reloadPending = true;
        co_return;
    }
    setLoadingLibrary(true);
    do {
        m_reloadPending = false;
        if (!m_token)
            break;
        const QString token = *m_token;
        // The liked tracks are asked for even when the playlists fail: each list shows what it got.
        std::optional<QList<PlaylistSummary>> playlists;
        std::optional<QList<FavoriteTrack>> favorites;
        QString failure;
        try {
            playlists = co_await m_client->playlists(token);
        } catch (const std::exception &error) {
            const auto *known = dynamic_cast<const AppError *>(&error);
            failure = known ? known->errorDescription() : QString::fromUtf8(error.what());
        }
        if (!self)
            co_return;
        try {
            favorites = co_await m_client->favorites(token);
        } catch (const std::exception &) {
        }
        if (!self)
            co_return;
        if (m_token != token) {
            // The session this load belonged to has ended: its library must not show up in
            // another (or in none). The session held now gets a load of its own.
            m_reloadPending = true;
            continue;
        }
        if (playlists) {
            m_playlistsLoaded = true;
            setLibraryError({});
            setPlaylists(std::move(*playlists));
        } else if (!m_playlistsLoaded) {
            // Nothing earlier to keep: an empty grid would claim an empty account.
            setLibraryError(failure);
        }
        if (favorites) {
            QSet<QString> ids;
            for (const FavoriteTrack &track : std::as_const(*favorites)) {
                if (track.trackID)
                    ids.insert(*track.trackID);
            }
            setFavorites(std::move(*favorites));
            setFavoriteIDs(std::move(ids));
        }
    } while (m_reloadPending);
    setLoadingLibrary(false);
}

QCoro::Task<std::optional<bool>> AuthStore::toggleFavorite(Station station)
{
    if (!m_token)
        co_return std::nullopt;
    QPointer<AuthStore> self(this);
    try {
        co_await m_client->toggleFavorite(station, *m_token);
    } catch (const std::exception &) {
        co_return std::nullopt;
    }
    if (!self)
        co_return std::nullopt;
    co_await loadLibrary();
    if (!self)
        co_return std::nullopt;
    co_return m_favoriteIDs.contains(station.currentTrackID());
}

std::optional<Station> AuthStore::favoritesStation() const
{
    if (m_favorites.isEmpty())
        return std::nullopt;
    const QString name = QStringLiteral("آهنگهای پسندیده");
    Station station;
    station.genre = QStringLiteral("custom-favorites");
    station.title = name;
    if (m_user)
        station.artist = m_user->displayName ? m_user->displayName : m_user->username;
    station.serverName = name;
    station.source = QStringLiteral("custom");
    station.category = QStringLiteral("playlists");
    station.trackIndex = 0;
    station.trackCount = m_favorites.size();
    QList<PlaylistTrack> tracks;
    tracks.reserve(m_favorites.size());
    for (const FavoriteTrack &liked : m_favorites)
        tracks.append(playlistTrack(liked));
    station.tracks = std::move(tracks);
    return station;
}

// ------------------------------------------------------------------ published state

void AuthStore::setUser(std::optional<User> user)
{
    m_user = std::move(user);
    emit userChanged();
    emit isAuthedChanged();
    emit favoritesStationChanged();
}

void AuthStore::setToken(std::optional<QString> token)
{
    m_token = std::move(token);
    emit tokenChanged();
    emit isAuthedChanged();
}

void AuthStore::setPlaylists(QList<PlaylistSummary> playlists)
{
    m_playlists = std::move(playlists);
    emit playlistsChanged();
}

void AuthStore::setFavorites(QList<FavoriteTrack> favorites)
{
    m_favorites = std::move(favorites);
    emit favoritesChanged();
    emit favoritesStationChanged();
}

void AuthStore::setFavoriteIDs(QSet<QString> ids)
{
    m_favoriteIDs = std::move(ids);
    emit favoriteIDsChanged();
}

void AuthStore::setLibraryError(const QString &error)
{
    if (m_libraryError == error)
        return;
    m_libraryError = error;
    emit libraryErrorChanged();
}

void AuthStore::forgetLibraryLoads()
{
    m_playlistsLoaded = false;
    setLibraryError({});
}

void AuthStore::setLoadingLibrary(bool loading)
{
    m_isLoadingLibrary = loading;
    emit isLoadingLibraryChanged();
}

void AuthStore::saveToken(const std::optional<QString> &token)
{
    // Started now and finished by the keychain in order; nobody waits for it.
    if (token && !token->isEmpty())
        m_keychain->write(tokenKey, token->toUtf8());
    else
        m_keychain->remove(tokenKey);
}

QVariant AuthStore::userVariant() const
{
    return m_user ? QVariant(userMap(*m_user)) : QVariant();
}

QVariantList AuthStore::playlistsVariant() const
{
    QVariantList list;
    list.reserve(m_playlists.size());
    for (const PlaylistSummary &playlist : m_playlists)
        list.append(playlistMap(playlist));
    return list;
}

QVariantMap AuthStore::playlistVariant(qsizetype index) const
{
    return index >= 0 && index < m_playlists.size() ? playlistMap(m_playlists.at(index)) : QVariantMap();
}

QVariantList AuthStore::favoritesVariant() const
{
    QVariantList list;
    list.reserve(m_favorites.size());
    for (const FavoriteTrack &track : m_favorites)
        list.append(favoriteMap(track));
    return list;
}

QStringList AuthStore::favoriteIDList() const
{
    QStringList ids(m_favoriteIDs.cbegin(), m_favoriteIDs.cend());
    std::sort(ids.begin(), ids.end());
    return ids;
}

QVariant AuthStore::favoritesStationVariant() const
{
    const std::optional<Station> station = favoritesStation();
    return station ? station->toVariant() : QVariant();
}
