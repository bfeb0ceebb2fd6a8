#pragma once

#include "Models/Station.h"
#include "Kit/KeyedRows.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class APIClient;
class RadioPlayer;

// What the SoundCloud search page and the library tab's SoundCloud card share: the field's text,
// the result stations as the backend sent them, the loading flag, the line under the field, and
// playing a result. Each subclass decides how a search runs.
class SoundCloudResults : public QObject
{
    Q_OBJECT
    QML_ANONYMOUS
    // The field's text as typed.
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    // The query without spaces and tabs at either end is not empty.
    Q_PROPERTY(bool canSearch READ canSearch NOTIFY queryChanged)
    // The stations received, in the order received, keyed by genre: genre, title, artist (reading
    // "SoundCloud" when the station has none to show), artworkURL.
    Q_PROPERTY(QAbstractItemModel *results READ results CONSTANT)
    Q_PROPERTY(int resultCount READ resultCount NOTIFY resultsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    // The line under the field; empty when there is none.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    QString query() const { return m_query; }
    void setQuery(const QString &query);
    bool canSearch() const { return !trimmedQuery().isEmpty(); }
    int resultCount() const { return int(m_results->rowCount()); }
    enum ResultRole { GenreRole = Qt::UserRole + 1, TitleRole, ArtistRole, ArtworkRole };
    KeyedRows<Station> *results() const { return m_results; }
    const QList<Station> &resultStations() const { return m_results->items(); }
    bool isLoading() const { return m_isLoading; }
    QString errorMessage() const { return m_errorMessage; }

    // A row: hands the result at `index` to the player exactly as the backend sent it and opens
    // the full player at once, without waiting for the selection.
    Q_INVOKABLE void play(int index);

signals:
    void queryChanged();
    void resultsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

protected:
    // Both must outlive the object.
    SoundCloudResults(RadioPlayer *player, APIClient *client, QObject *parent);

    // The text that is tested and sent: the query without spaces and tabs at either end.
    QString trimmedQuery() const;
    void setResults(QList<Station> results);
    void setLoading(bool loading);
    void setErrorMessage(const QString &message);

    RadioPlayer *const m_player;
    APIClient *const m_client;

private:
    QString m_query;
    KeyedRows<Station> *m_results;
    bool m_isLoading = false;
    QString m_errorMessage;
};
