#include "SpotifyImportCardModel.h"

#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

const QString SpotifyImportCardModel::SavingText = QStringLiteral("در حال ذخیره…");
const QString SpotifyImportCardModel::SavedText = QStringLiteral("ذخیره شد");
const QString SpotifyImportCardModel::UntitledText = QStringLiteral("پلیلیست اسپاتیفای");

SpotifyImportCardModel::SpotifyImportCardModel(QObject *parent)
    : SpotifyImportCardModel(RadioPlayer::shared(), &AuthStore::shared(), &APIClient::shared(), parent)
{
}

SpotifyImportCardModel::SpotifyImportCardModel(RadioPlayer *player, AuthStore *auth, APIClient *client,
                                               QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_auth(auth)
    , m_client(client)
{
    connect(m_auth, &AuthStore::isAuthedChanged, this, &SpotifyImportCardModel::canSaveChanged);
}

void SpotifyImportCardModel::setLink(const QString &link)
{
    if (link == m_link)
        return;
    const bool could = canResolve();
    m_link = link;
    emit linkChanged();
    if (could != canResolve())
        emit canResolveChanged();
}

bool SpotifyImportCardModel::canResolve() const
{
    return !m_isLoading && !typedtext::trimmed(m_link).isEmpty();
}

QString SpotifyImportCardModel::entityTitle() const
{
    return m_entity ? m_entity->title.value_or(QString()) : QString();
}

QString SpotifyImportCardModel::entityDetail() const
{
    if (!m_entity)
        return {};
    const qint64 count = m_entity->trackCount.value_or(m_entity->tracks ? m_entity->tracks->size() : 0);
    return QString::number(count) + QStringLiteral(" آهنگ · ") + m_entity->artist.value_or(QStringLiteral("Spotify"));
}

QString SpotifyImportCardModel::coverURL() const
{
    return m_entity ? m_entity->coverURL.value_or(QString()) : QString();
}

bool SpotifyImportCardModel::canSave() const
{
    return m_auth->isAuthed();
}

void SpotifyImportCardModel::paste(const QString &text)
{
    if (text.isEmpty())
        return;
    setLink(text.trimmed());
}

void SpotifyImportCardModel::pasteClipboard()
{
    paste(QGuiApplication::clipboard()->text());
}

void SpotifyImportCardModel::resolve()
{
    if (!canResolve())
        return;
    setLoading(true);
    setMessage(QString());
    setEntity(std::nullopt);
    runResolve(typedtext::trimmed(m_link));
}

QCoro::Task<> SpotifyImportCardModel::runResolve(QString link)
{
    QPointer<SpotifyImportCardModel> self(this);
    APIClient *client = m_client;
    std::optional<SpotifyEntity> entity;
    QString failure;
    try {
        entity = co_await client->spotifyResolve(std::move(link));
    } catch (...) {
        failure = typedtext::describe(std::current_exception());
    }
    if (!self)
        co_return;
    if (entity)
        setEntity(std::move(entity));
    else
        setMessage(failure);
    setLoading(false);
}

void SpotifyImportCardModel::play()
{
    if (!m_entity)
        return;
    const std::optional<Station> s = station(*m_entity);
    if (!s)
        return;
    m_player->select(*s);
    m_player->setFullPlayerPresented(true);
}

void SpotifyImportCardModel::save()
{
    if (!m_entity || m_isSaving || !m_auth->token())
        return;
    setSaving(true);
    setMessage(SavingText);
    runImport(m_link, *m_entity, *m_auth->token());
}

QCoro::Task<> SpotifyImportCardModel::runImport(QString url, SpotifyEntity entity, QString token)
{
    QPointer<SpotifyImportCardModel> self(this);
    APIClient *client = m_client;
    AuthStore *auth = m_auth;
    std::optional<SimpleMessage> reply;
    QString failure;
    try {
        reply = co_await client->importSpotify(std::move(url), importTitle(entity), importDescription(entity),
                                               std::move(token));
    } catch (...) {
        failure = typedtext::describe(std::current_exception());
    }
    if (self) {
        self->setMessage(reply ? reply->message.value_or(SavedText) : failure);
        self->setSaving(false);
    }
    // The new playlist joins the listener's playlists; a failed reload is silent.
    if (reply)
        co_await auth->loadLibrary();
}

std::optional<Station> SpotifyImportCardModel::station(const SpotifyEntity &entity)
{
    if (!entity.tracks || entity.tracks->isEmpty())
        return std::nullopt;
    Station s;
    s.genre = QStringLiteral("spotify-e-") + entity.id.value_or(QStringLiteral("x"));
    s.title = entity.title;
    s.artist = entity.artist;
    s.serverName = entity.title;
    s.artworkURL = entity.coverURL;
    s.source = QStringLiteral("spotify");
    s.category = QStringLiteral("spotify");
    s.trackIndex = 0;
    s.trackCount = entity.tracks->size();
    QList<PlaylistTrack> tracks;
    tracks.reserve(entity.tracks->size());
    for (const SpotifyTrack &t : *entity.tracks) {
        PlaylistTrack p;
        p.trackType = QStringLiteral("spotify");
        p.trackID = t.id;
        p.title = t.title;
        p.artist = t.artist;
        p.artworkURL = t.artworkURL ? t.artworkURL : entity.coverURL;
        p.streamURL = t.streamURL;
        p.duration = t.duration;
        tracks.append(p);
    }
    s.tracks = std::move(tracks);
    return s;
}

QString SpotifyImportCardModel::importTitle(const SpotifyEntity &entity)
{
    return entity.title.value_or(UntitledText);
}

QString SpotifyImportCardModel::importDescription(const SpotifyEntity &entity)
{
    return QStringLiteral("ایمپورت شده از اسپاتیفای (") + entity.artist.value_or(QStringLiteral("Spotify"))
        + QLatin1Char(')');
}

void SpotifyImportCardModel::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    const bool could = canResolve();
    m_isLoading = loading;
    emit isLoadingChanged();
    if (could != canResolve())
        emit canResolveChanged();
}

void SpotifyImportCardModel::setSaving(bool saving)
{
    if (saving == m_isSaving)
        return;
    m_isSaving = saving;
    emit isSavingChanged();
}

void SpotifyImportCardModel::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

void SpotifyImportCardModel::setEntity(std::optional<SpotifyEntity> entity)
{
    if (entity == m_entity)
        return;
    m_entity = std::move(entity);
    emit entityChanged();
}
