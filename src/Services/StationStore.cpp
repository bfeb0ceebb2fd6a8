#include "Services/StationStore.h"

#include "Platform/Memory.h"

#include "Services/APIClient.h"

#include <QHash>
#include <QPointer>
#include <QVariantMap>

QList<StationStore::Category> StationStore::allCategories()
{
    return {Category::All, Category::Iranian, Category::International, Category::Instrumental};
}

QString StationStore::label(Category category)
{
    switch (category) {
    case Category::All: return QStringLiteral("همه");
    case Category::Iranian: return QStringLiteral("ایرانی");
    case Category::International: return QStringLiteral("بین\u200cالمللی");
    case Category::Instrumental: return QStringLiteral("بی\u200cکلام");
    }
    return {};
}

QString StationStore::categoryKey(Category category)
{
    switch (category) {
    case Category::All: return {};
    case Category::Iranian: return QStringLiteral("iranian");
    case Category::International: return QStringLiteral("international");
    case Category::Instrumental: return QStringLiteral("instrumental");
    }
    return {};
}

StationStore *StationStore::shared()
{
    // Lives until the process ends, like the other stores.
    static StationStore *const instance = new StationStore();
    return instance;
}

StationStore::StationStore(APIClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client ? client : &APIClient::shared())
{
}

void StationStore::setSelectedCategory(Category category)
{
    m_selectedCategory = category;
    emit selectedCategoryChanged();
    emit filteredStationsChanged();
}

QList<Station> StationStore::filteredStations() const
{
    const std::optional<QList<qsizetype>> indexes = filteredIndexes();
    if (!indexes)
        return m_stations;
    QList<Station> out;
    out.reserve(indexes->size());
    for (qsizetype i : *indexes)
        out.append(m_stations.at(i));
    return out;
}

std::optional<QList<qsizetype>> StationStore::filteredIndexes() const
{
    if (m_selectedCategory == Category::All)
        return std::nullopt;
    const QString key = categoryKey(m_selectedCategory);
    QList<qsizetype> out;
    for (qsizetype i = 0; i < m_stations.size(); ++i) {
        if (m_stations.at(i).category == key)
            out.append(i);
    }
    out.squeeze();
    return out;
}

QVariantList StationStore::categoryList() const
{
    QVariantList out;
    for (Category c : allCategories())
        out.append(QVariantMap{{QStringLiteral("value"), QVariant::fromValue(c)},
                               {QStringLiteral("label"), label(c)}});
    return out;
}

void StationStore::setStations(QList<Station> stations)
{
    m_stations = std::move(stations);
    emit stationsChanged();
    emit filteredStationsChanged();
}

void StationStore::setLoading(bool loading)
{
    m_isLoading = loading;
    emit isLoadingChanged();
}

void StationStore::setErrorMessage(std::optional<QString> message)
{
    m_errorMessage = std::move(message);
    emit errorMessageChanged();
}

QCoro::Task<> StationStore::load(bool force)
{
    if (m_isLoading)
        co_return;
    setLoading(true);
    setErrorMessage(std::nullopt);

    QPointer<StationStore> self(this);
    std::optional<QList<Station>> fetched;
    std::optional<QString> failure;
    try {
        fetched = co_await m_client->fetchStations();
    } catch (const AppError &e) {
        failure = e.errorDescription();
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!self)
        co_return;

    if (fetched) {
        // A refresh may send a rotation with an empty track list: it keeps the list its genre had.
        // When two old stations share a genre, the first one's list is kept.
        QHash<QString, QList<PlaylistTrack>> previousTracks;
        for (const Station &s : std::as_const(m_stations)) {
            if (s.hasTracks() && !previousTracks.contains(s.genre))
                previousTracks.insert(s.genre, *s.tracks);
        }
        for (Station &s : *fetched) {
            if (s.tracks && s.tracks->isEmpty()) {
                const auto it = previousTracks.constFind(s.genre);
                if (it != previousTracks.constEnd())
                    s.tracks = *it;
            }
        }
        setStations(std::move(*fetched));
        fetched.reset();
        Memory::releaseFreedHeap();
    } else if (m_stations.isEmpty() || force) {
        setErrorMessage(failure);
    }
    setLoading(false);
}

void StationStore::requestLoad(bool force)
{
    // The task runs on after this returns; the store outlives it (QPointer guards tests' stores).
    load(force);
}
