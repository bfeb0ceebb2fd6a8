#include "LibraryViewModel.h"
#include "PlaylistRows.h"
#include "NumberTexts.h"

#include "Platform/ByteCountFormatter.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <QPointer>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

const QString LibraryViewModel::NoDownloadsText = u"آهنگها را برای پخش بدون اینترنت ذخیره کن"_s;

LibraryViewModel::LibraryViewModel(QObject *parent)
    : LibraryViewModel(&AuthStore::shared(), RadioPlayer::shared(), OfflineStore::shared(), &APIClient::shared(),
                       parent)
{
}

LibraryViewModel::LibraryViewModel(AuthStore *auth, RadioPlayer *player, OfflineStore *offline, APIClient *client,
                                   QObject *parent)
    : QObject(parent), m_auth(auth), m_player(player), m_offline(offline), m_client(client)
    , m_playlists(PlaylistRows::of(auth))
{
    Q_ASSERT(m_auth && m_player && m_offline && m_client);
    connect(m_auth, &AuthStore::isAuthedChanged, this, &LibraryViewModel::isAuthedChanged);
    connect(m_auth, &AuthStore::favoritesChanged, this, &LibraryViewModel::favoritesChanged);
    connect(m_auth, &AuthStore::playlistsChanged, this, &LibraryViewModel::playlistsChanged);
    connect(m_auth, &AuthStore::isLoadingLibraryChanged, this, &LibraryViewModel::playlistsChanged);
    connect(m_auth, &AuthStore::libraryErrorChanged, this, &LibraryViewModel::playlistsChanged);
    connect(m_offline, &OfflineStore::entriesChanged, this, &LibraryViewModel::offlineChanged);
    connect(m_player, &RadioPlayer::currentStationChanged, this, &LibraryViewModel::currentStationChanged);
}

bool LibraryViewModel::isAuthed() const
{
    return m_auth->isAuthed();
}

QString LibraryViewModel::offlineSubtitle() const
{
    if (m_offline->entries().isEmpty())
        return NoDownloadsText;
    // The size is isolated so that "12 KB" keeps its order in the right-to-left line.
    return u"%1 آهنگ • \u2068%2\u2069"_s.arg(m_offline->entries().size())
        .arg(ByteCountFormatter::fileStyle(m_offline->totalSizeBytes()));
}

QString LibraryViewModel::favoritesCountText() const
{
    return NumberTexts::trackCount(m_auth->favorites().size());
}

LibraryViewModel::PlaylistsState LibraryViewModel::playlistsState() const
{
    if (!m_auth->playlists().isEmpty())
        return PlaylistsState::Grid;
    if (m_auth->isLoadingLibrary())
        return PlaylistsState::Spinner;
    return m_auth->libraryError().isEmpty() ? PlaylistsState::Hint : PlaylistsState::Failure;
}

QString LibraryViewModel::playlistsError() const
{
    return m_auth->libraryError();
}

QAbstractItemModel *LibraryViewModel::playlists() const
{
    return m_playlists;
}

int LibraryViewModel::playlistCount() const
{
    return int(m_auth->playlists().size());
}

bool LibraryViewModel::hasCurrentStation() const
{
    return m_player->currentStation().has_value();
}

int LibraryViewModel::bottomPadding() const
{
    return hasCurrentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

QString LibraryViewModel::deleteTitle() const
{
    const QString title = m_playlistToDelete ? m_playlistToDelete->title.value_or(QString()) : QString();
    return u"حذف «"_s + title + u"»؟"_s;
}

int LibraryViewModel::columnsFor(qreal width)
{
    const int columns = int(std::floor((width + GridSpacing) / (GridMinimumColumnWidth + GridSpacing)));
    return std::max(1, columns);
}

void LibraryViewModel::appear()
{
    if (m_auth->isAuthed() && m_auth->playlists().isEmpty())
        m_auth->loadLibrary();
}

void LibraryViewModel::refresh()
{
    if (m_auth->isAuthed())
        m_auth->loadLibrary();
}

void LibraryViewModel::playFavorites()
{
    const std::optional<Station> station = m_auth->favoritesStation();
    if (!station)
        return;
    m_player->select(*station);
    m_player->setFullPlayerPresented(true);
}

void LibraryViewModel::presentFullPlayer()
{
    if (hasCurrentStation())
        m_player->setFullPlayerPresented(true);
}

void LibraryViewModel::chooseToDelete(int index)
{
    if (index < 0 || index >= m_auth->playlists().size())
        return;
    m_playlistToDelete = m_auth->playlists().at(index);
    m_showDeleteConfirm = true;
    emit deletionChanged();
}

void LibraryViewModel::confirmDelete()
{
    runDelete();
}

void LibraryViewModel::cancelDelete()
{
    m_playlistToDelete.reset();
    emit deletionChanged();
}

QCoro::Task<> LibraryViewModel::runDelete()
{
    // Without a session nothing happens and the choice stays until the next one.
    const std::optional<QString> token = m_auth->token();
    if (!m_playlistToDelete || !token)
        co_return;
    QPointer<LibraryViewModel> self(this);
    AuthStore *auth = m_auth;
    const qint64 id = m_playlistToDelete->id;
    try {
        co_await m_client->deletePlaylist(id, *token);
    } catch (const std::exception &) {
        // Silent: the reload shows whether the playlist is still there.
    }
    co_await auth->loadLibrary();
    if (self) {
        m_playlistToDelete.reset();
        emit deletionChanged();
    }
}
