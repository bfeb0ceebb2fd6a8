#pragma once

#include "Models/APIModels.h"
#include "Models/Station.h"
#include "TrackRows.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <exception>
#include <optional>

class APIClient;
class AuthStore;
class OfflineStore;
class RadioPlayer;

// The playlist detail screen's state and actions: the playlist as listed in the library
// (`summary`), its detail fetched from the backend, the track rows with their download control,
// playing the playlist as a "custom-p-<id>" station, and the four edits (name and description,
// deleting the playlist, a track's title and artist, removing a track) with their dialogs.
//
// QML (PlaylistDetailView.qml) creates one per pushed page with the shared stores:
//     PlaylistDetailViewModel { id: model; summary: page.summary }
//     Component.onCompleted: model.load()
// Work that finishes after the page is gone changes nothing on it; the library reloads of an edit
// still run.
class PlaylistDetailViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The playlist as the library lists it: a map with id, title, coverURL, trackCount (the
    // library store's playlist maps).
    Q_PROPERTY(QVariant summary READ summaryValue WRITE setSummaryValue NOTIFY summaryChanged)
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY contentChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY contentChanged)
    // The busy overlay: an edit's request and its reloads are running.
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)
    Q_PROPERTY(QString navigationTitle READ navigationTitle NOTIFY detailChanged)
    Q_PROPERTY(QString headerTitle READ headerTitle NOTIFY detailChanged)
    // Empty when the detail has no description.
    Q_PROPERTY(QString descriptionText READ descriptionText NOTIFY detailChanged)
    Q_PROPERTY(QString trackCountText READ trackCountText NOTIFY detailChanged)
    Q_PROPERTY(QVariant coverURL READ coverURLValue NOTIFY detailChanged)
    Q_PROPERTY(bool canPlayAll READ canPlayAll NOTIFY detailChanged)
    // The track rows, keyed by the track's identifier: title, artist, artworkURL, durationText,
    // offlineKey and the download control's downloadControl, progress, percentText and
    // downloadError (why the track's last download failed; empty when it did not).
    Q_PROPERTY(QAbstractItemModel *rows READ rows CONSTANT)
    Q_PROPERTY(int rowCount READ rowCount NOTIFY detailChanged)
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY bottomPaddingChanged)

    // ---- the dialogs of the edits
    Q_PROPERTY(bool showEditSheet READ showEditSheet WRITE setShowEditSheet NOTIFY dialogsChanged)
    Q_PROPERTY(QString editTitle MEMBER m_editTitle NOTIFY editFieldsChanged)
    Q_PROPERTY(QString editDesc MEMBER m_editDesc NOTIFY editFieldsChanged)
    Q_PROPERTY(bool showDeleteConfirm READ showDeleteConfirm WRITE setShowDeleteConfirm NOTIFY dialogsChanged)
    Q_PROPERTY(bool showEditTrackSheet READ showEditTrackSheet WRITE setShowEditTrackSheet NOTIFY dialogsChanged)
    Q_PROPERTY(QString editTrackTitle MEMBER m_editTrackTitle NOTIFY editFieldsChanged)
    Q_PROPERTY(QString editTrackArtist MEMBER m_editTrackArtist NOTIFY editFieldsChanged)
    // The track removal confirmation shows while a track is chosen; writing false clears it.
    Q_PROPERTY(bool showDeleteTrackConfirm READ hasTrackToDelete WRITE setShowDeleteTrackConfirm NOTIFY dialogsChanged)
    Q_PROPERTY(QString trackToDeleteTitle READ trackToDeleteTitle NOTIFY dialogsChanged)

