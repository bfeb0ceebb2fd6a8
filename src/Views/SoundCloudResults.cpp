#include "SoundCloudResults.h"

#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QVariantMap>

SoundCloudResults::SoundCloudResults(RadioPlayer *player, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_client(client)
{
}

void SoundCloudResults::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
}

QString SoundCloudResults::trimmedQuery() const
{
    return typedtext::trimmed(m_query);
}

QVariantMap SoundCloudResults::resultAt(int index) const
{
    if (index < 0 || index >= m_results.size())
        return QVariantMap{{QStringLiteral("genre"), QString()}, {QStringLiteral("title"), QString()},
                           {QStringLiteral("artist"), QString()}, {QStringLiteral("artworkURL"), QString()}};
    const Station &s = m_results.at(index);
    const QString artist = s.displayArtist();
    return QVariantMap{{QStringLiteral("genre"), s.genre},
                       {QStringLiteral("title"), s.displayTrackTitle()},
                       {QStringLiteral("artist"), artist.isEmpty() ? QStringLiteral("SoundCloud") : artist},
                       {QStringLiteral("artworkURL"), s.artworkURL.value_or(QString())}};
}

void SoundCloudResults::play(int index)
{
    if (index < 0 || index >= m_results.size())
        return;
    m_player->select(m_results.at(index));
    m_player->setFullPlayerPresented(true);
}

void SoundCloudResults::setResults(QList<Station> results)
{
    m_results = std::move(results);
    emit resultsChanged();
}

void SoundCloudResults::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
}

void SoundCloudResults::setErrorMessage(const QString &message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}
