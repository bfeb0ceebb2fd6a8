#pragma once

#include "Models/Station.h"
#include "Services/OfflineDownload.h"
#include "Services/OfflineIndexWriter.h"
#include "Services/OfflineTrackEntry.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

class APIClient;
class OfflineStore;
class QNetworkAccessManager;

// The key of everything in the offline store: trackType (or "track") + "|" + the first present
// of trackID, id in decimal, title, a fresh UUID. Only absence counts: an empty trackID or
// title is used as is. A track with none of the three gets a new key on every call.
QString offlineKey(const PlaylistTrack &track);

// The artwork address of what the station plays now, preferring a downloaded artwork file
// (a "file://" address); for a live station a "v=<title>" query makes image caches refetch
// when the song changes. The first form asks OfflineStore::shared().
std::optional<QString> currentTrackArtworkURL(const Station &station);
std::optional<QString> currentTrackArtworkURL(const Station &station, const OfflineStore &store);

// The tracks downloaded for offline listening: audio and artwork files in the folder
// "OfflineTracks" and the index file "offline_index.json" beside it, both in the application
// data folder.
//
// Threading: lives on the GUI thread and publishes its properties only there. download(),
// cancelDownload(), remove() and removeAll() are called on the GUI thread; the lookups may be
// called from any thread. One lock guards the index and the map of running downloads, held
// only for short map reads and writes. The index file is written by one serial writer on a
// background thread, atomically, and always ends as the newest state. A stored download counts
// as downloaded only once the index that lists it is on disk; when the index cannot be written
// the download fails (its files go) and the file on disk stays as it was.
class OfflineStore : public QObject
{
    Q_OBJECT
    // QML reads: a list of OfflineTrackEntry, newest download first.
    Q_PROPERTY(QVariantList entries READ entryList NOTIFY entriesChanged)
    // Offline key -> fraction (0 ... 0.99) of each running download.
    Q_PROPERTY(QVariantMap activeProgress READ activeProgressMap NOTIFY activeProgressChanged)
    // Offline key -> PlaylistTrack of each running download.
    Q_PROPERTY(QVariantMap pendingMeta READ pendingMetaMap NOTIFY pendingMetaChanged)
    // Empty when there is no error to show.
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    // Offline key -> why the last download of that track failed, until it is started again.
    Q_PROPERTY(QVariantMap downloadErrors READ downloadErrorsMap NOTIFY downloadErrorsChanged)
    Q_PROPERTY(qint64 totalSizeBytes READ totalSizeBytes NOTIFY entriesChanged)

public:
    // Created on first use, lives until the process ends; flushes index writes on quit.
    static OfflineStore *shared();

    // `supportFolder` empty: the application data folder, looked up afresh by every operation.
    // `client` resolves addresses; the default is APIClient::shared().
    explicit OfflineStore(QString supportFolder = {}, APIClient *client = nullptr, QObject *parent = nullptr);
    ~OfflineStore() override;

    // ---- published state (GUI thread)
    const QList<OfflineTrackEntry> &entries() const { return m_entries; }
    const QHash<QString, double> &activeProgress() const { return m_activeProgress; }
    const QHash<QString, PlaylistTrack> &pendingMeta() const { return m_pendingMeta; }
    const std::optional<QString> &lastError() const { return m_lastError; }
    const QHash<QString, QString> &downloadErrors() const { return m_downloadErrors; }

    // ---- lookups (any thread; never fail)
    bool isDownloaded(const PlaylistTrack &track) const;
    bool isDownloaded(const std::optional<PlaylistTrack> &track) const;
    Q_INVOKABLE bool isDownloaded(const QVariant &track) const;
    // The indexed entry of the track (read under the lock), for remove().
    std::optional<OfflineTrackEntry> entry(const PlaylistTrack &track) const;
    std::optional<OfflineTrackEntry> entry(const QString &key) const;
    Q_INVOKABLE QVariant entryFor(const QVariant &track) const;
    // The downloaded audio file, when the track is indexed and its file exists.
    std::optional<QUrl> audioURL(const PlaylistTrack &track) const;
    // The "file://" address of the downloaded artwork, when indexed and its file exists.
    std::optional<QString> artworkPathString(const PlaylistTrack &track) const;
    // The "file://" address of a file in the downloads folder; no existence check.
    Q_INVOKABLE QString artworkURLString(const QString &fileName) const;
    qint64 totalSizeBytes() const;
    // Every download as one pseudo-station ("offline-library"), oldest first; none when empty.
    std::optional<Station> offlineStation() const;
    Q_INVOKABLE QVariant offlineStationValue() const;

