#include "PlayerFooterModel.h"
#include "StationValue.h"

#include "Platform/UrlOpener.h"
#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <QCoroTask>
#include <QPointer>

using namespace Qt::StringLiterals;

const QString PlayerFooterModel::DownloadName = u"دانلود"_s;
const QString PlayerFooterModel::CancelName = u"لغو دانلود"_s;
const QString PlayerFooterModel::RemoveName = u"حذف دانلود"_s;
const QString PlayerFooterModel::TelegramIdleTitle = u"دانلود در تلگرام"_s;
const QString PlayerFooterModel::TelegramBusyTitle = u"در حال ساخت لینک…"_s;

namespace {

// Asks for the station's link and opens it. Runs to its end even when the footer is gone; it
// then only opens the link.
QCoro::Task<> fetchAndOpenLink(QPointer<PlayerFooterModel> footer, APIClient *client, Station station,
                               std::function<void(PlayerFooterModel *, std::optional<QString>)> finish)
{
    std::optional<QString> error;
    try {
        const QUrl link = co_await client->telegramDownloadToken(std::move(station));
        // Only web and Telegram addresses from the backend are ever opened.
        if (!UrlOpener::isAllowed(link))
            throw APIError::decoding();
        // Whether anything could open it is not looked at.
        UrlOpener::open(link);
    } catch (const AppError &e) {
        error = e.errorDescription();
    } catch (...) {
        error = APIError::decoding().errorDescription();
    }
    if (footer)
        finish(footer, std::move(error));
}

} // namespace

PlayerFooterModel::PlayerFooterModel(QObject *parent)
    : PlayerFooterModel(RadioPlayer::shared(), OfflineStore::shared(), &APIClient::shared(), parent)
{
}

PlayerFooterModel::PlayerFooterModel(RadioPlayer *player, OfflineStore *offline, APIClient *client,
                                     QObject *parent)
    : QObject(parent), m_player(player), m_offline(offline), m_client(client)
{
    Q_ASSERT(m_player && m_offline && m_client);
    connect(m_player, &RadioPlayer::currentStationChanged, this, [this] {
        if (!m_station) {
            emit stationChanged();
            emit downloadChanged();
            emit telegramChanged();
        }
    });
    connect(m_offline, &OfflineStore::activeProgressChanged, this, &PlayerFooterModel::downloadChanged);
    connect(m_offline, &OfflineStore::entriesChanged, this, &PlayerFooterModel::downloadChanged);
    connect(m_offline, &OfflineStore::downloadErrorsChanged, this, &PlayerFooterModel::downloadChanged);
}

PlayerFooterModel::~PlayerFooterModel() = default;

QVariant PlayerFooterModel::stationValue() const
{
    return m_station ? m_station->toVariant() : QVariant();
}

void PlayerFooterModel::setStationValue(const QVariant &value)
{
    setStation(stationFromQml(value));
}

void PlayerFooterModel::setStation(std::optional<Station> station)
{
    m_station = std::move(station);
    emit stationChanged();
    emit downloadChanged();
    emit telegramChanged();
}

const Station *PlayerFooterModel::station() const
{
    if (m_station)
        return &*m_station;
    const std::optional<Station> &current = m_player->currentStation();
    return current ? &*current : nullptr;
}

std::optional<PlaylistTrack> PlayerFooterModel::track() const
{
    const Station *s = station();
    if (!s || !s->hasTracks())
        return std::nullopt;
    const PlaylistTrack *current = s->currentTrack();
    return current ? std::optional<PlaylistTrack>(*current) : std::nullopt;
}

// The picture looks at a running download first; a tap at a finished one first.
PlayerFooterModel::DownloadState PlayerFooterModel::downloadState() const
{
    const std::optional<PlaylistTrack> t = track();
    if (!t)
        return DownloadState::Idle;
    if (m_offline->activeProgress().contains(offlineKey(*t)))
        return DownloadState::Running;
    if (m_offline->isDownloaded(*t))
        return DownloadState::Downloaded;
    return DownloadState::Idle;
}

double PlayerFooterModel::progress() const
{
    const std::optional<PlaylistTrack> t = track();
    return t ? m_offline->activeProgress().value(offlineKey(*t), 0.0) : 0.0;
}

QString PlayerFooterModel::percentText() const
{
    if (downloadState() != DownloadState::Running)
        return {};
    return percentText(progress());
}

QString PlayerFooterModel::downloadError() const
{
    const std::optional<PlaylistTrack> t = track();
    return t ? m_offline->downloadErrors().value(offlineKey(*t)) : QString();
}

QString PlayerFooterModel::percentText(double fraction)
{
    return QString::number(qint64(fraction * 100.0));
}

QString PlayerFooterModel::downloadActionName() const
{
    switch (downloadState()) {
    case DownloadState::Running:
        return CancelName;
    case DownloadState::Downloaded:
        return RemoveName;
    case DownloadState::Idle:
        break;
    }
    return DownloadName;
}

void PlayerFooterModel::tapDownload()
{
    const std::optional<PlaylistTrack> t = track();
    if (!t)
        return;
    if (m_offline->isDownloaded(*t)) {
        if (const std::optional<OfflineTrackEntry> entry = m_offline->entry(*t)) {
            m_offline->remove(*entry);
            return;
        }
    }
    if (m_offline->activeProgress().contains(offlineKey(*t)))
        m_offline->cancelDownload(*t);
    else
        m_offline->download(*t);
}

void PlayerFooterModel::setTelegram(bool loading, std::optional<QString> error)
{
    m_telegramLoading = loading;
    m_telegramError = std::move(error);
    emit telegramChanged();
}

void PlayerFooterModel::requestTelegramLink()
{
    const Station *s = station();
    if (m_telegramLoading || !s)
        return;
    setTelegram(true, std::nullopt);
    fetchAndOpenLink(QPointer<PlayerFooterModel>(this), m_client, *s,
                     [](PlayerFooterModel *footer, std::optional<QString> error) {
                         footer->setTelegram(false, std::move(error));
                         emit footer->telegramFinished();
                     });
}
