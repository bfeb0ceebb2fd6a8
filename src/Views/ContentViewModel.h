#pragma once

#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <chrono>

class LaunchArguments;
class OfflineStore;
class RadioPlayer;
class StationStore;

// The radio tab's root: whether the mini player bar shows, the bar's tap, and the development
// launch arguments "--debug-player" (with "--no-cover" and "--autodl") and "--debug-sync[=GENRE]", acted
// on the first time the view appears in a run.
//     ContentViewModel { id: content }
//     Component.onCompleted: content.appear()
class ContentViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The mini player bar shows from the first chosen station on.
    Q_PROPERTY(bool hasCurrentStation READ hasCurrentStation NOTIFY hasCurrentStationChanged)

public:
    static const QString DebugPlayerArgument; // "--debug-player"
    static const QString NoCoverArgument;     // "--no-cover"
    static const QString AutoDownloadArgument; // "--autodl"
    static const QString DebugSyncArgument;   // "--debug-sync"
    static const QString DebugSyncGenre;      // "persian", unless "--debug-sync=GENRE" names one

    explicit ContentViewModel(QObject *parent = nullptr);
    // Tests hand in their own; all must outlive the model.
    ContentViewModel(RadioPlayer *player, StationStore *store, OfflineStore *offline,
                     LaunchArguments *arguments, QObject *parent = nullptr);

    // The test station of "--debug-player".
    static Station debugPlayerStation();

    bool hasCurrentStation() const;

    // The view appears: acts on the launch arguments the first time in a run.
    Q_INVOKABLE void appear();
    // A tap on the mini player bar.
    Q_INVOKABLE void presentFullPlayer();

    // Waits of the launch-argument tasks (tests shorten them).
    void setAutoDownloadDelay(std::chrono::milliseconds delay) { m_autoDownloadDelay = delay; }
    void setCatalogueWait(std::chrono::milliseconds interval, int attempts);

    // "--debug-sync": waits for the catalogue (at most attempts x interval), then plays the
    // station of `genre` under the full player. Never throws.
    QCoro::Task<> debugSync(QString genre = DebugSyncGenre);
    // "--autodl": after the delay, downloads the current station's current track.
    QCoro::Task<> autoDownload();

signals:
    void hasCurrentStationChanged();

private:
    QPointer<RadioPlayer> m_player;
    QPointer<StationStore> m_store;
    QPointer<OfflineStore> m_offline;
    LaunchArguments *m_arguments;

    std::chrono::milliseconds m_autoDownloadDelay{2000};
    std::chrono::milliseconds m_catalogueInterval{500};
    int m_catalogueAttempts = 40;
    bool m_lastHasCurrentStation = false;
};
