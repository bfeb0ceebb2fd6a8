#include "Services/GstPlaybackEngine.h"

#include "Platform/AudioPlayer.h"
#include "Platform/PlayerItem.h"

#include <QVariant>

namespace {

const char *const ItemIdProperty = "radioEngineItemId";

} // namespace

GstPlaybackEngine::GstPlaybackEngine(QObject *parent, GstElement *audioSink)
    : PlaybackEngine(parent)
    , m_player(std::make_unique<AudioPlayer>(nullptr, audioSink))
{
    m_player->addPeriodicTimeObserver(0.5, this, [this](double seconds) { emit periodicTime(seconds); });
    connect(m_player.get(), &AudioPlayer::itemDidPlayToEnd, this,
            [this](const PlayerItemPtr &item) { emit itemDidPlayToEnd(idOf(item.get())); });
    connect(m_player.get(), &AudioPlayer::itemFailed, this,
            [this](const PlayerItemPtr &item) { emit itemFailed(idOf(item.get())); });
}

GstPlaybackEngine::~GstPlaybackEngine() = default;

PlaybackEngine::ItemId GstPlaybackEngine::idOf(const PlayerItem *item) const
{
    return item ? item->property(ItemIdProperty).value<ItemId>() : 0;
}

std::shared_ptr<PlayerItem> GstPlaybackEngine::itemFor(ItemId id) const
{
    return m_items.value(id).lock();
}

PlaybackEngine::ItemId GstPlaybackEngine::replaceCurrentItem(const QUrl &url)
{
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it->expired())
            it = m_items.erase(it);
        else
            ++it;
    }
    PlayerItemPtr item = PlayerItem::create(url);
    const ItemId id = ++m_lastId;
    item->setProperty(ItemIdProperty, QVariant::fromValue(id));
    m_items.insert(id, item);
    m_player->replaceCurrentItem(item);
    return id;
}

PlaybackEngine::ItemId GstPlaybackEngine::currentItem() const
{
    return idOf(m_player->currentItem().get());
}

std::optional<QString> GstPlaybackEngine::currentItemError() const
{
    const PlayerItemPtr item = m_player->currentItem();
    if (!item || item->status() != PlayerItem::Status::Failed)
        return std::nullopt;
    return item->errorString();
}

PlaybackEngine::Failure GstPlaybackEngine::currentItemFailure() const
{
    const PlayerItemPtr item = m_player->currentItem();
    return item && item->status() == PlayerItem::Status::Failed ? item->failure() : Failure::None;
}

double GstPlaybackEngine::currentItemDuration() const
{
    const PlayerItemPtr item = m_player->currentItem();
    return item ? item->duration() : 0.0;
}

PlaybackEngine::TimeControlStatus GstPlaybackEngine::timeControlStatus() const
{
    return m_player->timeControlStatus();
}

double GstPlaybackEngine::currentTime() const
{
    return m_player->currentTime();
}

void GstPlaybackEngine::setPeriodicTimeHeld(bool held)
{
    m_player->setPeriodicTimeHeld(held);
}

void GstPlaybackEngine::play()
{
    m_player->play();
}

void GstPlaybackEngine::pause()
{
    m_player->pause();
}

void GstPlaybackEngine::seek(double seconds)
{
    m_player->seek(seconds);
}

void GstPlaybackEngine::setVolume(float volume)
{
    m_player->setVolume(volume);
}

QCoro::Task<QList<int>> GstPlaybackEngine::loadAudioTracks(ItemId id)
{
    // Held for the wait, so the item outlives its replacement until its tracks are known.
    const PlayerItemPtr item = itemFor(id);
    if (!item)
        co_return {};
    const std::optional<QList<AudioTrack>> tracks = co_await item->loadAudioTracks();
    QList<int> ids;
    if (tracks) {
        for (const AudioTrack &t : *tracks)
            ids << t.trackID;
    }
    co_return ids;
}

void GstPlaybackEngine::setAudioTap(ItemId id, int trackID, AudioProcessingTapPtr tap)
{
    const PlayerItemPtr item = itemFor(id);
    if (!item)
        return;
    AudioMixInputParameters parameters;
    parameters.trackID = trackID;
    parameters.audioTapProcessor = std::move(tap);
    AudioMix mix;
    mix.inputParameters = {parameters};
    item->setAudioMix(mix);
}
