#pragma once

#include "Models/Station.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class APIClient;
class OfflineStore;
class QNetworkAccessManager;

// The backend as the radio player uses it: the catalogue, track lists, addresses and artwork.
// APIStationSource is the real one (the shared backend client); tests may fake it.
class StationSource
{
public:
    virtual ~StationSource() = default;
    virtual QCoro::Task<QList<Station>> fetchStations() = 0;
    virtual QCoro::Task<Station> hydrateSongsara(QString genre) = 0;
    virtual std::optional<QUrl> absolute(const std::optional<QString> &path) const = 0;
    // The bytes at an artwork address (http, https or a downloaded artwork file), at most
    // artwork::MaxBytes; throws on any failure.
    virtual QCoro::Task<QByteArray> download(QUrl url) = 0;
};

// The offline store's answers the player needs.
class OfflineLookup
{
public:
    virtual ~OfflineLookup() = default;
    virtual std::optional<QUrl> audioURL(const PlaylistTrack &track) const = 0;
    virtual bool isDownloaded(const PlaylistTrack &track) const = 0;
    // The artwork address of what plays now, preferring a downloaded artwork file.
    virtual std::optional<QString> currentTrackArtworkURL(const Station &station) const = 0;
};

class APIStationSource : public StationSource
{
public:
    // nullptr: the shared client. `localFolder`: the only folder whose files a "file:" artwork
    // address may name (empty: the offline store's downloads).
    explicit APIStationSource(APIClient *client = nullptr, QString localFolder = {});
    ~APIStationSource() override;

    QCoro::Task<QList<Station>> fetchStations() override;
    QCoro::Task<Station> hydrateSongsara(QString genre) override;
    std::optional<QUrl> absolute(const std::optional<QString> &path) const override;
    QCoro::Task<QByteArray> download(QUrl url) override;

    // An artwork fetch fails when no byte came for `idleMs`, and at `deadlineMs` however steadily
    // it trickles in.
    void setFetchTimes(int idleMs, int deadlineMs);

private:
    APIClient &client() const;
    APIClient *m_client;
    QString m_localFolder;
    int m_idleMs = 30'000;
    int m_deadlineMs = 20'000;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

class OfflineStoreLookup : public OfflineLookup
{
public:
    // nullptr: the shared offline store, reached on first use.
    explicit OfflineStoreLookup(OfflineStore *store = nullptr);

    std::optional<QUrl> audioURL(const PlaylistTrack &track) const override;
    bool isDownloaded(const PlaylistTrack &track) const override;
    std::optional<QString> currentTrackArtworkURL(const Station &station) const override;

private:
    OfflineStore &store() const;
    OfflineStore *m_store;
};
