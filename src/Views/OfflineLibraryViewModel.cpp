#include "OfflineLibraryViewModel.h"
#include "NumberTexts.h"

#include "Platform/Memory.h"
#include "Platform/ByteCountFormatter.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <QVariantMap>

#include <algorithm>

using namespace Qt::StringLiterals;

const QString OfflineLibraryViewModel::OfflineGenre = u"offline-library"_s;
const QString OfflineLibraryViewModel::DownloadingTitle = u"در حال دانلود…"_s;

OfflineLibraryViewModel::OfflineLibraryViewModel(QObject *parent)
    : OfflineLibraryViewModel(OfflineStore::shared(), RadioPlayer::shared(), parent)
{
}

OfflineLibraryViewModel::OfflineLibraryViewModel(OfflineStore *offline, RadioPlayer *player, QObject *parent)
    : QObject(parent), m_offline(offline), m_player(player)
    , m_rows(new KeyedRows<OfflineTrackEntry>(
          {{TitleRole, "title"}, {ArtistRole, "artist"}, {ArtworkRole, "artworkURL"}, {DurationRole, "durationText"}},
          [](const OfflineTrackEntry &e) { return e.key; },
          [this](const OfflineTrackEntry &e, int role) -> QVariant {
              switch (role) {
              case TitleRole:
                  return e.title;
              case ArtistRole:
                  return e.artist;
              case ArtworkRole:
                  if (e.artworkFileName)
                      return m_offline->artworkURLString(*e.artworkFileName);
                  return e.artworkRemoteURL ? QVariant(*e.artworkRemoteURL) : QVariant();
              case DurationRole:
                  return durationText(e.duration);
              default:
                  return {};
              }
          },
          this))
{
    Q_ASSERT(m_offline && m_player);
    m_rows->merge(m_offline->entries());
    m_lastContent = content();
    m_lastPlayingRow = playingRow();
    m_lastBottomPadding = bottomPadding();
    watchStores();
}

void OfflineLibraryViewModel::watchStores()
{
    connect(m_offline, &OfflineStore::entriesChanged, this, [this] {
        m_rows->merge(m_offline->entries());
        emit entriesChanged();
        refresh();
    });
    connect(m_offline, &OfflineStore::pendingMetaChanged, this, [this] {
        emit downloadsChanged();
        emit progressChanged();
        refresh();
    });
    connect(m_offline, &OfflineStore::activeProgressChanged, this, &OfflineLibraryViewModel::progressChanged);
    connect(m_offline, &OfflineStore::lastErrorChanged, this, &OfflineLibraryViewModel::errorTextChanged);
    connect(m_player, &RadioPlayer::currentStationChanged, this, &OfflineLibraryViewModel::refresh);
}

// Notifies the derived values that changed.
void OfflineLibraryViewModel::refresh()
{
    if (content() != m_lastContent) {
        m_lastContent = content();
        emit contentChanged();
    }
    if (playingRow() != m_lastPlayingRow) {
        m_lastPlayingRow = playingRow();
        emit playingRowChanged();
    }
    if (bottomPadding() != m_lastBottomPadding) {
        m_lastBottomPadding = bottomPadding();
        emit bottomPaddingChanged();
    }
}

OfflineLibraryViewModel::Content OfflineLibraryViewModel::content() const
{
    if (m_offline->entries().isEmpty() && m_offline->pendingMeta().isEmpty())
        return Content::Empty;
    return Content::Column;
}

bool OfflineLibraryViewModel::hasEntries() const
{
    return !m_offline->entries().isEmpty();
}

QString OfflineLibraryViewModel::durationText(std::optional<qint64> seconds)
{
    return NumberTexts::duration(seconds);
}

