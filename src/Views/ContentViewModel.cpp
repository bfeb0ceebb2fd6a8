#include "ContentViewModel.h"

#include "Platform/LaunchArguments.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/StationStore.h"

#include <QCoroTimer>

using namespace Qt::StringLiterals;

const QString ContentViewModel::DebugPlayerArgument = u"--debug-player"_s;
const QString ContentViewModel::NoCoverArgument = u"--no-cover"_s;
const QString ContentViewModel::AutoDownloadArgument = u"--autodl"_s;
const QString ContentViewModel::DebugSyncArgument = u"--debug-sync"_s;
const QString ContentViewModel::DebugSyncGenre = u"persian"_s;

ContentViewModel::ContentViewModel(QObject *parent)
    : ContentViewModel(RadioPlayer::shared(), StationStore::shared(), OfflineStore::shared(),
                       &LaunchArguments::shared(), parent)
{
}

ContentViewModel::ContentViewModel(RadioPlayer *player, StationStore *store, OfflineStore *offline,
                                   LaunchArguments *arguments, QObject *parent)
    : QObject(parent), m_player(player), m_store(store), m_offline(offline), m_arguments(arguments)
{
    Q_ASSERT(player && store && offline && arguments);
    m_lastHasCurrentStation = hasCurrentStation();
    connect(m_player, &RadioPlayer::currentStationChanged, this, [this] {
        if (hasCurrentStation() != m_lastHasCurrentStation) {
            m_lastHasCurrentStation = hasCurrentStation();
            emit hasCurrentStationChanged();
        }
    });
}

Station ContentViewModel::debugPlayerStation()
{
    Station s;
    s.genre = u"custom-p-test"_s;
    s.title = u"Test Playlist"_s;
    s.artist = u"Tester"_s;
    s.serverName = u"Test Playlist"_s;
    s.artworkURL = u"/artwork/persian.jpg"_s;
    s.source = u"custom"_s;
    s.category = u"playlists"_s;
    s.trackIndex = 0;
    s.trackCount = 3;
    PlaylistTrack t;
    t.trackType = u"test"_s;
    t.trackID = u"t1"_s;
    t.title = u"A Rather Long Test Track Title That Does Not Fit On One Line"_s;
    t.artist = u"Tester"_s;
    t.artworkURL = u"/artwork/persian.jpg"_s;
    t.streamURL = u"/stream/persian"_s;
    t.duration = 200;
    s.tracks = QList<PlaylistTrack>{t};
    return s;
}

bool ContentViewModel::hasCurrentStation() const
{
    return m_player && m_player->currentStation().has_value();
}

void ContentViewModel::setCatalogueWait(std::chrono::milliseconds interval, int attempts)
{
    m_catalogueInterval = interval;
    m_catalogueAttempts = attempts;
}

void ContentViewModel::appear()
{
    if (m_arguments->consume(DebugPlayerArgument)) {
        m_player->select(debugPlayerStation());
        if (!m_arguments->contains(NoCoverArgument))
            m_player->setFullPlayerPresented(true);
        if (m_arguments->contains(AutoDownloadArgument))
            autoDownload();
    }
    const QString genre = m_arguments->consumeWithValue(DebugSyncArgument, DebugSyncGenre);
    if (!genre.isEmpty())
        debugSync(genre);
}

void ContentViewModel::presentFullPlayer()
{
    m_player->setFullPlayerPresented(true);
}

QCoro::Task<> ContentViewModel::autoDownload()
{
    QPointer<ContentViewModel> self(this);
    co_await QCoro::sleepFor(m_autoDownloadDelay);
    if (!self || !self->m_player || !self->m_offline)
        co_return;
    const std::optional<Station> &station = self->m_player->currentStation();
    if (!station)
        co_return;
    if (const PlaylistTrack *track = station->currentTrack())
        self->m_offline->download(*track);
}

QCoro::Task<> ContentViewModel::debugSync(QString genre)
{
    QPointer<ContentViewModel> self(this);
    const std::chrono::milliseconds interval = m_catalogueInterval;
    const int attempts = m_catalogueAttempts;
    for (int i = 0; i < attempts; ++i) {
        if (!self || !self->m_store)
            co_return;
        if (!self->m_store->stations().isEmpty())
            break;
        co_await QCoro::sleepFor(interval);
    }
    if (!self || !self->m_store || !self->m_player || self->m_store->stations().isEmpty())
        co_return;
    for (const Station &station : self->m_store->stations()) {
        if (station.genre == genre) {
            const Station chosen = station;
            self->m_player->select(chosen);
            self->m_player->setFullPlayerPresented(true);
            co_return;
        }
    }
}
