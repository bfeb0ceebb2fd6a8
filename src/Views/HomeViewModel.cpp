#include "HomeViewModel.h"

#include "Platform/LaunchArguments.h"
#include "Services/AuthStore.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "Services/StationStore.h"

#include <QCoroTask>
#include <QLoggingCategory>
#include <QTime>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHome, "melodrift.home")

const QString HomeViewModel::DebugLoginArgument = u"--debug-login"_s;
const QString HomeViewModel::DebugDetailArgument = u"--debug-detail"_s;
const QString HomeViewModel::DebugDetailPlayingArgument = u"--debug-detail-playing"_s;

namespace {

// Awaits a forced catalogue load for pull-to-refresh; the screen may be gone by the end.
QCoro::Task<> loadThenNotify(QPointer<StationStore> store, QPointer<QObject> screen,
                             std::function<void()> done)
{
    if (store)
        co_await store->load(true);
    if (screen)
        done();
}

} // namespace

HomeViewModel::HomeViewModel(QObject *parent)
    : HomeViewModel(StationStore::shared(), RadioPlayer::shared(), &AuthStore::shared(),
                    &ShazamManager::shared(), &LaunchArguments::shared(), parent)
{
}

HomeViewModel::HomeViewModel(StationStore *store, RadioPlayer *player, AuthStore *auth,
                             ShazamManager *shazam, LaunchArguments *arguments, QObject *parent)
    : QObject(parent), m_store(store), m_player(player), m_auth(auth), m_shazam(shazam), m_arguments(arguments)
    , m_gridStations(new KeyedRows<Station>(
          {{GenreRole, "genre"}, {StationRole, "station"}}, [](const Station &s) { return s.genre; },
          [](const Station &s, int role) { return role == GenreRole ? QVariant(s.genre) : QVariant::fromValue(s); },
          this))
{
    Q_ASSERT(store && player && auth && shazam && arguments);
    // A card hands its whole station on when opened: a station whose other fields changed is a
    // changed row.
    m_gridStations->setSame([](const Station &a, const Station &b) { return a.toJson() == b.toJson(); });

    connect(m_store, &StationStore::stationsChanged, this, [this] {
        emit statusLabelChanged();
        emit contentChanged();
    });
    connect(m_store, &StationStore::filteredStationsChanged, this, &HomeViewModel::refreshGridStations);
    refreshGridStations();
    connect(m_store, &StationStore::isLoadingChanged, this, [this] {
        emit statusLabelChanged();
        emit contentChanged();
    });
    connect(m_store, &StationStore::errorMessageChanged, this, &HomeViewModel::contentChanged);
    connect(m_player, &RadioPlayer::isPlayingChanged, this, &HomeViewModel::statusLabelChanged);
    connect(m_player, &RadioPlayer::isBufferingChanged, this, &HomeViewModel::statusLabelChanged);
    connect(m_player, &RadioPlayer::recoveryChanged, this, &HomeViewModel::statusLabelChanged);

    m_lastHasCurrentStation = hasCurrentStation();
    connect(m_player, &RadioPlayer::currentStationChanged, this, [this] {
        if (hasCurrentStation() != m_lastHasCurrentStation) {
            m_lastHasCurrentStation = hasCurrentStation();
            emit hasCurrentStationChanged();
        }
        if (m_detailOnFirstStation && m_player->currentStation()) {
            m_detailOnFirstStation = false;
            setDetailStation(*m_player->currentStation());
            setShowStationDetail(true);
        }
    });
    connect(m_auth, &AuthStore::isAuthedChanged, this, &HomeViewModel::isAuthedChanged);

    m_clock = [] { return QDateTime::currentDateTime(); };
    m_greetingTimer.setSingleShot(true);
    m_greetingTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_greetingTimer, &QTimer::timeout, this, [this] {
        emit greetingChanged();
        scheduleGreeting();
    });
    scheduleGreeting();

    connect(m_shazam, &ShazamManager::openRequestChanged, this, &HomeViewModel::takeOpenRequest);
    // A request made before the screen existed (the URL a launch was given) is answered too.
    takeOpenRequest();
}

// ------------------------------------------------------------------ rules

qint64 HomeViewModel::msecsToNextGreeting(const QTime &now)
{
    constexpr int boundaries[] = {5, 12, 14, 19};
    const int elapsed = now.msecsSinceStartOfDay();
    for (int hour : boundaries) {
        if (hour * 3600000 > elapsed)
            return hour * 3600000 - elapsed;
    }
    return 24 * 3600000 - elapsed + boundaries[0] * 3600000;
}

