#include "AddToPlaylistSheetModel.h"
#include "PlaylistRows.h"
#include "PlaylistDetailViewModel.h"
#include "StationValue.h"

#include "Platform/Memory.h"
#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"

#include <QPointer>
#include <QVariantMap>
#include <QCoroTimer>

using namespace Qt::StringLiterals;


namespace {

QString addedText(const QString &title)
{
    return u"به «"_s + title + u"» اضافه شد ✓"_s;
}

// Spaces and tabs, not line breaks.
bool isTrimmable(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

AddToPlaylistSheetModel::AddToPlaylistSheetModel(QObject *parent)
    : AddToPlaylistSheetModel(&AuthStore::shared(), OfflineStore::shared(), &APIClient::shared(), parent)
{
}

AddToPlaylistSheetModel::AddToPlaylistSheetModel(AuthStore *auth, OfflineStore *offline, APIClient *client,
                                                 QObject *parent)
    : QObject(parent), m_auth(auth), m_playlists(PlaylistRows::of(auth)), m_offline(offline)
    , m_client(client)
{
    Q_ASSERT(m_auth && m_offline && m_client);
    connect(m_auth, &AuthStore::isAuthedChanged, this, &AddToPlaylistSheetModel::libraryChanged);
    connect(m_auth, &AuthStore::playlistsChanged, this, &AddToPlaylistSheetModel::libraryChanged);
    connect(m_auth, &AuthStore::isLoadingLibraryChanged, this, &AddToPlaylistSheetModel::libraryChanged);
}

// ------------------------------------------------------------------ what is shown

void AddToPlaylistSheetModel::setStation(const Station &station)
{
    m_station = station;
    emit stationChanged();
}

QVariant AddToPlaylistSheetModel::stationValue() const
{
    return m_station ? m_station->toVariant() : QVariant();
}

void AddToPlaylistSheetModel::setStationValue(const QVariant &value)
{
    // The sheet keeps the station it was opened for, whatever plays later.
    if (m_station)
        return;
    if (std::optional<Station> station = stationFromQml(value))
        setStation(*station);
}

QVariant AddToPlaylistSheetModel::artworkURLValue() const
{
    if (!m_station)
        return {};
    const std::optional<QString> url = currentTrackArtworkURL(*m_station, *m_offline);
    return url ? QVariant(*url) : QVariant();
}

QString AddToPlaylistSheetModel::trackTitle() const
{
    return m_station ? m_station->displayTrackTitle() : QString();
}

QString AddToPlaylistSheetModel::artistLine() const
{
    if (!m_station)
        return {};
    const QString artist = m_station->displayArtist();
    return artist.isEmpty() ? m_station->displayName() : artist;
}

bool AddToPlaylistSheetModel::isAuthed() const
{
    return m_auth->isAuthed();
}

AddToPlaylistSheetModel::ListState AddToPlaylistSheetModel::listState() const
{
    if (!m_auth->isAuthed())
        return ListState::SignedOut;
    if (!m_auth->playlists().isEmpty())
        return ListState::Rows;
    return m_auth->isLoadingLibrary() ? ListState::Nothing : ListState::EmptyHint;
}

QAbstractItemModel *AddToPlaylistSheetModel::playlists() const
{
    return m_playlists;
}

void AddToPlaylistSheetModel::setNewTitle(const QString &title)
{
    if (m_newTitle == title)
        return;
    m_newTitle = title;
    emit newTitleChanged();
    emit stateChanged();
}

QString AddToPlaylistSheetModel::trimmedName(const QString &name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && isTrimmable(name.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(name.at(end - 1)))
        --end;
    return name.mid(begin, end - begin);
}

bool AddToPlaylistSheetModel::canCreate() const
{
    return !m_isCreating && !trimmedName(m_newTitle).isEmpty();
}

void AddToPlaylistSheetModel::setMessage(std::optional<QString> message)
{
    m_message = std::move(message);
    emit stateChanged();
}

void AddToPlaylistSheetModel::setCloseDelays(std::chrono::milliseconds afterAdd, std::chrono::milliseconds afterCreate)
{
    m_addCloseDelay = afterAdd;
    m_createCloseDelay = afterCreate;
}

// ------------------------------------------------------------------ the two writes

void AddToPlaylistSheetModel::add(qint64 playlistId)
{
    runAdd(playlistId);
}

void AddToPlaylistSheetModel::createPlaylist()
{
    runCreate();
}

QCoro::Task<> AddToPlaylistSheetModel::runAdd(qint64 playlistId)
{
    const std::optional<QString> token = m_auth->token();
    if (!token || !m_station)
        co_return;
    QString title;
    for (const PlaylistSummary &p : m_auth->playlists()) {
        if (p.id == playlistId)
            title = p.title.value_or(QString());
    }
    m_addingId = playlistId;
    setMessage(std::nullopt);

    // Everything the work needs after this point is held here: the sheet may close meanwhile.
    QPointer<AddToPlaylistSheetModel> self(this);
    AuthStore *auth = m_auth;
    const Station station = *m_station;
    const std::chrono::milliseconds closeDelay = m_addCloseDelay;
    try {
        co_await m_client->addTrackToPlaylist(playlistId, station, *token);
    } catch (const std::exception &e) {
        if (self) {
            m_addingId.reset();
            setMessage(PlaylistDetailViewModel::describe(e));
        }
        co_return;
    }
    co_await auth->loadLibrary();
    if (!self)
        co_return;
    if (co_await confirmThenClose(addedText(title), closeDelay)) {
        m_addingId.reset();
        emit stateChanged();
    }
}

QCoro::Task<> AddToPlaylistSheetModel::runCreate()
{
    const QString name = trimmedName(m_newTitle);
    if (name.isEmpty())
        co_return;
    const std::optional<QString> token = m_auth->token();
    if (!token || !m_station)
        co_return;
    m_isCreating = true;
    setMessage(std::nullopt);

    QPointer<AddToPlaylistSheetModel> self(this);
    AuthStore *auth = m_auth;
    APIClient *client = m_client;
    const Station station = *m_station;
    const std::chrono::milliseconds closeDelay = m_createCloseDelay;
    const auto fail = [&self](const std::exception &e) {
        if (!self)
            return;
        self->m_isCreating = false;
        self->setMessage(PlaylistDetailViewModel::describe(e));
    };

    PlaylistSummary created;
    try {
        created = co_await client->createPlaylist(name, *token);
    } catch (const std::exception &e) {
        fail(e);
        co_return;
    }
    co_await auth->loadLibrary();
    const QString title = created.title.value_or(name);
    if (self) {
        setNewTitle(QString());
        setMessage(u"پلیلیست «"_s + title + u"» ساخته شد"_s);
    }
    try {
        co_await client->addTrackToPlaylist(created.id, station, *token);
    } catch (const std::exception &e) {
        fail(e);
        co_return;
    }
    co_await auth->loadLibrary();
    if (!self)
        co_return;
    if (co_await confirmThenClose(addedText(title), closeDelay)) {
        m_isCreating = false;
        emit stateChanged();
    }
}

QCoro::Task<bool> AddToPlaylistSheetModel::confirmThenClose(QString text, std::chrono::milliseconds delay)
{
    QPointer<AddToPlaylistSheetModel> self(this);
    setMessage(text);
    co_await QCoro::sleepFor(delay);
    if (!self)
        co_return false;
    emit dismissRequested();
    co_return !self.isNull();
}

AddToPlaylistSheetModel::~AddToPlaylistSheetModel()
{
    // A page of thousands of rows: the heap gives their memory back once its items are gone too.
    Memory::releaseFreedHeapSoon();
}
