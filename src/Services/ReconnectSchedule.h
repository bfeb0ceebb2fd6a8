#pragma once

#include "Platform/PlayerItem.h"

#include <QList>
#include <QString>

#include <optional>

// When a stream that dropped is tried again, and when the player gives up: a bounded backoff
// (by default 1, 2, 4 and 8 s, then every 10 s) for as long as the outage is shorter than the
// limit (3 minutes by default). A stream that plays again ends the outage.
class ReconnectSchedule
{
public:
    struct Options {
        QList<int> delaysMs{1000, 2000, 4000, 8000, 10000}; // the last one repeats
        int giveUpAfterMs = 180'000;
    };

    ReconnectSchedule() = default;
    explicit ReconnectSchedule(Options options) : m_options(std::move(options)) {}

    // The wait before try number `attempt` (0 for the first), with the outage `outageMs` old;
    // none: give up. A failure that trying again cannot mend (what came is no audio) gives up
    // at once.
    std::optional<int> delayBefore(int attempt, qint64 outageMs, PlayerItem::Failure failure) const;

    // What the listener is told of a failure, as the end of a sentence ("…: <cause>").
    static QString causeText(PlayerItem::Failure failure);

private:
    Options m_options;
};