qreal HomeViewModel::pullProgress(qreal distance)
{
    return std::clamp(distance / PullThreshold, 0.0, 1.0);
}

bool HomeViewModel::isPullReady(qreal distance)
{
    return pullProgress(distance) >= 1.0;
}

QString HomeViewModel::greeting(int hour)
{
    if (hour >= 5 && hour <= 11)
        return u"صبح بخیر، به رادیو خوش اومدی"_s;
    if (hour >= 12 && hour <= 13)
        return u"ظهر بخیر، به رادیو خوش اومدی"_s;
    if (hour >= 14 && hour <= 18)
        return u"عصر بخیر، به رادیو خوش اومدی"_s;
    return u"شب بخیر، به رادیو خوش اومدی"_s;
}

QString HomeViewModel::statusLabel(bool isBuffering, bool isPlaying, bool isLoading, qsizetype stationCount)
{
    if (isBuffering)
        return u"اتصال…"_s;
    if (isPlaying)
        return u"در حال پخش"_s;
    if (isLoading && stationCount == 0)
        return u"بارگذاری"_s;
    return QString::number(stationCount) + u" ایستگاه"_s;
}

HomeViewModel::Content HomeViewModel::content(bool hasError, bool isLoading, bool hasStations)
{
    if (hasError && !hasStations)
        return Content::Error;
    if (isLoading && !hasStations)
        return Content::Loading;
    return Content::Grid;
}

int HomeViewModel::columnCount(qreal width)
{
    if (!(width > 0))
        return 1;
    // As many columns of at least the minimum width as fit with the spacing between them.
    const int count = int(std::floor((width + GridSpacing) / (GridMinimumWidth + GridSpacing)));
    return std::max(1, count);
}

qreal HomeViewModel::columnWidth(qreal width)
{
    const int count = columnCount(width);
    return std::max<qreal>(0, (width - (count - 1) * GridSpacing) / count);
}

Station HomeViewModel::previewStation()
{
    Station s;
    s.genre = u"custom-detail-test"_s;
    s.title = u"Detail Test"_s;
    s.serverName = u"Test Server"_s;
    s.artworkURL = u"/artwork/custom-detail-test.jpg"_s;
    s.source = u"custom"_s;
    s.category = u"playlists"_s;
    s.trackIndex = 0;
    s.trackCount = 3;
    QList<PlaylistTrack> tracks;
    for (int n = 1; n <= 3; ++n) {
        PlaylistTrack t;
        t.trackType = u"test"_s;
        t.trackID = u"t"_s + QString::number(n);
        t.title = u"Test Track "_s + QString::number(n);
        t.artist = u"Test Artist "_s + QString::number(n);
        t.artworkURL = u"/artwork/persian.jpg"_s;
        // An address that never answers.
        t.streamURL = u"http://127.0.0.1:1/none"_s;
        t.duration = 180;
        tracks.append(t);
    }
    s.tracks = tracks;
    return s;
}

// ------------------------------------------------------------------ published state

QString HomeViewModel::greeting() const
{
    return greeting(m_clock().time().hour());
}

void HomeViewModel::setClock(Clock clock)
{
    m_clock = std::move(clock);
    emit greetingChanged();
    scheduleGreeting();
}

void HomeViewModel::scheduleGreeting()
{
    m_greetingTimer.start(std::chrono::milliseconds(msecsToNextGreeting(m_clock().time())));
}

QString HomeViewModel::recoveryLabel(RadioPlayer::Recovery recovery)
{
    switch (recovery) {
    case RadioPlayer::Recovery::Reconnecting:
        return u"اتصال دوباره…"_s;
    case RadioPlayer::Recovery::GaveUp:
        return u"پخش ناموفق"_s;
    case RadioPlayer::Recovery::None:
        break;
    }
    return {};
}

QString HomeViewModel::statusAnnouncement() const
{
    return m_player->recovery() == RadioPlayer::Recovery::None ? statusLabel() : QString();
}

bool HomeViewModel::playbackFailed() const
{
    return m_player->recovery() == RadioPlayer::Recovery::GaveUp;
}

QString HomeViewModel::statusLabel() const
{
    if (const QString recovery = recoveryLabel(m_player->recovery()); !recovery.isEmpty())
        return recovery;
    return statusLabel(m_player->isBuffering(), m_player->isPlaying(), m_store->isLoading(),
                       m_store->stations().size());
}

