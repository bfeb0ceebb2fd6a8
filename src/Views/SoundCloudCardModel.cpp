#include "SoundCloudCardModel.h"

#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "TypedText.h"

#include <QPointer>

#include <optional>

const QString SoundCloudCardModel::NoResultsText = QStringLiteral("نتیجهای پیدا نشد");

SoundCloudCardModel::SoundCloudCardModel(QObject *parent)
    : SoundCloudCardModel(RadioPlayer::shared(), &APIClient::shared(), parent)
{
}

SoundCloudCardModel::SoundCloudCardModel(RadioPlayer *player, APIClient *client, QObject *parent)
    : SoundCloudResults(player, client, parent)
{
}

void SoundCloudCardModel::search()
{
    const QString text = trimmedQuery();
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
    setResults(answer ? std::move(*answer) : QList<Station>());
    setErrorMessage(answer ? (resultStations().isEmpty() ? NoResultsText : QString()) : failure);
    setLoading(false);
}
