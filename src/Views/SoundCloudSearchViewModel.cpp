#include "SoundCloudSearchViewModel.h"

#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QPointer>
#include <QVariantMap>

namespace soundcloud {

QVariantList rows(const QList<Station> &stations)
{
    QVariantList out;
    out.reserve(stations.size());
    for (const Station &s : stations) {
        const QString artist = s.displayArtist();
        out.append(QVariantMap{{QStringLiteral("genre"), s.genre},
                               {QStringLiteral("title"), s.displayTrackTitle()},
                               {QStringLiteral("artist"), artist.isEmpty() ? QStringLiteral("SoundCloud") : artist},
                               {QStringLiteral("artworkURL"), s.artworkURL.value_or(QString())}});
    }
    return out;
}

void play(RadioPlayer *player, const Station &station)
{
    player->select(station);
    player->setFullPlayerPresented(true);
}

} // namespace soundcloud

SoundCloudSearchViewModel::SoundCloudSearchViewModel(QObject *parent)
    : SoundCloudSearchViewModel(RadioPlayer::shared(), &APIClient::shared(), parent)
{
}

SoundCloudSearchViewModel::SoundCloudSearchViewModel(RadioPlayer *player, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_client(client)
{
    connect(m_player, &RadioPlayer::currentStationChanged, this, &SoundCloudSearchViewModel::currentGenreChanged);
}

void SoundCloudSearchViewModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
}

bool SoundCloudSearchViewModel::canSearch() const
{
    return !typedtext::trimmed(m_query).isEmpty();
}

QString SoundCloudSearchViewModel::currentGenre() const
{
    const std::optional<Station> &current = m_player->currentStation();
    return current ? current->genre : QString();
}

int SoundCloudSearchViewModel::bottomPadding() const
{
    return m_player->currentStation() ? BottomPaddingWithPlayer : BottomPaddingWithoutPlayer;
}

void SoundCloudSearchViewModel::search()
{
    const QString text = typedtext::trimmed(m_query);
    if (text.isEmpty() || m_isLoading)
        return;
    setLoading(true);
    setErrorMessage(QString());
    if (!m_searched) {
        m_searched = true;
        emit searchedChanged();
    }
    run(text);
}

QCoro::Task<> SoundCloudSearchViewModel::run(QString text)
{
    QPointer<SoundCloudSearchViewModel> self(this);
    APIClient *client = m_client;
    std::optional<QList<Station>> answer;
    QString failure;
    try {
        answer = co_await client->soundcloudSearch(std::move(text));
    } catch (...) {
        failure = typedtext::describe(std::current_exception());
    }
    if (!self)
        co_return;
    if (answer) {
        m_results = std::move(*answer);
        emit resultsChanged();
    } else {
        setErrorMessage(failure);
    }
    setLoading(false);
}

void SoundCloudSearchViewModel::play(int index)
{
    if (index < 0 || index >= m_results.size())
        return;
    soundcloud::play(m_player, m_results.at(index));
}

void SoundCloudSearchViewModel::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
}

void SoundCloudSearchViewModel::setErrorMessage(const QString &message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}