int OfflineLibraryViewModel::playingRow() const
{
    // By the download's own file: the station was made from the index as it stood when playing
    // began, and its positions no longer match the rows once an older download is removed.
    const std::optional<Station> &current = m_player->currentStation();
    if (!current || current->genre != OfflineGenre)
        return -1;
    const PlaylistTrack *track = current->currentTrack();
    if (!track || !track->streamURL)
        return -1;
    const QList<OfflineTrackEntry> &entries = m_offline->entries();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (m_offline->artworkURLString(entries.at(i).audioFileName) == *track->streamURL)
            return int(i);
    }
    return -1;
}

QVariantList OfflineLibraryViewModel::downloads() const
{
    const QHash<QString, PlaylistTrack> &pending = m_offline->pendingMeta();
    QStringList keys = pending.keys();
    std::stable_sort(keys.begin(), keys.end());
    QVariantList list;
    list.reserve(keys.size());
    for (const QString &key : std::as_const(keys)) {
        const PlaylistTrack &track = pending[key];
        list.append(QVariantMap{
            {u"key"_s, key},
            {u"title"_s, track.title.value_or(DownloadingTitle)},
            {u"artworkURL"_s, track.artworkURL ? QVariant(*track.artworkURL) : QVariant()},
        });
    }
    return list;
}

QVariantMap OfflineLibraryViewModel::progress() const
{
    QVariantMap map;
    const QHash<QString, double> &active = m_offline->activeProgress();
    for (auto it = m_offline->pendingMeta().cbegin(); it != m_offline->pendingMeta().cend(); ++it) {
        const double progress = active.value(it.key(), 0.0);
        map.insert(it.key(), QVariantMap{
            {u"progress"_s, progress},
            // Truncated, not rounded: 0.999 reads 99%.
            {u"percentText"_s, QString::number(qint64(progress * 100)) + u'%'},
        });
    }
    return map;
}

QString OfflineLibraryViewModel::errorText() const
{
    return m_offline->lastError().value_or(QString());
}

QString OfflineLibraryViewModel::summaryText() const
{
    // The size is isolated so that "12 KB" keeps its order in the right-to-left line.
    return u"مجموع: %1 آهنگ • \u2068%2\u2069"_s.arg(m_offline->entries().size())
        .arg(ByteCountFormatter::fileStyle(m_offline->totalSizeBytes()));
}

int OfflineLibraryViewModel::bottomPadding() const
{
    return m_player->currentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

void OfflineLibraryViewModel::play(int index)
{
    const QList<OfflineTrackEntry> &entries = m_offline->entries();
    if (index < 0 || index >= entries.size())
        return;
    std::optional<Station> station = m_offline->offlineStation();
    if (!station)
        return;
    // The tapped download's own file finds its place; while the published list and the index
    // hold the same downloads this is the mirrored row position.
    const QString audio = m_offline->artworkURLString(entries.at(index).audioFileName);
    qint64 position = stationPosition(index, int(entries.size()));
    for (qsizetype i = 0; i < station->tracks->size(); ++i) {
        if (station->tracks->at(i).streamURL == audio) {
            position = i;
            break;
        }
    }
    station->trackIndex = position;
    m_player->select(*station);
    m_player->setFullPlayerPresented(true);
}

void OfflineLibraryViewModel::remove(int index)
{
    const QList<OfflineTrackEntry> &entries = m_offline->entries();
    if (index >= 0 && index < entries.size())
        m_offline->remove(OfflineTrackEntry(entries.at(index)));
}

void OfflineLibraryViewModel::cancel(const QString &key)
{
    const QHash<QString, PlaylistTrack> &pending = m_offline->pendingMeta();
    if (pending.contains(key))
        m_offline->cancelDownload(PlaylistTrack(pending.value(key)));
}

void OfflineLibraryViewModel::removeAll()
{
    m_offline->removeAll();
}

OfflineLibraryViewModel::~OfflineLibraryViewModel()
{
    // A page of thousands of rows: the heap gives their memory back once its items are gone too.
    Memory::releaseFreedHeapSoon();
}
