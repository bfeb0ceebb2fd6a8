#include "PlaylistDetailViewModel.h"
#include "NumberTexts.h"

#include "Platform/Memory.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <QPointer>
#include <QVariantMap>

using namespace Qt::StringLiterals;

const QString PlaylistDetailViewModel::FallbackTitle = u"پلیلیست"_s;

namespace {

std::optional<QString> optionalText(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> optionalNumber(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

QVariant orUndefined(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant();
}

} // namespace

PlaylistDetailViewModel::PlaylistDetailViewModel(QObject *parent)
    : PlaylistDetailViewModel(&AuthStore::shared(), RadioPlayer::shared(), OfflineStore::shared(),
                              &APIClient::shared(), parent)
{
}

PlaylistDetailViewModel::PlaylistDetailViewModel(AuthStore *auth, RadioPlayer *player, OfflineStore *offline,
                                                 APIClient *client, QObject *parent)
    : QObject(parent), m_auth(auth), m_player(player), m_offline(offline), m_client(client)
    , m_rows(new TrackRows({{OfflineKeyRole, "offlineKey"}, {DownloadControlRole, "downloadControl"},
                            {ProgressRole, "progress"}, {PercentRole, "percentText"}, {DownloadErrorRole, "downloadError"}},
                           [this](const PlaylistTrack &track, int role) { return rowData(track, role); }, this))
{
    Q_ASSERT(m_auth && m_player && m_offline && m_client);
    watchStores();
}

PlaylistDetailViewModel::~PlaylistDetailViewModel()
{
    // Its rows go with it; the heap gives their memory back once the page's items are gone too.
    Memory::releaseFreedHeapSoon();
}

void PlaylistDetailViewModel::watchStores()
{
    m_lastBottomPadding = bottomPadding();
    connect(m_player, &RadioPlayer::currentStationChanged, this, [this] {
        if (bottomPadding() != m_lastBottomPadding) {
            m_lastBottomPadding = bottomPadding();
            emit bottomPaddingChanged();
        }
    });
    for (auto signal : {&OfflineStore::activeProgressChanged, &OfflineStore::entriesChanged,
                        &OfflineStore::downloadErrorsChanged}) {
        connect(m_offline, signal, this, &PlaylistDetailViewModel::refreshDownloads);
        connect(m_offline, signal, this, &PlaylistDetailViewModel::downloadStatesChanged);
    }
}

// ------------------------------------------------------------------ summary and detail

void PlaylistDetailViewModel::setSummary(const PlaylistSummary &summary)
{
    m_summary = summary;
    emit summaryChanged();
    emit detailChanged();
}

QVariant PlaylistDetailViewModel::summaryValue() const
{
    QVariantMap map{{u"id"_s, m_summary.id}};
    if (m_summary.title)
        map.insert(u"title"_s, *m_summary.title);
    if (m_summary.coverURL)
        map.insert(u"coverURL"_s, *m_summary.coverURL);
    if (m_summary.trackCount)
        map.insert(u"trackCount"_s, *m_summary.trackCount);
    return map;
}

void PlaylistDetailViewModel::setSummaryValue(const QVariant &value)
{
    const QVariantMap map = value.toMap();
    PlaylistSummary summary;
    summary.id = optionalNumber(map, u"id"_s).value_or(0);
    summary.title = optionalText(map, u"title"_s);
    summary.description = optionalText(map, u"description"_s);
    summary.coverURL = optionalText(map, u"coverURL"_s);
    summary.trackCount = optionalNumber(map, u"trackCount"_s);
    setSummary(summary);
}

PlaylistDetailViewModel::Content PlaylistDetailViewModel::content() const
{
    if (m_isLoading)
        return Content::Loading;
    if (m_error)
        return Content::Failed;
    if (m_detail)
        return Content::Loaded;
    return Content::Nothing;
}

QString PlaylistDetailViewModel::navigationTitle() const
{
    if (m_detail && m_detail->title)
        return *m_detail->title;
    return FallbackTitle;
}

QString PlaylistDetailViewModel::headerTitle() const
{
    if (m_detail && m_detail->title)
        return *m_detail->title;
    return m_summary.title.value_or(QString());
}

QString PlaylistDetailViewModel::descriptionText() const
{
    return m_detail ? m_detail->description.value_or(QString()) : QString();
}

qint64 PlaylistDetailViewModel::trackCount() const
{
    if (m_detail && m_detail->tracks)
        return m_detail->tracks->size();
    return m_summary.trackCount.value_or(0);
}

QString PlaylistDetailViewModel::trackCountText() const
{
    return NumberTexts::trackCount(trackCount());
}

std::optional<QString> PlaylistDetailViewModel::coverURL() const
{
    if (m_detail && m_detail->coverURL)
        return m_detail->coverURL;
    return m_summary.coverURL;
}

QVariant PlaylistDetailViewModel::coverURLValue() const
{
    return orUndefined(coverURL());
}

bool PlaylistDetailViewModel::canPlayAll() const
{
    return m_detail && m_detail->tracks && !m_detail->tracks->isEmpty();
}

const PlaylistTrack *PlaylistDetailViewModel::trackAt(int index) const
{
    if (!m_detail || !m_detail->tracks || index < 0 || index >= m_detail->tracks->size())
        return nullptr;
    return &m_detail->tracks->at(index);
}

int PlaylistDetailViewModel::rowCount() const
{
    return m_detail && m_detail->tracks ? int(m_detail->tracks->size()) : 0;
}

QVariant PlaylistDetailViewModel::rowData(const PlaylistTrack &t, int role) const
{
    switch (role) {
    case OfflineKeyRole:
        return offlineKey(t);
    case DownloadControlRole:
        return QVariant::fromValue(downloadControlOf(t));
    case ProgressRole:
        return m_offline->activeProgress().value(offlineKey(t), 0.0);
    case PercentRole:
        return QString::number(qint64(m_offline->activeProgress().value(offlineKey(t), 0.0) * 100));
    case DownloadErrorRole:
        return m_offline->downloadErrors().value(offlineKey(t));
    default:
        return {};
    }
}

PlaylistDetailViewModel::DownloadControl PlaylistDetailViewModel::downloadControlOf(const PlaylistTrack &track) const
{
    if (m_offline->activeProgress().contains(offlineKey(track)))
        return DownloadControl::Progress;
    if (m_offline->isDownloaded(track))
        return DownloadControl::Downloaded;
    return DownloadControl::Available;
}

PlaylistDetailViewModel::DownloadControl PlaylistDetailViewModel::downloadControl(int index) const
{
    const PlaylistTrack *track = trackAt(index);
    return track ? downloadControlOf(*track) : DownloadControl::Available;
}

void PlaylistDetailViewModel::refreshDownloads()
{
    QList<int> changed;
    QHash<QString, ShownDownload> shown;
    const QList<PlaylistTrack> &tracks = m_rows->items();
    shown.reserve(tracks.size());
    for (int row = 0; row < tracks.size(); ++row) {
        const PlaylistTrack &track = tracks.at(row);
        const QString trackKey = offlineKey(track);
        const ShownDownload state{downloadControlOf(track), int(m_offline->activeProgress().value(trackKey, 0.0) * 1000),
                                  m_offline->downloadErrors().value(trackKey)};
        const QString key = m_rows->keyAt(row);
        const auto before = m_shownDownloads.constFind(key);
        if (before == m_shownDownloads.cend() || *before != state)
            changed.append(row);
        shown.insert(key, state);
    }
    m_shownDownloads = std::move(shown);
    m_rows->refresh(changed, {DownloadControlRole, ProgressRole, PercentRole, DownloadErrorRole});
}

int PlaylistDetailViewModel::bottomPadding() const
{
    return m_player->currentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

// ------------------------------------------------------------------ loading

void PlaylistDetailViewModel::setLoadState(bool loading, std::optional<QString> error)
{
    const Content before = content();
    const bool changed = m_isLoading != loading || m_error != error;
    m_isLoading = loading;
    m_error = std::move(error);
    if (changed || content() != before)
        emit contentChanged();
}

void PlaylistDetailViewModel::setDetail(std::optional<PlaylistDetail> detail)
{
    m_detail = std::move(detail);
    // The playlist's cover stands in for tracks without their own.
    m_rows->show(m_detail && m_detail->tracks ? *m_detail->tracks : QList<PlaylistTrack>(),
                 m_detail ? m_detail->coverURL : std::nullopt);
    refreshDownloads();
    emit detailChanged();
    emit downloadStatesChanged();
}

QString PlaylistDetailViewModel::describe(const std::exception &error)
{
    if (const auto *known = dynamic_cast<const AppError *>(&error))
        return known->errorDescription();
    return QString::fromUtf8(error.what());
}

void PlaylistDetailViewModel::setError(const QString &error)
{
    setLoadState(m_isLoading, error);
}

QCoro::Task<> PlaylistDetailViewModel::loadDetail()
{
    // Only the newest load may change the screen: an older answer arriving late is dropped, and
    // the spinner stays until the newest one is in.
    const quint64 generation = ++m_loadGeneration;
    setLoadState(true, std::nullopt);
    QPointer<PlaylistDetailViewModel> self(this);
    APIClient *client = m_client;
    const qint64 id = m_summary.id;
    const std::optional<QString> token = m_auth->token();
    std::optional<PlaylistDetail> fetched;
    std::optional<QString> failure;
    try {
        fetched = co_await client->playlistDetail(id, token);
    } catch (const std::exception &e) {
        failure = describe(e);
    }
    if (!self || generation != m_loadGeneration)
        co_return;
    if (fetched)
        setDetail(std::move(fetched));
    setLoadState(false, failure);
}

void PlaylistDetailViewModel::load()
{
    loadDetail();
}

// ------------------------------------------------------------------ playing and downloads

std::optional<Station> PlaylistDetailViewModel::stationAt(int index) const
{
    if (!canPlayAll())
        return std::nullopt;
    Station station;
    station.genre = u"custom-p-"_s + QString::number(m_detail->id.value_or(m_summary.id));
    station.title = m_detail->title ? m_detail->title : m_summary.title;
    if (const std::optional<User> &user = m_auth->user())
        station.artist = user->displayName ? user->displayName : user->username;
    station.serverName = station.title;
    station.artworkURL = coverURL();
    station.source = u"custom"_s;
    station.category = u"playlists"_s;
    station.trackIndex = index;
    station.trackCount = m_detail->tracks->size();
    station.tracks = m_detail->tracks;
    return station;
}

void PlaylistDetailViewModel::play(int index)
{
    const std::optional<Station> station = stationAt(index);
    if (!station)
        return;
    m_player->select(*station);
    m_player->setFullPlayerPresented(true);
}

void PlaylistDetailViewModel::toggleDownload(int index)
{
    const PlaylistTrack *track = trackAt(index);
    if (!track)
        return;
    if (m_offline->isDownloaded(*track)) {
        if (const std::optional<OfflineTrackEntry> entry = m_offline->entry(*track))
            m_offline->remove(*entry);
        return;
    }
    if (m_offline->activeProgress().contains(offlineKey(*track)))
        m_offline->cancelDownload(*track);
    else
        m_offline->download(*track);
}
