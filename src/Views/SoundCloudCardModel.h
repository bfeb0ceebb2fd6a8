#pragma once

#include "SoundCloudResults.h"

#include <QCoroTask>
#include <QtQml/qqmlregistration.h>

// The library tab's SoundCloud card: its own field, rows and line, kept while the card lives.
// Enter in the field starts a search even while one runs; only the answer of the latest request
// is shown, and the spinner runs until that request ends. An empty answer shows the no-result
// line; a failure empties the rows under its error line.
//
//     SoundCloudCardModel { id: model }
class SoundCloudCardModel : public SoundCloudResults
{
    Q_OBJECT
    QML_ELEMENT

public:
    static const QString NoResultsText;

    // Uses the shared player and backend client.
    explicit SoundCloudCardModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    SoundCloudCardModel(RadioPlayer *player, APIClient *client, QObject *parent = nullptr);

    // The arrow button and Enter in the field. Does nothing for an empty query.
    Q_INVOKABLE void search();

private:
    QCoro::Task<> run(QString text, quint64 request);

    // Numbers the requests; an answer is shown only while its number is still the latest.
    quint64 m_latestRequest = 0;
};
