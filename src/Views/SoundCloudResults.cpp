#include "SoundCloudResults.h"

#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QVariantMap>

SoundCloudResults::SoundCloudResults(RadioPlayer *player, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_client(client)
    , m_results(new KeyedRows<Station>(
          {{GenreRole, "genre"}, {TitleRole, "title"}, {ArtistRole, "artist"}, {ArtworkRole, "artworkURL"}},
          [](const Station &s) { return s.genre; },
          [](const Station &s, int role) -> QVariant {
              switch (role) {
              case GenreRole:
                  return s.genre;
              case TitleRole:
                  return s.displayTrackTitle();
              case ArtistRole: {
                  const QString artist = s.displayArtist();
                  return artist.isEmpty() ? QStringLiteral("SoundCloud") : artist;
              }
              case ArtworkRole:
                  return s.artworkURL.value_or(QString());
              default:
                  return {};
              }
          },
          this))
{
    // A row hands its whole station to the player.
    m_results->setSame([](const Station &a, const Station &b) { return a.toJson() == b.toJson(); });
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

void SoundCloudResults::play(int index)
{
    const Station *station = m_results->at(index);
    if (!station)
        return;
    m_player->select(*station);
    m_player->setFullPlayerPresented(true);
}

void SoundCloudResults::setResults(QList<Station> results)
{
    m_results->merge(results);
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
