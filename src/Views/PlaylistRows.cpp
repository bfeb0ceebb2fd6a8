#include "PlaylistRows.h"
#include "NumberTexts.h"

#include "Services/AuthStore.h"

using namespace Qt::Literals::StringLiterals;

const QString PlaylistRows::UntitledPlaylist = u"پلیلیست"_s;

PlaylistRows *PlaylistRows::of(AuthStore *auth)
{
    if (auto *rows = auth->findChild<PlaylistRows *>(QString(), Qt::FindDirectChildrenOnly))
        return rows;
    return new PlaylistRows(auth);
}

PlaylistRows::PlaylistRows(AuthStore *auth)
    : KeyedRows<PlaylistSummary>(
          {{IdRole, "id"}, {TitleRole, "title"}, {ListedTitleRole, "listedTitle"}, {CoverRole, "coverURL"},
           {TrackCountRole, "trackCountText"}, {SummaryRole, "summary"}},
          [](const PlaylistSummary &p) { return QString::number(p.id); },
          [](const PlaylistSummary &p, int role) -> QVariant {
              switch (role) {
              case IdRole:
                  return p.id;
              case TitleRole:
                  return p.title.value_or(QString());
              case ListedTitleRole:
                  return p.title.value_or(UntitledPlaylist);
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
          auth)
    , m_auth(auth)
{
    QObject::connect(m_auth, &AuthStore::playlistsChanged, this, [this] { follow(); });
    follow();
}

void PlaylistRows::follow()
{
    merge(m_auth->playlists());
}
