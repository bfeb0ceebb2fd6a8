#pragma once

#include "Services/APIClient.h"
#include "Services/RadioPlayerServices.h"

#include <QCoroFuture>
#include <QFuture>
#include <QHash>
#include <QPromise>

#include <memory>

// A backend whose answers the test holds: the catalogue is a list the test edits, track-list
// fetches wait until the test resolves them, artwork comes from a table. Addresses are resolved
// by a real backend client against "http://backend.test".
class FakeStationSource : public StationSource
{
public:
    struct Hydration {
        QString genre;
        std::shared_ptr<QPromise<std::optional<Station>>> promise;
    };

    FakeStationSource()
    {
        APIClient::Options options;
        options.baseURL = QUrl(QStringLiteral("http://backend.test"));
        m_client = std::make_unique<APIClient>(options);
    }

    QCoro::Task<QList<Station>> fetchStations() override
    {
        ++fetchCount;
        if (failFetch)
            throw APIError::http(500);
        co_return catalogue;
    }

    QCoro::Task<Station> hydrateSongsara(QString genre) override
    {
        auto promise = std::make_shared<QPromise<std::optional<Station>>>();
        QFuture<std::optional<Station>> future = promise->future();
        promise->start();
        hydrations.append({genre, promise});
        const std::optional<Station> result = co_await future;
        if (!result)
            throw APIError::decoding();
        co_return *result;
    }

    std::optional<QUrl> absolute(const std::optional<QString> &path) const override
    {
        return m_client->absolute(path);
    }

    QCoro::Task<QByteArray> download(QUrl url) override
    {
        downloads.append(url);
        const auto it = artwork.constFind(url);
        if (it == artwork.constEnd())
            throw APIError::http(404);
        co_return *it;
    }

    // Finishes the i-th track-list fetch with a station, or with a failure when none is given.
    void resolveHydration(int i, std::optional<Station> station)
    {
        auto promise = hydrations.at(i).promise;
        promise->addResult(std::move(station));
        promise->finish();
    }

    QList<Station> catalogue;
    bool failFetch = false;
    int fetchCount = 0;
    QList<Hydration> hydrations;
    QHash<QUrl, QByteArray> artwork;
    QList<QUrl> downloads;

private:
    std::unique_ptr<APIClient> m_client;
};