    // ---- operations (GUI thread)
    void download(const PlaylistTrack &track);
    void cancelDownload(const PlaylistTrack &track);
    void remove(const OfflineTrackEntry &entry);
    Q_INVOKABLE void removeAll();
    // For QML: a PlaylistTrack (download, cancelDownload) or an OfflineTrackEntry (remove) as a
    // QVariant; anything else is ignored.
    Q_INVOKABLE void download(const QVariant &track);
    Q_INVOKABLE void cancelDownload(const QVariant &track);
    Q_INVOKABLE void remove(const QVariant &entry);

    // ---- files
    QString supportFolder() const;
    QString downloadsFolder() const; // <support>/OfflineTracks
    QString indexFilePath() const;   // <support>/offline_index.json
    static QString sniffAudioExtension(const QByteArray &data) { return OfflineIndex::sniffAudioExtension(data); }

    // Blocks until every index write handed to the writer is on disk (tests, quitting).
    void waitForIndexWrites();
    // Quitting: running downloads end without publishing anything, and their ".part" files go.
    void endDownloads();
    // Time-outs and the artwork size cap of downloads started from now on.
    void setDownloadLimits(const OfflineDownload::Limits &limits) { m_limits = limits; }

    static QString noDownloadLinkText();  // "این آهنگ لینک دانلود معتبری ندارد"
    static QString downloadErrorPrefix(); // "خطا در دانلود: "
    // The index could not be written (after a removal), with the reason.
    static QString indexNotSavedText(AtomicFile::Failure failure);
    // The index could not be read at start, and was made again from what could be read of it
    // and from the files.
    static QString indexRebuiltText();

signals:
    void entriesChanged();
    void activeProgressChanged();
    void pendingMetaChanged();
    void lastErrorChanged();
    void downloadErrorsChanged();

private:
    // A download stored, waiting for the index write that lists it.
    struct Staged {
        OfflineTrackEntry entry;
        quint64 generation = 0; // the first index write that lists it; 0 before it is handed in
        QPointer<OfflineDownload> job; // holds the lock on the audio file until then
    };

    void loadIndex();
    // The entries of a list read from the file that can be indexed; legacy names moved.
    QHash<QString, OfflineTrackEntry> acceptEntries(QList<OfflineTrackEntry> entries, bool *renamed) const;
    void rebuildIndex(bool fileExists, const QByteArray &unreadable);
    void persistIndex();
    void onIndexWritten(quint64 generation, AtomicFile::Failure failure);
    QSet<QString> runningPartNames() const;
    void setDownloadError(const QString &key, std::optional<QString> error);
    void republishEntries();
    void finishFailed(const QString &key, const std::optional<QString> &error);
    void onDownloadFinished(const QString &key, const PlaylistTrack &track, OfflineDownload *job,
                            const OfflineDownload::Result &result);
    void setLastError(std::optional<QString> error);
    void setProgress(const QString &key, double fraction);
    void removeProgress(const QString &key);
    void removeStoredFiles(const OfflineTrackEntry &entry) const;
    QNetworkAccessManager *session();
    QString fileURLString(const QString &fileName) const;

    QVariantList entryList() const;
    QVariantMap activeProgressMap() const;
    QVariantMap pendingMetaMap() const;
    QString lastErrorText() const { return m_lastError.value_or(QString()); }
    QVariantMap downloadErrorsMap() const;

    QString m_supportFolder;
    APIClient *m_client;

    QList<OfflineTrackEntry> m_entries;
    QHash<QString, double> m_activeProgress;
    QHash<QString, PlaylistTrack> m_pendingMeta;
    std::optional<QString> m_lastError;
    QHash<QString, QString> m_downloadErrors;

    mutable QMutex m_lock;
    // Guarded by m_lock:
    QHash<QString, OfflineTrackEntry> m_indexByKey;
    QHash<QString, QPointer<OfflineDownload>> m_downloadTasks; // also while staged
    QHash<QString, Staged> m_staged;
    quint64 m_indexGeneration = 0;

    QNetworkAccessManager *m_session = nullptr;
    OfflineDownload::Limits m_limits;
    OfflineIndexWriter m_writer;
};
