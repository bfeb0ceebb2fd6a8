#pragma once

#include "Models/Station.h"

#include <QCoroTask>
#include <QAbstractItemModel>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <optional>

class APIClient;
class AuthStore;
class PlaylistRows;
class OfflineStore;

// The add-to-playlist sheet's state and actions: the track the station plays now, the user's
// playlists, adding the track to one, or creating a playlist and adding it there; after a success
// the confirmation line shows and the sheet asks to close a moment later.
//     AddToPlaylistSheetModel { id: sheet; station: page.station; onDismissRequested: page.dismissRequested() }
// A request still running when the sheet closes completes (the library reload included); it
// writes nothing into the closed sheet and closes no other.
class AddToPlaylistSheetModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The station whose current track is added (a Station record or its JSON form); the first one
    // given stays.
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY stationChanged)
    Q_PROPERTY(QVariant artworkURL READ artworkURLValue NOTIFY stationChanged)
    Q_PROPERTY(QString trackTitle READ trackTitle NOTIFY stationChanged)
    Q_PROPERTY(QString artistLine READ artistLine NOTIFY stationChanged)
    Q_PROPERTY(bool isAuthed READ isAuthed NOTIFY libraryChanged)
    Q_PROPERTY(ListState listState READ listState NOTIFY libraryChanged)
    // One map per playlist, in the store's order: {id, title, coverURL, trackCountText}.
    Q_PROPERTY(QAbstractItemModel *playlists READ playlists CONSTANT)
    Q_PROPERTY(QString newTitle READ newTitle WRITE setNewTitle NOTIFY newTitleChanged)
    Q_PROPERTY(bool canCreate READ canCreate NOTIFY stateChanged)
    Q_PROPERTY(bool isCreating READ isCreating NOTIFY stateChanged)
    // The playlist an add runs for; -1 while none.
    Q_PROPERTY(qint64 addingId READ addingIdValue NOTIFY stateChanged)
    // Empty while there is none.
    Q_PROPERTY(QString message READ messageText NOTIFY stateChanged)

public:
    // Under the new-playlist row: the hint, nothing (empty while loading), or the rows.
    enum class ListState { SignedOut, EmptyHint, Nothing, Rows };
    Q_ENUM(ListState)


    explicit AddToPlaylistSheetModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    AddToPlaylistSheetModel(AuthStore *auth, OfflineStore *offline, APIClient *client, QObject *parent = nullptr);
    ~AddToPlaylistSheetModel() override;

    const std::optional<Station> &station() const { return m_station; }
    void setStation(const Station &station);

    QString trackTitle() const;
    QString artistLine() const;
    bool isAuthed() const;
    ListState listState() const;
    QAbstractItemModel *playlists() const;
    QString newTitle() const { return m_newTitle; }
    void setNewTitle(const QString &title);
    bool canCreate() const;
    bool isCreating() const { return m_isCreating; }
    const std::optional<qint64> &addingId() const { return m_addingId; }
    const std::optional<QString> &message() const { return m_message; }

    // The name as sent: spaces and tabs trimmed at both ends, line breaks kept.
    static QString trimmedName(const QString &name);

    // Waits before the sheet closes after a success (tests shorten them).
    void setCloseDelays(std::chrono::milliseconds afterAdd, std::chrono::milliseconds afterCreate);

    // A playlist row: adds the track to the playlist of that id.
    Q_INVOKABLE void add(qint64 playlistId);
    // The create button: creates a playlist of the typed name, then adds the track to it.
    Q_INVOKABLE void createPlaylist();

    QCoro::Task<> runAdd(qint64 playlistId);
    QCoro::Task<> runCreate();

signals:
    void stationChanged();
    void libraryChanged();
    void newTitleChanged();
    void stateChanged();
    // A success has been shown long enough: the sheet closes.
    void dismissRequested();

private:
    QVariant stationValue() const;
    void setStationValue(const QVariant &value);
    QVariant artworkURLValue() const;
    qint64 addingIdValue() const { return m_addingId.value_or(-1); }
    QString messageText() const { return m_message.value_or(QString()); }
    void setMessage(std::optional<QString> message);
    // Shows the confirmation, waits, then asks the sheet to close; false when the sheet is gone.
    QCoro::Task<bool> confirmThenClose(QString text, std::chrono::milliseconds delay);

    AuthStore *m_auth;
    PlaylistRows *m_playlists;
    OfflineStore *m_offline;
    APIClient *m_client;

    std::optional<Station> m_station;
    QString m_newTitle;
    bool m_isCreating = false;
    std::optional<qint64> m_addingId;
    std::optional<QString> m_message;
    std::chrono::milliseconds m_addCloseDelay{700};
    std::chrono::milliseconds m_createCloseDelay{500};
};
