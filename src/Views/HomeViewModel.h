#pragma once

#include "Models/Station.h"
#include "Kit/KeyedRows.h"
#include "Services/RadioPlayer.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class AuthStore;
class LaunchArguments;
class ShazamManager;
class StationStore;

// The home screen's state and rules: the greeting by hour, the status badge, which of the error
// view, the loading view and the grid shows, the adaptive grid's columns, what a card tap does,
// the sheets (recognition, account or sign-in), the pushed station detail, and the launch
// arguments "--debug-login" and "--debug-detail".
//     HomeViewModel { id: home }
//     Component.onCompleted: home.appear()
// The stores default to the shared ones; tests hand in their own.
class HomeViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString greeting READ greeting NOTIFY greetingChanged)
    Q_PROPERTY(QString statusLabel READ statusLabel NOTIFY statusLabelChanged)
    // What the status announcer says: the label, but nothing while the player reconnects or
    // after it gave up (the mini player bar says why then).
    Q_PROPERTY(QString statusAnnouncement READ statusAnnouncement NOTIFY statusLabelChanged)
    // Green dot while playing, red once the player gave up, orange otherwise.
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY statusLabelChanged)
    Q_PROPERTY(bool playbackFailed READ playbackFailed NOTIFY statusLabelChanged)
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY contentChanged)
    Q_PROPERTY(bool hasCurrentStation READ hasCurrentStation NOTIFY hasCurrentStationChanged)
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY hasCurrentStationChanged)
    Q_PROPERTY(bool isAuthed READ isAuthed NOTIFY isAuthedChanged)
    // A pull-to-refresh load is running.
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    // Between the grid's columns and rows.
    Q_PROPERTY(int gridSpacing READ gridSpacing CONSTANT)
    // The stations of the grid (the chosen category's), keyed by genre: genre, station.
    Q_PROPERTY(QAbstractItemModel *gridStations READ gridStations CONSTANT)
    Q_PROPERTY(int gridStationCount READ gridStationCount NOTIFY gridStationsChanged)

    Q_PROPERTY(bool showShazam READ showShazam WRITE setShowShazam NOTIFY showShazamChanged)
    // The account button's sheet; which screen it holds is fixed when it opens.
    Q_PROPERTY(bool showAccount READ showAccount WRITE setShowAccount NOTIFY showAccountChanged)
    // showAccount split by its content: the account sheet when signed in at opening, else sign-in.
    Q_PROPERTY(bool showAccountSheet READ showAccountSheet WRITE setShowAccountSheet NOTIFY showAccountChanged)
    Q_PROPERTY(bool showLoginSheet READ showLoginSheet WRITE setShowLoginSheet NOTIFY showAccountChanged)
    // The station detail page pushed on the home screen's stack, and the station it shows.
    Q_PROPERTY(bool showStationDetail READ showStationDetail WRITE setShowStationDetail
                   NOTIFY showStationDetailChanged)
    Q_PROPERTY(QVariant detailStation READ detailStationValue NOTIFY detailStationChanged)

