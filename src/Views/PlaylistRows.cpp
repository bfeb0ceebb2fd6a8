#include "PlaylistRows.h"
#include "NumberTexts.h"

#include "Services/AuthStore.h"

PlaylistRows::PlaylistRows(AuthStore *auth, const QString &untitled, QObject *parent)
    : KeyedRows<PlaylistSummary>(
          {{IdRole, "id"}, {TitleRole, "title"}, {CoverRole, "coverURL"}, {TrackCountRole, "trackCountText"},
           {SummaryRole, "summary"}},
          [](const PlaylistSummary &p) { return QString::number(p.id); },
          [untitled](const PlaylistSummary &p, int role) -> QVariant {
              switch (role) {
              case IdRole:
                  return p.id;
              case TitleRole:
                  return p.title.value_or(untitled);
              case CoverRole:
                  return p.coverURL ? QVariant(*p.coverURL) : QVariant();
              case TrackCountRole:
                  return NumberTexts::trackCount(p.trackCount.value_or(0));
              case SummaryRole:
                  return AuthStore::playlistMap(p);
              default:
                  return {};
              }
          },
          parent)
    , m_auth(auth)
{
    QObject::connect(m_auth, &AuthStore::playlistsChanged, this, [this] { follow(); });
    follow();
}

void PlaylistRows::follow()
{
    merge(m_auth->playlists());
}
