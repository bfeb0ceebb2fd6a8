#include "SoundCloudSearchViewModel.h"

#include "Platform/Memory.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QPointer>

#include <optional>

SoundCloudSearchViewModel::SoundCloudSearchViewModel(QObject *parent)
    : SoundCloudSearchViewModel(RadioPlayer::shared(), &APIClient::shared(), parent)
{
}

SoundCloudSearchViewModel::SoundCloudSearchViewModel(RadioPlayer *player, APIClient *client, QObject *parent)
    : SoundCloudResults(player, client, parent)
{
    connect(m_player, &RadioPlayer::currentStationChanged, this, &SoundCloudSearchViewModel::currentGenreChanged);
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
    const QString text = trimmedQuery();
    if (text.isEmpty() || isLoading())
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
    if (answer)
        setResults(std::move(*answer));
    else
        setErrorMessage(failure);
    setLoading(false);
}

SoundCloudSearchViewModel::~SoundCloudSearchViewModel()
{
    // A page of thousands of rows: the heap gives their memory back once its items are gone too.
    Memory::releaseFreedHeapSoon();
}