public:
    enum class Content { Loading, Failed, Loaded, Nothing };
    Q_ENUM(Content)
    // The download control of a row: a progress ring, the downloaded mark, or the arrow.
    enum class DownloadControl { Progress, Downloaded, Available };
    Q_ENUM(DownloadControl)

    static constexpr int BottomPaddingWithPlayer = 100;
    static constexpr int BottomPaddingWithoutPlayer = 24;
    static const QString FallbackTitle; // "پلیلیست"

    explicit PlaylistDetailViewModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    PlaylistDetailViewModel(AuthStore *auth, RadioPlayer *player, OfflineStore *offline, APIClient *client,
                            QObject *parent = nullptr);
    ~PlaylistDetailViewModel() override;

    const PlaylistSummary &summary() const { return m_summary; }
    void setSummary(const PlaylistSummary &summary);
    const std::optional<PlaylistDetail> &detail() const { return m_detail; }
    const std::optional<PlaylistTrack> &trackToEdit() const { return m_trackToEdit; }
    const std::optional<PlaylistTrack> &trackToDelete() const { return m_trackToDelete; }
    QString editTitle() const { return m_editTitle; }
    QString editDesc() const { return m_editDesc; }
    QString editTrackTitle() const { return m_editTrackTitle; }
    QString editTrackArtist() const { return m_editTrackArtist; }
    void setEditFields(const QString &title, const QString &description);
    void setTrackEditFields(const QString &title, const QString &artist);

    Content content() const;
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString> &error() const { return m_error; }
    QString errorText() const { return m_error.value_or(QString()); }
    bool isBusy() const { return m_busy; }
    QString navigationTitle() const;
    QString headerTitle() const;
    QString descriptionText() const;
    qint64 trackCount() const;
    QString trackCountText() const;
    std::optional<QString> coverURL() const;
    bool canPlayAll() const;
    int rowCount() const;
    enum RowRole { TitleRole = TrackRows::TitleRole, ArtistRole, ArtworkRole, DurationRole,
                   OfflineKeyRole = TrackRows::FirstOwnRole, DownloadControlRole, ProgressRole, PercentRole,
                   DownloadErrorRole };
    TrackRows *rows() const { return m_rows; }
    DownloadControl downloadControl(int index) const;
    int bottomPadding() const;

    bool showEditSheet() const { return m_showEditSheet; }
    bool showDeleteConfirm() const { return m_showDeleteConfirm; }
    bool showEditTrackSheet() const { return m_showEditTrackSheet; }
    bool hasTrackToDelete() const { return m_trackToDelete.has_value(); }
    QString trackToDeleteTitle() const;
    void setShowEditSheet(bool shown);
    void setShowDeleteConfirm(bool shown);
    void setShowEditTrackSheet(bool shown);
    void setShowDeleteTrackConfirm(bool shown);

    // The pseudo-station that plays the playlist from `index`; none without tracks.
    std::optional<Station> stationAt(int index) const;
    // The text a failed request shows: the error's own description.
    static QString describe(const std::exception &error);

    // Fetches the detail; shows the spinner until the newest load has ended. Never throws.
    QCoro::Task<> loadDetail();
    Q_INVOKABLE void load();
    Q_INVOKABLE void play(int index);
    Q_INVOKABLE void playAll() { play(0); }
    // The download control: removes a downloaded track, cancels a running download, else starts one.
    Q_INVOKABLE void toggleDownload(int index);

    // ---- the edits (PlaylistDetailEdits.cpp)
    Q_INVOKABLE void prepareEdit();
    Q_INVOKABLE void prepareTrackEdit(int index);
    Q_INVOKABLE void chooseTrackToDelete(int index);
    // The dialogs' buttons start these; each runs on its own and never throws.
    Q_INVOKABLE void saveEdit();
    Q_INVOKABLE void deletePlaylist();
    Q_INVOKABLE void saveTrackEdit();
    // The removal's "حذف": acts on the track chosen when it is pressed, whatever closing the
    // dialog clears afterwards.
    Q_INVOKABLE void confirmDeleteTrack();

    QCoro::Task<> runSaveEdit();
    QCoro::Task<> runDeletePlaylist();
    QCoro::Task<> runSaveTrackEdit();
    QCoro::Task<> runDeleteTrack(std::optional<PlaylistTrack> track);

signals:
    void summaryChanged();
    void contentChanged();
    void busyChanged();
    void detailChanged();
    void downloadStatesChanged();
    void bottomPaddingChanged();
    void dialogsChanged();
    void editFieldsChanged();
    // The playlist is deleted: the page leaves the stack.
    void dismissRequested();

private:
    QVariant summaryValue() const;
    void setSummaryValue(const QVariant &value);
    QVariant coverURLValue() const;
    const PlaylistTrack *trackAt(int index) const;
    void setLoadState(bool loading, std::optional<QString> error);
    void setDetail(std::optional<PlaylistDetail> detail);
    void setBusy(bool busy);
    void setError(const QString &error);
    // A failed edit: its text in the error view, the overlay gone.
    void showFailure(const std::exception &error);
    void setDialogFlag(bool &flag, bool shown);
    // Runs an edit's request under the busy overlay; false when it failed (the error view shows).
    QCoro::Task<bool> sendEdit(QCoro::Task<> request);
    void watchStores();
    QVariant rowData(const PlaylistTrack &track, int role) const;
    DownloadControl downloadControlOf(const PlaylistTrack &track) const;
    // Tells the rows whose download control reads differently since last told.
    void refreshDownloads();

    AuthStore *m_auth;
    RadioPlayer *m_player;
    OfflineStore *m_offline;
    APIClient *m_client;

    PlaylistSummary m_summary;
    std::optional<PlaylistDetail> m_detail;
    TrackRows *m_rows;
    // The download control each row showed when last told.
    struct ShownDownload {
        DownloadControl control;
        int permille;
        QString error;
        bool operator==(const ShownDownload &) const = default;
    };
    QHash<QString, ShownDownload> m_shownDownloads;
    bool m_isLoading = true; // the first frame already shows the spinner
    std::optional<QString> m_error;
    quint64 m_loadGeneration = 0;
    bool m_busy = false;
    int m_lastBottomPadding = BottomPaddingWithoutPlayer;

    bool m_showEditSheet = false;
    QString m_editTitle;
    QString m_editDesc;
    bool m_showDeleteConfirm = false;
    std::optional<PlaylistTrack> m_trackToDelete;
    std::optional<PlaylistTrack> m_trackToEdit;
    QString m_editTrackTitle;
    QString m_editTrackArtist;
    bool m_showEditTrackSheet = false;
};
