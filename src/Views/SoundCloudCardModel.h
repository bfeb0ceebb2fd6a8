#pragma once

#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class APIClient;
class RadioPlayer;

// The library tab's SoundCloud card: its own field, rows and line, kept while the tab lives.
// Enter in the field starts a search even while one runs; only the answer of the latest request
// is shown, and the spinner runs until that request ends. An empty answer reads "نتیجهای پیدا
// نشد"; a failure empties the rows under its error line.
//
//     SoundCloudCardModel { id: model }
class SoundCloudCardModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool canSearch READ canSearch NOTIFY queryChanged)
    // soundcloud::rows() of the latest answer.
    Q_PROPERTY(QVariantList results READ results NOTIFY resultsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    // The failure's text or the no-result line; empty when neither.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    static const QString NoResultsText; // "نتیجهای پیدا نشد"

    explicit SoundCloudCardModel(QObject *parent = nullptr);
    SoundCloudCardModel(RadioPlayer *player, APIClient *client, QObject *parent = nullptr);

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    bool canSearch() const;
    QVariantList results() const;
    const QList<Station> &resultStations() const { return m_results; }
    bool isLoading() const { return m_isLoading; }
    QString errorMessage() const { return m_errorMessage; }

    // The arrow button and Enter in the field. Does nothing for an empty query.
    Q_INVOKABLE void search();
    Q_INVOKABLE void play(int index);

signals:
    void queryChanged();
    void resultsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    QCoro::Task<> run(QString text, quint64 request);
    void setLoading(bool loading);
    void setErrorMessage(const QString &message);

    RadioPlayer *m_player;
    APIClient *m_client;

    QString m_query;
    QList<Station> m_results;
    bool m_isLoading = false;
    QString m_errorMessage;
    // Numbers the requests; an answer is shown only when its number is still the latest.
    quint64 m_latestRequest = 0;
};
