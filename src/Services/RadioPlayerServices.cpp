#include "Services/RadioPlayerServices.h"

#include "Services/APIClient.h"
#include "Services/OfflineStore.h"

#include <QCoroNetworkReply>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// Artwork is small; anything bigger is not a picture we want.
constexpr qint64 MaxArtworkBytes = 16 * 1024 * 1024;
constexpr int ArtworkTimeoutMs = 30'000;

} // namespace

APIStationSource::APIStationSource(APIClient *client)
    : m_client(client)
{
}

APIStationSource::~APIStationSource() = default;

APIClient &APIStationSource::client() const
{
    return m_client ? *m_client : APIClient::shared();
}

QCoro::Task<QList<Station>> APIStationSource::fetchStations()
{
    co_return co_await client().fetchStations();
}

QCoro::Task<Station> APIStationSource::hydrateSongsara(QString genre)
{
    co_return co_await client().hydrateSongsara(std::move(genre));
}

std::optional<QUrl> APIStationSource::absolute(const std::optional<QString> &path) const
{
    return client().absolute(path);
}

QCoro::Task<QByteArray> APIStationSource::download(QUrl url)
{
    if (url.isLocalFile()) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxArtworkBytes)
            throw TransportError(QNetworkReply::ContentNotFoundError, file.errorString());
        co_return file.readAll();
    }
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setCache(nullptr);
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(ArtworkTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    // Nothing that large is a cover: stop reading instead of holding it in memory.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxArtworkBytes)
            reply->abort();
    });
    co_await reply;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owned(reply, [](QNetworkReply *r) { r->deleteLater(); });
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299))
        throw APIError::http(status);
    if (reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->error(), reply->errorString());
    const QByteArray data = reply->read(MaxArtworkBytes + 1);
    if (data.size() > MaxArtworkBytes)
        throw APIError::decoding();
    co_return data;
}

OfflineStoreLookup::OfflineStoreLookup(OfflineStore *store)
    : m_store(store)
{
}

OfflineStore &OfflineStoreLookup::store() const
{
    return m_store ? *m_store : *OfflineStore::shared();
}

std::optional<QUrl> OfflineStoreLookup::audioURL(const PlaylistTrack &track) const
{
    return store().audioURL(track);
}

bool OfflineStoreLookup::isDownloaded(const PlaylistTrack &track) const
{
    return store().isDownloaded(track);
}

std::optional<QString> OfflineStoreLookup::currentTrackArtworkURL(const Station &station) const
{
    return ::currentTrackArtworkURL(station, store());
}
