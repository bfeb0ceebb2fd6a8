#pragma once

#include "Models/Station.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QCoroTask>

#include <optional>

class APIClient;

// The station catalogue the home screen shows: the stations in the server's order, the loading
// flag, the last error text and the chosen category. Lives on the GUI thread; every property
// changes there and notifies on every assignment. It loads nothing by itself: start-up, the scene
// becoming active and the home screen's retry call load().
class StationStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList stations READ stationList NOTIFY stationsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    // Empty when there is no error to show.
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(Category selectedCategory READ selectedCategory WRITE setSelectedCategory
                   NOTIFY selectedCategoryChanged)
    Q_PROPERTY(QVariantList filteredStations READ filteredStationList NOTIFY filteredStationsChanged)
    // Every category in chip order, each {"value": Category, "label": chip text}.
    Q_PROPERTY(QVariantList categories READ categoryList CONSTANT)

public:
    // The category chips, in this order. The label (the raw value) is the chip text.
    enum class Category { All, Iranian, International, Instrumental };
    Q_ENUM(Category)

    static QList<Category> allCategories();
    Q_INVOKABLE static QString label(Category category);
    // The station `category` value a chip selects ("iranian", ...); empty for All.
    static QString categoryKey(Category category);

    static StationStore *shared();

    // Tests pass their own client; the default is APIClient::shared().
    explicit StationStore(APIClient *client = nullptr, QObject *parent = nullptr);

    const QList<Station> &stations() const { return m_stations; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    Category selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(Category category);
    // All stations for All; else those whose category equals the chip's key exactly, in order.
    QList<Station> filteredStations() const;
    // The same choice as positions in stations(); nullopt for All (every position).
    std::optional<QList<qsizetype>> filteredIndexes() const;

    // Fetches the catalogue and publishes it; never throws. A second call while one runs returns
    // at once. `force` only decides whether a failure is shown while stations are present.
    QCoro::Task<> load(bool force);
    // load() for QML and fire-and-forget callers.
    Q_INVOKABLE void requestLoad(bool force);

signals:
    void stationsChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void selectedCategoryChanged();
    void filteredStationsChanged();

private:
    QVariantList stationList() const { return Station::toVariantList(m_stations); }
    QVariantList filteredStationList() const { return Station::toVariantList(filteredStations()); }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    QVariantList categoryList() const;

    void setStations(QList<Station> stations);
    void setLoading(bool loading);
    void setErrorMessage(std::optional<QString> message);

    APIClient *m_client;
    QList<Station> m_stations;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    Category m_selectedCategory = Category::All;
};
