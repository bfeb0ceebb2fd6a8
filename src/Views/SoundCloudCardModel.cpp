#include "SoundCloudCardModel.h"

#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "SoundCloudSearchViewModel.h"
#include "TypedText.h"

#include <QPointer>

#include <optional>

const QString SoundCloudCardModel::NoResultsText = QStringLiteral("نتیجهای پیدا نشد");

SoundCloudCardModel::SoundCloudCardModel(QObject *parent)
    : SoundCloudCardModel(RadioPlayer::shared(), &APIClient::shared(), parent)
{
}

SoundCloudCardModel::SoundCloudCardModel(RadioPlayer *player, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_client(client)
{
}

void SoundCloudCardModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
}

bool SoundCloudCardModel::canSearch() const
{
    return !typedtext::trimmed(m_query).isEmpty();
}

QVariantList SoundCloudCardModel::results() const
{
    return soundcloud::rows(m_results);
}

void SoundCloudCardModel::search()
{
    const QString text = typedtext::trimmed(m_query);
    if (text.isEmpty())
        return;
    setLoading(true);
    setErrorMessage(QString());
    run(text, ++m_latestRequest);
}

QCoro::Task<> SoundCloudCardModel::run(QString text, quint64 request)
{
    QPointer<SoundCloudCardModel> self(this);
    APIClient *client = m_client;
    std::optional<QList<Station>> answer;
    QString failure;
    try {
        answer = co_await client->soundcloudSearch(std::move(text));
    } catch (...) {
        failure = typedtext::describe(std::current_exception());
    }
    // A newer request has been sent since: its answer is the one to show.
    if (!self || request != m_latestRequest)
        co_return;
    m_results = answer ? std::move(*answer) : QList<Station>();
    emit resultsChanged();
    setErrorMessage(answer ? (m_results.isEmpty() ? NoResultsText : QString()) : failure);
    setLoading(false);
}

void SoundCloudCardModel::play(int index)
{
    if (index < 0 || index >= m_results.size())
        return;
    soundcloud::play(m_player, m_results.at(index));
}

void SoundCloudCardModel::setLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
}

void SoundCloudCardModel::setErrorMessage(const QString &message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}
