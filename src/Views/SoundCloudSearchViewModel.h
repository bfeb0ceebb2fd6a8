#pragma once

#include "SoundCloudResults.h"

#include <QCoroTask>
#include <QtQml/qqmlregistration.h>

// The SoundCloud search page pushed from the home screen. A search never overlaps another; a
// failure keeps the previous rows under the error line; an empty answer shows no line.
//
// QML (SoundCloudSearchView.qml) creates one per pushed page:
//     SoundCloudSearchViewModel { id: model }
// The model goes away with its page; a search that ends after that changes nothing.
class SoundCloudSearchViewModel : public SoundCloudResults
{
    Q_OBJECT
    QML_ELEMENT
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
    ~SoundCloudSearchViewModel() override;

    bool searched() const { return m_searched; }
    QString currentGenre() const;
    int bottomPadding() const;

    // The search button and Enter in the field. Does nothing for an empty query or while a
    // search runs.
    Q_INVOKABLE void search();

signals:
    void searchedChanged();
    void currentGenreChanged();

private:
    QCoro::Task<> run(QString text);

    bool m_searched = false;
};
