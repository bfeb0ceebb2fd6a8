#include "Platform/NowPlayingInfo.h"

#include <QCoreApplication>

NowPlayingInfoCenter::NowPlayingInfoCenter(QObject *parent)
    : QObject(parent)
{
}

NowPlayingInfoCenter *NowPlayingInfoCenter::shared()
{
    // Lives until the process ends, like the player that feeds it.
    static NowPlayingInfoCenter *instance = new NowPlayingInfoCenter;
    return instance;
}

void NowPlayingInfoCenter::setNowPlayingInfo(const NowPlayingInfo &info)
{
    m_info = info;
    ++m_updates;
    emit nowPlayingInfoChanged();
}
