#pragma once

#include "Models/Station.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class OfflineStore;
class RadioPlayer;

// The full player's footer: the round button that downloads the playing track for offline
// listening (showing the download's progress, cancelling it, removing the download), and the
// Telegram button that asks the backend for a download link for the playing track and opens it.
//
// The download button's state is never kept here: it is read from the offline store on every
// change, so it follows downloads started or removed elsewhere. The link request keeps going
// when the footer goes away and still opens its link; it then writes into nothing.
//
// QML (PlayerFooter.qml): PlayerFooterModel { id: model; station: footer.station }
class PlayerFooterModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The station the footer is for; undefined: the player's current station.
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY stationChanged)
    Q_PROPERTY(bool hasStation READ hasStation NOTIFY stationChanged)
    // Only for a rotation's current track; a live station has no download button.
    Q_PROPERTY(bool showsDownloadButton READ showsDownloadButton NOTIFY stationChanged)
    Q_PROPERTY(DownloadState downloadState READ downloadState NOTIFY downloadChanged)
    // Fraction done (0...1) while running.
    Q_PROPERTY(double progress READ progress NOTIFY downloadChanged)
    // The whole percentage while running, cut toward zero ("37" for 37.9 %).
    Q_PROPERTY(QString percentText READ percentText NOTIFY downloadChanged)
    // Why the last download of the track failed (as the offline page shows it); empty when it
    // did not, and again once it is started anew.
    Q_PROPERTY(QString downloadError READ downloadError NOTIFY downloadChanged)
    // "دانلود", "لغو دانلود" or "حذف دانلود": what a tap does.
    Q_PROPERTY(QString downloadActionName READ downloadActionName NOTIFY downloadChanged)
    Q_PROPERTY(bool telegramLoading READ telegramLoading NOTIFY telegramChanged)
    // The text of the last failed link request; empty when none.
    Q_PROPERTY(QString telegramError READ telegramError NOTIFY telegramChanged)
    Q_PROPERTY(bool telegramEnabled READ telegramEnabled NOTIFY telegramChanged)
    Q_PROPERTY(QString telegramTitle READ telegramTitle NOTIFY telegramChanged)

public:
    enum class DownloadState { Idle, Running, Downloaded };
    Q_ENUM(DownloadState)

    static const QString DownloadName;      // "دانلود"
    static const QString CancelName;        // "لغو دانلود"
    static const QString RemoveName;        // "حذف دانلود"
    static const QString TelegramIdleTitle; // "دانلود در تلگرام"
    static const QString TelegramBusyTitle; // "در حال ساخت لینک…"

    // Uses the shared player, offline store and backend client.
    explicit PlayerFooterModel(QObject *parent = nullptr);
    // Tests hand in their own; they must outlive the model (the client also any link request).
    PlayerFooterModel(RadioPlayer *player, OfflineStore *offline, APIClient *client, QObject *parent = nullptr);
    ~PlayerFooterModel() override;

    void setStation(std::optional<Station> station);
    // The given station, else the player's current one; none when neither.
    const Station *station() const;
    bool hasStation() const { return station() != nullptr; }
    bool showsDownloadButton() const { return track().has_value(); }
    // The track the download button is for: the station's current track, when it has a list.
    std::optional<PlaylistTrack> track() const;
    DownloadState downloadState() const;
    double progress() const;
    QString percentText() const;
    QString downloadActionName() const;
    QString downloadError() const;
    bool telegramLoading() const { return m_telegramLoading; }
    QString telegramError() const { return m_telegramError.value_or(QString()); }
    bool telegramEnabled() const { return !m_telegramLoading && hasStation(); }
    QString telegramTitle() const { return m_telegramLoading ? TelegramBusyTitle : TelegramIdleTitle; }
    // The whole percentage of a fraction, cut toward zero, as digits alone ("37" for 0.379).
    static QString percentText(double fraction);

    // The round button: removes a finished download, else cancels a running one, else starts one.
    Q_INVOKABLE void tapDownload();
    // The Telegram button: asks for the link of the station as it is now and opens it.
    Q_INVOKABLE void requestTelegramLink();

signals:
    void stationChanged();
    void downloadChanged();
    void telegramChanged();
    // A link request has ended (opened or failed); for tests and the live window.
    void telegramFinished();

private:
    QVariant stationValue() const;
    void setStationValue(const QVariant &value);
    void setTelegram(bool loading, std::optional<QString> error);

    RadioPlayer *m_player;
    OfflineStore *m_offline;
    APIClient *m_client;
    std::optional<Station> m_station;
    bool m_telegramLoading = false;
    std::optional<QString> m_telegramError;
};