public:
    // What fills the space under the chips.
    enum class Content { Error, Loading, Grid };
    Q_ENUM(Content)

    static constexpr int GridMinimumWidth = 155;
    static constexpr int GridSpacing = 14;
    static constexpr int BottomPaddingWithPlayer = 110;
    static constexpr int BottomPaddingWithoutPlayer = 24;
    // How far the list is pulled down before a release refreshes it.
    static constexpr qreal PullThreshold = 70;

    static const QString DebugLoginArgument;  // "--debug-login"
    static const QString DebugDetailArgument; // "--debug-detail"
    // Shows the track list of the first station that starts playing (measurements of the playing row).
    static const QString DebugDetailPlayingArgument; // "--debug-detail-playing"

    explicit HomeViewModel(QObject *parent = nullptr);
    // Tests hand in their own; all must outlive the model.
    HomeViewModel(StationStore *store, RadioPlayer *player, AuthStore *auth, ShazamManager *shazam,
                  LaunchArguments *arguments, QObject *parent = nullptr);

    // --- the rules, as pure functions
    static QString greeting(int hour);
    // Milliseconds from `now` to the next hour at which the greeting changes (5, 12, 14, 19).
    static qint64 msecsToNextGreeting(const QTime &now);
    // Pull to refresh: the indicator's progress (0 to 1) for a pull of `distance`, and whether a
    // release refreshes, which it does exactly when the indicator shows full.
    Q_INVOKABLE static qreal pullProgress(qreal distance);
    Q_INVOKABLE static bool isPullReady(qreal distance);
    static QString statusLabel(bool isBuffering, bool isPlaying, bool isLoading, qsizetype stationCount);
    // The badge while the player reconnects or once it gave up; empty without a recovery.
    static QString recoveryLabel(RadioPlayer::Recovery recovery);
    static Content content(bool hasError, bool isLoading, bool hasStations);
    // Columns of an adaptive grid (minimum 155, spacing 14) across `width`, and their width.
    Q_INVOKABLE static int columnCount(qreal width);
    Q_INVOKABLE static qreal columnWidth(qreal width);
    int gridStationCount() const { return m_gridStations->rowCount(); }
    enum GridRole { GenreRole = Qt::UserRole + 1, StationRole };
    KeyedRows<Station> *gridStations() const { return m_gridStations; }
    // The preview station of "--debug-detail".
    static Station previewStation();

    // The clock the greeting follows (the system's unless a test gives another). The greeting is
    // refreshed by one single-shot timer set to the next boundary hour.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock);
    const QTimer &greetingTimer() const { return m_greetingTimer; }

    // --- published state
    QString greeting() const;
    QString statusLabel() const;
    QString statusAnnouncement() const;
    bool playbackFailed() const;
    bool isPlaying() const;
    Content content() const;
    QString errorMessage() const;
    bool hasCurrentStation() const;
    int bottomPadding() const;
    bool isAuthed() const;
    bool isRefreshing() const { return m_isRefreshing; }
    static int gridSpacing() { return GridSpacing; }

    bool showShazam() const { return m_showShazam; }
    void setShowShazam(bool show);
    bool showAccount() const { return m_showAccount; }
    void setShowAccount(bool show);
    bool showAccountSheet() const { return m_showAccount && m_accountSheetSignedIn; }
    void setShowAccountSheet(bool show);
    bool showLoginSheet() const { return m_showAccount && !m_accountSheetSignedIn; }
    void setShowLoginSheet(bool show);
    bool showStationDetail() const { return m_showStationDetail; }
    void setShowStationDetail(bool show);
    const std::optional<Station> &detailStation() const { return m_detailStation; }

    // --- actions
    // The screen appears (again): the greeting is worked out anew; the launch arguments are acted
    // on the first time only.
    Q_INVOKABLE void appear();
    // A card was tapped: a live station plays at once under the full player, any other opens its
    // detail page.
    Q_INVOKABLE void open(const QVariant &station);
    void open(const Station &station);
    Q_INVOKABLE void selectCategory(int category);
    // The error view's "تلاش دوباره".
    Q_INVOKABLE void retry();
    // Pull to refresh: isRefreshing stays true until the load has finished.
    Q_INVOKABLE void refresh();

signals:
    void gridStationsChanged();
    void greetingChanged();
    void statusLabelChanged();
    void contentChanged();
    void hasCurrentStationChanged();
    void isAuthedChanged();
    void isRefreshingChanged();
    void showShazamChanged();
    void showAccountChanged();
    void showStationDetailChanged();
    void detailStationChanged();

private:
    void refreshGridStations();
    QVariant detailStationValue() const;
    void setDetailStation(const Station &station);
    void setRefreshing(bool refreshing);
    // The recognition manager asks for its sheet: take the request, present the sheet.
    void takeOpenRequest();
    // Sets the greeting timer to the next boundary hour of the clock.
    void scheduleGreeting();

    QPointer<StationStore> m_store;
    QPointer<RadioPlayer> m_player;
    bool m_detailOnFirstStation = false;
    QPointer<AuthStore> m_auth;
    QPointer<ShazamManager> m_shazam;
    LaunchArguments *m_arguments;

    bool m_showShazam = false;
    bool m_showAccount = false;
    bool m_accountSheetSignedIn = false;
    bool m_showStationDetail = false;
    std::optional<Station> m_detailStation;
    bool m_isRefreshing = false;
    bool m_lastHasCurrentStation = false;
    // The store's stations the grid shows (shared, not copied) and, for a category, their
    // positions in it, so choosing a chip copies no station.
    KeyedRows<Station> *m_gridStations;
    Clock m_clock;
    QTimer m_greetingTimer;
};
