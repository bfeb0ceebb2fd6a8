#pragma once

#include "Models/APIModels.h"

#include <QCoroTask>
#include <QAbstractItemModel>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class PlaylistRows;
class AuthStore;
class OfflineStore;
class RadioPlayer;

// The library tab's state and actions: the offline card's line, the sign-in prompt or the liked
// tracks and the playlists grid, loading the library (on appearance, on refresh, after a
// deletion), deleting a playlist after its confirmation, playing the liked tracks, and the mini
// player bar's presence. Owns nothing but presentation state.
//     LibraryViewModel { id: library }
//     Component.onCompleted: library.appear()
class LibraryViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isAuthed READ isAuthed NOTIFY isAuthedChanged)
    Q_PROPERTY(QString offlineSubtitle READ offlineSubtitle NOTIFY offlineChanged)
    Q_PROPERTY(QString favoritesCountText READ favoritesCountText NOTIFY favoritesChanged)
    Q_PROPERTY(PlaylistsState playlistsState READ playlistsState NOTIFY playlistsChanged)
    // Why the first load of the playlists failed (the Failure state's text).
    Q_PROPERTY(QString playlistsError READ playlistsError NOTIFY playlistsChanged)
    // The playlists in the store's order, keyed by id: id, title, coverURL, trackCountText, summary.
    Q_PROPERTY(QAbstractItemModel *playlists READ playlists CONSTANT)
    Q_PROPERTY(int playlistCount READ playlistCount NOTIFY playlistsChanged)
    Q_PROPERTY(bool hasCurrentStation READ hasCurrentStation NOTIFY currentStationChanged)
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY currentStationChanged)
    Q_PROPERTY(bool showLogin MEMBER m_showLogin NOTIFY showLoginChanged)
    Q_PROPERTY(bool showDeletePlaylistConfirm MEMBER m_showDeleteConfirm NOTIFY deletionChanged)
    Q_PROPERTY(QString deleteTitle READ deleteTitle NOTIFY deletionChanged)

public:
    // What the playlists section shows under its header: Failure when their first load failed,
    // with its reason and a retry.
    enum class PlaylistsState { Spinner, Hint, Grid, Failure };
    Q_ENUM(PlaylistsState)

    static constexpr int BottomPaddingWithPlayer = 110;
    static constexpr int BottomPaddingWithoutPlayer = 24;
    static constexpr int GridMinimumColumnWidth = 150;
    static constexpr int GridSpacing = 12;
    static const QString NoDownloadsText; // "آهنگها را برای پخش بدون اینترنت ذخیره کن"

    explicit LibraryViewModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    LibraryViewModel(AuthStore *auth, RadioPlayer *player, OfflineStore *offline, APIClient *client,
                     QObject *parent = nullptr);

    bool isAuthed() const;
    QString offlineSubtitle() const;
    QString favoritesCountText() const;
    PlaylistsState playlistsState() const;
    QString playlistsError() const;
    QAbstractItemModel *playlists() const;
    int playlistCount() const;
    bool hasCurrentStation() const;
    int bottomPadding() const;
    QString deleteTitle() const;
    const std::optional<PlaylistSummary> &playlistToDelete() const { return m_playlistToDelete; }
    bool showDeletePlaylistConfirm() const { return m_showDeleteConfirm; }

    // The number of grid columns that fit a width (adaptive columns of at least 150).
    Q_INVOKABLE static int columnsFor(qreal width);

    // The tab comes on screen: loads the library when signed in and no playlist is known yet.
    Q_INVOKABLE void appear();
    // Pull to refresh, F5, Ctrl+R, the failure's "تلاش دوباره": reloads the library when signed in.
    Q_INVOKABLE void refresh();
    // The liked-tracks card: plays them and opens the full player; nothing without liked tracks.
    Q_INVOKABLE void playFavorites();
    // The mini player bar's tap.
    Q_INVOKABLE void presentFullPlayer();
    // A card's "حذف پلیلیست": remembers the playlist and asks for confirmation.
    Q_INVOKABLE void chooseToDelete(int index);
    // The confirmation's "حذف" (with a token: deletes, reloads whatever the answer) and "انصراف".
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();

    QCoro::Task<> runDelete();

signals:
    void isAuthedChanged();
    void offlineChanged();
    void favoritesChanged();
    void playlistsChanged();
    void currentStationChanged();
    void showLoginChanged();
    void deletionChanged();

private:
    AuthStore *m_auth;
    RadioPlayer *m_player;
    OfflineStore *m_offline;
    APIClient *m_client;

    PlaylistRows *m_playlists;
    bool m_showLogin = false;
    bool m_showDeleteConfirm = false;
    std::optional<PlaylistSummary> m_playlistToDelete;
};
