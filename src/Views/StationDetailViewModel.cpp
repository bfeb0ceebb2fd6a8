#include "StationDetailViewModel.h"

#include "NumberTexts.h"
#include "TrackRows.h"
#include "StationValue.h"

#include "Platform/Memory.h"
#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <QVariantMap>

using namespace Qt::StringLiterals;

const QString StationDetailViewModel::DownloadActionText = u"دانلود آفلاین"_s;
const QString StationDetailViewModel::RemoveActionText = u"حذف دانلود"_s;

StationDetailViewModel::StationDetailViewModel(QObject *parent)
    : StationDetailViewModel(RadioPlayer::shared(), OfflineStore::shared(), &APIClient::shared(), parent)
{
}

StationDetailViewModel::StationDetailViewModel(RadioPlayer *player, OfflineStore *offline,
                                               APIClient *client, QObject *parent)
    : QObject(parent), m_player(player), m_offline(offline), m_client(client)
    , m_rows(new TrackRows(this))
{
    Q_ASSERT(m_player && m_offline && m_client);
    watchPlayer();
}

StationDetailViewModel::~StationDetailViewModel()
{
    // Its rows go with it; the heap gives their memory back once the page's items are gone too.
    Memory::releaseFreedHeapSoon();
}

void StationDetailViewModel::watchPlayer()
{
    m_lastCurrentRow = currentRow();
    m_lastBottomPadding = bottomPadding();
    connect(m_player, &RadioPlayer::currentStationChanged, this, [this] {
        const int row = currentRow();
        if (row != m_lastCurrentRow) {
            m_lastCurrentRow = row;
            emit currentRowChanged();
        }
        const int padding = bottomPadding();
        if (padding != m_lastBottomPadding) {
            m_lastBottomPadding = padding;
            emit bottomPaddingChanged();
        }
    });
}

void StationDetailViewModel::setStation(const Station &station)
{
    const Content before = content();
    m_station = station;
    m_hydrated.reset();
    showDisplayed();
    emit displayedStationChanged();
    if (content() != before)
        emit contentChanged();
    if (currentRow() != m_lastCurrentRow) {
        m_lastCurrentRow = currentRow();
        emit currentRowChanged();
    }
}

void StationDetailViewModel::setStationValue(const QVariant &station)
{
    if (auto value = stationFromQml(station))
        setStation(*value);
}

QVariant StationDetailViewModel::artworkURLValue() const
{
    const Station &s = displayed();
    return s.artworkURL ? QVariant(*s.artworkURL) : QVariant();
}

QString StationDetailViewModel::trackCountText() const
{
    const Station &s = displayed();
    return NumberTexts::trackCount(s.tracks ? s.tracks->size() : 0);
}

int StationDetailViewModel::rowCount() const
{
    const Station &s = displayed();
    return s.tracks ? int(s.tracks->size()) : 0;
}

void StationDetailViewModel::showDisplayed()
{
    // The station's artwork stands in for tracks without their own.
    const Station &s = displayed();
    m_rows->show(s.tracks ? *s.tracks : QList<PlaylistTrack>(), s.artworkURL);
}

StationDetailViewModel::Content StationDetailViewModel::content() const
{
    if (m_isLoading)
        return Content::Loading;
    if (displayed().hasTracks())
        return Content::List;
    // The given station, not the displayed one: a failed fetch leaves only the given station.
    if (m_station.needsHydration())
        return Content::Failure;
    return Content::Live;
}

int StationDetailViewModel::currentRow() const
{
    const std::optional<Station> &current = m_player->currentStation();
    const Station &s = displayed();
    if (!current || current->genre != s.genre || !s.hasTracks())
        return -1;
    return int(current->normalizedTrackIndex());
}

int StationDetailViewModel::bottomPadding() const
{
    return m_player->currentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

void StationDetailViewModel::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    const Content before = content();
    m_isLoading = loading;
    emit isLoadingChanged();
    if (content() != before)
        emit contentChanged();
}

void StationDetailViewModel::setHydrated(std::optional<Station> station)
{
    const Content before = content();
    m_hydrated = std::move(station);
    showDisplayed();
    emit displayedStationChanged();
    if (content() != before)
        emit contentChanged();
    const int row = currentRow();
    if (row != m_lastCurrentRow) {
        m_lastCurrentRow = row;
        emit currentRowChanged();
    }
}

QCoro::Task<> StationDetailViewModel::hydrateIfNeeded()
{
    if (m_hydrated || !m_station.needsHydration())
        co_return;
    // A fetch is already running for this page (shown again before it finished).
    if (m_isLoading)
        co_return;
    setLoading(true);

    // The page, and this model with it, may be gone when the reply arrives: nothing is written
    // then. Everything the coroutine needs afterwards is held by value or checked through `self`.
    QPointer<StationDetailViewModel> self(this);
    APIClient *client = m_client;
    const QString genre = m_station.genre;
    std::optional<Station> fetched;
    try {
        fetched = co_await client->hydrateSongsara(genre);
    } catch (...) {
        // The failure view shows instead; the error's text is not shown.
    }
    if (!self)
        co_return;
    // The page was given another station meanwhile: this answer is not for it.
    if (m_station.genre != genre) {
        setLoading(false);
        co_return;
    }
    setHydrated(std::move(fetched));
    setLoading(false);
}

void StationDetailViewModel::appear()
{
    hydrateIfNeeded();
}

void StationDetailViewModel::retry()
{
    hydrateIfNeeded();
}

const PlaylistTrack *StationDetailViewModel::trackAt(int index) const
{
    const Station &s = displayed();
    if (!s.tracks || index < 0 || index >= s.tracks->size())
        return nullptr;
    return &s.tracks->at(index);
}

void StationDetailViewModel::handOver(const Station &station)
{
    m_player->select(station);
    m_player->setFullPlayerPresented(true);
}

void StationDetailViewModel::play(int index)
{
    const Station &s = displayed();
    const qsizetype n = s.tracks ? s.tracks->size() : 0;
    if (n == 0) {
        handOver(s);
        return;
    }
    const qsizetype i = ((qsizetype(index) % n) + n) % n;
    const PlaylistTrack &track = s.tracks->at(i);
    Station copy = s;
    copy.trackIndex = i;
    copy.title = track.title;
    copy.artist = track.artist;
    if (track.artworkURL)
        copy.artworkURL = track.artworkURL;
    copy.elapsedSeconds.reset();
    handOver(copy);
}

void StationDetailViewModel::playLive()
{
    handOver(displayed());
}

QVariantList StationDetailViewModel::offlineMenu(int index) const
{
    const PlaylistTrack *track = trackAt(index);
    if (!track)
        return {};
    if (!m_offline->isDownloaded(*track)) {
        return {QVariantMap{{u"text"_s, DownloadActionText}, {u"action"_s, u"download"_s}}};
    }
    if (!m_offline->entry(*track))
        return {};
    return {QVariantMap{{u"text"_s, RemoveActionText}, {u"action"_s, u"remove"_s}}};
}

void StationDetailViewModel::performOfflineAction(int index, const QString &action)
{
    const PlaylistTrack *track = trackAt(index);
    if (!track)
        return;
    if (action == u"download"_s) {
        m_offline->download(*track);
    } else if (action == u"remove"_s) {
        // Looked up again: the entry may have gone while the menu was open.
        if (const std::optional<OfflineTrackEntry> entry = m_offline->entry(*track))
            m_offline->remove(*entry);
    }
}
