#include "Services/RadioPlayerServices.h"

#include "Services/APIClient.h"
#include "Services/ArtworkFile.h"
#include "Services/OfflineStore.h"

#include <QCoroNetworkReply>
#include <QTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

APIStationSource::APIStationSource(APIClient *client, QString localFolder)
    : m_client(client)
    , m_localFolder(std::move(localFolder))
{
}

void APIStationSource::setFetchTimes(int idleMs, int deadlineMs)
{
    m_idleMs = idleMs;
    m_deadlineMs = deadlineMs;
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
        // Only a downloaded artwork file is read, and never on the GUI thread.
        const QString path = url.toLocalFile();
        const QString folder = m_localFolder.isEmpty() ? OfflineStore::shared()->downloadsFolder() : m_localFolder;
        QCoro::Task<std::optional<QByteArray>> reading = artwork::readLocalFileOffThread(path, folder);
        std::optional<QByteArray> bytes = co_await std::move(reading);
        if (!bytes)
            throw TransportError(QNetworkReply::ContentAccessDenied, QStringLiteral("Not a downloaded artwork file"));
        co_return std::move(*bytes);
    }
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setCache(nullptr);
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(m_idleMs);
    QNetworkReply *reply = m_network->get(request);
    // Nothing that large is a cover: stop reading instead of holding it in memory.
    artwork::limitReply(reply);
    QTimer::singleShot(m_deadlineMs, reply, [reply] { reply->abort(); });
    co_await reply;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owned(reply, [](QNetworkReply *r) { r->deleteLater(); });
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299))
        throw APIError::http(status);
    if (reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->error(), reply->errorString());
    const QByteArray data = reply->read(artwork::MaxBytes + 1);
    if (data.size() > artwork::MaxBytes)
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
