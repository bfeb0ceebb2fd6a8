#pragma once

#include "Services/OfflineTrackEntry.h"
#include "Kit/KeyedRows.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtGlobal>
#include <QtQml/qqmlregistration.h>

#include <optional>

class OfflineStore;
class RadioPlayer;

// The offline library screen's state and actions, all read from the offline store: the completed
// downloads newest first (numbered from 1), the running downloads in key order with their
// progress, the last download error, the summary line, the playing mark, and playing a download
// as the "offline-library" station. Owns no data.
//     OfflineLibraryViewModel { id: model }
class OfflineLibraryViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    // The trash button shows only while there are completed downloads.
    Q_PROPERTY(bool hasEntries READ hasEntries NOTIFY entriesChanged)
    // The completed downloads in the index's order, keyed by their offline key: title, artist,
    // artworkURL, durationText.
    Q_PROPERTY(QAbstractItemModel *rows READ rows CONSTANT)
    Q_PROPERTY(int rowCount READ rowCount NOTIFY entriesChanged)
    // The row of the download that plays (found by its file); -1 when none.
    Q_PROPERTY(int playingRow READ playingRow NOTIFY playingRowChanged)
    // One map per running download, keys in ascending order: {key, title, artworkURL}. Progress
    // does not change it (a row rebuilt on every step would lose the keyboard focus).
    Q_PROPERTY(QVariantList downloads READ downloads NOTIFY downloadsChanged)
    // The running downloads' progress by key: {progress (0…1), percentText}.
    Q_PROPERTY(QVariantMap progress READ progress NOTIFY progressChanged)
    // Empty while there is no error.
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(QString summaryText READ summaryText NOTIFY entriesChanged)
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY bottomPaddingChanged)
    Q_PROPERTY(bool confirmClear MEMBER m_confirmClear NOTIFY confirmClearChanged)

public:
    // The empty state, or the scrolling column (running downloads and/or the list).
    enum class Content { Empty, Column };
    Q_ENUM(Content)

    static constexpr int BottomPaddingWithPlayer = 100;
    static constexpr int BottomPaddingWithoutPlayer = 24;
    static const QString OfflineGenre;        // "offline-library"
    static const QString DownloadingTitle;    // "در حال دانلود…"

    explicit OfflineLibraryViewModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    OfflineLibraryViewModel(OfflineStore *offline, RadioPlayer *player, QObject *parent = nullptr);
    ~OfflineLibraryViewModel() override;

    Content content() const;
    bool hasEntries() const;
    enum RowRole { TitleRole = Qt::UserRole + 1, ArtistRole, ArtworkRole, DurationRole };
    KeyedRows<OfflineTrackEntry> *rows() const { return m_rows; }
    int rowCount() const { return m_rows->rowCount(); }
    // The row of the download with offline key `key`; -1 when none.
    Q_INVOKABLE int rowOf(const QString &key) const { return m_rows->rowOf(key); }
    int playingRow() const;
    QVariantList downloads() const;
    QVariantMap progress() const;
    QString errorText() const;
    QString summaryText() const;
    int bottomPadding() const;
    bool confirmClear() const { return m_confirmClear; }

    // The offline station's position of the row at `index` (the list is newest first, the
    // station oldest first).
    static int stationPosition(int index, int count) { return count - 1 - index; }
    // "%d:%02d", empty below one second.
    static QString durationText(std::optional<qint64> seconds);

    // Plays the offline station from the row's download and presents the full player.
    Q_INVOKABLE void play(int index);
    // The row's context menu: "حذف دانلود".
    Q_INVOKABLE void remove(int index);
    Q_INVOKABLE void cancel(const QString &key);
    // The confirmation's "حذف همه": completed downloads go, running ones go on.
    Q_INVOKABLE void removeAll();

signals:
    void contentChanged();
    void entriesChanged();
    void playingRowChanged();
    void downloadsChanged();
    void progressChanged();
    void errorTextChanged();
    void bottomPaddingChanged();
    void confirmClearChanged();

private:
    void watchStores();
    void refresh();

    OfflineStore *m_offline;
    RadioPlayer *m_player;
    KeyedRows<OfflineTrackEntry> *m_rows;
    bool m_confirmClear = false;
    Content m_lastContent = Content::Empty;
    int m_lastPlayingRow = -1;
    int m_lastBottomPadding = BottomPaddingWithoutPlayer;
};
