#pragma once

#include "Platform/AtomicFile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One running download of the offline store: the track's audio streamed into a temporary file
// in the downloads folder, then (best effort) its artwork. Lives on the GUI thread, like the
// network access manager it uses; the slow file steps (flush to disk and rename, decoding and
// writing the artwork) run on the thread pool.
//
// The audio is accepted only with a 2xx status, a positive Content-Length and a body of that
// length; only then, and once its bytes are on disk, is the temporary file renamed to
// "<UUID>.<ext>". A failed or cancelled download leaves no file behind. The audio file stays
// open and locked until the object goes (after the store has indexed it), so that no store
// takes it for a leftover meanwhile. Every name in the folder is made here, never by the server.
class OfflineDownload : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        int idleTimeoutMs = 60'000;   // no byte for this long fails the download
        int totalTimeoutMs = 600'000; // the whole download, artwork included
        // The artwork, fetched once the audio is stored; a slower one is left out.
        int artworkTimeoutMs = 20'000;
        qint64 maxArtworkBytes = 20 * 1024 * 1024;
        // Far above any real track: a longer announced or received body fails the download.
        qint64 maxAudioBytes = qint64(512) * 1024 * 1024;
        // The download fails rather than leave the disk with less free space than this.
        qint64 minFreeDiskBytes = qint64(256) * 1024 * 1024;
    };

    struct Result {
        enum class Status { Stored, Failed, Cancelled };
        Status status = Status::Failed;
        QString error;                          // Failed: the failure's description
        QString audioFileName;                  // Stored
        qint64 sizeBytes = 0;                   // Stored
        std::optional<QString> artworkFileName; // Stored, when the artwork was an image
    };

    OfflineDownload(QNetworkAccessManager *network, QUrl audioURL, std::optional<QUrl> artworkURL,
                    QString folder, Limits limits, QObject *parent = nullptr);
    ~OfflineDownload() override;

    void start();
    // Ends the download silently at its next step; a no-op once finished.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // The text of a reply without a positive Content-Length.
    static QString notStorableText();
    // The texts of a file above maxAudioBytes and of a disk that would fall below minFreeDiskBytes.
    static QString tooLargeText();
    static QString diskFullText();
    // What the user is told of a file that could not be written.
    static QString writeFailureText(AtomicFile::Failure failure);
    // The temporary file's name while the audio is received; empty before and after.
    QString partFileName() const;

signals:
    // The fraction received, at most once per 0.2 s and never above 0.99.
    void progress(double fraction);
    // Emitted once, last.
    void finished(const OfflineDownload::Result &result);

private:
    void onAudioHeaders();
    void onAudioReadyRead();
    void onAudioFinished();
    bool checkAudioHeaders(); // false when the download failed on them
    bool hasRoomFor(qint64 bytes) const;
    bool openPartFile();
    bool writeToPart(const QByteArray &chunk);
    void onAudioStored(QString error);
    void startArtwork();
    void onArtworkFinished();
    void onArtworkStored(std::optional<QString> fileName);
    void onTimeout();

    void fail(const QString &error);
    void finish(Result result);
    void dropReply(QPointer<QNetworkReply> &reply);
    void removeFiles();
    QString pathOf(const QString &fileName) const;

    QNetworkAccessManager *m_network;
    QUrl m_audioURL;
    std::optional<QUrl> m_artworkURL;
    QString m_folder;
    Limits m_limits;

    QString m_uuid;
    QFile m_partFile;   // the audio being received, then stored; open and locked until the end
    QString m_partPath; // while the audio is received under its temporary name
    QPointer<QNetworkReply> m_audioReply;
    QPointer<QNetworkReply> m_artworkReply;
    bool m_headersChecked = false;
    qint64 m_expectedLength = -1;
    qint64 m_received = 0;
    qint64 m_nextSpaceCheck = 0; // m_received at which free space is looked at again
    QByteArray m_head; // the first bytes, for the file type
    QElapsedTimer m_lastPublication;
    QTimer m_idleTimer;
    QTimer m_totalTimer;

    QString m_audioFileName;
    std::optional<QString> m_artworkFileName;
    bool m_cancelled = false;
    bool m_finished = false;
    bool m_workerBusy = false; // a file step runs on the thread pool
};

Q_DECLARE_METATYPE(OfflineDownload::Result)
