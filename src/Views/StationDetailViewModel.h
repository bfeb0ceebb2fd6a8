#pragma once

#include "Models/Station.h"
#include "TrackRows.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class OfflineStore;
class RadioPlayer;

// The station detail screen's state and actions: the station as tapped, its track list (fetched
// first for a "songsara" station without one), which of the four main areas shows, which row is
// the one playing, and playback of a row, of all rows or of the live stream.
//
// QML (StationDetailView.qml) creates one per pushed page with the shared stores:
//     StationDetailViewModel { id: model; station: page.station }
//     Component.onCompleted: model.appear()
// The model goes away with its page; a track-list fetch that finishes after that changes nothing.
class StationDetailViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The station as tapped (a Station record). Set once, when the page is built.
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY displayedStationChanged)
    // The fetched station when there is one, else the given one: what every part of the page shows.
    Q_PROPERTY(QVariant displayedStation READ displayedStationValue NOTIFY displayedStationChanged)
    Q_PROPERTY(QString displayName READ displayName NOTIFY displayedStationChanged)
    Q_PROPERTY(QVariant artworkURL READ artworkURLValue NOTIFY displayedStationChanged)
    // "<n> آهنگ" for the header.
    Q_PROPERTY(QString trackCountText READ trackCountText NOTIFY displayedStationChanged)
    // The rows, one per track in list order; the list asks for each as it comes into view.
    Q_PROPERTY(int rowCount READ rowCount NOTIFY displayedStationChanged)
    // The track rows, keyed by the track's identifier: title, artist, artworkURL, durationText.
    Q_PROPERTY(QAbstractItemModel *rows READ rows CONSTANT)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    // The position of the row that plays now; -1 when none does.
    Q_PROPERTY(int currentRow READ currentRow NOTIFY currentRowChanged)
    // Space under the list: room for the mini player bar while a station is current.
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY bottomPaddingChanged)

public:
    // The main area of the page.
    enum class Content { Loading, List, Failure, Live };
    Q_ENUM(Content)

    static constexpr int BottomPaddingWithPlayer = 100;
    static constexpr int BottomPaddingWithoutPlayer = 24;

    // Uses the shared player, offline store and backend client.
    explicit StationDetailViewModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    StationDetailViewModel(RadioPlayer *player, OfflineStore *offline, APIClient *client,
                           QObject *parent = nullptr);
    ~StationDetailViewModel() override;

    const Station &station() const { return m_station; }
    void setStation(const Station &station);
    // The fetched station when there is one, else the given one.
    const Station &displayed() const { return m_hydrated ? *m_hydrated : m_station; }
    const std::optional<Station> &hydrated() const { return m_hydrated; }

    QString displayName() const { return displayed().displayName(); }
    QString trackCountText() const;
    int rowCount() const;
    enum RowRole { TitleRole = TrackRows::TitleRole, ArtistRole, ArtworkRole, DurationRole };
    TrackRows *rows() const { return m_rows; }
    bool isLoading() const { return m_isLoading; }
    Content content() const;
    int currentRow() const;
    int bottomPadding() const;

    // Fetches the track list when the station needs one and none has been fetched yet; the
    // failure is not reported (the failure view shows instead). Never throws.
    QCoro::Task<> hydrateIfNeeded();

    // The page was shown (again): starts hydrateIfNeeded().
    Q_INVOKABLE void appear();
    // The failure view's "تلاش دوباره".
    Q_INVOKABLE void retry();
    // Plays the track at `index` (any integer, wrapped into the list) or, without tracks, the
    // displayed station as it is; then presents the full player.
    Q_INVOKABLE void play(int index);
    // "پخش همه": the first track.
    Q_INVOKABLE void playAll() { play(0); }
    // "پخش زنده": the displayed station unchanged.
    Q_INVOKABLE void playLive();

    // The context menu of a row, built when it opens: a list of {text, action} where action is
    // "download" or "remove" (QML gives each its symbol); empty when nothing is offered.
    Q_INVOKABLE QVariantList offlineMenu(int index) const;
    // Carries out an action of offlineMenu() for the row.
    Q_INVOKABLE void performOfflineAction(int index, const QString &action);

    static const QString DownloadActionText; // "دانلود آفلاین"
    static const QString RemoveActionText;   // "حذف دانلود"

signals:
    void displayedStationChanged();
    void isLoadingChanged();
    void contentChanged();
    void currentRowChanged();
    void bottomPaddingChanged();

private:
    QVariant stationValue() const { return m_station.toVariant(); }
    void setStationValue(const QVariant &station);
    QVariant displayedStationValue() const { return displayed().toVariant(); }
    QVariant artworkURLValue() const;
    const PlaylistTrack *trackAt(int index) const;
    void setLoading(bool loading);
    void setHydrated(std::optional<Station> station);
    void handOver(const Station &station);
    void watchPlayer();
    // Brings the rows to the displayed station's tracks.
    void showDisplayed();

    RadioPlayer *m_player;
    OfflineStore *m_offline;
    APIClient *m_client;

    Station m_station;
    std::optional<Station> m_hydrated;
    TrackRows *m_rows;
    bool m_isLoading = false;
    // What the player showed last, to notify only on real changes.
    int m_lastCurrentRow = -1;
    int m_lastBottomPadding = BottomPaddingWithoutPlayer;
};
