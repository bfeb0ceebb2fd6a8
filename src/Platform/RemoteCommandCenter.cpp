#include "Platform/RemoteCommandCenter.h"

RemoteCommandCenter::RemoteCommandCenter(QObject *parent)
    : QObject(parent)
{
}

RemoteCommandCenter *RemoteCommandCenter::shared()
{
    static RemoteCommandCenter *instance = new RemoteCommandCenter;
    return instance;
}

void RemoteCommandCenter::setHandler(RemoteCommand command, Handler handler, Availability availability)
{
    m_handlers.insert(command, Entry{std::move(handler), std::move(availability)});
    emit availabilityChanged();
}

void RemoteCommandCenter::removeHandler(RemoteCommand command)
{
    if (m_handlers.remove(command))
        emit availabilityChanged();
}

RemoteCommandStatus RemoteCommandCenter::dispatch(const RemoteCommandEvent &event)
{
    const auto it = m_handlers.constFind(event.command);
    if (it == m_handlers.constEnd() || !it->handler)
        return RemoteCommandStatus::NoHandler;
    // Copy: a handler may replace itself.
    const Handler handler = it->handler;
    return handler(event);
}

bool RemoteCommandCenter::isAvailable(RemoteCommand command) const
{
    const auto it = m_handlers.constFind(command);
    if (it == m_handlers.constEnd() || !it->handler)
        return false;
    return !it->availability || it->availability();
}

void RemoteCommandCenter::setPreferredIntervals(RemoteCommand command, QList<double> seconds)
{
    m_intervals.insert(command, std::move(seconds));
}

void RemoteCommandCenter::setVolume(double volume)
{
    if (volume == m_volume)
        return;
    m_volume = volume;
    emit volumeChanged();
}
