#pragma once

#include "Services/PlaybackEngine.h"

#include <QHash>
#include <QList>

#include <cmath>

// A platform player that plays nothing: the test sets what it reports and fires its ticks and
// end-of-item notifications.
class FakePlaybackEngine : public PlaybackEngine
{
    Q_OBJECT
public:
    struct Item {
        ItemId id = 0;
        QUrl url;
        std::optional<QString> error;
        Failure failure = Failure::None;
        double duration = std::nan("");
        QList<int> audioTracks{1};
        AudioProcessingTapPtr tap;
        int tapTrack = -1;
    };

    using PlaybackEngine::PlaybackEngine;

    ItemId replaceCurrentItem(const QUrl &url) override
    {
        Item item;
        item.id = ++m_nextId;
        item.url = url;
        item.audioTracks = nextAudioTracks;
        m_items.append(item);
        m_current = item.id;
        position = 0;
        return item.id;
    }
    ItemId currentItem() const override { return m_current; }
    std::optional<QString> currentItemError() const override
    {
        const Item *i = find(m_current);
        return i ? i->error : std::nullopt;
    }
    Failure currentItemFailure() const override
    {
        const Item *i = find(m_current);
        return i ? i->failure : Failure::None;
    }
    double currentItemDuration() const override
    {
        const Item *i = find(m_current);
        return i ? i->duration : std::nan("");
    }
    TimeControlStatus timeControlStatus() const override { return status; }
    double currentTime() const override { return position; }
    void setPeriodicTimeHeld(bool held) override { periodicTimeHeld = held; }

    void play() override
    {
        ++playCalls;
        if (status == TimeControlStatus::Paused)
            status = TimeControlStatus::WaitingToPlay;
    }
    void pause() override
    {
        ++pauseCalls;
        status = TimeControlStatus::Paused;
    }
    void seek(double seconds) override
    {
        seeks.append(seconds);
        position = seconds;
    }
    void setVolume(float v) override { volume = v; }

    QCoro::Task<QList<int>> loadAudioTracks(ItemId item) override
    {
        const Item *i = find(item);
        co_return i ? i->audioTracks : QList<int>{};
    }
    void setAudioTap(ItemId item, int trackID, AudioProcessingTapPtr tap) override
    {
        if (Item *i = find(item)) {
            i->tap = std::move(tap);
            i->tapTrack = trackID;
        }
    }

    // --- test controls
    const QList<Item> &items() const { return m_items; }
    Item *current() { return find(m_current); }
    Item *find(ItemId id)
    {
        for (Item &i : m_items)
            if (i.id == id)
                return &i;
        return nullptr;
    }
    const Item *find(ItemId id) const { return const_cast<FakePlaybackEngine *>(this)->find(id); }
    QUrl currentUrl() const
    {
        const Item *i = find(m_current);
        return i ? i->url : QUrl();
    }
    void tick(double seconds)
    {
        position = seconds;
        emit periodicTime(seconds);
    }
    void finish(ItemId item) { emit itemDidPlayToEnd(item); }
    // The current item fails as a real one does: it stops and says so.
    void failCurrent(Failure failure = Failure::Unreachable, const QString &error = QStringLiteral("failed"))
    {
        Item *i = current();
        if (!i)
            return;
        i->error = error;
        i->failure = failure;
        status = TimeControlStatus::Paused;
        emit itemFailed(i->id);
    }

    TimeControlStatus status = TimeControlStatus::Paused;
    QList<int> nextAudioTracks{1};
    int playCalls = 0;
    int pauseCalls = 0;
    QList<double> seeks;
    float volume = -1;
    double position = 0;
    bool periodicTimeHeld = false;

private:
    ItemId m_nextId = 0;
    ItemId m_current = 0;
    QList<Item> m_items;
};
