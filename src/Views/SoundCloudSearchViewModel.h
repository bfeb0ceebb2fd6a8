#pragma once

#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class RadioPlayer;

namespace soundcloud {
// One map per station, in the order given: {genre, title, artist, artworkURL}; the artist line
// reads "SoundCloud" when the station has none to show.
QVariantList rows(const QList<Station> &stations);
// Hands the station to the player exactly as the backend sent it and opens the full player at
// once, without waiting for the selection.
void play(RadioPlayer *player, const Station &station);
} // namespace soundcloud

// The SoundCloud search screen pushed from the home screen: the field, its answer and the error
// line. A search never overlaps another; a failure keeps the previous rows under the error line.
//
// QML (SoundCloudSearchView.qml) creates one per pushed page:
//     SoundCloudSearchViewModel { id: model }
// The model goes away with its page; a search that ends after that changes nothing.
class SoundCloudSearchViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The field's text as typed.
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    // The query without spaces and tabs at either end is not empty.
    Q_PROPERTY(bool canSearch READ canSearch NOTIFY queryChanged)
    // soundcloud::rows() of the last successful answer.
    Q_PROPERTY(QVariantList results READ results NOTIFY resultsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    // The last failure's text; empty when there is none.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    // A search was sent at least once; the hint stays hidden from then on.
    Q_PROPERTY(bool searched READ searched NOTIFY searchedChanged)
    // The genre of the player's current station (empty when none): its row shows the bars.
    Q_PROPERTY(QString currentGenre READ currentGenre NOTIFY currentGenreChanged)
    // Room under the list for the mini player bar while a station is current.
    Q_PROPERTY(int bottomPadding READ bottomPadding NOTIFY currentGenreChanged)

public:
    static constexpr int BottomPaddingWithPlayer = 100;
    static constexpr int BottomPaddingWithoutPlayer = 24;

    // Uses the shared player and backend client.
    explicit SoundCloudSearchViewModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    SoundCloudSearchViewModel(RadioPlayer *player, APIClient *client, QObject *parent = nullptr);

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    bool canSearch() const;
    QVariantList results() const { return soundcloud::rows(m_results); }
    const QList<Station> &resultStations() const { return m_results; }
    bool isLoading() const { return m_isLoading; }
    QString errorMessage() const { return m_errorMessage; }
    bool searched() const { return m_searched; }
    QString currentGenre() const;
    int bottomPadding() const;

    // The search button and Enter in the field. Does nothing for an empty query or while a
    // search runs.
    Q_INVOKABLE void search();
    // A row: plays the result at `index` unchanged and opens the full player.
    Q_INVOKABLE void play(int index);

signals:
    void queryChanged();
    void resultsChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void searchedChanged();
    void currentGenreChanged();

private:
    QCoro::Task<> run(QString text);
    void setLoading(bool loading);
    void setErrorMessage(const QString &message);

    RadioPlayer *m_player;
    APIClient *m_client;

    QString m_query;
    QList<Station> m_results;
    bool m_isLoading = false;
    QString m_errorMessage;
    bool m_searched = false;
};
