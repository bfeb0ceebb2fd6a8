#pragma once

#include "Models/APIModels.h"
#include "Models/Station.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QCoroTask>

#include <memory>
#include <optional>

class APIClient;
class KeychainBackend;

// The signed-in user's session and library: the bearer token (kept in the keychain under
// "session_token"), the user, their playlists and liked tracks. It restores a saved session by
// itself when it is created. Lives on the GUI thread; every property changes there.
//
// QML reads the user, playlists and liked tracks as maps with the records' field names
// (`user.displayName`, `playlists[0].trackCount`); an absent field is undefined. C++ callers use
// the typed accessors.
class AuthStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant user READ userVariant NOTIFY userChanged)
    Q_PROPERTY(QVariantList playlists READ playlistsVariant NOTIFY playlistsChanged)
    Q_PROPERTY(QVariantList favorites READ favoritesVariant NOTIFY favoritesChanged)
    Q_PROPERTY(bool isLoadingLibrary READ isLoadingLibrary NOTIFY isLoadingLibraryChanged)
    // Why the playlists could not be loaded when none were loaded before in this session (then
    // there is nothing to show in their place); empty otherwise.
    Q_PROPERTY(QString libraryError READ libraryError NOTIFY libraryErrorChanged)
    Q_PROPERTY(QStringList favoriteIDs READ favoriteIDList NOTIFY favoriteIDsChanged)
    Q_PROPERTY(QString token READ tokenText NOTIFY tokenChanged)
    Q_PROPERTY(bool isAuthed READ isAuthed NOTIFY isAuthedChanged)
    Q_PROPERTY(QVariant favoritesStation READ favoritesStationVariant NOTIFY favoritesStationChanged)
    // True from start-up until the saved session is settled: the keychain has answered and, with
    // a saved token, the backend has said whose it is. Not signed out yet while true.
    Q_PROPERTY(bool isRestoring READ isRestoring NOTIFY isRestoringChanged)

public:
    static inline const QString tokenKey = QStringLiteral("session_token");

    // The application's store, created on first use (on the GUI thread) with the system keychain
    // and the shared client, and kept for the whole process.
    static AuthStore &shared();

    // Starts reading the saved token from `keychain` (the installed Keychain backend when null)
    // and, when there is one, restoring the session; the constructor does not wait for either. `client` defaults to
    // APIClient::shared(); both must outlive the store.
    explicit AuthStore(std::shared_ptr<KeychainBackend> keychain = nullptr, APIClient *client = nullptr,
                       QObject *parent = nullptr);
    ~AuthStore() override;

    const std::optional<User> &user() const { return m_user; }
    const QList<PlaylistSummary> &playlists() const { return m_playlists; }
    // One playlist as `playlists` lists it for QML (empty when out of range).
    QVariantMap playlistVariant(qsizetype index) const;
    // A playlist as QML reads it: {id, title, description, coverURL, trackCount}, absent fields left out.
    static QVariantMap playlistMap(const PlaylistSummary &playlist);
    const QList<FavoriteTrack> &favorites() const { return m_favorites; }
    bool isLoadingLibrary() const { return m_isLoadingLibrary; }
    const QString &libraryError() const { return m_libraryError; }
    // The track ids of the liked tracks (those that have one): compare with Station::currentTrackID().
    const QSet<QString> &favoriteIDs() const { return m_favoriteIDs; }
    // The bearer token, for screens that call the client themselves.
    const std::optional<QString> &token() const { return m_token; }
    bool isAuthed() const { return m_user.has_value() && m_token.has_value(); }
    bool isRestoring() const { return m_isRestoring; }
    // The liked tracks as one playable station ("custom-favorites"); none without liked tracks.
    std::optional<Station> favoritesStation() const;

    // Asks the backend who the saved token belongs to: then loads the library, or forgets the
    // token (here and in the keychain) when no user comes back, for whatever reason.
    QCoro::Task<void> restoreSession();
    // Signs in; the client's errors reach the caller unchanged, a reply without a token is
    // APIError::decoding(). On success the token is saved and the library loaded.
    QCoro::Task<void> login(QString username, QString password);
    // Finishes a Telegram sign-up with its six-digit code; as login().
    QCoro::Task<void> completeTelegramSignup(QString sessionID, QString code);
    // Signs out at once: tells the backend without waiting, forgets everything, deletes the token.
    Q_INVOKABLE void logout();
    // (Re)loads playlists and liked tracks; never throws. Does nothing without a token. Asked
    // while a load runs, it returns at once and that load is followed by one more. A reply for a
    // session that has since ended is dropped. Each list is asked for whatever the other's
    // answer; a failed one keeps what was there, and when the playlists fail before any
    // loaded, libraryError says why.
    QCoro::Task<void> loadLibrary();
    // Likes or unlikes what the station plays now; returns whether it is liked afterwards (from
    // the reloaded library), or none when signed out or the request failed.
    QCoro::Task<std::optional<bool>> toggleFavorite(Station station);

    Q_INVOKABLE bool isFavorite(const QString &trackID) const { return m_favoriteIDs.contains(trackID); }

signals:
    void userChanged();
    void playlistsChanged();
    void favoritesChanged();
    void isLoadingLibraryChanged();
    void libraryErrorChanged();
    void favoriteIDsChanged();
    void tokenChanged();
    void isAuthedChanged();
    void favoritesStationChanged();
    void isRestoringChanged();

private:
    QCoro::Task<void> signIn(QCoro::Task<AuthData> request);
    // Awaits the keychain's saved token, then restores the session it belongs to.
    QCoro::Task<void> restoreSavedSession();
    void setRestoring(bool restoring);

    void setUser(std::optional<User> user);
    void setToken(std::optional<QString> token);
    void setPlaylists(QList<PlaylistSummary> playlists);
    void setFavorites(QList<FavoriteTrack> favorites);
    void setFavoriteIDs(QSet<QString> ids);
    void setLoadingLibrary(bool loading);
    void setLibraryError(const QString &error);
    // A new session (or none): its library has not been loaded yet.
    void forgetLibraryLoads();
    void saveToken(const std::optional<QString> &token);

    QVariant userVariant() const;
    QVariantList playlistsVariant() const;
    QVariantList favoritesVariant() const;
    QStringList favoriteIDList() const;
    QString tokenText() const { return m_token.value_or(QString()); }
    QVariant favoritesStationVariant() const;

    std::shared_ptr<KeychainBackend> m_keychain;
    APIClient *m_client;

    std::optional<User> m_user;
    QList<PlaylistSummary> m_playlists;
    QList<FavoriteTrack> m_favorites;
    bool m_isLoadingLibrary = false;
    bool m_reloadPending = false; // a load was asked while one ran
    bool m_playlistsLoaded = false; // in this session
    QString m_libraryError;
    QSet<QString> m_favoriteIDs;
    std::optional<QString> m_token;
    bool m_isRestoring = false;
    quint64 m_sessionChanges = 0; // sign-ins and sign-outs so far
};