bool HomeViewModel::isPlaying() const
{
    // A stream being reconnected plays nothing.
    return m_player->isPlaying() && m_player->recovery() == RadioPlayer::Recovery::None;
}

HomeViewModel::Content HomeViewModel::content() const
{
    return content(m_store->errorMessage().has_value(), m_store->isLoading(), !m_store->stations().isEmpty());
}

QString HomeViewModel::errorMessage() const
{
    return m_store->errorMessage().value_or(QString());
}

bool HomeViewModel::hasCurrentStation() const
{
    return m_player->currentStation().has_value();
}

int HomeViewModel::bottomPadding() const
{
    return hasCurrentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

bool HomeViewModel::isAuthed() const
{
    return m_auth->isAuthed();
}

void HomeViewModel::setShowShazam(bool show)
{
    if (m_showShazam == show)
        return;
    m_showShazam = show;
    emit showShazamChanged();
}

void HomeViewModel::setShowAccount(bool show)
{
    if (m_showAccount == show)
        return;
    // Which screen the sheet holds is decided as it opens and kept while it is shown.
    if (show)
        m_accountSheetSignedIn = m_auth->isAuthed();
    m_showAccount = show;
    emit showAccountChanged();
}

void HomeViewModel::setShowAccountSheet(bool show)
{
    if (show)
        setShowAccount(true);
    else if (showAccountSheet())
        setShowAccount(false);
}

void HomeViewModel::setShowLoginSheet(bool show)
{
    if (show)
        setShowAccount(true);
    else if (showLoginSheet())
        setShowAccount(false);
}

void HomeViewModel::setShowStationDetail(bool show)
{
    if (m_showStationDetail == show)
        return;
    m_showStationDetail = show;
    emit showStationDetailChanged();
}

QVariant HomeViewModel::detailStationValue() const
{
    return m_detailStation ? m_detailStation->toVariant() : QVariant();
}

void HomeViewModel::setDetailStation(const Station &station)
{
    m_detailStation = station;
    emit detailStationChanged();
}

void HomeViewModel::setRefreshing(bool refreshing)
{
    if (m_isRefreshing == refreshing)
        return;
    m_isRefreshing = refreshing;
    emit isRefreshingChanged();
}

// ------------------------------------------------------------------ actions

void HomeViewModel::appear()
{
    emit greetingChanged();
    // After a suspension the timer may be late: set it anew from the clock.
    scheduleGreeting();
    if (m_arguments->consume(DebugLoginArgument))
        setShowAccount(true);
    if (m_arguments->consume(DebugDetailArgument)) {
        setDetailStation(previewStation());
        setShowStationDetail(true);
    }
    if (m_arguments->consume(DebugDetailPlayingArgument))
        m_detailOnFirstStation = true;
}

void HomeViewModel::open(const QVariant &station)
{
    if (const std::optional<Station> s = Station::fromVariant(station))
        open(*s);
}

void HomeViewModel::open(const Station &station)
{
    if (!station.hasTracks() && !station.needsHydration()) {
        // A live station: the player connects while the full player is already up.
        m_player->select(station);
        m_player->setFullPlayerPresented(true);
        return;
    }
    setDetailStation(station);
    setShowStationDetail(true);
}

void HomeViewModel::selectCategory(int category)
{
    const QList<StationStore::Category> all = StationStore::allCategories();
    for (StationStore::Category c : all) {
        if (int(c) == category) {
            m_store->setSelectedCategory(c);
            return;
        }
    }
}

void HomeViewModel::retry()
{
    m_store->requestLoad(true);
}

void HomeViewModel::refresh()
{
    if (m_isRefreshing)
        return;
    setRefreshing(true);
    QPointer<HomeViewModel> self(this);
    loadThenNotify(m_store, this, [self] {
        if (self)
            self->setRefreshing(false);
    });
}

void HomeViewModel::takeOpenRequest()
{
    if (!m_shazam || !m_shazam->openRequest())
        return;
    m_shazam->setOpenRequest(false);
    qCInfo(lcHome, "recognition requested: presenting its sheet");
    setShowShazam(true);
}

void HomeViewModel::refreshGridStations()
{
    const QList<Station> &all = m_store->stations();
    const std::optional<QList<qsizetype>> indexes = m_store->filteredIndexes();
    if (!indexes) {
        m_gridStations->merge(all);
    } else {
        QList<Station> shown;
        shown.reserve(indexes->size());
        for (qsizetype index : *indexes) {
            if (index >= 0 && index < all.size())
                shown.append(all.at(index));
        }
        m_gridStations->merge(shown);
    }
    emit gridStationsChanged();
}
